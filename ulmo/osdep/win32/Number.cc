#include <locale.h>
#include <stdlib.h>

#include "ulmo/osdep/Number.h"

namespace vel::ulmo::osdep {

double ParseClassicNumber(const char* text) noexcept {
  // Made once and kept for the process; reading through it is thread-safe.
  static const _locale_t classic = _create_locale(LC_NUMERIC, "C");
  if (classic == nullptr) return strtod(text, nullptr);  // "C" is always there; never happens
  return _strtod_l(text, nullptr, classic);
}

}  // namespace vel::ulmo::osdep
