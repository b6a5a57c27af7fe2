// SystemError on posix: the number is errno, the text strerror's description
// of it, and GetErrorCode maps it through MapErrno. (The class is WinError;
// see OSException.h.)
#include <cerrno>
#include <cstring>

#include "ulmo/osdep/OSException.h"

namespace vel::ulmo::osdep {

uint32_t WinError::LastSystemError() noexcept { return static_cast<uint32_t>(errno); }

WinError::WinError(LastError last) {
  systemError = last.error;
  const char* text = strerrordesc_np(static_cast<int>(last.error));
  if (text != nullptr) message = AString(text);
}

uint32_t WinError::GetErrorCode() const { return MapErrno(static_cast<int>(systemError)); }

}  // namespace vel::ulmo::osdep
