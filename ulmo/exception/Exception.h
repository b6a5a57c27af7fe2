// The support library's exception family. Every failing operation of the
// support library throws one of these, stamped with the file and line of the
// throw site; nothing in the system branches on their codes, they describe
// the failure to whoever catches it.
#ifndef VEL_ULMO_EXCEPTION_EXCEPTION_H_
#define VEL_ULMO_EXCEPTION_EXCEPTION_H_

#include <cstdint>
#include <exception>

namespace vel::ulmo::exception {

class Exception : public std::exception {
 public:
  Exception() = default;
  const char* what() const noexcept override { return "unspecified exception"; }
  virtual uint32_t GetErrorCode() const { return 0xFFFFFFFFu; }

  uint32_t line = 0;           // 0 until stamped by ThrowAt
  const char* file = nullptr;  // static text naming the throw site, null until stamped
};

class InvalidOperation : public Exception {
 public:
  const char* what() const noexcept override { return "Invalid operation"; }
  uint32_t GetErrorCode() const override { return 0x8ABC700Eu; }
};

class InvalidArgument : public Exception {
 public:
  const char* what() const noexcept override { return "Invalid argument(s)"; }
  uint32_t GetErrorCode() const override { return 0x8ABC700Fu; }
};

class OutOfRange : public Exception {
 public:
  const char* what() const noexcept override { return "Out of range"; }
  uint32_t GetErrorCode() const override { return 0x8ABC7007u; }
};

class InvalidLocale : public Exception {
 public:
  const char* what() const noexcept override { return "Invalid locale"; }
  uint32_t GetErrorCode() const override { return 0x8ABC7024u; }
};

// Stamps `e` with its throw site and throws a copy of it.
template <class E>
[[noreturn]] void ThrowAt(E e, const char* file, uint32_t line) {
  e.file = file;
  e.line = line;
  throw e;
}

}  // namespace vel::ulmo::exception

#endif  // VEL_ULMO_EXCEPTION_EXCEPTION_H_
