// What asking for statistics (kit/Statistics.h: "statistics" = "bm25" on the
// domain) costs each reference plugin on its sample data: the same queries,
// through the library, with the statistics ("ours") and without ("floor").
// The goal: at most half again as long.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>
#include <vector>

#include "bench/Pairs.h"
#include "tessik/Query.h"
#include "tessik/TessikClient.h"

TESSIK_PAIR_TARGET(StatisticsFiles, 1.5);
TESSIK_PAIR_TARGET(StatisticsXapian, 1.5);
TESSIK_PAIR_TARGET(StatisticsSqlite, 1.5);

namespace {

std::basic_string<TessikChar> T(const std::string& s) { return std::basic_string<TessikChar>(s.begin(), s.end()); }

// A mix: common words (every plugin at its limit of 100), one word, stems,
// a title word, words as written, two words that must meet.
const char* const kQueries[] = {
    R"(<Query><TermGroup compose="Or"><Term><Text>time</Text></Term><Term><Text>file</Text></Term>)"
    R"(<Term><Text>life</Text></Term></TermGroup></Query>)",
    R"(<Query><TermGroup><Term><Text>memory</Text></Term></TermGroup></Query>)",
    R"(<Query stemming="true"><TermGroup><Term><Text>running</Text></Term></TermGroup></Query>)",
    R"(<Query><TermGroup><Term><Text>fork</Text><Field>title</Field></Term></TermGroup></Query>)",
    R"(<Query case_sensitivity="true"><TermGroup><Term><Text>Linux</Text></Term></TermGroup></Query>)",
    R"(<Query><TermGroup><Term><Text>the</Text></Term><Term><Text>process</Text></Term></TermGroup></Query>)",
};

void Run(benchmark::State& state, const char* plugin, bool statistics) {
  if (!std::filesystem::exists(TESSIK_SAMPLE_DIR "/glosses.xapian")) {
    state.SkipWithError("no sample data: build the sample_data target");
    return;
  }
  uint32_t id = 0;
  Tessik_OpenSession(nullptr, &id);
  const std::string path = std::string(TESSIK_REFERENCE_PLUGIN_DIR) + "/" + plugin + TESSIK_PLUGIN_SUFFIX;
  if (Tessik_LoadPluginByPath(id, T(path).c_str()) != TESSIK_OK) {
    state.SkipWithError("the plugin would not load");
    Tessik_CloseSession(id);
    return;
  }
  Tessik_InitSearch(id);
  const std::string domain = std::string("<Domain><Name>") + plugin + "</Name>" +
                             (statistics ? R"(<Property name="statistics">bm25</Property>)" : "") + "</Domain>";
  std::vector<IQuery*> queries;
  for (const char* text : kQueries) {
    std::string xml = text;
    xml.insert(xml.find('>') + 1, domain);
    IQuery* query = nullptr;
    Tessik_ParseQueryFromXML(T(xml).c_str(), &query);
    queries.push_back(query);
  }
  // The first searches warm the caches: not part of a search.
  for (IQuery* query : queries) {
    TessikChar* text = nullptr;
    Tessik_SyncSearch(id, query, &text, 0);
    Tessik_Release(text);
  }
  for (auto _ : state) {
    for (IQuery* query : queries) {
      TessikChar* text = nullptr;
      Tessik_SyncSearch(id, query, &text, 0);
      benchmark::DoNotOptimize(text);
      Tessik_Release(text);
    }
  }
  for (IQuery* query : queries) Tessik_ReleaseQuery(query);
  Tessik_CloseSession(id);
}

}  // namespace

BENCHMARK_CAPTURE(Run, files_ours, "files", true)->Name("StatisticsFiles/ours")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Run, files_floor, "files", false)->Name("StatisticsFiles/floor")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Run, xapian_ours, "xapian", true)->Name("StatisticsXapian/ours")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Run, xapian_floor, "xapian", false)->Name("StatisticsXapian/floor")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Run, sqlite_ours, "sqlite", true)->Name("StatisticsSqlite/ours")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Run, sqlite_floor, "sqlite", false)->Name("StatisticsSqlite/floor")->Unit(benchmark::kMillisecond);
