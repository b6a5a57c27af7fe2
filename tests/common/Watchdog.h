// Ends the test program when a scope takes longer than it may: a test that
// can deadlock fails instead of stalling the whole run.
#ifndef TESSIK_TESTS_COMMON_WATCHDOG_H_
#define TESSIK_TESTS_COMMON_WATCHDOG_H_

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>

class Watchdog {
 public:
  Watchdog(std::chrono::seconds limit, std::string what)
      : thread_([this, limit, what = std::move(what)] {
          std::unique_lock<std::mutex> hold(mutex_);
          if (!done_changed_.wait_for(hold, limit, [this] { return done_; })) {
            std::fprintf(stderr, "watchdog: %s did not finish within %lld s\n", what.c_str(),
                         static_cast<long long>(limit.count()));
            std::fflush(stderr);
            std::_Exit(3);
          }
        }) {}
  ~Watchdog() {
    {
      std::lock_guard<std::mutex> hold(mutex_);
      done_ = true;
    }
    done_changed_.notify_all();
    thread_.join();
  }
  Watchdog(const Watchdog&) = delete;
  Watchdog& operator=(const Watchdog&) = delete;

 private:
  std::mutex mutex_;
  std::condition_variable done_changed_;
  bool done_ = false;   // guarded by mutex_
  std::thread thread_;  // last: it reads the members above
};

#endif  // TESSIK_TESTS_COMMON_WATCHDOG_H_
