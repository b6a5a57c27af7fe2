// The process-wide locale object: the user's default locale, or the classic
// one when the environment names a locale the runtime lacks. Drive letters
// are classified by it. It is made once per process, before the XML
// platform starts, and goes after the XML platform has ended (the XML frame
// asks for it first so that the order of static objects is certain).
#ifndef VEL_ULMO_OSDEP_LOCALE_H_
#define VEL_ULMO_OSDEP_LOCALE_H_

#include <locale>

namespace vel::ulmo::osdep {

const std::locale& UserLocale();

}  // namespace vel::ulmo::osdep

#endif  // VEL_ULMO_OSDEP_LOCALE_H_
