#include "search/Markers.h"

#include <cstring>

namespace Tessik::markers {
namespace {

using vel::ulmo::WChar;
using vel::ulmo::WString;

constexpr char kResultStart[] = "<result ";
constexpr char kResultsEnd[] = "</results>";

inline WChar LowerAscii(WChar c) { return c >= 'A' && c <= 'Z' ? WChar(c + ('a' - 'A')) : c; }

// Whether `marker` (lower case, after its '<') stands at text[at + 1 ...].
bool MatchesAt(const WChar* text, uint32_t at, uint32_t length, const char* marker, uint32_t markerLength) {
  if (length - at < markerLength) return false;
  for (uint32_t i = 1; i < markerLength; ++i) {
    if (LowerAscii(text[at + i]) != static_cast<WChar>(marker[i])) return false;
  }
  return true;
}

// The first '<' in [from, length), or length. Documents can be large, so
// eight units are tested per step.
uint32_t NextOpen(const WChar* text, uint32_t from, uint32_t length) {
  typedef uint16_t Units __attribute__((vector_size(16)));
  const Units open = {'<', '<', '<', '<', '<', '<', '<', '<'};
  while (length - from >= 8) {
    Units units;
    std::memcpy(&units, text + from, sizeof units);
    Units hits = units == open;
    uint64_t halves[2];
    std::memcpy(halves, &hits, sizeof halves);
    if ((halves[0] | halves[1]) != 0) break;
    from += 8;
  }
  while (from < length && text[from] != '<') ++from;
  return from;
}

}  // namespace

Positions Locate(const WChar* text, uint32_t length) {
  constexpr uint32_t kStartLength = sizeof kResultStart - 1, kEndLength = sizeof kResultsEnd - 1;
  Positions found{WString::npos, WString::npos};
  for (uint32_t at = NextOpen(text, 0, length); at < length; at = NextOpen(text, at + 1, length)) {
    if (found.start == WString::npos && MatchesAt(text, at, length, kResultStart, kStartLength)) {
      found.start = at;
    } else if (MatchesAt(text, at, length, kResultsEnd, kEndLength)) {
      found.end = at;
      break;
    }
  }
  return found;
}

}  // namespace Tessik::markers
