#include "ulmo/NSString.h"

#include <cstring>

namespace Tessik {

NSString& NSString::operator=(const NSString& other) {
  if (this != &other) {
    WString copy(other.GetString());
    FreeCaches();
    wideText_ = nullptr;
    narrowText_ = nullptr;
    kind_ = kValue;
    value_.Swap(copy);
  }
  return *this;
}

NSString::~NSString() { FreeCaches(); }

void NSString::FreeCaches() const {
  if (ownsWideText_) delete[] wideText_;
  if (ownsNarrowText_) delete[] narrowText_;
  ownsWideText_ = ownsNarrowText_ = false;
}

const WString& NSString::GetString() const {
  if (kind_ == kBorrowedWide) {
    value_.Assign(wideText_, WString::LengthOf(wideText_));
  } else if (kind_ == kBorrowedNarrow) {
    value_.Clear();
    value_.AppendAnsi(narrowText_);
  }
  return value_;
}

const WChar* NSString::GetWideText() const {
  if (kind_ == kBorrowedWide || kind_ == kUnset) return wideText_;
  const WString& value = GetString();
  WChar* copy = new WChar[value.Length() + 1];
  std::memcpy(copy, value.CStr(), sizeof(WChar) * (value.Length() + 1));
  if (ownsWideText_) delete[] wideText_;
  wideText_ = copy;
  ownsWideText_ = true;
  return wideText_;
}

const char* NSString::GetNarrowText() const {
  if (kind_ == kBorrowedNarrow || kind_ == kUnset) return narrowText_;
  vel::ulmo::AString narrow(GetString());
  char* copy = new char[narrow.Length() + 1];
  std::memcpy(copy, narrow.CStr(), narrow.Length() + 1);
  if (ownsNarrowText_) delete[] narrowText_;
  narrowText_ = copy;
  ownsNarrowText_ = true;
  return narrowText_;
}

}  // namespace Tessik
