// Windows-style paths: "\" separators, drive letters and UNC names. Pure
// functions, built on every platform.
#include <cwctype>
#include <locale>

#include "ulmo/exception/Exception.h"
#include "ulmo/osdep/Path.h"

namespace vel::ulmo::osdep::path::windows {
namespace {

// The process-wide locale for drive letters: the user's default, or the
// classic one when the environment names a locale the runtime lacks.
const std::locale& UserLocale() {
  static const std::locale locale = [] {
    try {
      return std::locale("");
    } catch (const std::exception&) {
      return std::locale::classic();
    }
  }();
  return locale;
}

template <class Ch>
bool IsLocaleAlpha(Ch c) {
  return std::isalpha(static_cast<wchar_t>(static_cast<std::make_unsigned_t<Ch>>(c)), UserLocale());
}

bool IsRuntimeAlpha(WChar c) { return std::iswalpha(static_cast<wint_t>(c)) != 0; }

template <class Ch>
bool IsAbsolute(const StringBase<Ch>& text) {
  uint32_t n = text.Length();
  if (n == 0) return false;
  if (text[0] == '\\') return n > 1 && text[1] == '\\';  // UNC
  if (!IsLocaleAlpha(text[0])) return false;
  uint32_t i = 1;
  if (i < n && IsLocaleAlpha(text[i])) ++i;
  return i + 1 < n && text[i] == ':' && text[i + 1] == '\\';
}

template <class Ch>
StringBase<Ch> Combine(const StringBase<Ch>& base, const StringBase<Ch>& relative) {
  if (IsAbsolute(relative) || base.IsEmpty()) return relative;
  StringBase<Ch> result(base);
  if (base[base.Length() - 1] != '\\') result.Append(1, Ch('\\'));
  result.Append(relative);
  return result;
}

// Length of a drive prefix ("C:" or "AB:"), 0 when there is none.
uint32_t DriveLength(const WString& path) {
  uint32_t n = path.Length(), i = 0;
  while (i < n && i < 2 && IsRuntimeAlpha(path[i])) ++i;
  return i > 0 && i < n && path[i] == ':' ? i + 1 : 0;
}

}  // namespace

bool IsAbsolutePath(const WString& text) { return IsAbsolute(text); }
bool IsAbsolutePath(const AString& text) { return IsAbsolute(text); }
WString CombinePath(const WString& base, const WString& relative) { return Combine(base, relative); }
AString CombinePath(const AString& base, const AString& relative) { return Combine(base, relative); }

WString GetFileName(const WString& path) {
  uint32_t drive = DriveLength(path);
  if (drive != 0 && drive == path.Length()) return WString();
  static const WChar kSeparator[] = {'\\', 0};
  uint32_t last = path.FindLastOf(WString(kSeparator));
  return last == WString::npos ? path : path.Substring(last + 1);
}

WString GetParentPath(const WString& path) {
  uint32_t n = path.Length();
  uint32_t root = DriveLength(path);
  while (root < n && path[root] == '\\') ++root;
  if (root == n) return path;
  uint32_t i = n;
  while (i > root && path[i - 1] != '\\') --i;
  if (i == root) return path.Substring(0, root);
  // path[i - 1] ends a run of separators: the parent stops before its first.
  uint32_t end = i - 1;
  while (end > root && path[end - 1] == '\\') --end;
  return path.Substring(0, end);
}

void AppendSeparator(WString& path) {
  if (path.IsEmpty()) exception::ThrowAt(exception::InvalidArgument(), "ulmo\\osdep\\path", __LINE__);
  if (path[path.Length() - 1] != '\\') path.Append(1, WChar('\\'));
}

}  // namespace vel::ulmo::osdep::path::windows
