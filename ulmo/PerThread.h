// PerThread<State>: one State for each thread that uses an object.
//
// For objects that several threads may read at once while reading changes
// something (an enumeration position, a text handed out): every thread gets
// a State of its own, so one reader never disturbs another. The first thread
// to ask owns the built-in State and reaches it with one atomic load and no
// lock; the others share a short list under a lock. A State lives as long
// as the object, so a thread's handed-out texts stay valid until it asks
// again or the object goes.
//
// A thread identifier the system reuses after its thread has ended finds
// that thread's old State; as every reader starts its enumerations afresh,
// this is harmless.
#ifndef VEL_ULMO_PERTHREAD_H_
#define VEL_ULMO_PERTHREAD_H_

#include <atomic>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

namespace vel::ulmo {

template <class State>
class PerThread {
 public:
  PerThread() = default;
  PerThread(const PerThread&) = delete;
  PerThread& operator=(const PerThread&) = delete;

  // The calling thread's State, made on its first call.
  State& Get() {
    const std::thread::id me = std::this_thread::get_id();
    std::thread::id owner = firstOwner_.load(std::memory_order_acquire);
    if (owner == me) return first_;
    if (owner == std::thread::id() &&
        firstOwner_.compare_exchange_strong(owner, me, std::memory_order_acq_rel, std::memory_order_acquire)) {
      return first_;
    }
    std::lock_guard<std::mutex> hold(othersLock_);
    for (auto& [id, state] : others_) {
      if (id == me) return *state;
    }
    others_.emplace_back(me, std::make_unique<State>());
    return *others_.back().second;
  }

 private:
  std::atomic<std::thread::id> firstOwner_{};  // set once, by the first thread to ask
  State first_;                                // touched only by that thread
  std::mutex othersLock_;
  std::vector<std::pair<std::thread::id, std::unique_ptr<State>>> others_;  // guarded by othersLock_
};

}  // namespace vel::ulmo

#endif  // VEL_ULMO_PERTHREAD_H_
