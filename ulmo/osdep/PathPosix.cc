// POSIX-style paths: "/" separators, absolute when the path starts with "/".
// Pure functions, built on every platform.
#include "ulmo/exception/Exception.h"
#include "ulmo/osdep/Path.h"

namespace vel::ulmo::osdep::path::posix {
namespace {

template <class Ch>
bool IsAbsolute(const StringBase<Ch>& text) {
  return !text.IsEmpty() && text[0] == '/';
}

template <class Ch>
StringBase<Ch> Combine(const StringBase<Ch>& base, const StringBase<Ch>& relative) {
  if (IsAbsolute(relative) || base.IsEmpty()) return relative;
  StringBase<Ch> result(base);
  if (base[base.Length() - 1] != '/') result.Append(1, Ch('/'));
  result.Append(relative);
  return result;
}

}  // namespace

bool IsAbsolutePath(const WString& text) { return IsAbsolute(text); }
bool IsAbsolutePath(const AString& text) { return IsAbsolute(text); }
WString CombinePath(const WString& base, const WString& relative) { return Combine(base, relative); }
AString CombinePath(const AString& base, const AString& relative) { return Combine(base, relative); }

WString GetFileName(const WString& path) {
  static const WChar kSeparator[] = {'/', 0};
  uint32_t last = path.FindLastOf(WString(kSeparator));
  return last == WString::npos ? path : path.Substring(last + 1);
}

WString GetParentPath(const WString& path) {
  uint32_t n = path.Length();
  uint32_t root = 0;
  while (root < n && path[root] == '/') ++root;
  if (root == n) return path;
  uint32_t i = n;
  while (i > root && path[i - 1] != '/') --i;
  if (i == root) return path.Substring(0, root);
  uint32_t end = i - 1;
  while (end > root && path[end - 1] == '/') --end;
  return path.Substring(0, end);
}

void AppendSeparator(WString& path) {
  if (path.IsEmpty()) exception::ThrowAt(exception::InvalidArgument(), "ulmo\\osdep\\path", __LINE__);
  if (path[path.Length() - 1] != '/') path.Append(1, WChar('/'));
}

}  // namespace vel::ulmo::osdep::path::posix
