#include "ulmo/osdep/posix/FileName.h"

#include <unicode/ustring.h>

#include "ulmo/NumericCast.h"
#include "ulmo/exception/Exception.h"

namespace vel::ulmo::osdep::filename {

namespace {
constexpr const char* kSite = "ulmo\\osdep\\filename";
}

std::string FromWide(const WString& path) {
  std::string out;
  if (path.IsEmpty()) return out;
  // At most three bytes for each UTF-16 unit.
  out.resize(static_cast<size_t>(path.Length()) * 3);
  int32_t written = 0;
  UErrorCode status = U_ZERO_ERROR;
  u_strToUTF8WithSub(out.data(), NumericCast<int32_t>(out.size()), &written, path.CStr(),
                     NumericCast<int32_t>(path.Length()), 0xFFFD, nullptr, &status);
  if (U_FAILURE(status)) exception::ThrowAt(exception::InvalidArgument(), kSite, __LINE__);
  out.resize(static_cast<size_t>(written));
  return out;
}

WString ToWide(std::string_view name) {
  WString out;
  if (name.empty()) return out;
  // Never more UTF-16 units than bytes.
  uint32_t capacity = NumericCast<uint32_t>(name.size());
  WChar* target = out.ReserveAppend(capacity);
  int32_t written = 0;
  UErrorCode status = U_ZERO_ERROR;
  u_strFromUTF8WithSub(target, static_cast<int32_t>(capacity), &written, name.data(), NumericCast<int32_t>(name.size()),
                       0xFFFD, nullptr, &status);
  if (U_FAILURE(status)) exception::ThrowAt(exception::InvalidArgument(), kSite, __LINE__);
  out.CommitAppend(static_cast<uint32_t>(written));
  return out;
}

}  // namespace vel::ulmo::osdep::filename
