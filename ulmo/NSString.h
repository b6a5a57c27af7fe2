// Tessik::NSString: the string every subsystem above the support library
// uses for names and map keys.
//
// It either holds its text (a WString) or borrows a caller's NUL-terminated
// text of either width without copying it, so texts handed in by callers can
// become keys and names for free; a copy is made only when the other width,
// or the WString value, is asked for. A borrowed text must outlive the
// NSString. Reading synchronises the value and may replace the cached texts,
// so one NSString is used by one thread at a time.
#ifndef VEL_ULMO_NSSTRING_H_
#define VEL_ULMO_NSSTRING_H_

#include <cstdint>

#include "ulmo/StringBase.h"

namespace Tessik {

using vel::ulmo::WChar;
using vel::ulmo::WString;

class NSString {
 public:
  enum Kind : uint32_t { kUnset = 0, kValue = 1, kBorrowedWide = 2, kBorrowedNarrow = 3 };

  NSString() = default;
  explicit NSString(const WString& text) : kind_(kValue), value_(text) {}
  // Borrows `text`: nothing is copied. A null text is the empty text:
  // callers' texts become names and keys without a check of their own.
  explicit NSString(const WChar* text)
      : kind_(kBorrowedWide), wideText_(const_cast<WChar*>(text != nullptr ? text : kEmptyWide)) {}
  explicit NSString(const char* text)
      : kind_(kBorrowedNarrow), narrowText_(const_cast<char*>(text != nullptr ? text : kEmptyNarrow)) {}
  // A copy always holds its own value; it never borrows.
  NSString(const NSString& other) : kind_(kValue), value_(other.GetString()) {}
  NSString& operator=(const NSString& other);
  virtual ~NSString();

  Kind kind() const { return kind_; }

  // The text as a WString, rebuilt from a borrowed text on every call.
  const WString& GetString() const;

  // NUL-terminated texts of the two widths. A borrowed text of the asked
  // width comes back as it is; otherwise a fresh copy owned by this NSString
  // is returned, and it replaces (frees) the one the previous call returned.
  // An unset NSString returns null.
  const WChar* GetWideText() const;
  const char* GetNarrowText() const;

  // Case-insensitive, locale-aware order: keys equal but for case are one key.
  friend bool operator<(const NSString& a, const NSString& b) {
    return WString::Compare(a.GetString(), b.GetString()) < 0;
  }

 private:
  void FreeCaches() const;

  static constexpr WChar kEmptyWide[1] = {0};
  static constexpr char kEmptyNarrow[1] = {0};

  Kind kind_ = kUnset;
  mutable WString value_;
  mutable WChar* wideText_ = nullptr;
  mutable bool ownsWideText_ = false;
  mutable char* narrowText_ = nullptr;
  mutable bool ownsNarrowText_ = false;
};

}  // namespace Tessik

#endif  // VEL_ULMO_NSSTRING_H_
