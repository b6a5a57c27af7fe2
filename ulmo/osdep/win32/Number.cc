#include <locale.h>
#include <stdlib.h>

#include <cmath>
#include <cstdint>
#include <limits>

#include "ulmo/osdep/Number.h"

namespace vel::ulmo::osdep {
namespace {

// Whether `text` begins with `word` (lower case), case ignored.
bool StartsWith(const char* text, const char* word) {
  for (; *word != 0; ++text, ++word) {
    if ((*text | 0x20) != *word) return false;
  }
  return true;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  c = static_cast<char>(c | 0x20);
  return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
}

// The hexadecimal form after "0x": digits, a point and digits, and a binary
// exponent "p" with decimal digits. Rounded once, to nearest, when the
// digits are turned into a double (then scaled exactly, but for results
// beyond the normal range).
double ParseHex(const char* digits) {
  uint64_t mantissa = 0;
  int64_t exponent = 0;
  bool sticky = false, any = false, point = false;
  for (const char* p = digits;; ++p) {
    if (*p == '.' && !point) {
      point = true;
      continue;
    }
    int d = HexDigit(*p);
    if (d < 0) {
      digits = p;
      break;
    }
    any = true;
    if (mantissa >> 60 == 0) {
      mantissa = mantissa << 4 | static_cast<uint64_t>(d);
      if (point) exponent -= 4;
    } else {
      sticky |= d != 0;
      if (!point) exponent += 4;
    }
  }
  if (!any) return 0;  // "0x" alone reads as the "0" before it
  if ((*digits | 0x20) == 'p') {
    const char* p = digits + 1;
    bool negative = *p == '-';
    if (*p == '+' || *p == '-') ++p;
    if (*p >= '0' && *p <= '9') {
      int64_t e = 0;
      for (; *p >= '0' && *p <= '9'; ++p) {
        if (e < 100000) e = e * 10 + (*p - '0');
      }
      exponent += negative ? -e : e;
    }
  }
  if (sticky) mantissa |= 1;  // below a double's precision: only breaks ties
  if (exponent > 100000) exponent = 100000;
  if (exponent < -100000) exponent = -100000;
  return std::ldexp(static_cast<double>(mantissa), static_cast<int>(exponent));
}

}  // namespace

double ParseClassicNumber(const char* text) noexcept {
  // Made once and kept for the process; reading through it is thread-safe.
  static const _locale_t classic = _create_locale(LC_NUMERIC, "C");
  // The system runtime reads decimal numbers only; infinities, NaN and the
  // hexadecimal form are read here, as the C99 library reads them.
  const char* p = text;
  while (*p == ' ' || (*p >= '\t' && *p <= '\r')) ++p;
  bool negative = *p == '-';
  if (*p == '+' || *p == '-') ++p;
  double value;
  if (StartsWith(p, "inf")) {
    value = std::numeric_limits<double>::infinity();
  } else if (StartsWith(p, "nan")) {
    value = std::numeric_limits<double>::quiet_NaN();
  } else if (p[0] == '0' && (p[1] | 0x20) == 'x') {
    value = ParseHex(p + 2);
  } else {
    return classic != nullptr ? _strtod_l(text, nullptr, classic) : strtod(text, nullptr);
  }
  return negative ? -value : value;
}

}  // namespace vel::ulmo::osdep
