// Path operations. Two styles exist as pure functions, so both can be tested
// anywhere: `windows` (drive letters, UNC names, "\" separators) and `posix`
// ("/" separators, absolute when the path starts with "/"). The functions in
// `path` itself use the platform's own style.
#ifndef VEL_ULMO_OSDEP_PATH_H_
#define VEL_ULMO_OSDEP_PATH_H_

#include "ulmo/StringBase.h"

namespace vel::ulmo::osdep {

#define VEL_ULMO_PATH_FUNCTIONS                                          \
  bool IsAbsolutePath(const WString& text);                              \
  bool IsAbsolutePath(const AString& text);                              \
  WString CombinePath(const WString& base, const WString& relative);    \
  AString CombinePath(const AString& base, const AString& relative);    \
  WString GetParentPath(const WString& path);                            \
  WString GetFileName(const WString& path);                              \
  /* Throws InvalidArgument ("ulmo\osdep\path") for an empty path. */    \
  void AppendSeparator(WString& path);                                   \
  WChar Separator();

namespace path {
namespace windows {
VEL_ULMO_PATH_FUNCTIONS
}
namespace posix {
VEL_ULMO_PATH_FUNCTIONS
}

// The platform's own style.
VEL_ULMO_PATH_FUNCTIONS
// The process's current directory.
WString GetCurrentDirectory();
// "." gives the current directory; anything else is combined with it.
WString MakeAbsolutePath(const WString& path);
// The absolute directory of a file, ending with a separator.
WString DirectoryOf(const WString& file);
}  // namespace path

#undef VEL_ULMO_PATH_FUNCTIONS

// The directory of a loaded module (a SharedLibrary's handle), or of the
// process's executable when `module` is null, always ending with a
// separator. Throws WinError ("ulmo\osdep\GetModuleDirectory") when the
// system gives no file name.
WString GetModuleDirectory(void* module);

}  // namespace vel::ulmo::osdep

#endif  // VEL_ULMO_OSDEP_PATH_H_
