// PerThread<State>: one State for each thread that uses an object.
//
// For objects that several threads may read at once while reading changes
// something (an enumeration position, a text handed out): every thread gets
// a State of its own, so one reader never disturbs another. The first thread
// to ask owns the built-in State and reaches it with one atomic load and no
// lock; the others share a map under a lock. A State lives as long as the
// object, so a thread's handed-out texts stay valid until that thread asks
// again or the object goes.
//
// Threads are told apart by a token no other thread of the process ever
// gets (ThisThreadToken), not by the system's thread identifier: the system
// hands an ended thread's identifier to new threads, which would then take
// over, and free, texts the ended thread may have passed on. The price is
// one State per thread that ever read the object, kept until it goes.
#ifndef VEL_ULMO_PERTHREAD_H_
#define VEL_ULMO_PERTHREAD_H_

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <unordered_map>

namespace vel::ulmo {

// The calling thread's token: 1, 2, 3, ... in the order threads first ask.
uint64_t ThisThreadToken();

template <class State>
class PerThread {
 public:
  PerThread() = default;
  PerThread(const PerThread&) = delete;
  PerThread& operator=(const PerThread&) = delete;

  // The calling thread's State, made on its first call.
  State& Get() {
    const uint64_t me = ThisThreadToken();
    uint64_t owner = firstOwner_.load(std::memory_order_acquire);
    if (owner == me) return first_;
    if (owner == 0 &&
        firstOwner_.compare_exchange_strong(owner, me, std::memory_order_acq_rel, std::memory_order_acquire)) {
      return first_;
    }
    std::lock_guard<std::mutex> hold(othersLock_);
    std::unique_ptr<State>& state = others_[me];
    if (state == nullptr) state = std::make_unique<State>();
    return *state;
  }

 private:
  std::atomic<uint64_t> firstOwner_{0};  // set once, by the first thread to ask
  State first_;                          // touched only by that thread
  std::mutex othersLock_;
  std::unordered_map<uint64_t, std::unique_ptr<State>> others_;  // guarded by othersLock_
};

}  // namespace vel::ulmo

#endif  // VEL_ULMO_PERTHREAD_H_
