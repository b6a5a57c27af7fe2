// The server under load on loopback: 16 clients searching for as long as
// asked (30 s in the load lane). No request may fail, every answer must
// hold exactly the hits the same search gave alone, and resident memory at
// the end must be within 10% of what it was after the first 5 s. Prints
// the latency's p50 and p99.
//   serve_load_test SECONDS
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <nlohmann/json.hpp>
#include <thread>
#include <unistd.h>
#include <vector>

#include "ServeClient.h"
#include "serve/Server.h"
#include "sources/Sources.h"

namespace {

using Clock = std::chrono::steady_clock;

long ResidentKiB() {
  long pages = 0, resident = 0;
  std::ifstream("/proc/self/statm") >> pages >> resident;
  return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

std::vector<std::string> Ids(const std::string& body) {
  std::vector<std::string> ids;
  // Named: a range-for over a member of a temporary would read freed memory.
  const nlohmann::json answer = nlohmann::json::parse(body);
  for (const auto& h : answer["hits"])
    ids.push_back(h["domain"].get<std::string>() + "/" + h["id"].get<std::string>());
  return ids;
}

}  // namespace

int main(int argc, char** argv) {
  const int seconds = argc > 1 ? std::atoi(argv[1]) : 30;
  if (seconds < 6) {
    std::fprintf(stderr, "usage: serve_load_test SECONDS (at least 6)\n");
    return 2;
  }
  tessik_serve::ServerOptions o;
  o.port = 0;
  o.stopOnSignals = false;
  o.log = nullptr;
  tessik_serve::Catalogue c;
  c.list = tessik_cli::ListToSearch(TESSIK_SAMPLES_LIST);
  tessik_serve::Server server(o, c);
  const uint16_t port = server.Listen();
  std::thread serving([&] { server.Run(); });

  const std::vector<std::string> queries = {"/search?q=water&limit=20", "/search?q=memory&limit=10",
                                            "/search?q=love+life", "/search?q=free&any=1&limit=50",
                                            "/search?q=giraffe", "/search/stream?q=time&limit=10"};
  std::vector<std::vector<std::string>> expected;
  for (const std::string& q : queries) {
    const std::string plain = q.rfind("/search/stream", 0) == 0 ? "/search" + q.substr(14) : q;
    expected.push_back(Ids(serve_test::Get(port, plain).body));
  }
  std::atomic<long> failed{0}, done{0};
  std::mutex mu;
  std::vector<double> latencies;  // guarded by mu
  const auto start = Clock::now();
  const auto end = start + std::chrono::seconds(seconds);
  std::vector<std::thread> clients;
  for (int t = 0; t < 16; ++t) {
    clients.emplace_back([&, t] {
      std::vector<double> mine;
      for (size_t i = static_cast<size_t>(t); Clock::now() < end; ++i) {
        const size_t which = i % queries.size();
        const auto begun = Clock::now();
        std::vector<std::string> ids;
        bool ok = true;
        if (queries[which].rfind("/search/stream", 0) == 0) {
          serve_test::Stream stream(port, queries[which]);
          std::string last;
          bool ended = false;
          for (auto [name, data] = stream.Next(); !name.empty(); std::tie(name, data) = stream.Next()) {
            if (name == "batch") last = data;
            if (name == "done") ended = true;
          }
          ok = ended && !last.empty();
          if (ok) ids = Ids(last);
        } else {
          const serve_test::Reply r = serve_test::Get(port, queries[which]);
          ok = r.status == 200;
          if (ok) ids = Ids(r.body);
        }
        mine.push_back(std::chrono::duration<double, std::milli>(Clock::now() - begun).count());
        if (!ok || ids != expected[which]) {
          if (failed++ < 5) std::fprintf(stderr, "serve_load_test: %s answered wrongly\n", queries[which].c_str());
        }
        ++done;
      }
      std::lock_guard<std::mutex> lock(mu);
      latencies.insert(latencies.end(), mine.begin(), mine.end());
    });
  }
  std::this_thread::sleep_for(std::chrono::seconds(5));
  const long residentAt5 = ResidentKiB();
  for (std::thread& t : clients) t.join();
  const long residentAtEnd = ResidentKiB();
  server.Stop();
  serving.join();

  std::sort(latencies.begin(), latencies.end());
  const auto at = [&](double q) { return latencies.empty() ? 0.0 : latencies[static_cast<size_t>(q * (latencies.size() - 1))]; };
  const double growth = 100.0 * static_cast<double>(residentAtEnd - residentAt5) / static_cast<double>(residentAt5);
  std::printf("serve_load_test: %ld requests in %d s by 16 clients (%.0f/s), %ld wrong; latency p50 %.1f ms, p99 %.1f ms;"
              " resident %ld KiB after 5 s, %ld KiB at the end (%+.1f%%)\n",
              done.load(), seconds, static_cast<double>(done) / seconds, failed.load(), at(0.5), at(0.99), residentAt5,
              residentAtEnd, growth);
  if (failed != 0 || done == 0) return 1;
  if (growth > 10.0) {
    std::fprintf(stderr, "serve_load_test: resident memory grew by more than 10%%\n");
    return 1;
  }
  return 0;
}
