// What every fuzz target shares: turning the fuzzer's bytes into UTF-16
// text, and failing loudly when a property does not hold.
#ifndef TESSIK_FUZZ_FUZZINPUT_H_
#define TESSIK_FUZZ_FUZZINPUT_H_

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "tessik/Char.h"

using FuzzText = std::basic_string<TessikChar>;

// Two bytes a unit, little-endian; an odd last byte is dropped. The text may
// hold NUL units: an export reads up to the first of them.
inline FuzzText Utf16(const uint8_t* data, size_t size) {
  FuzzText text;
  text.reserve(size / 2);
  for (size_t i = 0; i + 1 < size; i += 2) text.push_back(static_cast<TessikChar>(data[i] | (data[i + 1] << 8)));
  return text;
}

// A broken property is a finding: abort, so the fuzzer keeps the input.
#define FUZZ_CHECK(condition)                                                                   \
  do {                                                                                          \
    if (!(condition)) {                                                                         \
      std::fprintf(stderr, "%s:%d: property does not hold: %s\n", __FILE__, __LINE__, #condition); \
      std::abort();                                                                             \
    }                                                                                           \
  } while (0)

#endif  // TESSIK_FUZZ_FUZZINPUT_H_
