// tessik serve on loopback, warm: a /search round trip against the same
// asynchronous search made directly through the library (the same query,
// sessions warmed the same way, the same 10 ms poll), and how searches per
// second grow with concurrent clients (4 clients against 1; 16 printed).
#include <benchmark/benchmark.h>

#include <atomic>
#include <filesystem>
#include <memory>
#include <thread>
#include <vector>

#include "bench/Pairs.h"
#include "search/Async.h"
#include "search/Core.h"
#include "serve/Server.h"
#include "sources/Sources.h"
#include "tessik/Query.h"
#include "tests/serve/ServeClient.h"

TESSIK_PAIR_TARGET(ServeRoundTrip, 1.5);
// Four clients must reach 1.6 times the searches per second of one: a
// request's time over the same work at most 1 / 1.6 of one client's.
TESSIK_PAIR_TARGET(ServeFourClients, 0.625);

namespace {

constexpr char kTarget[] = "/search?q=water&limit=10";

tessik_serve::Catalogue Samples() {
  tessik_serve::Catalogue c;
  c.list = tessik_cli::ListToSearch(TESSIK_PROGRAM_DIR "/samples.conf");
  return c;
}

// One server for every benchmark of the run.
struct Serving {
  Serving() {
    // The engines' plugins are found by domain in the program's folder.
    std::filesystem::current_path(TESSIK_PROGRAM_DIR);
    tessik_serve::ServerOptions o;
    o.port = 0;
    o.stopOnSignals = false;
    o.log = nullptr;
    o.maxSearches = 16;
    server = std::make_unique<tessik_serve::Server>(o, Samples());
    port = server->Listen();
    thread = std::thread([this] { server->Run(); });
  }
  ~Serving() {
    server->Stop();
    thread.join();
  }
  std::unique_ptr<tessik_serve::Server> server;
  uint16_t port = 0;
  std::thread thread;
};

Serving& Server() {
  static Serving serving;
  return serving;
}

void ServeRoundTrip_ours(benchmark::State& state) {
  const uint16_t port = Server().port;
  serve_test::Get(port, kTarget);  // warms the engines' caches
  for (auto _ : state) {
    const serve_test::Reply r = serve_test::Get(port, kTarget);
    if (r.status != 200) state.SkipWithError("a search failed");
  }
}

void ServeRoundTrip_floor(benchmark::State& state) {
  Server();  // the same working folder
  const tessik_cli::SourceList list = Samples().list;
  uint32_t session = 0;
  Tessik_OpenSession(TESSIK_TEXT("bench"), &session);
  std::vector<std::string> engines;
  for (const tessik_cli::Source& s : list.sources) Tessik_LoadPluginByDomain(session, tessik_cli::Widen(s.engine).c_str());
  Tessik_InitSearch(session);
  tessik_cli::SearchOptions o;
  o.words = {"water"};
  o.limit = 10;
  std::vector<tessik_cli::DomainTarget> targets;
  for (const tessik_cli::Source& s : list.sources) targets.push_back(tessik_cli::SourceTarget(list, s, o));
  IQuery* query = nullptr;
  Tessik_ParseQueryFromXML(
      tessik_cli::Widen(tessik_cli::QueryXml(tessik_cli::QueryFromOptions(o), targets)).c_str(), &query);
  const std::atomic<bool> never{false};
  auto search = [&] {
    size_t documents = 0;
    tessik_cli::RunAsyncSearch(session, query, 10, [&](const TessikChar*) { ++documents; }, [] {},
                               std::chrono::milliseconds(20), never);
    return documents;
  };
  search();
  for (auto _ : state) benchmark::DoNotOptimize(search());
  Tessik_ReleaseQuery(query);
  Tessik_CloseSession(session);
}

// 32 searches, spread over `clients` threads.
void Spread(benchmark::State& state, int clients) {
  const uint16_t port = Server().port;
  constexpr int kSearches = 32;
  std::atomic<int> failed{0};
  for (auto _ : state) {
    std::vector<std::thread> threads;
    std::atomic<int> next{0};
    for (int c = 0; c < clients; ++c) {
      threads.emplace_back([&] {
        while (next++ < kSearches) {
          if (serve_test::Get(port, kTarget).status != 200) ++failed;
        }
      });
    }
    for (std::thread& t : threads) t.join();
  }
  if (failed > 0) state.SkipWithError("a search failed");
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * kSearches);
}

void ServeFourClients_ours(benchmark::State& state) { Spread(state, 4); }
void ServeFourClients_floor(benchmark::State& state) { Spread(state, 1); }
void ServeSixteenClients(benchmark::State& state) { Spread(state, 16); }

}  // namespace

BENCHMARK(ServeRoundTrip_ours)->Name("ServeRoundTrip/ours")->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(ServeRoundTrip_floor)->Name("ServeRoundTrip/floor")->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(ServeFourClients_ours)->Name("ServeFourClients/ours")->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(ServeFourClients_floor)->Name("ServeFourClients/floor")->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(ServeSixteenClients)->Name("ServeSixteenClients")->Unit(benchmark::kMillisecond)->UseRealTime();
