// SystemError on Windows: the number is the thread's last error, the text
// the system's message for it, and GetErrorCode maps it through
// MapWindowsError.
#include <windows.h>

#include "ulmo/osdep/OSException.h"

namespace vel::ulmo::osdep {

uint32_t WinError::LastSystemError() noexcept { return GetLastError(); }

WinError::WinError(LastError last) {
  systemError = last.error;
  char* text = nullptr;
  DWORD length =
      FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                     nullptr, last.error, 0, reinterpret_cast<char*>(&text), 0, nullptr);
  if (length != 0 && text != nullptr) {
    try {
      message = CutSystemMessage(text);
    } catch (...) {
      LocalFree(text);
      throw;
    }
  }
  if (text != nullptr) LocalFree(text);
}

uint32_t WinError::GetErrorCode() const { return MapWindowsError(systemError); }

}  // namespace vel::ulmo::osdep
