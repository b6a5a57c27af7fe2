// Linux paths are POSIX paths.
#ifndef VEL_ULMO_OSDEP_POSIX_PATHSTYLE_H_
#define VEL_ULMO_OSDEP_POSIX_PATHSTYLE_H_

#include "ulmo/osdep/Path.h"

namespace vel::ulmo::osdep::path {
namespace native = posix;
}

#endif  // VEL_ULMO_OSDEP_POSIX_PATHSTYLE_H_
