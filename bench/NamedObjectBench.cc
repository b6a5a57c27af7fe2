// The machine-wide Mutex and NamedEvent against the in-process primitives
// they stand in for: lock and unlock, opening a name the process already has
// open (every session and hit list does it), and a ping-pong between two
// threads on two auto-reset events.
#include <benchmark/benchmark.h>

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <random>
#include <string>
#include <thread>

#include "bench/Pairs.h"
#include "ulmo/StringBase.h"
#include "ulmo/osdep/Mutex.h"
#include "ulmo/osdep/NamedEvent.h"

using vel::ulmo::WString;
using vel::ulmo::osdep::Mutex;
using vel::ulmo::osdep::NamedEvent;

namespace {

// Names of this run only, so benchmarks running side by side never meet.
WString BenchName(const char* what) {
  static const std::string run = std::to_string(std::random_device{}());
  std::string s = "bench." + run + "." + what;
  std::u16string u(s.begin(), s.end());
  return WString(u.data(), static_cast<uint32_t>(u.size()));
}

// glibc runs std::mutex without atomic instructions until the process starts
// its second thread. A process using the library is never in that state (its
// searches run on threads of their own), and a robust mutex has no such
// shortcut, so both sides are measured in a process that has started one.
void AsInAThreadedProcess() {
  static const bool started = (std::thread([] {}).join(), true);
  benchmark::DoNotOptimize(started);
}

void MutexLock_ours(benchmark::State& state) {
  AsInAThreadedProcess();
  Mutex m(BenchName("lock"));
  for (auto _ : state) {
    m.Lock();
    m.Unlock();
  }
}

void MutexLock_floor(benchmark::State& state) {
  AsInAThreadedProcess();
  std::recursive_mutex m;
  for (auto _ : state) {
    m.lock();
    m.unlock();
  }
}

void MutexOpen_ours(benchmark::State& state) {
  WString name = BenchName("open");
  Mutex held(name);
  for (auto _ : state) {
    Mutex again(name);
    benchmark::DoNotOptimize(&again);
  }
}

void MutexOpen_floor(benchmark::State& state) {
  for (auto _ : state) {
    auto m = std::make_unique<std::recursive_mutex>();
    benchmark::DoNotOptimize(m.get());
  }
}

void EventPingPong_ours(benchmark::State& state) {
  NamedEvent ping(BenchName("ping"), false, false), pong(BenchName("pong"), false, false);
  std::atomic<bool> stop{false};
  std::thread peer([&] {
    for (;;) {
      ping.Wait();
      if (stop.load()) return;
      pong.Set();
    }
  });
  for (auto _ : state) {
    ping.Set();
    pong.Wait();
  }
  stop = true;
  ping.Set();
  peer.join();
}

void EventPingPong_floor(benchmark::State& state) {
  std::mutex mutex;
  std::condition_variable changed;
  int turn = 0;  // 1: the peer's move, 0: ours
  bool stop = false;
  std::thread peer([&] {
    std::unique_lock<std::mutex> lock(mutex);
    for (;;) {
      changed.wait(lock, [&] { return turn == 1 || stop; });
      if (stop) return;
      turn = 0;
      changed.notify_one();
    }
  });
  for (auto _ : state) {
    std::unique_lock<std::mutex> lock(mutex);
    turn = 1;
    changed.notify_one();
    changed.wait(lock, [&] { return turn == 0; });
  }
  {
    std::lock_guard<std::mutex> lock(mutex);
    stop = true;
  }
  changed.notify_one();
  peer.join();
}

}  // namespace

BENCHMARK(MutexLock_ours)->Name("MutexLock/ours");
BENCHMARK(MutexLock_floor)->Name("MutexLock/floor");
TESSIK_PAIR_TARGET(MutexLock, 1.5);
BENCHMARK(MutexOpen_ours)->Name("MutexOpen/ours");
BENCHMARK(MutexOpen_floor)->Name("MutexOpen/floor");
TESSIK_PAIR_TARGET(MutexOpen, 5);
BENCHMARK(EventPingPong_ours)->Name("EventPingPong/ours")->UseRealTime();
BENCHMARK(EventPingPong_floor)->Name("EventPingPong/floor")->UseRealTime();
TESSIK_PAIR_TARGET(EventPingPong, 1.5);
