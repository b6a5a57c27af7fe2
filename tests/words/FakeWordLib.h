// A stand-in for the word library: it exports the five entry points, records
// every call, and answers as the test tells it through FakeWordLib_Configure.
// Tests reach it by loading "WordNetEn" themselves, which gives them the very
// module the word library manager loaded.
#ifndef TESSIK_TESTS_WORDS_FAKEWORDLIB_H_
#define TESSIK_TESTS_WORDS_FAKEWORDLIB_H_

#include <cstdint>

struct FakeWordRecord {
  int32_t initCalls;
  int32_t closeCalls;
  int32_t synonymCalls;
  int32_t stemmingCalls;
  int32_t releaseCalls;
  int32_t mostCallsAtOnce;  // the most calls that were inside the fake together
  int32_t lastKind;         // the constant of the last look-up
  void* lastReleased;
  void* lastHandedOut;
  char dictionary[1024];  // the path WordNet_LexisInit was given
  char lastWord[256];     // the bytes of the last look-up's word
};

struct FakeWordConfig {
  int32_t initResult = 0;
  int32_t lookupResult = 0;  // a list is handed out only with 0
  int32_t releaseResult = 0;
  int32_t pauseMicroseconds = 0;  // time each call stays inside, so overlaps show
};

using FakeConfigureFn = void (*)(const FakeWordConfig*);
using FakeReadFn = void (*)(FakeWordRecord*);

#endif  // TESSIK_TESTS_WORDS_FAKEWORDLIB_H_
