// The search path: a synchronous search over 8 plugins against calling the
// same plugins directly; the merge against memcpy; and asynchronous reports
// from 8 threads against appending under one std::mutex.
#include <benchmark/benchmark.h>

#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "bench/Pairs.h"
#include "search/SearchMgr.h"
#include "tessik/Plugin.h"
#include "ulmo/osdep/SharedLibrary.h"

namespace {

using vel::ulmo::AString;
using vel::ulmo::WString;

WString W(const std::string& s) { return WString(AString(s.c_str())); }
std::basic_string<TessikChar> T(const std::string& s) { return std::basic_string<TessikChar>(s.begin(), s.end()); }

const int kPlugins = 8;
struct DummyQuery {
} g_query;

void SyncSearch8_ours(benchmark::State& state) {
  uint32_t id = 0;
  Tessik_OpenSession(nullptr, &id);
  for (int i = 0; i < kPlugins; ++i) Tessik_LoadPluginByDomain(id, T("Bench" + std::to_string(i)).c_str());
  Tessik_InitSearch(id);
  for (auto _ : state) {
    TessikChar* text = nullptr;
    Tessik_SyncSearch(id, &g_query, &text, 0);
    benchmark::DoNotOptimize(text);
    Tessik_Release(text);
  }
  Tessik_CloseSession(id);
}

void SyncSearch8_floor(benchmark::State& state) {
  std::vector<std::unique_ptr<vel::ulmo::osdep::SharedLibrary>> libraries;
  std::vector<PluginSyncSearch> searches;
  std::vector<void*> handles;
  for (int i = 0; i < kPlugins; ++i) {
    libraries.push_back(std::make_unique<vel::ulmo::osdep::SharedLibrary>(W("Plugins/Bench" + std::to_string(i))));
    auto init = reinterpret_cast<PluginInitSearch>(libraries.back()->GetSymbol(AString("InitSearch"), false));
    handles.push_back(init(1));
    searches.push_back(reinterpret_cast<PluginSyncSearch>(libraries.back()->GetSymbol(AString("SyncSearch"), false)));
  }
  for (auto _ : state) {
    std::u16string all;
    for (int i = 0; i < kPlugins; ++i) {
      TessikChar* text = nullptr;
      searches[i](handles[i], &g_query, &text, 0);
      all.append(reinterpret_cast<const char16_t*>(text));
      Tessik_Release(text);
    }
    benchmark::DoNotOptimize(all.data());
  }
}

// 64 documents of 100 KB each: the first whole, the others spliced in.
const std::vector<std::u16string>& Documents() {
  static const std::vector<std::u16string> documents = [] {
    std::vector<std::u16string> docs;
    for (int d = 0; d < 64; ++d) {
      std::u16string doc = u"<?xml version=\"1.0\"?><Results>";
      for (int hit = 0; doc.size() < 50 * 1024 - 40; ++hit) {
        doc += u"<Result id=\"" + std::u16string(1, char16_t(u'a' + hit % 26)) +
               u"\"><Property name=\"Title\">Some title text of a hit</Property></Result>";
      }
      doc += u"</Results>";
      docs.push_back(doc);
    }
    return docs;
  }();
  return documents;
}

void Merge64x100KB_ours(benchmark::State& state) {
  const auto& docs = Documents();
  size_t bytes = 0;
  for (const auto& d : docs) bytes += d.size() * 2;
  Tessik::CSearchMgr searchMgr(nullptr);
  for (auto _ : state) {
    for (const auto& d : docs) searchMgr.MergeResults(d.data(), static_cast<uint32_t>(d.size()));
    benchmark::DoNotOptimize(searchMgr.Results().CStr());
    state.PauseTiming();
    TessikChar* text = nullptr;  // a search empties the results: reuse that path
    searchMgr.SyncSearch(&g_query, &text, 0);
    Tessik_Release(text);
    state.ResumeTiming();
  }
  state.SetBytesProcessed(state.iterations() * bytes);
}

void Merge64x100KB_floor(benchmark::State& state) {
  const auto& docs = Documents();
  size_t bytes = 0;
  for (const auto& d : docs) bytes += d.size() * 2;
  std::vector<char> target(bytes);
  for (auto _ : state) {
    char* at = target.data();
    for (const auto& d : docs) {
      std::memcpy(at, d.data(), d.size() * 2);
      at += d.size() * 2;
    }
    benchmark::DoNotOptimize(target.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * bytes);
}

const char16_t kSmallDocument[] = u"<Results><Result id=\"x\"><Score>0.5</Score></Result></Results>";
constexpr int kReporters = 8;
constexpr int kReportsPerThread = 2000;

void DropDelivery(uint32_t, int32_t, TessikChar* text) { Tessik_Release(text); }

void Notify8Threads_ours(benchmark::State& state) {
  uint32_t id = 0;
  Tessik_OpenSession(nullptr, &id);
  Tessik_LoadPluginByDomain(id, T("Bench0").c_str());
  Tessik_InitSearch(id);
  for (auto _ : state) {
    Tessik_AsyncSearch(id, &g_query, &DropDelivery, 0, 1);
    std::vector<std::thread> threads;
    for (int t = 0; t < kReporters; ++t) {
      threads.emplace_back([id] {
        for (int i = 0; i < kReportsPerThread; ++i) {
          Tessik::CSearchMgr::PluginNotify(id, TESSIK_NOTIFY_PLUGIN_RESULTS, kSmallDocument);
        }
      });
    }
    for (auto& t : threads) t.join();
    state.PauseTiming();
    Tessik_AbortAsyncSearch(id);
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * kReporters * kReportsPerThread);
  Tessik_CloseSession(id);
}

void Notify8Threads_floor(benchmark::State& state) {
  for (auto _ : state) {
    std::mutex mutex;
    std::u16string all;
    std::vector<std::thread> threads;
    for (int t = 0; t < kReporters; ++t) {
      threads.emplace_back([&] {
        for (int i = 0; i < kReportsPerThread; ++i) {
          std::lock_guard<std::mutex> hold(mutex);
          all.append(kSmallDocument);
        }
      });
    }
    for (auto& t : threads) t.join();
    benchmark::DoNotOptimize(all.data());
  }
  state.SetItemsProcessed(state.iterations() * kReporters * kReportsPerThread);
}

}  // namespace

BENCHMARK(SyncSearch8_ours)->Name("SyncSearch8/ours");
BENCHMARK(SyncSearch8_floor)->Name("SyncSearch8/floor");
TESSIK_PAIR_TARGET(SyncSearch8, 2.0);
BENCHMARK(Merge64x100KB_ours)->Name("Merge64x100KB/ours");
BENCHMARK(Merge64x100KB_floor)->Name("Merge64x100KB/floor");
TESSIK_PAIR_TARGET(Merge64x100KB, 3.0);
BENCHMARK(Notify8Threads_ours)->Name("Notify8Threads/ours")->UseRealTime();
BENCHMARK(Notify8Threads_floor)->Name("Notify8Threads/floor")->UseRealTime();
TESSIK_PAIR_TARGET(Notify8Threads, 2.0);
