// The named Mutex and NamedEvent as threads of one process see them, on both
// systems. Names are unique per run: the objects are machine-wide.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "ulmo/osdep/Mutex.h"
#include "ulmo/osdep/NamedEvent.h"

namespace os = vel::ulmo::osdep;
using vel::ulmo::AString;
using vel::ulmo::WString;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace {

WString UniqueName(const char* what) {
  static const std::string run = std::to_string(Clock::now().time_since_epoch().count());
  return WString(AString(("TessikTest_" + run + "_" + what).c_str()));
}

// Runs `body` on `count` detached threads and counts those that finish. A
// body that never returns fails the test instead of hanging it; bodies hold
// copies only, so none refers to the test's stack.
using Counter = std::shared_ptr<std::atomic<int>>;
Counter RunDetached(int count, const std::function<void()>& body) {
  auto finished = std::make_shared<std::atomic<int>>(0);
  while (count-- > 0) std::thread([=] { body(), ++*finished; }).detach();
  return finished;
}
Counter Wait(const WString& name, bool manual, int count = 1) {
  return RunDetached(count, [=] { os::NamedEvent(name, manual, false).Wait(); });
}

// The count once it reaches `expected`, or when `limit` has passed.
int Finished(const Counter& n, int expected, std::chrono::milliseconds limit) {
  for (auto end = Clock::now() + limit; *n < expected && Clock::now() < end;) std::this_thread::sleep_for(5ms);
  return *n;
}

}  // namespace

TEST(NamedObjects, MutexIsRecursiveAndOneLockPerName) {
  WString name = UniqueName("mutex");
  os::Mutex mutex(name), also(name);
  mutex.Lock();
  also.Lock();                             // recursive for its owner, through any object of the name
  Counter other = RunDetached(1, [name] {  // the same lock under another object
    os::Mutex mine(name);
    os::MutexLock hold(mine);
  });
  also.Unlock();
  EXPECT_EQ(Finished(other, 1, 100ms), 0) << "free after one of two unlocks";
  mutex.Unlock();
  EXPECT_EQ(Finished(other, 1, 10s), 1);
}

TEST(NamedObjects, AutoResetReleasesOneWaiterPerSet) {
  WString name = UniqueName("auto");
  os::NamedEvent event(name, false, false);
  event.Set();
  event.Set();  // already signalled: no second release is stored
  EXPECT_EQ(Finished(Wait(name, false), 1, 10s), 1);
  Counter waiters = Wait(name, false, 3);
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
  Counter waiters = Wait(name, true, 3);
  EXPECT_EQ(Finished(waiters, 1, 100ms), 0);
  event.Set();
  EXPECT_EQ(Finished(waiters, 3, 10s), 3);
  EXPECT_EQ(Finished(Wait(name, true), 1, 10s), 1) << "stays signalled";
  event.Reset();
  Counter late = Wait(name, true);
  EXPECT_EQ(Finished(late, 1, 100ms), 0);
  event.Set();
  EXPECT_EQ(Finished(late, 1, 10s), 1);
}

// A bounded wait ends when its time runs out and leaves nothing behind: the
// next Set is kept for the next waiter, not for the one that gave up.
TEST(NamedObjects, BoundedWaitsGiveUpCleanly) {
  for (bool manual : {false, true}) {
    WString name = UniqueName(manual ? "bounded_manual" : "bounded_auto");
    os::NamedEvent event(name, manual, false);
    EXPECT_FALSE(event.Wait(30));
    EXPECT_FALSE(event.Wait(0));
    event.Set();
    EXPECT_TRUE(event.Wait(0));
    if (!manual) {
      EXPECT_FALSE(event.Wait(0)) << "the wait took the release";
    }
    event.Reset();
    // Three waiters time out; one Set afterwards still releases a later one.
    Counter timedOut = RunDetached(3, [=] { EXPECT_FALSE(os::NamedEvent(name, manual, false).Wait(20)); });
    EXPECT_EQ(Finished(timedOut, 3, 10s), 3);
    event.Set();
    EXPECT_TRUE(event.Wait(10000));
  }
}
