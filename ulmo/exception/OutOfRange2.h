// OutOfRange with a detail text: what() is "Out of range: " + detail.
#ifndef VEL_ULMO_EXCEPTION_OUTOFRANGE2_H_
#define VEL_ULMO_EXCEPTION_OUTOFRANGE2_H_

#include "ulmo/StringBase.h"
#include "ulmo/exception/Exception.h"

namespace vel::ulmo::exception {

class OutOfRange2 : public OutOfRange {
 public:
  explicit OutOfRange2(const AString& detail) : message("Out of range: ") { message.Append(detail); }
  const char* what() const noexcept override { return message.CStr(); }

  AString message;
};

}  // namespace vel::ulmo::exception

#endif  // VEL_ULMO_EXCEPTION_OUTOFRANGE2_H_
