// The platform's text services: the one case-insensitive, locale-aware
// comparison of the system, lower-casing, and the ANSI code-page conversions.
//
// Windows uses CompareStringW, CharLowerBuffW and the CP_ACP conversions. The
// posix backend uses ICU: a collator for the user's default locale at
// secondary strength (case ignored, accents kept), the simple per-unit lower
// case mapping, and a converter for the character set of the environment's
// locale. Every function may be called from many threads at once.
#ifndef VEL_ULMO_OSDEP_TEXT_H_
#define VEL_ULMO_OSDEP_TEXT_H_

#include <cstdint>

#include "ulmo/StringBase.h"

namespace vel::ulmo::osdep {

// Compares two texts without NUL characters: -1, 0 or 1. A comparison the
// platform cannot perform counts as equal.
int CompareText(const WChar* a, uint32_t aLength, const WChar* b, uint32_t bLength) noexcept;

// Decides the comparison of CompareText without the full collation when it
// can do so exactly (on Linux: texts that are printable ASCII up to their
// first difference, under a collation without tailoring). False when it
// cannot; the caller then compares in full. Never decides on a NUL.
bool CompareTextQuick(const WChar* a, uint32_t aLength, const WChar* b, uint32_t bLength, int* result) noexcept;

// The weights by which CompareTextQuick decides: for a unit below 0x80, its
// weight, or 0 when the shortcut cannot decide on it. Two texts whose units
// all have weights compare exactly as their weight sequences (a proper
// prefix first), which CompareText would confirm. Null when the platform has
// no such shortcut.
const uint8_t* QuickWeights() noexcept;

// The platform's sort key of a text without NUL characters: keys compared
// byte by byte (shorter first on a common prefix) order exactly as
// CompareText orders their texts. Writes at most `capacity` bytes to `out`
// and returns the key's full length, so a caller whose buffer was too short
// asks again with that much room. 0: this platform has no such keys, or
// cannot make this one; the caller then compares with CompareText.
uint32_t SortKey(const WChar* text, uint32_t length, uint8_t* out, uint32_t capacity) noexcept;

void LowerText(WChar* text, uint32_t length) noexcept;

// One step of a conversion through the ANSI code page: with `out` null it
// measures, otherwise it converts into at most `capacity` units. Returns the
// number of units, 0 when the platform refuses (its last error then tells
// why). Characters the code page lacks become "?", invalid byte sequences
// U+FFFD; neither is a failure.
uint32_t AnsiToWideStep(const char* text, int32_t length, WChar* out, uint32_t capacity) noexcept;
uint32_t WideToAnsiStep(const WChar* text, int32_t length, char* out, uint32_t capacity) noexcept;

}  // namespace vel::ulmo::osdep

#endif  // VEL_ULMO_OSDEP_TEXT_H_
