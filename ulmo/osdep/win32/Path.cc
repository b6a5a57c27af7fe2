#include <windows.h>
// windows.h maps the name to GetCurrentDirectoryW; ours is the function
// declared in Path.h.
#undef GetCurrentDirectory

#include "ulmo/osdep/OSException.h"
#include "ulmo/osdep/Path.h"

namespace vel::ulmo::osdep {
namespace path {

WString GetCurrentDirectory() {
  WChar buffer[261] = {};
  DWORD n = ::GetCurrentDirectoryW(261, buffer);
  // A longer directory does not fit: nothing the system wrote is read then.
  if (n == 0 || n >= 261) return WString();
  return WString(buffer, n);
}

AString ToNarrowPath(const WString& path) { return AString(path.CStr()); }

}  // namespace path

WString GetModuleDirectory(void* module) {
  WChar buffer[261] = {};
  DWORD n = GetModuleFileNameW(static_cast<HMODULE>(module), buffer, 261);
  if (n == 0) exception::ThrowAt(WinError(), "ulmo\\osdep\\GetModuleDirectory", __LINE__);
  if (n >= 261) n = 260;  // cut: only what the system wrote is read
  return path::DirectoryOf(WString(buffer, n));
}

}  // namespace vel::ulmo::osdep
