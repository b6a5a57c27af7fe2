// The non-template parts of StringBase: the comparison with its NUL-run
// rule, lower-casing, and the one throw of Erase.
#include "ulmo/StringBase.h"

#include <cstring>

#include "ulmo/exception/OutOfRange2.h"
#include "ulmo/osdep/Text.h"

namespace vel::ulmo::detail {

void ThrowStringOffsetOutOfRange(uint32_t line) {
  exception::ThrowAt(exception::OutOfRange2(AString("String offset out of range")), "ulmo\\StringBase", line);
}

namespace {
// Index of the first NUL in [from, length), or length. Keys are short and
// compared constantly, so four units are tested per step.
uint32_t NextNul(const WChar* text, uint32_t from, uint32_t length) {
  constexpr uint64_t kOnes = 0x0001000100010001ull, kHighs = 0x8000800080008000ull;
  while (length - from >= 4) {
    uint64_t word;
    std::memcpy(&word, text + from, sizeof word);
    if (((word - kOnes) & ~word & kHighs) != 0) break;  // some unit in it is zero
    from += 4;
  }
  while (from < length && text[from] != 0) ++from;
  return from;
}

// Whether a text holds a NUL. Keys are short and compared constantly, so
// this reads four units per step and ends without a data-dependent exit: the
// last step overlaps the one before it instead of finishing unit by unit.
bool HasNul(const WChar* text, uint32_t length) {
  constexpr uint64_t kOnes = 0x0001000100010001ull, kHighs = 0x8000800080008000ull;
  if (length < 4) {
    bool nul = false;
    for (uint32_t i = 0; i < length; ++i) nul |= text[i] == 0;
    return nul;
  }
  uint64_t found = 0, word;
  for (uint32_t i = 0; i + 4 < length; i += 4) {
    std::memcpy(&word, text + i, sizeof word);
    found |= (word - kOnes) & ~word & kHighs;
  }
  std::memcpy(&word, text + length - 4, sizeof word);
  found |= (word - kOnes) & ~word & kHighs;
  return found != 0;
}
}  // namespace

int CompareWide(const WChar* a, uint32_t aLength, const WChar* b, uint32_t bLength) {
  int quick;
  if (osdep::CompareTextQuick(a, aLength, b, bLength, &quick)) return quick;
  // The common case: no NUL anywhere, one call of the platform comparison.
  if (!HasNul(a, aLength) && !HasNul(b, bLength)) return osdep::CompareText(a, aLength, b, bLength);
  uint32_t i = 0;
  for (;;) {
    uint32_t aNul = NextNul(a, i, aLength);
    uint32_t bNul = NextNul(b, i, bLength);
    // No NUL left in either: the rest is compared whole.
    if (aNul == aLength && bNul == bLength) {
      return osdep::CompareText(a + i, aLength - i, b + i, bLength - i);
    }
    // A run ends where either text holds a NUL (or ends); runs are compared
    // at equal length, then the position after them decides.
    uint32_t runEnd = aNul < bNul ? aNul : bNul;
    if (runEnd > i) {
      int c = osdep::CompareText(a + i, runEnd - i, b + i, runEnd - i);
      if (c != 0) return c;
    }
    bool aEnds = runEnd == aLength, bEnds = runEnd == bLength;
    if (aEnds || bEnds) return aEnds == bEnds ? 0 : (aEnds ? -1 : 1);
    bool aIsNul = a[runEnd] == 0, bIsNul = b[runEnd] == 0;
    if (aIsNul != bIsNul) return aIsNul ? -1 : 1;  // a NUL sorts before anything
    i = runEnd + 1;
    // A text that ends right after a shared NUL is the shorter one.
    if (i == aLength || i == bLength) return i == aLength ? (i == bLength ? 0 : -1) : 1;
  }
}

void LowerWide(WChar* text, uint32_t length) { osdep::LowerText(text, length); }

}  // namespace vel::ulmo::detail
