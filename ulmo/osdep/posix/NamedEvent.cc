// The posix NamedEvent: one 32-bit futex word in a shared object. Not a
// process-shared pthread condition variable: those lose signals and hang in
// destroy once a waiter has been killed, and any process here may be killed.
//
// Manual reset. Bit 31 is the signalled state, bit 30 says a waiter may be
// asleep, bits 0-29 count Sets. A waiter sleeps on the word it read; every
// Set that signals advances the count and wakes everyone, and a waiter that
// sees the count moved returns even if the event has been Reset already, so
// a Set followed at once by Reset still releases everyone who was waiting.
//
// Auto reset: a hand-off word.
//   bit 31       signalled: a Set found no unserved waiter
//   bits 16-30   registered waiters (W)
//   bits 0-15    tokens handed to registered waiters, not yet taken (T)
// Wait takes the signalled bit if it is set; otherwise it registers (W+1)
// and sleeps until it can take a token (W-1, T-1 in one step). Set hands a
// token when W > T (some registered waiter has none), else sets the
// signalled bit; on an already signalled event with no unserved waiter it
// does nothing. So a Set with waiters releases exactly one of them, and two
// quick Sets with three waiters hand two tokens instead of setting one bit
// twice.
//
// Why a killed waiter loses nothing: a token belongs to no waiter in
// particular, any registered waiter may take any token, and taking is the
// only way a token leaves the word. Set wakes every sleeper, and each one
// looks at the word again, so a waiter killed after being woken cannot
// strand a token while others are waiting: they were woken too. A waiter
// killed while registered stays counted in W for the life of the object;
// a Set then hands a token nobody alive is waiting for, and it stays in the
// word until the next Wait registers and takes it. That is the signalled
// state by another name, so no Set is lost. The price: while such tokens
// wait, one more Set may count than Windows would count.
#include "ulmo/osdep/NamedEvent.h"

#include <linux/futex.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <ctime>
#include <string_view>

#include "ulmo/exception/Exception.h"
#include "ulmo/osdep/OSException.h"
#include "ulmo/osdep/posix/SharedObject.h"

namespace vel::ulmo::osdep {
namespace {

using namespace shared::event;

constexpr const char* kSite = "ulmo\\osdep\\NamedEvent";

struct Properties {
  bool manualReset;
  bool initiallySignalled;
};

int InitialiseEvent(void* payload, const void* argument) {
  auto* state = static_cast<State*>(payload);
  auto* properties = static_cast<const Properties*>(argument);
  state->manualReset = properties->manualReset ? 1 : 0;
  state->word.store(properties->initiallySignalled ? kSignalled : 0, std::memory_order_relaxed);
  return 0;
}

State* StateOf(void* handle) { return static_cast<State*>(static_cast<shared::SharedObject*>(handle)->Payload()); }

uint32_t* FutexAddress(std::atomic<uint32_t>& word) {
  static_assert(sizeof(std::atomic<uint32_t>) == sizeof(uint32_t) && std::atomic<uint32_t>::is_always_lock_free);
  return reinterpret_cast<uint32_t*>(&word);
}

// A time limit for a wait: none, or a point on the monotonic clock.
class Deadline {
 public:
  explicit Deadline(const uint32_t* milliseconds) : bounded_(milliseconds != nullptr) {
    if (!bounded_) return;
    clock_gettime(CLOCK_MONOTONIC, &at_);
    at_.tv_sec += *milliseconds / 1000;
    at_.tv_nsec += static_cast<long>(*milliseconds % 1000) * 1000000L;
    if (at_.tv_nsec >= 1000000000L) {
      at_.tv_sec += 1;
      at_.tv_nsec -= 1000000000L;
    }
  }
  // The time left, or null for no limit; false when none is left.
  bool Left(timespec& left, const timespec*& timeout) const {
    timeout = nullptr;
    if (!bounded_) return true;
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    left.tv_sec = at_.tv_sec - now.tv_sec;
    left.tv_nsec = at_.tv_nsec - now.tv_nsec;
    if (left.tv_nsec < 0) {
      left.tv_sec -= 1;
      left.tv_nsec += 1000000000L;
    }
    if (left.tv_sec < 0 || (left.tv_sec == 0 && left.tv_nsec == 0)) return false;
    timeout = &left;
    return true;
  }

 private:
  bool bounded_;
  timespec at_{};
};

// Shared futexes (no FUTEX_PRIVATE_FLAG): the word is in memory other
// processes map. Sleeps while the word holds `expected`, at most until the
// deadline.
void FutexWait(std::atomic<uint32_t>& word, uint32_t expected, const timespec* timeout) {
  if (syscall(SYS_futex, FutexAddress(word), FUTEX_WAIT, expected, timeout, nullptr, 0) != 0 &&
      errno != EAGAIN && errno != EINTR && errno != ETIMEDOUT) {
    exception::ThrowAt(WinError(), kSite, __LINE__);
  }
}

void FutexWakeAll(std::atomic<uint32_t>& word) {
  syscall(SYS_futex, FutexAddress(word), FUTEX_WAKE, INT_MAX, nullptr, nullptr, 0);
}

uint32_t Waiters(uint32_t word) { return (word & kWaiterMask) / kWaiterUnit; }
uint32_t Tokens(uint32_t word) { return word & kTokenMask; }

// A registered waiter leaving without a token (its wait failed). A token it
// leaves without a waiter to take it becomes the signalled state.
void Unregister(std::atomic<uint32_t>& word) {
  uint32_t v = word.load(std::memory_order_relaxed);
  uint32_t next;
  do {
    next = v - kWaiterUnit;
    if (Tokens(next) > Waiters(next)) next = (next - 1) | kSignalled;
  } while (!word.compare_exchange_weak(v, next, std::memory_order_relaxed));
}

bool WaitAuto(std::atomic<uint32_t>& word, const Deadline& deadline) {
  uint32_t v = word.load(std::memory_order_relaxed);
  for (;;) {
    if (v & kSignalled) {
      if (word.compare_exchange_weak(v, v & ~kSignalled, std::memory_order_acquire)) return true;
    } else if ((v & kWaiterMask) == kWaiterMask) {
      errno = EOVERFLOW;  // more waiters at once than the word can count
      exception::ThrowAt(WinError(), kSite, __LINE__);
    } else if (word.compare_exchange_weak(v, v + kWaiterUnit, std::memory_order_relaxed)) {
      v += kWaiterUnit;
      break;
    }
  }
  for (;;) {
    timespec left;
    const timespec* timeout;
    if (Tokens(v) > 0) {
      if (word.compare_exchange_weak(v, v - kWaiterUnit - 1, std::memory_order_acquire)) return true;
    } else if (v & kSignalled) {
      // Only after a waiter left with its token unused: take the bit instead.
      if (word.compare_exchange_weak(v, (v & ~kSignalled) - kWaiterUnit, std::memory_order_acquire)) return true;
    } else if (!deadline.Left(left, timeout)) {
      // A token handed to us meanwhile is passed on by Unregister.
      Unregister(word);
      return false;
    } else {
      try {
        FutexWait(word, v, timeout);
      } catch (...) {
        Unregister(word);
        throw;
      }
      v = word.load(std::memory_order_relaxed);
    }
  }
}

void SetAuto(std::atomic<uint32_t>& word) {
  uint32_t v = word.load(std::memory_order_relaxed);
  for (;;) {
    if (Waiters(v) > Tokens(v)) {
      if (word.compare_exchange_weak(v, v + 1, std::memory_order_release)) {
        FutexWakeAll(word);
        return;
      }
    } else if (v & kSignalled) {
      return;
    } else if (word.compare_exchange_weak(v, v | kSignalled, std::memory_order_release)) {
      return;
    }
  }
}

bool WaitManual(std::atomic<uint32_t>& word, const Deadline& deadline) {
  uint32_t v = word.load(std::memory_order_acquire);
  for (;;) {
    if (v & kSignalled) return true;
    if (!(v & kSleepers)) {
      if (!word.compare_exchange_weak(v, v | kSleepers, std::memory_order_acquire)) continue;
      v |= kSleepers;
    }
    timespec left;
    const timespec* timeout;
    if (!deadline.Left(left, timeout)) return false;
    FutexWait(word, v, timeout);
    uint32_t now = word.load(std::memory_order_acquire);
    if ((now & kGenerationMask) != (v & kGenerationMask)) return true;  // a Set came, maybe Reset since
    v = now;
  }
}

void SetManual(std::atomic<uint32_t>& word) {
  uint32_t v = word.load(std::memory_order_relaxed);
  uint32_t next;
  do {
    if (v & kSignalled) return;
    next = ((v + 1) & kGenerationMask) | kSignalled;
  } while (!word.compare_exchange_weak(v, next, std::memory_order_release));
  if (v & kSleepers) FutexWakeAll(word);
}

}  // namespace

NamedEvent::NamedEvent(const WString& name, bool manualReset, bool initiallySignalled) {
  Properties properties{manualReset, initiallySignalled};
  handle_ = shared::Acquire(std::u16string_view(name.CStr(), name.Length()), shared::ObjectType::kEvent,
                            InitialiseEvent, &properties, kSite);
}

NamedEvent::~NamedEvent() { shared::Release(static_cast<shared::SharedObject*>(handle_)); }

void NamedEvent::Set() {
  State* state = StateOf(handle_);
  if (state->manualReset) {
    SetManual(state->word);
  } else {
    SetAuto(state->word);
  }
}

void NamedEvent::Reset() { StateOf(handle_)->word.fetch_and(~kSignalled, std::memory_order_relaxed); }

namespace {
bool WaitFor(void* handle, const uint32_t* milliseconds) {
  State* state = StateOf(handle);
  Deadline deadline(milliseconds);
  return state->manualReset ? WaitManual(state->word, deadline) : WaitAuto(state->word, deadline);
}
}  // namespace

void NamedEvent::Wait() { WaitFor(handle_, nullptr); }

bool NamedEvent::Wait(uint32_t milliseconds) { return WaitFor(handle_, &milliseconds); }

}  // namespace vel::ulmo::osdep
