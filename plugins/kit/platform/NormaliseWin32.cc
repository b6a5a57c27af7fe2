// The normaliser's steps on the Windows API. Windows normalises
// (NormalizeString) and tells nonspacing marks (GetStringTypeW) as the
// Unicode Standard does, but has no case folding: its lower case
// (LCMapStringEx) is folding but for the few letters below, which fold to
// something else than their lower case, and which are mapped here by hand
// so that an index written on Windows holds the words one written on Linux
// holds.
#include <windows.h>

#include <algorithm>
#include <stdexcept>
#include <string>

#include "kit/platform/Unicode.h"

namespace tessik_plugins::unicode {

namespace {

static_assert(sizeof(wchar_t) == sizeof(TessikChar), "the Windows API's text is UTF-16");

[[noreturn]] void Fail(const char* what) {
  throw std::runtime_error(std::string(what) + " failed (Windows error " + std::to_string(GetLastError()) + ")");
}

int Length(const Utf16& text) { return static_cast<int>(text.size()); }

// Where folding and lower case part: what CaseFolding.txt maps a letter
// to when that is not its lower case (nor what NFKC or removing the accents
// makes of it already). Cherokee folds to its capitals; the Cyrillic
// variants of U+1C80 to the letters they are variants of. ß, the final
// sigma and the iota subscript are handled in CaseFolded.
constexpr char16_t kCyrillicVariants[] = {0x0432, 0x0434, 0x043E, 0x0441, 0x0442, 0x0442, 0x044A, 0x0463, 0xA64B};

}  // namespace

namespace {

// Unicode leaves the noncharacters (U+FDD0 to U+FDEF, U+FFFE and U+FFFF of
// every plane) as they are; NormalizeString refuses a text that holds one.
bool IsNoncharacter(char32_t c) { return (c >= 0xFDD0 && c <= 0xFDEF) || (c & 0xFFFE) == 0xFFFE; }

Utf16 NormalisedRun(const Utf16& text, Form form) {
  if (text.empty()) return text;
  const NORM_FORM windowsForm = form == Form::kC ? NormalizationC : form == Form::kD ? NormalizationD : NormalizationKC;
  int room = NormalizeString(windowsForm, text.data(), Length(text), nullptr, 0);
  for (int attempt = 0; attempt < 8; ++attempt) {
    if (room <= 0) Fail("NormalizeString");
    Utf16 out(static_cast<size_t>(room), L'\0');
    const int length = NormalizeString(windowsForm, text.data(), Length(text), out.data(), room);
    if (length > 0) {
      out.resize(static_cast<size_t>(length));
      return out;
    }
    // Too little room: the value given back is a new estimate, negated.
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) Fail("NormalizeString");
    room = std::max(-length, room * 2);
  }
  Fail("NormalizeString");
}

}  // namespace

// The runs between noncharacters apart, which is what normalising the
// whole does: a noncharacter combines with nothing.
Utf16 Normalised(const Utf16& text, Form form) {
  Utf16 out, run;
  for (size_t i = 0; i < text.size(); ++i) {
    char32_t c = static_cast<char16_t>(text[i]);
    size_t units = 1;
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size()) {
      c = 0x10000 + ((c - 0xD800) << 10) + (static_cast<char16_t>(text[i + 1]) - 0xDC00);
      units = 2;
    }
    if (IsNoncharacter(c)) {
      out += NormalisedRun(run, form);
      run.clear();
      out.append(text, i, units);
    } else {
      run.append(text, i, units);
    }
    i += units - 1;
  }
  return out + NormalisedRun(run, form);
}

Utf16 CaseFolded(const Utf16& text) {
  if (text.empty()) return text;
  // Decomposed, the iota subscript of "ᾳ" is a mark of its own, U+0345,
  // which folding makes a letter iota.
  const Utf16 decomposed = Normalised(text, Form::kD);
  Utf16 lower(decomposed.size(), L'\0');
  if (LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_LOWERCASE | LCMAP_LINGUISTIC_CASING, decomposed.data(),
                    Length(decomposed), lower.data(), Length(lower), nullptr, nullptr, 0) != Length(lower))
    Fail("LCMapStringEx");
  Utf16 out;
  out.reserve(lower.size() + 4);
  for (const wchar_t unit : lower) {
    const char16_t c = static_cast<char16_t>(unit);
    if (c == 0x00DF) {
      out += L"ss";  // ß, and ẞ, whose lower case it is
    } else if (c == 0x03C2) {
      out += static_cast<wchar_t>(0x03C3);  // ς: σ
    } else if (c == 0x0345) {
      out += static_cast<wchar_t>(0x03B9);  // ypogegrammeni: ι
    } else if (c >= 0x13F8 && c <= 0x13FD) {
      out += static_cast<wchar_t>(c - 8);
    } else if (c >= 0xAB70 && c <= 0xABBF) {
      out += static_cast<wchar_t>(0x13A0 + (c - 0xAB70));
    } else if (c >= 0x1C80 && c <= 0x1C88) {
      out += static_cast<wchar_t>(kCyrillicVariants[c - 0x1C80]);
    } else {
      out += unit;
    }
  }
  return out;
}

namespace {

// A combining mark that takes no room (Mn or Me): "nonspacing" is what the
// type of such a mark says, but the type of a letter with an accent of its
// own (ø) says so too, and that of a few spacing signs, which are kept.
bool IsAccent(wchar_t unit, WORD type) {
  const char16_t c = static_cast<char16_t>(unit);
  if (!(type & C3_NONSPACING) || (type & C3_ALPHA) || IsKanaVoicingMark(c)) return false;
  const bool spacing = c == 0x06DE                      // the Arabic rub el hizb, a symbol
                       || (c >= 0x1929 && c <= 0x192B)  // Limbu subjoined letters (Mc)
                       || c == 0x302E || c == 0x302F;   // Hangul tone marks (Mc)
  return !spacing;
}

}  // namespace

Utf16 WithoutAccents(const Utf16& text) {
  if (text.empty()) return text;
  // A unit of a surrogate pair has a type of its own, never nonspacing.
  std::basic_string<WORD> types(text.size(), 0);
  if (!GetStringTypeW(CT_CTYPE3, text.data(), Length(text), types.data())) Fail("GetStringTypeW");
  Utf16 out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i)
    if (!IsAccent(text[i], types[i])) out += text[i];
  return out;
}

}  // namespace tessik_plugins::unicode
