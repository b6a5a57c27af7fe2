// A federated search over the three reference plugins and their sample
// data, through the library, against calling the same plugins' searches
// directly and joining their result texts: what the library adds to a real
// search is its bookkeeping and the merge.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "bench/Pairs.h"
#include "tessik/Plugin.h"
#include "tessik/Query.h"
#include "ulmo/osdep/SharedLibrary.h"

TESSIK_PAIR_TARGET(FederatedSync, 1.5);

namespace {

using vel::ulmo::AString;
using vel::ulmo::WString;

const char* const kDomains[] = {"files", "sqlite", "xapian"};

std::string PluginPath(const char* domain) {
  return std::string(TESSIK_REFERENCE_PLUGIN_DIR) + "/" + domain + TESSIK_PLUGIN_SUFFIX;
}

std::basic_string<TessikChar> T(const std::string& s) { return std::basic_string<TessikChar>(s.begin(), s.end()); }

// Words common enough that every plugin finds its limit of 100 hits.
IQuery* Query() {
  IQuery* query = nullptr;
  Tessik_ParseQueryFromXML(T("<Query><TermGroup compose=\"Or\"><Term><Text>time</Text></Term>"
                             "<Term><Text>file</Text></Term><Term><Text>life</Text></Term></TermGroup></Query>")
                               .c_str(),
                           &query);
  return query;
}

bool Ready(benchmark::State& state) {
  if (std::filesystem::exists(TESSIK_SAMPLE_DIR "/glosses.xapian")) return true;
  state.SkipWithError("no sample data: build the sample_data target");
  return false;
}

void FederatedSync_ours(benchmark::State& state) {
  if (!Ready(state)) return;
  uint32_t id = 0;
  Tessik_OpenSession(nullptr, &id);
  for (const char* domain : kDomains) Tessik_LoadPluginByPath(id, T(PluginPath(domain)).c_str());
  Tessik_InitSearch(id);
  IQuery* query = Query();
  // The first search of each plugin warms its caches: not part of a search.
  TessikChar* first = nullptr;
  Tessik_SyncSearch(id, query, &first, 0);
  Tessik_Release(first);
  size_t bytes = 0;
  for (auto _ : state) {
    TessikChar* text = nullptr;
    Tessik_SyncSearch(id, query, &text, 0);
    bytes = std::char_traits<TessikChar>::length(text) * sizeof(TessikChar);
    benchmark::DoNotOptimize(text);
    Tessik_Release(text);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
  Tessik_ReleaseQuery(query);
  Tessik_CloseSession(id);
}

void FederatedSync_floor(benchmark::State& state) {
  if (!Ready(state)) return;
  std::vector<std::unique_ptr<vel::ulmo::osdep::SharedLibrary>> libraries;
  std::vector<PluginSyncSearch> searches;
  std::vector<PluginFinishSearch> finishes;
  std::vector<void*> handles;
  for (const char* domain : kDomains) {
    libraries.push_back(
        std::make_unique<vel::ulmo::osdep::SharedLibrary>(WString(AString(PluginPath(domain).c_str()))));
    auto init = reinterpret_cast<PluginInitSearch>(libraries.back()->GetSymbol(AString("InitSearch"), false));
    handles.push_back(init(1));
    searches.push_back(reinterpret_cast<PluginSyncSearch>(libraries.back()->GetSymbol(AString("SyncSearch"), false)));
    finishes.push_back(
        reinterpret_cast<PluginFinishSearch>(libraries.back()->GetSymbol(AString("FinishSearch"), false)));
  }
  IQuery* query = Query();
  for (size_t i = 0; i < searches.size(); ++i) {
    TessikChar* first = nullptr;
    searches[i](handles[i], query, &first, 0);
    Tessik_Release(first);
  }
  size_t bytes = 0;
  for (auto _ : state) {
    std::basic_string<TessikChar> all;
    for (size_t i = 0; i < searches.size(); ++i) {
      TessikChar* text = nullptr;
      searches[i](handles[i], query, &text, 0);
      if (text != nullptr) all.append(text);
      Tessik_Release(text);
    }
    bytes = all.size() * sizeof(TessikChar);
    benchmark::DoNotOptimize(all.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
  for (size_t i = 0; i < finishes.size(); ++i) finishes[i](handles[i]);
  Tessik_ReleaseQuery(query);
}

}  // namespace

BENCHMARK(FederatedSync_ours)->Name("FederatedSync/ours")->Unit(benchmark::kMillisecond);
BENCHMARK(FederatedSync_floor)->Name("FederatedSync/floor")->Unit(benchmark::kMillisecond);
