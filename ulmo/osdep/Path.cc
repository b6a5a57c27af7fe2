// The platform's own path style, and what is built on it. CMake puts the
// backend's folder on this file's include path, which picks PathStyle.h.
#include "ulmo/osdep/Path.h"

#include "PathStyle.h"

namespace vel::ulmo::osdep::path {

bool IsAbsolutePath(const WString& text) { return native::IsAbsolutePath(text); }
bool IsAbsolutePath(const AString& text) { return native::IsAbsolutePath(text); }
WString CombinePath(const WString& base, const WString& relative) { return native::CombinePath(base, relative); }
AString CombinePath(const AString& base, const AString& relative) { return native::CombinePath(base, relative); }
WString GetParentPath(const WString& p) { return native::GetParentPath(p); }
WString GetFileName(const WString& p) { return native::GetFileName(p); }
void AppendSeparator(WString& p) { native::AppendSeparator(p); }
WChar Separator() { return native::Separator(); }

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
