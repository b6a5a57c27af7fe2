// Width changes of integers that throw OutOfRange when the value does not fit
// the target type, instead of silently truncating.
#ifndef VEL_ULMO_NUMERICCAST_H_
#define VEL_ULMO_NUMERICCAST_H_

#include <utility>

#include "ulmo/exception/Exception.h"

namespace vel::ulmo {

template <class To, class From>
To NumericCast(From value) {
  if (!std::in_range<To>(value)) exception::ThrowAt(exception::OutOfRange(), "ulmo/NumericCast", __LINE__);
  return static_cast<To>(value);
}

}  // namespace vel::ulmo

#endif  // VEL_ULMO_NUMERICCAST_H_
