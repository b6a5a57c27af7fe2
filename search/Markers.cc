#include "search/Markers.h"

#include <cstring>

namespace Tessik::markers {
namespace {

using vel::ulmo::WChar;

inline WChar LowerAscii(WChar c) { return c >= 'A' && c <= 'Z' ? WChar(c + ('a' - 'A')) : c; }

// The first '<' in [from, to), or `to`. Documents are large, so four units
// are tested per step.
uint32_t NextOpen(const WChar* text, uint32_t from, uint32_t to) {
  constexpr uint64_t kOnes = 0x0001000100010001ull, kHighs = 0x8000800080008000ull;
  constexpr uint64_t kOpen = 0x003C003C003C003Cull;
  while (to - from >= 4) {
    uint64_t word;
    std::memcpy(&word, text + from, sizeof word);
    word ^= kOpen;  // a '<' becomes a zero unit
    if (((word - kOnes) & ~word & kHighs) != 0) break;
    from += 4;
  }
  while (from < to && text[from] != '<') ++from;
  return from;
}

}  // namespace

uint32_t Find(const WChar* text, uint32_t from, uint32_t to, const char* marker) {
  const uint32_t length = static_cast<uint32_t>(std::strlen(marker));
  if (to < length || from >= to) return vel::ulmo::WString::npos;
  const uint32_t last = to - length;  // the last position a whole marker fits at
  for (uint32_t at = NextOpen(text, from, to); at <= last; at = NextOpen(text, at + 1, to)) {
    uint32_t i = 1;
    while (i < length && LowerAscii(text[at + i]) == static_cast<WChar>(marker[i])) ++i;
    if (i == length) return at;
  }
  return vel::ulmo::WString::npos;
}

}  // namespace Tessik::markers
