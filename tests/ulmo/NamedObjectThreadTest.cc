// The named Mutex and NamedEvent as threads of one process see them, on both
// systems. Names are unique per run: the objects are machine-wide.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "ulmo/osdep/Mutex.h"
#include "ulmo/osdep/NamedEvent.h"

namespace os = vel::ulmo::osdep;
using vel::ulmo::AString;
using vel::ulmo::WString;
using namespace std::chrono_literals;

namespace {

WString UniqueName(const char* what) {
  static const std::string run = std::to_string(std::random_device{}()) + "_" +
                                 std::to_string(std::chrono::steady_clock::now().time_since_epoch().count());
  return WString(AString(("TessikTest_" + run + "_" + what).c_str()));
}

// Runs `body` on a thread and fails (instead of hanging) when it has not
// finished within `limit`; the thread is then left to the process's end.
template <class Body>
bool FinishesWithin(std::chrono::milliseconds limit, Body body) {
  auto done = std::make_shared<std::promise<void>>();
  auto finished = done->get_future();
  std::thread([done, body]() mutable {
    body();
    done->set_value();
  }).detach();
  return finished.wait_for(limit) == std::future_status::ready;
}

}  // namespace

TEST(NamedObjects, MutexIsRecursiveAndOneLockPerName) {
  WString name = UniqueName("mutex");
  os::Mutex first(name), second(name);
  first.Lock();
  first.Lock();  // recursive for its owner
  std::atomic<bool> acquired{false};
  std::thread other([&] {
    second.Lock();  // the same lock under another object
    acquired = true;
    second.Unlock();
  });
  std::this_thread::sleep_for(50ms);
  first.Unlock();
  std::this_thread::sleep_for(50ms);
  EXPECT_FALSE(acquired) << "free after one of two unlocks";
  first.Unlock();
  other.join();
  EXPECT_TRUE(acquired);

  // Exclusion under contention: the increments of four threads add up.
  int counter = 0;
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&] {
      os::Mutex mine(name);
      for (int i = 0; i < 2000; ++i) {
        os::MutexLock hold(mine);
        ++counter;
      }
    });
  }
  for (auto& t : threads) t.join();
  EXPECT_EQ(counter, 8000);
}

TEST(NamedObjects, AutoResetReleasesOneWaiterPerSet) {
  {
    WString name = UniqueName("auto-clear");
    os::NamedEvent event(name, false, false);
    event.Set();
    event.Set();  // already signalled: no second release is stored
    ASSERT_TRUE(FinishesWithin(10s, [&] { event.Wait(); }));
    std::atomic<bool> woke{false};
    std::thread late([&] {
      os::NamedEvent again(name, false, false);
      again.Wait();
      woke = true;
    });
    std::this_thread::sleep_for(100ms);
    EXPECT_FALSE(woke) << "a successful wait clears an auto-reset event";
    event.Set();
    late.join();
  }

  os::NamedEvent event(UniqueName("auto"), false, false);
  std::atomic<int> released{0};
  std::vector<std::thread> waiters;
  for (int i = 0; i < 3; ++i) {
    waiters.emplace_back([&] {
      event.Wait();
      ++released;
    });
  }
  std::this_thread::sleep_for(100ms);
  event.Set();
  std::this_thread::sleep_for(200ms);
  EXPECT_EQ(released.load(), 1);
  event.Set();
  event.Set();
  auto deadline = std::chrono::steady_clock::now() + 10s;
  while (released < 3 && std::chrono::steady_clock::now() < deadline) std::this_thread::sleep_for(5ms);
  EXPECT_EQ(released.load(), 3);
  for (auto& t : waiters) {
    if (released == 3) t.join(); else t.detach();
  }
}

TEST(NamedObjects, ManualResetReleasesEveryoneUntilReset) {
  WString name = UniqueName("manual");
  os::NamedEvent event(name, true, false);
  std::atomic<int> released{0};
  std::vector<std::thread> waiters;
  for (int i = 0; i < 3; ++i) {
    waiters.emplace_back([&] {
      event.Wait();
      ++released;
    });
  }
  std::this_thread::sleep_for(100ms);
  event.Set();
  auto deadline = std::chrono::steady_clock::now() + 10s;
  while (released < 3 && std::chrono::steady_clock::now() < deadline) std::this_thread::sleep_for(5ms);
  EXPECT_EQ(released.load(), 3);
  for (auto& t : waiters) {
    if (released == 3) t.join(); else t.detach();
  }
  EXPECT_TRUE(FinishesWithin(10s, [&] { event.Wait(); })) << "stays signalled";
  event.Reset();
  EXPECT_FALSE(FinishesWithin(100ms, [name] {
    os::NamedEvent again(name, true, false);
    again.Wait();
  }));
  event.Set();  // releases the waiter left behind above
}
