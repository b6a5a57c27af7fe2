// The rules both path styles share, with the separator as a parameter; each
// style adds what is its own (drive letters, UNC names).
#ifndef VEL_ULMO_OSDEP_PATHRULES_H_
#define VEL_ULMO_OSDEP_PATHRULES_H_

#include "ulmo/StringBase.h"
#include "ulmo/exception/Exception.h"

namespace vel::ulmo::osdep::path::rules {

// `relative` when it is absolute or `base` is empty; otherwise `base`, one
// separator and `relative`.
template <class Ch>
StringBase<Ch> Combine(const StringBase<Ch>& base, const StringBase<Ch>& relative, bool relativeIsAbsolute,
                       Ch separator) {
  if (relativeIsAbsolute || base.IsEmpty()) return relative;
  StringBase<Ch> result(base);
  if (base[base.Length() - 1] != separator) result.Append(1, separator);
  result.Append(relative);
  return result;
}

// The text after the last separator, or the whole path.
inline WString FileName(const WString& path, WChar separator) {
  uint32_t last = path.FindLastOf(WString(1, separator));
  return last == WString::npos ? path : path.Substring(last + 1);
}

// The path without its last component. `prefix` units (a drive) and the
// separators after them are the root, which is never cut: a path that is
// all root is its own parent, and a last component right after the root
// leaves the root. Otherwise the parent ends before the run of separators
// that precedes the last component.
inline WString ParentPath(const WString& path, uint32_t prefix, WChar separator) {
  uint32_t n = path.Length();
  uint32_t root = prefix;
  while (root < n && path[root] == separator) ++root;
  if (root == n) return path;
  uint32_t i = n;
  while (i > root && path[i - 1] != separator) --i;
  if (i == root) return path.Substring(0, root);
  uint32_t end = i - 1;
  while (end > root && path[end - 1] == separator) --end;
  return path.Substring(0, end);
}

// Appends a separator unless the path ends with one; an empty path is refused.
inline void AppendSeparator(WString& path, WChar separator) {
  if (path.IsEmpty()) exception::ThrowAt(exception::InvalidArgument(), "ulmo\\osdep\\path", __LINE__);
  if (path[path.Length() - 1] != separator) path.Append(1, separator);
}

}  // namespace vel::ulmo::osdep::path::rules

#endif  // VEL_ULMO_OSDEP_PATHRULES_H_
