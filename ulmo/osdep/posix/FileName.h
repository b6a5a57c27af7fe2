// File names on Linux are bytes that the system and every other program read
// as UTF-8, whatever the locale says: a name that passed through the
// environment's character set would lose every character it lacks ("D?k?m"
// under LANG=C). Every path this backend hands to the system, or takes from
// it, goes through these two instead.
#ifndef VEL_ULMO_OSDEP_POSIX_FILENAME_H_
#define VEL_ULMO_OSDEP_POSIX_FILENAME_H_

#include <string>
#include <string_view>

#include "ulmo/StringBase.h"

namespace vel::ulmo::osdep::filename {

// A lone surrogate becomes U+FFFD.
std::string FromWide(const WString& path);
// Bytes that are not UTF-8 become U+FFFD.
WString ToWide(std::string_view name);

}  // namespace vel::ulmo::osdep::filename

#endif  // VEL_ULMO_OSDEP_POSIX_FILENAME_H_
