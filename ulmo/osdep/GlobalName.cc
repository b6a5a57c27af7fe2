#include "ulmo/osdep/Mutex.h"

namespace vel::ulmo::osdep {

WString MakeGlobalName(const WString& name) {
  static const WChar kPrefix[] = {'G', 'l', 'o', 'b', 'a', 'l', '\\', 0};
  return WString(kPrefix) + name;
}

}  // namespace vel::ulmo::osdep
