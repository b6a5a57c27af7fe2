#include <windows.h>

#include "ulmo/osdep/OSException.h"
#include "ulmo/osdep/SharedLibrary.h"

namespace vel::ulmo::osdep::library {

void* Load(const WString& path) noexcept { return LoadLibraryW(path.CStr()); }

void Unload(void* module) noexcept { FreeLibrary(static_cast<HMODULE>(module)); }

void* Symbol(void* module, const AString& name, uint32_t& error, AString& message) {
  FARPROC address = GetProcAddress(static_cast<HMODULE>(module), name.CStr());
  if (address == nullptr) {
    WinError last;  // reads GetLastError first thing
    error = last.systemError;
    message = last.message;
  }
  return reinterpret_cast<void*>(address);
}

const char* Suffix() { return ".dll"; }

}  // namespace vel::ulmo::osdep::library
