// Synonyms of a thousand common words: Tessik_GetSynonym + Tessik_ReleaseWordList
// (the manager, its machine-wide lock and the conversion of each word) against
// WordNet_GetSynonym + WordNet_ReleaseWordList called directly, on the very
// module and open dictionary the manager uses.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "bench/CommonWords.h"
#include "bench/Pairs.h"
#include "tessik/TessikClient.h"
#include "ulmo/osdep/SharedLibrary.h"

namespace {

using LookupFn = int32_t (*)(const char* word, void** list, int32_t kind);
using ReleaseFn = int32_t (*)(void* list);

void GetSynonym1000_ours(benchmark::State& state) {
  std::vector<std::basic_string<TessikChar>> words;
  for (const char* word : tessik_bench::kCommonWords)
    words.emplace_back(word, word + std::char_traits<char>::length(word));
  for (auto _ : state) {
    for (const auto& word : words) {
      TessikWordList list = nullptr;
      if (Tessik_GetSynonym(word.c_str(), &list) != TESSIK_OK) {
        state.SkipWithError("Tessik_GetSynonym failed: is the WordNet database laid out beside the program?");
        return;
      }
      Tessik_ReleaseWordList(list);
    }
  }
}

void GetSynonym1000_floor(benchmark::State& state) {
  // Makes the manager, so the module below is the one it loaded, dictionary open.
  TessikWordList first = nullptr;
  Tessik_GetSynonym(TESSIK_TEXT("car"), &first);
  Tessik_ReleaseWordList(first);
  const vel::ulmo::WChar name[] = {'W', 'o', 'r', 'd', 'N', 'e', 't', 'E', 'n', 0};
  vel::ulmo::osdep::SharedLibrary library{vel::ulmo::WString(name)};
  auto lookup = reinterpret_cast<LookupFn>(library.GetSymbol(vel::ulmo::AString("WordNet_GetSynonym"), true));
  auto release = reinterpret_cast<ReleaseFn>(library.GetSymbol(vel::ulmo::AString("WordNet_ReleaseWordList"), true));
  if (lookup == nullptr || release == nullptr) {
    state.SkipWithError("no WordNetEn beside the program");
    return;
  }
  for (auto _ : state) {
    for (const char* word : tessik_bench::kCommonWords) {
      void* list = nullptr;
      if (lookup(word, &list, 5) != 0) {
        state.SkipWithError("WordNet_GetSynonym failed");
        return;
      }
      release(list);
    }
  }
}

}  // namespace

// Whichever side runs first in a process is slower for its first fraction
// of a second (the dictionary's mapped pages and the heap settle), so both
// warm up and the pair compares steady states.
BENCHMARK(GetSynonym1000_ours)->Name("GetSynonym1000/ours")->Unit(benchmark::kMillisecond)->MinWarmUpTime(0.5);
BENCHMARK(GetSynonym1000_floor)->Name("GetSynonym1000/floor")->Unit(benchmark::kMillisecond)->MinWarmUpTime(0.5);
TESSIK_PAIR_TARGET(GetSynonym1000, 1.2);
