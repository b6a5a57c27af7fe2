// StringBase: the support library's string, in two widths. AString holds
// 8-bit text in the system's ANSI code page, WString UTF-16 code units.
//
// Three pointers describe the buffer: begin, end (one past the last
// character) and the capacity end. The buffer always has room for one more
// character than the capacity, and *end is always NUL, so CStr() is a valid
// NUL-terminated text at all times; even an empty string owns a one-character
// buffer. Lengths and positions are unsigned 32-bit; npos means "not found"
// or, as a count, "to the end". Buffers come from osdep::TaskAlloc.
#ifndef VEL_ULMO_STRINGBASE_H_
#define VEL_ULMO_STRINGBASE_H_

#include <cstdint>
#include <cstring>
#include <new>
#include <type_traits>
#include <utility>

#include "tessik/Char.h"
#include "ulmo/NumericCast.h"
#include "ulmo/SafeInteger.h"
#include "ulmo/osdep/Memory.h"

// The formatter on Debian 12 cannot lay out requires-clauses.
// clang-format off
namespace vel::ulmo {

using WChar = TessikChar;

template <class Ch>
class StringBase;
using AString = StringBase<char>;
using WString = StringBase<WChar>;

namespace osdep {
// Appends the conversion of [first, last) through the ANSI code page.
void AnsiToWide(const char* first, const char* last, WString& out);
void WideToAnsi(const WChar* first, const WChar* last, AString& out);
}  // namespace osdep

// Running out of memory for a string buffer: the standard allocation failure,
// with the system's own wording.
class BadAllocation : public std::bad_alloc {
 public:
  const char* what() const noexcept override { return "bad allocation"; }
};

namespace detail {
[[noreturn]] void ThrowStringOffsetOutOfRange(uint32_t line);
// The platform's case-insensitive, locale-aware comparison with the NUL-run
// rule; negative, zero or positive.
int CompareWide(const WChar* a, uint32_t aLength, const WChar* b, uint32_t bLength);
void LowerWide(WChar* text, uint32_t length);
}  // namespace detail

// The comparison rule of every name, key and keyword: case-insensitive and
// locale-aware, over texts given with their lengths.
inline int CompareIgnoringCase(const WChar* a, uint32_t aLength, const WChar* b, uint32_t bLength) {
  return detail::CompareWide(a, aLength, b, bLength);
}

template <class Ch>
class StringBase {
  static constexpr bool kWide = std::is_same_v<Ch, WChar>;

 public:
  using CharType = Ch;
  static constexpr uint32_t npos = 0xFFFFFFFFu;

  StringBase() { Allocate(0); }
  StringBase(const Ch* text) { InitFrom(text, text ? LengthOf(text) : 0); }  // NOLINT: implicit by design
  StringBase(const Ch* text, uint32_t length) { InitFrom(text, length); }
  StringBase(const Ch* first, const Ch* last) { InitFrom(first, NumericCast<uint32_t>(last - first)); }
  StringBase(uint32_t count, Ch c) {
    Allocate(count);
    for (uint32_t i = 0; i < count; ++i) begin_[i] = c;
    SetLength(count);
  }
  StringBase(const StringBase& other) { InitFrom(other.begin_, other.Length()); }

  // Across widths, always through the ANSI code page.
  template <class Other>
    requires(!std::is_same_v<Other, Ch> && (std::is_same_v<Other, char> || std::is_same_v<Other, WChar>))
  explicit StringBase(const Other* text) {
    Allocate(0);
    if (text != nullptr) Convert(text, text + StringBase<Other>::LengthOf(text));
  }
  template <class Other>
    requires(!std::is_same_v<Other, Ch>)
  explicit StringBase(const StringBase<Other>& other) {
    Allocate(0);
    Convert(other.CStr(), other.End());
  }

  StringBase& operator=(const StringBase& other) {
    if (this != &other) Assign(other.begin_, other.Length());
    return *this;
  }
  // Moving swaps buffers, so the source stays a valid string.
  StringBase& operator=(StringBase&& other) noexcept {
    Swap(other);
    return *this;
  }
  void Swap(StringBase& other) noexcept {
    std::swap(begin_, other.begin_);
    std::swap(end_, other.end_);
    std::swap(capacityEnd_, other.capacityEnd_);
  }

  ~StringBase() { osdep::TaskFree(begin_); }

  uint32_t Length() const { return static_cast<uint32_t>(end_ - begin_); }
  uint32_t Capacity() const { return static_cast<uint32_t>(capacityEnd_ - begin_); }
  bool IsEmpty() const { return end_ == begin_; }
  const Ch* CStr() const { return begin_; }
  const Ch* End() const { return end_; }
  Ch* Data() { return begin_; }
  Ch& operator[](uint32_t i) { return begin_[i]; }
  const Ch& operator[](uint32_t i) const { return begin_[i]; }

  // --- Appending --------------------------------------------------------------

  StringBase& Append(const Ch* text) { return text ? Append(text, LengthOf(text)) : *this; }

  // `text` may point into this string's own buffer.
  StringBase& Append(const Ch* text, uint32_t length) {
    if (length == 0) return *this;
    uint32_t old = Length();
    uint32_t newLength = (SafeInteger(old) + SafeInteger(length)).Value();
    if (newLength > Capacity()) {
      const Ch* oldBegin = begin_;
      bool inside = text >= begin_ && text <= end_;
      Grow(newLength);
      if (inside) text = begin_ + (text - oldBegin);
    }
    std::memmove(begin_ + old, text, sizeof(Ch) * length);
    SetLength(newLength);
    return *this;
  }

  StringBase& Append(const StringBase& other) { return Append(other.begin_, other.Length()); }

  // Inserts `length` characters at `position` (at most the length), moving
  // the rest up; grows as Append does. `text` must not point into this string.
  StringBase& Insert(uint32_t position, const Ch* text, uint32_t length) {
    uint32_t old = Length();
    if (position > old) detail::ThrowStringOffsetOutOfRange(__LINE__);
    if (length == 0) return *this;
    uint32_t newLength = (SafeInteger(old) + SafeInteger(length)).Value();
    if (newLength > Capacity()) Grow(newLength);
    std::memmove(begin_ + position + length, begin_ + position, sizeof(Ch) * (old - position));
    std::memcpy(begin_ + position, text, sizeof(Ch) * length);
    SetLength(newLength);
    return *this;
  }

  // The first `count` characters of `other` (all of it when count exceeds its length).
  StringBase& Append(const StringBase& other, uint32_t count) {
    return Append(other.begin_, count < other.Length() ? count : other.Length());
  }

  StringBase& Append(uint32_t count, Ch c) {
    if (count == 0) return *this;
    uint32_t old = Length();
    uint32_t newLength = (SafeInteger(old) + SafeInteger(count)).Value();
    if (newLength > Capacity()) Grow(newLength);
    for (uint32_t i = 0; i < count; ++i) begin_[old + i] = c;
    SetLength(newLength);
    return *this;
  }

  // A NUL-terminated 8-bit text converted through the ANSI code page.
  StringBase& AppendAnsi(const char* text)
    requires kWide
  {
    if (text != nullptr) osdep::AnsiToWide(text, text + StringBase<char>::LengthOf(text), *this);
    return *this;
  }

  // Makes room for `count` more characters and returns where they go; the
  // caller writes them and then calls CommitAppend. Used by the conversions.
  Ch* ReserveAppend(uint32_t count) {
    uint32_t newLength = (SafeInteger(Length()) + SafeInteger(count)).Value();
    if (newLength > Capacity()) Grow(newLength);
    return end_;
  }
  void CommitAppend(uint32_t written) { SetLength(Length() + written); }

  friend StringBase operator+(const StringBase& a, const StringBase& b) {
    StringBase result(Exactly{}, (SafeInteger(a.Length()) + SafeInteger(b.Length())).Value());
    std::memcpy(result.begin_, a.begin_, sizeof(Ch) * a.Length());
    std::memcpy(result.begin_ + a.Length(), b.begin_, sizeof(Ch) * b.Length());
    result.SetLength(a.Length() + b.Length());
    return result;
  }

  // --- Replacing and removing -------------------------------------------------

  void Assign(const Ch* text, uint32_t length) {
    if (text == begin_) return;
    if (text >= begin_ && text <= end_) {
      // Part of our own buffer: copy it out first, the buffer may move.
      StringBase copy(text, length);
      Swap(copy);
      return;
    }
    // Exactly n when n does not fit or the buffer is over twice too big.
    if (length > Capacity() || Capacity() > 2 * uint64_t{length}) Resize(length);
    if (length) std::memcpy(begin_, text, sizeof(Ch) * length);
    SetLength(length);
  }

  void Erase(uint32_t position, uint32_t count, bool shrink) {
    uint32_t length = Length();
    if (position > length) detail::ThrowStringOffsetOutOfRange(__LINE__);
    uint32_t removed = count < length - position ? count : length - position;
    std::memmove(begin_ + position, begin_ + position + removed, sizeof(Ch) * (length - position - removed + 1));
    end_ -= removed;
    uint32_t newLength = length - removed;
    if (shrink && Capacity() > 2 * uint64_t{newLength}) Resize(newLength);
  }

  void Clear() { SetLength(0); }

  // --- Searching --------------------------------------------------------------

  uint32_t Find(const Ch* sub, uint32_t subLength, uint32_t position) const {
    uint32_t length = Length();
    if (position >= length) return npos;
    if (subLength == 0) return position;
    if (subLength > length - position) return npos;
    for (uint32_t i = position; i <= length - subLength; ++i) {
      if (begin_[i] == sub[0] && std::memcmp(begin_ + i, sub, sizeof(Ch) * subLength) == 0) return i;
    }
    return npos;
  }
  uint32_t Find(const StringBase& sub, uint32_t position = 0) const {
    return Find(sub.begin_, sub.Length(), position);
  }

  uint32_t ReverseFind(const Ch* sub, uint32_t subLength, uint32_t position) const {
    uint32_t length = Length();
    if (subLength > length) return npos;
    uint32_t start = length - subLength < position ? length - subLength : position;
    for (uint32_t i = start + 1; i-- > 0;) {
      if (std::memcmp(begin_ + i, sub, sizeof(Ch) * subLength) == 0) return i;
    }
    return npos;
  }
  uint32_t ReverseFind(const StringBase& sub, uint32_t position = npos) const {
    return ReverseFind(sub.begin_, sub.Length(), position);
  }

  uint32_t FindLastOf(const StringBase& set, uint32_t position = npos) const {
    uint32_t length = Length();
    if (length == 0 || set.IsEmpty()) return npos;
    uint32_t start = length - 1 < position ? length - 1 : position;
    for (uint32_t i = start + 1; i-- > 0;) {
      for (const Ch* s = set.begin_; s != set.end_; ++s) {
        if (*s == begin_[i]) return i;
      }
    }
    return npos;
  }

  // Characters from `position` on, at most `count` of them. A position past
  // the end gives the empty string rather than reading outside the buffer.
  StringBase Substring(uint32_t position, uint32_t count = npos) const {
    uint32_t length = Length();
    if (position >= length) return StringBase();
    if (count != npos) (void)(SafeInteger(position) + SafeInteger(count));  // must fit 32 bits
    uint32_t available = length - position;
    return StringBase(begin_ + position, count < available ? count : available);
  }

  // --- Comparing and case -----------------------------------------------------

  static int Compare(const StringBase& a, const StringBase& b)
    requires kWide
  {
    return detail::CompareWide(a.begin_, a.Length(), b.begin_, b.Length());
  }
  friend bool operator==(const StringBase& a, const StringBase& b)
    requires kWide
  {
    return Compare(a, b) == 0;
  }
  friend bool operator<(const StringBase& a, const StringBase& b)
    requires kWide
  {
    return Compare(a, b) < 0;
  }
  // Against a NUL-terminated text: both taken up to their first NUL.
  bool Equals(const Ch* text) const
    requires kWide
  {
    if (text == nullptr) text = EmptyText();
    return detail::CompareWide(begin_, LengthOf(begin_), text, LengthOf(text)) == 0;
  }

  void ToLower()
    requires kWide
  {
    detail::LowerWide(begin_, Length());
  }

  static uint32_t LengthOf(const Ch* text) {
    const Ch* p = text;
    while (*p) ++p;
    return NumericCast<uint32_t>(p - text);
  }

 private:
  template <class>
  friend class StringBase;
  struct Exactly {};
  StringBase(Exactly, uint32_t capacity) { Allocate(capacity); }

  static const Ch* EmptyText() {
    static const Ch empty[1] = {0};
    return empty;
  }

  static size_t BytesFor(uint32_t capacity) {
    SafeInteger units = SafeInteger(capacity) + SafeInteger(1);
    if constexpr (sizeof(Ch) == 2) units = units.Doubled();
    return units.Value();
  }

  void InitFrom(const Ch* text, uint32_t length) {
    Allocate(length);
    if (length) std::memcpy(begin_, text, sizeof(Ch) * length);
    SetLength(length);
  }

  void Allocate(uint32_t capacity) {
    begin_ = static_cast<Ch*>(osdep::TaskAlloc(BytesFor(capacity)));
    if (begin_ == nullptr) throw BadAllocation();
    end_ = begin_;
    *end_ = 0;
    capacityEnd_ = begin_ + capacity;
  }

  // Moves to a buffer of exactly `capacity`; on failure the old one stays.
  void Resize(uint32_t capacity) {
    uint32_t length = Length();
    Ch* moved = static_cast<Ch*>(osdep::TaskRealloc(begin_, BytesFor(capacity)));
    if (moved == nullptr) throw BadAllocation();
    begin_ = moved;
    end_ = begin_ + (length < capacity ? length : capacity);
    *end_ = 0;
    capacityEnd_ = begin_ + capacity;
  }

  // Growth on append: twice the new length, or exactly the new length when
  // twice does not fit or the allocator refuses it.
  void Grow(uint32_t newLength) {
    uint64_t doubled = 2 * uint64_t{newLength};
    if (FitsChecks(doubled)) {
      uint32_t length = Length();
      Ch* moved = static_cast<Ch*>(osdep::TaskRealloc(begin_, BytesFor(static_cast<uint32_t>(doubled))));
      if (moved != nullptr) {
        begin_ = moved;
        end_ = begin_ + length;
        capacityEnd_ = begin_ + doubled;
        return;
      }
    }
    Resize(newLength);
  }

  // Whether a capacity passes the byte-count checks of BytesFor.
  static bool FitsChecks(uint64_t capacity) {
    return capacity + 1 <= (sizeof(Ch) == 2 ? 0x7FFFFFFFu : 0xFFFFFFFFu);
  }

  void SetLength(uint32_t length) {
    end_ = begin_ + length;
    *end_ = 0;
  }

  template <class Other>
  void Convert(const Other* first, const Other* last) {
    if constexpr (kWide) {
      osdep::AnsiToWide(first, last, *this);
    } else {
      osdep::WideToAnsi(first, last, *this);
    }
  }

  Ch* begin_ = nullptr;
  Ch* end_ = nullptr;
  Ch* capacityEnd_ = nullptr;
};

// clang-format on
}  // namespace vel::ulmo

#endif  // VEL_ULMO_STRINGBASE_H_
