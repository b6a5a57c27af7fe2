// Checked arithmetic for lengths and byte counts: an unsigned 32-bit value
// whose addition and doubling throw OutOfRange instead of wrapping.
#ifndef VEL_ULMO_SAFEINTEGER_H_
#define VEL_ULMO_SAFEINTEGER_H_

#include <cstdint>

#include "ulmo/exception/Exception.h"

namespace vel::ulmo {

class SafeInteger {
 public:
  constexpr explicit SafeInteger(uint32_t value) : value_(value) {}

  SafeInteger operator+(SafeInteger other) const {
    uint32_t sum;
    if (__builtin_add_overflow(value_, other.value_, &sum)) {
      exception::ThrowAt(exception::OutOfRange(), "ulmo/SafeInteger", __LINE__);
    }
    return SafeInteger(sum);
  }

  // A UTF-16 unit count turned into a byte count.
  SafeInteger Doubled() const {
    if (value_ > 0x7FFFFFFFu) exception::ThrowAt(exception::OutOfRange(), "ulmo/SafeInteger", __LINE__);
    return SafeInteger(value_ * 2);
  }

  constexpr uint32_t Value() const { return value_; }

 private:
  uint32_t value_;
};

}  // namespace vel::ulmo

#endif  // VEL_ULMO_SAFEINTEGER_H_
