#include "ulmo/osdep/Locale.h"

#include <exception>

namespace vel::ulmo::osdep {

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

}  // namespace vel::ulmo::osdep
