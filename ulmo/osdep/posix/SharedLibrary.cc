#include <cerrno>
#include <dlfcn.h>

#include "ulmo/osdep/Path.h"
#include "ulmo/osdep/SharedLibrary.h"
#include "ulmo/osdep/posix/FileName.h"
#include "ulmo/osdep/posix/SystemCalls.h"

namespace vel::ulmo::osdep::library {
namespace {

void* Open(const WString& path) { return sys::Dlopen(filename::FromWide(path).c_str(), RTLD_NOW | RTLD_LOCAL); }

}  // namespace

void* Load(const WString& path) noexcept {
  try {
    if (path::IsAbsolutePath(path)) return Open(path);
    if (void* m = Open(path::CombinePath(GetModuleDirectory(nullptr), path))) return m;
    const WChar slash[] = {'/', 0}, here[] = {'.', '/', 0};
    if (path.Find(WString(slash)) == WString::npos) {
      if (void* m = Open(path)) return m;  // the system's own search
    }
    // A leading "./" keeps dlopen from searching the system paths.
    return Open(WString(here) + path);
  } catch (...) {
    return nullptr;
  }
}

void Unload(void* module) noexcept { dlclose(module); }

void* Symbol(void* module, const AString& name, uint32_t& error, AString& message) {
  dlerror();  // clear any earlier failure
  void* address = dlsym(module, name.CStr());
  if (address == nullptr) {
    const char* text = dlerror();
    error = ENOENT;
    message = AString(text ? text : "symbol not found");
  }
  return address;
}

const char* Suffix() { return ".so"; }

}  // namespace vel::ulmo::osdep::library
