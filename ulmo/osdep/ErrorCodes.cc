#include <cerrno>
#include <cstring>

#include "ulmo/osdep/OSException.h"

namespace vel::ulmo::osdep {

uint32_t MapWindowsError(uint32_t windowsError) {
  switch (windowsError) {
    case 0: return 0;
    case 2:
    case 3:
    case 15: return 7;
    case 4: return 11;
    case 5: return 0x80070005u;
    case 6:
    case 87: return 1;
    case 8:
    case 14: return 2;
    case 11: return 23;
    case 16:
    case 19:
    case 32:
    case 33: return 8;
    case 20: return 37;
    case 23: return 0xFFFFFE04u;
    case 38: return 4;
    case 39: return 9;
    case 80: return 0xFFFFFF9Eu;
    default: return 42;
  }
}

uint32_t MapErrno(int error) {
  switch (error) {
    case 0: return 0;
    case ENOENT:
    case ENOTDIR: return 7;
    case EMFILE:
    case ENFILE: return 11;
    case EACCES:
    case EPERM: return 0x80070005u;
    case EBADF:
    case EINVAL: return 1;
    case ENOMEM: return 2;
    case ENOEXEC: return 23;
    case EBUSY:
    case EROFS:
    case ETXTBSY:
    case ENOTEMPTY: return 8;
    case ENODEV: return 37;
    case EIO: return 0xFFFFFE04u;
    case ENOSPC: return 9;
    case EEXIST: return 0xFFFFFF9Eu;
    default: return 42;
  }
}

AString CutSystemMessage(const char* text) {
  const char* cr = std::strchr(text, '\r');
  if (cr == nullptr) return AString(text);
  // A text that starts with its line end has nothing before it to keep.
  uint32_t keep = cr - text > 0 ? static_cast<uint32_t>(cr - text - 1) : 0;
  return AString(text, keep);
}

}  // namespace vel::ulmo::osdep
