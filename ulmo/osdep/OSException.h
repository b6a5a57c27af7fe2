// Exceptions that carry an operating-system error: OSException, and
// SystemError (the class WinError) for a refused system call. Its number is
// the platform's own (the thread's last-error value on Windows, errno on
// posix); GetErrorCode maps both platforms' numbers by meaning onto the same
// small set of codes.
#ifndef VEL_ULMO_OSDEP_OSEXCEPTION_H_
#define VEL_ULMO_OSDEP_OSEXCEPTION_H_

#include <cstdint>

#include "ulmo/StringBase.h"
#include "ulmo/exception/Exception.h"

namespace vel::ulmo::osdep {

class OSException : public exception::Exception {
 public:
  OSException() : message("Unknown error") {}
  OSException(const AString& text, uint32_t error) : message(text), systemError(error) {}
  const char* what() const noexcept override { return message.CStr(); }
  uint32_t GetErrorCode() const override { return 42; }
  virtual uint32_t GetSystemError() const { return systemError; }

  AString message;  // what() returns it
  uint32_t systemError = 0;
};

// The error of a refused system call, on every platform. WinError is the
// name the library's callers know it by; code in the library says
// SystemError (below), which reads right on posix too, where it carries errno.
class WinError : public OSException {
 public:
  // Built from the calling thread's last system error: build it right after
  // the failed call, on the same thread, before anything else can change it.
  WinError() : WinError(LastError{LastSystemError()}) {}
  WinError(const AString& text, uint32_t error) : OSException(text, error) {}
  uint32_t GetErrorCode() const override;
  uint32_t GetSystemError() const override { return systemError; }

  // The calling thread's last system error number.
  static uint32_t LastSystemError() noexcept;

 private:
  struct LastError {
    uint32_t error;
  };
  // The number is read before any member is built, so building the message
  // cannot disturb it.
  explicit WinError(LastError last);
};

// What WinError is: the calling thread's last system error, errno on posix
// and the thread's last error (GetLastError) on Windows. Each backend's
// SystemError.cc reads the number and the system's text for it.
using SystemError = WinError;

// The two mapping tables, pure and available on every platform so both can be
// tested anywhere.
uint32_t MapWindowsError(uint32_t windowsError);
uint32_t MapErrno(int error);

// A system message cut before the character that precedes its first carriage
// return (the closing full stop), or whole when it has none.
AString CutSystemMessage(const char* text);

}  // namespace vel::ulmo::osdep

#endif  // VEL_ULMO_OSDEP_OSEXCEPTION_H_
