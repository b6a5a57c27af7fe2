// The named Mutex and NamedEvent as threads of one process see them, on both
// systems. Names are unique per run: the objects are machine-wide.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <future>
#include <memory>
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

// `body` on a thread of its own. One that never finishes is left to the
// process's end, so a lost wake-up fails the test instead of hanging it;
// bodies open their own objects by name, so none refers to the test's stack.
class Async {
 public:
  explicit Async(std::function<void()> body) {
    std::thread([body, done = done_] { body(), done->set_value(); }).detach();
  }
  bool Within(std::chrono::milliseconds limit) const { return finished_.wait_for(limit) == std::future_status::ready; }

 private:
  std::shared_ptr<std::promise<void>> done_ = std::make_shared<std::promise<void>>();
  std::future<void> finished_ = done_->get_future();
};
using Waiters = std::vector<std::unique_ptr<Async>>;

Waiters Wait(const WString& name, bool manual, int count) {
  Waiters waiters;
  while (count-- > 0) waiters.push_back(std::make_unique<Async>([=] { os::NamedEvent(name, manual, false).Wait(); }));
  return waiters;
}

// How many have finished, once `expected` have or `limit` has passed.
int Finished(const Waiters& waiters, int expected, std::chrono::milliseconds limit) {
  auto end = std::chrono::steady_clock::now() + limit;
  for (;; std::this_thread::sleep_for(5ms)) {
    int n = 0;
    for (const auto& w : waiters) n += w->Within(0ms);
    if (n >= expected || std::chrono::steady_clock::now() > end) return n;
  }
}

}  // namespace

TEST(NamedObjects, MutexIsRecursiveAndOneLockPerName) {
  WString name = UniqueName("mutex");
  os::Mutex mutex(name), also(name);
  mutex.Lock();
  also.Lock();  // recursive for its owner, through any object of the name
  Async other([name] {  // the same lock under another object
    os::Mutex mine(name);
    os::MutexLock hold(mine);
  });
  also.Unlock();
  EXPECT_FALSE(other.Within(100ms)) << "free after one of two unlocks";
  mutex.Unlock();
  EXPECT_TRUE(other.Within(10s));
}

TEST(NamedObjects, AutoResetReleasesOneWaiterPerSet) {
  WString name = UniqueName("auto");
  os::NamedEvent event(name, false, false);
  event.Set();
  event.Set();  // already signalled: no second release is stored
  EXPECT_EQ(Finished(Wait(name, false, 1), 1, 10s), 1);
  Waiters waiters = Wait(name, false, 3);
  EXPECT_EQ(Finished(waiters, 1, 100ms), 0) << "a successful wait clears an auto-reset event";
  for (int released = 1; released <= 3; ++released) {
    event.Set();
    EXPECT_EQ(Finished(waiters, released, 10s), released);
    EXPECT_EQ(Finished(waiters, released + 1, 100ms), released) << "one waiter per Set";
  }
}

TEST(NamedObjects, ManualResetReleasesEveryoneUntilReset) {
  WString name = UniqueName("manual");
  os::NamedEvent event(name, true, false);
  Waiters waiters = Wait(name, true, 3);
  EXPECT_EQ(Finished(waiters, 1, 100ms), 0);
  event.Set();
  EXPECT_EQ(Finished(waiters, 3, 10s), 3);
  EXPECT_EQ(Finished(Wait(name, true, 1), 1, 10s), 1) << "stays signalled";
  event.Reset();
  Waiters late = Wait(name, true, 1);
  EXPECT_EQ(Finished(late, 1, 100ms), 0);
  event.Set();
  EXPECT_EQ(Finished(late, 1, 10s), 1);
}
