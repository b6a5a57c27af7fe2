// SharedLibrary: one dynamic library held open by path.
//
// A path whose file name has no "." gets the platform's suffix (".so", or
// ".dll" on Windows). A relative path is looked up as the Windows loader
// does: in the executable's directory first, then in the current directory
// (a bare name also goes through the system's own search in between). A load
// that fails throws nothing; IsLoaded tells.
#ifndef VEL_ULMO_OSDEP_SHAREDLIBRARY_H_
#define VEL_ULMO_OSDEP_SHAREDLIBRARY_H_

#include "ulmo/StringBase.h"

namespace vel::ulmo::osdep {

class SharedLibrary {
 public:
  SharedLibrary() = default;
  // Stores the path (suffix rule applied) and loads it at once if not empty.
  explicit SharedLibrary(const WString& path);
  virtual ~SharedLibrary();
  SharedLibrary(const SharedLibrary&) = delete;
  SharedLibrary& operator=(const SharedLibrary&) = delete;

  // Throws InvalidOperation ("ulmo\osdep\SharedLibrary") when a path is
  // already set, even if its load failed.
  void Open(const WString& path);
  virtual void Load();
  virtual void Unload();
  bool IsLoaded() const { return module_ != nullptr; }

  // The address of an exported symbol. Not quiet, a missing symbol throws
  // SystemError, and a library that is not loaded throws SystemError
  // "library not loaded" (9999); quiet, both give null.
  void* GetSymbol(const AString& name, bool quiet) const;

  const WString& GetPath() const { return path_; }
  void* GetModule() const { return module_; }

  // The path with the platform's suffix appended when its file name has no ".".
  static WString ApplySuffixRule(const WString& path);

 private:
  WString path_;
  void* module_ = nullptr;
};

// The platform's layer under SharedLibrary.
namespace library {
void* Load(const WString& path) noexcept;  // null when it cannot be loaded
void Unload(void* module) noexcept;
// Null when missing; then `error` holds the platform's error number and
// `message` its text.
void* Symbol(void* module, const AString& name, uint32_t& error, AString& message);
const char* Suffix();
}  // namespace library

}  // namespace vel::ulmo::osdep

#endif  // VEL_ULMO_OSDEP_SHAREDLIBRARY_H_
