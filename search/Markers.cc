#include "search/Markers.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace Tessik::markers {
namespace {

using vel::ulmo::WChar;
using vel::ulmo::WString;

constexpr char kResultStart[] = "<result ";
constexpr char kResultsEnd[] = "</results>";
constexpr uint32_t kStartLength = sizeof kResultStart - 1, kEndLength = sizeof kResultsEnd - 1;

inline WChar LowerAscii(WChar c) { return c >= 'A' && c <= 'Z' ? WChar(c + ('a' - 'A')) : c; }

// Whether `marker` (lower case, after its '<') stands at text[at + 1 ...].
bool MatchesAt(const WChar* text, uint32_t at, uint32_t length, const char* marker, uint32_t markerLength) {
  if (length - at < markerLength) return false;
  for (uint32_t i = 1; i < markerLength; ++i) {
    if (LowerAscii(text[at + i]) != static_cast<WChar>(marker[i])) return false;
  }
  return true;
}

// Looks at a '<' at `at`, in text order: records the first start marker and
// says whether the end marker is there (which ends the search).
inline bool EndsAt(const WChar* text, uint32_t at, uint32_t length, Positions& found) {
  if (found.start == WString::npos && MatchesAt(text, at, length, kResultStart, kStartLength)) {
    found.start = at;
    return false;
  }
  if (!MatchesAt(text, at, length, kResultsEnd, kEndLength)) return false;
  found.end = at;
  return true;
}

// The first '<' in [from, length), or length: for what is left after the
// whole blocks, and where there are no vector registers to use.
uint32_t NextOpen(const WChar* text, uint32_t from, uint32_t length) {
  while (from < length && text[from] != '<') ++from;
  return from;
}

#if defined(__SSE2__)
// Real result documents have a '<' every few dozen units, so stopping at each
// one costs more than reading the text. A unit can only begin a marker when
// it is a '<' and the marker's last unit, which has no case, stands where it
// belongs: '>' nine units on for "</results>", ' ' seven units on for
// "<result ". Both are tested for 32 units at once by comparing the text with
// itself shifted, and only what passes is compared in full.
constexpr uint32_t kBlock = 32;
constexpr uint32_t kReach = kEndLength - 1;  // how far past its block a step reads

// Sixteen units as bytes. Saturation turns a unit above 0xFF into 0xFF (or 0,
// from 0x8000 on, which reads as negative), and neither is a unit looked for.
inline __m128i Bytes(const WChar* p) {
  return _mm_packus_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)),
                          _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 8)));
}

// Bit i: text[p + i] may begin a marker (the start marker only while wanted).
template <bool kWantStart>
inline uint32_t Candidates16(const WChar* p) {
  __m128i last = _mm_cmpeq_epi8(Bytes(p + kEndLength - 1), _mm_set1_epi8('>'));
  if constexpr (kWantStart) {
    last = _mm_or_si128(last, _mm_cmpeq_epi8(Bytes(p + kStartLength - 1), _mm_set1_epi8(' ')));
  }
  __m128i open = _mm_cmpeq_epi8(Bytes(p), _mm_set1_epi8('<'));
  return static_cast<uint32_t>(_mm_movemask_epi8(_mm_and_si128(open, last)));
}

template <bool kWantStart>
inline uint32_t Candidates(const WChar* p) {
  return Candidates16<kWantStart>(p) | Candidates16<kWantStart>(p + 16) << 16;
}
#endif

}  // namespace

Positions Locate(const WChar* text, uint32_t length) {
  Positions found{WString::npos, WString::npos};
  uint32_t at = 0;
#if defined(__SSE2__)
  // Whole blocks while every unit a step reads lies inside the text; each
  // block's candidates in order, so the first occurrences are what is found.
  for (; length - at >= kBlock + kReach; at += kBlock) {
    uint32_t candidates = found.start == WString::npos ? Candidates<true>(text + at) : Candidates<false>(text + at);
    for (; candidates != 0; candidates &= candidates - 1) {
      if (EndsAt(text, at + static_cast<uint32_t>(__builtin_ctz(candidates)), length, found)) return found;
    }
  }
#endif
  for (at = NextOpen(text, at, length); at < length; at = NextOpen(text, at + 1, length)) {
    if (EndsAt(text, at, length, found)) break;
  }
  return found;
}

}  // namespace Tessik::markers
