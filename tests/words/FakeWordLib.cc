// The fake word library "WordNetEn" of the export tests (see FakeWordLib.h).
#include "tests/words/FakeWordLib.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <mutex>
#include <thread>

#if defined(_WIN32)
#define FAKE_EXPORT extern "C" __declspec(dllexport)
#else
#define FAKE_EXPORT extern "C" __attribute__((visibility("default")))
#endif

namespace {

std::mutex g_mutex;
FakeWordRecord g_record;  // guarded by g_mutex
FakeWordConfig g_config;  // guarded by g_mutex
int g_inside = 0;         // guarded by g_mutex
int g_lists[16];          // what look-ups hand out: addresses nobody frees

// Counts a call as inside for its duration and pauses in it.
class Inside {
 public:
  Inside() {
    std::lock_guard<std::mutex> hold(g_mutex);
    ++g_inside;
    g_record.mostCallsAtOnce = std::max(g_record.mostCallsAtOnce, g_inside);
    pause_ = g_config.pauseMicroseconds;
  }
  ~Inside() {
    if (pause_ > 0) std::this_thread::sleep_for(std::chrono::microseconds(pause_));
    std::lock_guard<std::mutex> hold(g_mutex);
    --g_inside;
  }

 private:
  int pause_ = 0;
};

void Copy(char* to, size_t size, const char* from) {
  std::strncpy(to, from, size - 1);
  to[size - 1] = 0;
}

int32_t Lookup(const char* word, void** list, int32_t kind, int32_t& calls) {
  Inside inside;
  std::lock_guard<std::mutex> hold(g_mutex);
  ++calls;
  g_record.lastKind = kind;
  Copy(g_record.lastWord, sizeof g_record.lastWord, word);
  if (g_config.lookupResult == 0) {
    *list = &g_lists[(g_record.synonymCalls + g_record.stemmingCalls) % 16];
    g_record.lastHandedOut = *list;
  }
  return g_config.lookupResult;
}

}  // namespace

FAKE_EXPORT int32_t WordNet_LexisInit(const char* path) {
  Inside inside;
  std::lock_guard<std::mutex> hold(g_mutex);
  ++g_record.initCalls;
  Copy(g_record.dictionary, sizeof g_record.dictionary, path);
  return g_config.initResult;
}

FAKE_EXPORT int32_t WordNet_LexisClose() {
  Inside inside;
  std::lock_guard<std::mutex> hold(g_mutex);
  ++g_record.closeCalls;
  return 0;
}

FAKE_EXPORT int32_t WordNet_GetSynonym(const char* word, void** list, int32_t kind) {
  return Lookup(word, list, kind, g_record.synonymCalls);
}

FAKE_EXPORT int32_t WordNet_GetStemming(const char* word, void** list, int32_t kind) {
  return Lookup(word, list, kind, g_record.stemmingCalls);
}

FAKE_EXPORT int32_t WordNet_ReleaseWordList(void* list) {
  Inside inside;
  std::lock_guard<std::mutex> hold(g_mutex);
  ++g_record.releaseCalls;
  g_record.lastReleased = list;
  return g_config.releaseResult;
}

FAKE_EXPORT void FakeWordLib_Configure(const FakeWordConfig* config) {
  std::lock_guard<std::mutex> hold(g_mutex);
  g_config = *config;
}

FAKE_EXPORT void FakeWordLib_Read(FakeWordRecord* out) {
  std::lock_guard<std::mutex> hold(g_mutex);
  *out = g_record;
}
