#include "ulmo/osdep/SharedLibrary.h"

#include "ulmo/exception/Exception.h"
#include "ulmo/osdep/OSException.h"
#include "ulmo/osdep/Path.h"

namespace vel::ulmo::osdep {

namespace {
constexpr const char* kFile = "ulmo\\osdep\\SharedLibrary";
}

WString SharedLibrary::ApplySuffixRule(const WString& path) {
  if (path.IsEmpty()) return path;
  WString name = path::GetFileName(path);
  static const WChar kDot[] = {'.', 0};
  if (name.IsEmpty() || name.Find(WString(kDot)) != WString::npos) return path;
  WString result(path);
  result.AppendAnsi(library::Suffix());
  return result;
}

SharedLibrary::SharedLibrary(const WString& path) : path_(ApplySuffixRule(path)) {
  if (!path_.IsEmpty()) Load();  // this class's own Load: no derived part exists yet
}

SharedLibrary::~SharedLibrary() { Unload(); }

void SharedLibrary::Open(const WString& path) {
  if (!path_.IsEmpty()) exception::ThrowAt(exception::InvalidOperation(), kFile, __LINE__);
  path_ = ApplySuffixRule(path);
  Load();
}

void SharedLibrary::Load() {
  if (path_.IsEmpty()) return;
  module_ = library::Load(path_);
}

void SharedLibrary::Unload() {
  if (module_ != nullptr) {
    library::Unload(module_);
    module_ = nullptr;
  }
}

void* SharedLibrary::GetSymbol(const AString& name, bool quiet) const {
  if (module_ == nullptr) {
    if (quiet) return nullptr;
    exception::ThrowAt(SystemError(AString("library not loaded"), 9999), kFile, __LINE__);
  }
  uint32_t error = 0;
  AString message;
  void* address = library::Symbol(module_, name, error, message);
  if (address == nullptr && !quiet) exception::ThrowAt(SystemError(message, error), kFile, __LINE__);
  return address;
}

}  // namespace vel::ulmo::osdep
