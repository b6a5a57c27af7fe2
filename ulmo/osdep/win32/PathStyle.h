// Windows paths: drive letters, UNC names, "\" separators.
#ifndef VEL_ULMO_OSDEP_WIN32_PATHSTYLE_H_
#define VEL_ULMO_OSDEP_WIN32_PATHSTYLE_H_

#include "ulmo/osdep/Path.h"

namespace vel::ulmo::osdep::path {
namespace native = windows;
}

#endif  // VEL_ULMO_OSDEP_WIN32_PATHSTYLE_H_
