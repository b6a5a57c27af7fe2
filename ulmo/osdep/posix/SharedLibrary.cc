#include <cerrno>
#include <dlfcn.h>

#include "ulmo/osdep/Path.h"
#include "ulmo/osdep/SharedLibrary.h"

namespace vel::ulmo::osdep::library {
namespace {

void* Open(const AString& file) { return dlopen(file.CStr(), RTLD_NOW | RTLD_LOCAL); }

AString CurrentDirectoryPath(const AString& relative) {
  // A leading "./" keeps dlopen from searching the system paths.
  AString result("./");
  result.Append(relative);
  return result;
}

}  // namespace

void* Load(const WString& path) noexcept {
  try {
    AString file(path);
    if (path::IsAbsolutePath(file)) return Open(file);
    AString exeDirectory(GetModuleDirectory(nullptr));
    if (void* m = Open(path::CombinePath(exeDirectory, file))) return m;
    if (file.Find(AString("/")) == AString::npos) {
      if (void* m = Open(file)) return m;  // the system's own search
    }
    return Open(CurrentDirectoryPath(file));
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
