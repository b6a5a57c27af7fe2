// Numbers read from text the way the C library's atof reads them, but always
// with "." as the decimal point, whatever numeric locale the process has set:
// documents that carry numbers move between hosts of different locales.
#ifndef VEL_ULMO_OSDEP_NUMBER_H_
#define VEL_ULMO_OSDEP_NUMBER_H_

namespace vel::ulmo::osdep {

// atof in the "C" locale: leading white space is skipped, then the longest
// prefix that reads as a number is taken (a sign, decimal or hexadecimal
// digits with an exponent, "inf", "infinity", "nan"); 0 when there is none.
// Too large a value gives an infinity. `text` must not be null.
double ParseClassicNumber(const char* text) noexcept;

}  // namespace vel::ulmo::osdep

#endif  // VEL_ULMO_OSDEP_NUMBER_H_
