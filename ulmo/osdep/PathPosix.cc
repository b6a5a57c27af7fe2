// POSIX-style paths: "/" separators, absolute when the path starts with "/".
// Pure functions, built on every platform.
#include "ulmo/osdep/Path.h"
#include "ulmo/osdep/PathRules.h"

namespace vel::ulmo::osdep::path::posix {
namespace {

constexpr WChar kSeparator = '/';

template <class Ch>
bool IsAbsolute(const StringBase<Ch>& text) {
  return !text.IsEmpty() && text[0] == '/';
}

}  // namespace

bool IsAbsolutePath(const WString& text) { return IsAbsolute(text); }
bool IsAbsolutePath(const AString& text) { return IsAbsolute(text); }
WString CombinePath(const WString& base, const WString& relative) {
  return rules::Combine(base, relative, IsAbsolute(relative), kSeparator);
}
AString CombinePath(const AString& base, const AString& relative) {
  return rules::Combine(base, relative, IsAbsolute(relative), '/');
}
WString GetFileName(const WString& path) { return rules::FileName(path, kSeparator); }
WString GetParentPath(const WString& path) { return rules::ParentPath(path, 0, kSeparator); }
void AppendSeparator(WString& path) { rules::AppendSeparator(path, kSeparator); }
WChar Separator() { return kSeparator; }

}  // namespace vel::ulmo::osdep::path::posix
