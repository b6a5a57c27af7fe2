// Windows-style paths: "\" separators, drive letters and UNC names. Pure
// functions, built on every platform.
#include <cwctype>
#include <locale>

#include "ulmo/osdep/Locale.h"
#include "ulmo/osdep/Path.h"
#include "ulmo/osdep/PathRules.h"

namespace vel::ulmo::osdep::path::windows {
namespace {

constexpr WChar kSeparator = '\\';

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

// Length of a drive prefix ("C:" or "AB:"), 0 when there is none.
uint32_t DriveLength(const WString& path) {
  uint32_t n = path.Length(), i = 0;
  while (i < n && i < 2 && IsRuntimeAlpha(path[i])) ++i;
  return i > 0 && i < n && path[i] == ':' ? i + 1 : 0;
}

}  // namespace

bool IsAbsolutePath(const WString& text) { return IsAbsolute(text); }
bool IsAbsolutePath(const AString& text) { return IsAbsolute(text); }
WString CombinePath(const WString& base, const WString& relative) {
  return rules::Combine(base, relative, IsAbsolute(relative), kSeparator);
}
AString CombinePath(const AString& base, const AString& relative) {
  return rules::Combine(base, relative, IsAbsolute(relative), '\\');
}

WString GetFileName(const WString& path) {
  uint32_t drive = DriveLength(path);
  if (drive != 0 && drive == path.Length()) return WString();  // nothing but a drive
  return rules::FileName(path, kSeparator);
}

WString GetParentPath(const WString& path) { return rules::ParentPath(path, DriveLength(path), kSeparator); }

void AppendSeparator(WString& path) { rules::AppendSeparator(path, kSeparator); }
WChar Separator() { return kSeparator; }

}  // namespace vel::ulmo::osdep::path::windows
