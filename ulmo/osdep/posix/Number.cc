#include <locale.h>
#include <stdlib.h>

#include "ulmo/osdep/Number.h"

namespace vel::ulmo::osdep {

double ParseClassicNumber(const char* text) noexcept {
  // Made once and kept for the process: a locale object is never changed,
  // so every thread may read through it at once.
  static const locale_t classic = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
  if (classic == static_cast<locale_t>(0)) return strtod(text, nullptr);  // "C" is always there; never happens
  return strtod_l(text, nullptr, classic);
}

}  // namespace vel::ulmo::osdep
