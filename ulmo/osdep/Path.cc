// What is built on the platform's path style, the same on every platform.
#include "ulmo/osdep/Path.h"

namespace vel::ulmo::osdep::path {

WString MakeAbsolutePath(const WString& p) {
  if (p.Length() == 1 && p[0] == '.') return GetCurrentDirectory();
  return CombinePath(GetCurrentDirectory(), p);
}

WString DirectoryOf(const WString& file) {
  WString directory = MakeAbsolutePath(GetParentPath(file));
  AppendSeparator(directory);
  return directory;
}

}  // namespace vel::ulmo::osdep::path
