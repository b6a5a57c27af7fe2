// The posix NamedEvent: a futex word and, for auto reset, waiter slots in a
// shared object. Not a process-shared pthread condition variable: those lose
// signals and hang in destroy once a waiter has been killed, and any process
// here may be killed.
//
// Manual reset. Bit 31 is the signalled state, bit 30 says a waiter may be
// asleep, bits 0-29 count Sets. A waiter sleeps on the word it read; every
// Set that signals advances the count and wakes everyone, and a waiter that
// sees the count moved returns even if the event has been Reset already, so
// a Set followed at once by Reset still releases everyone who was waiting.
// A killed waiter leaves at most bit 30 behind: one wake-up too many.
//
// Auto reset. A Set must release exactly one waiter that is still alive, and
// only when there is none may it leave the event signalled; so it has to
// tell the living waiters from the dead. Each waiter registers in a slot
// whose robust mutex it holds while registered: trying that mutex answers
// "busy" while the waiter lives and "owner died" once its thread is gone,
// whichever way it went. Under the event's guard (a robust mutex too):
//   Wait  takes the signalled bit if it is set; otherwise it claims a slot
//         (one free, or one whose waiter died), marks it waiting and sleeps
//         on the slot's state outside the guard until a Set releases it;
//   Set   releases the longest-registered waiting slot whose waiter lives,
//         freeing the dead ones it meets; with none it sets the bit;
//   Reset clears the bit (no guard needed: the bit is one atomic word).
// The bit is never set while a live waiter is registered, so Reset clears
// everything a Set left for the future, and a Set that reached a living
// waiter is that waiter's: it takes it even if its own wait then fails.
// A waiter killed after its release consumed that Set, as a thread killed
// just after its wait was satisfied does on Windows. A process killed while
// holding the guard hands it on as "owner died"; the next holder wakes every
// released slot, in case the dead Set released one without waking it.
#include "ulmo/osdep/NamedEvent.h"

#include <linux/futex.h>
#include <pthread.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdint>
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

[[noreturn]] void Fail(int error, uint32_t line) {
  errno = error;
  exception::ThrowAt(SystemError(), kSite, line);
}

int InitRobust(pthread_mutex_t* mutex) {
  pthread_mutexattr_t attributes;
  int error = pthread_mutexattr_init(&attributes);
  if (error != 0) return error;
  if ((error = pthread_mutexattr_setpshared(&attributes, PTHREAD_PROCESS_SHARED)) == 0 &&
      (error = pthread_mutexattr_setrobust(&attributes, PTHREAD_MUTEX_ROBUST)) == 0) {
    error = pthread_mutex_init(mutex, &attributes);
  }
  pthread_mutexattr_destroy(&attributes);
  return error;
}

int InitialiseEvent(void* payload, const void* argument) {
  auto* state = static_cast<State*>(payload);
  auto* properties = static_cast<const Properties*>(argument);
  state->manualReset = properties->manualReset ? 1 : 0;
  state->word.store(properties->initiallySignalled ? kSignalled : 0, std::memory_order_relaxed);
  if (properties->manualReset) return 0;
  int error = InitRobust(&state->guard);
  for (Slot& slot : state->slots) {
    if (error == 0) error = InitRobust(&slot.owner);
  }
  return error;
}

shared::SharedObject* ObjectOf(void* handle) { return static_cast<shared::SharedObject*>(handle); }
State* StateOf(void* handle) { return static_cast<State*>(ObjectOf(handle)->Payload()); }

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
  // The time left in `left`, with `timeout` pointing to it (null for no
  // limit); false when no time is left.
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
// processes map. Sleeps while the word holds `expected`, at most for
// `timeout` (null: no limit). Returns 0 (woken, or the time ran out: the
// caller looks at its deadline) or the errno of a wait that failed.
int FutexWait(std::atomic<uint32_t>& word, uint32_t expected, const timespec* timeout) {
  if (syscall(SYS_futex, FutexAddress(word), FUTEX_WAIT, expected, timeout, nullptr, 0) != 0 && errno != EAGAIN &&
      errno != EINTR && errno != ETIMEDOUT) {
    return errno;
  }
  return 0;
}

void FutexWake(std::atomic<uint32_t>& word, int count) {
  syscall(SYS_futex, FutexAddress(word), FUTEX_WAKE, count, nullptr, nullptr, 0);
}

// --- Manual reset ---------------------------------------------------------------

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
    if (int error = FutexWait(word, v, timeout)) Fail(error, __LINE__);
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
  if (v & kSleepers) FutexWake(word, INT_MAX);
}

// --- Auto reset -----------------------------------------------------------------

// Holds the event's guard for one scope.
class Guard {
 public:
  explicit Guard(State& state) : state_(state) {
    int error = pthread_mutex_lock(&state.guard);
    if (error == EOWNERDEAD) {
      error = pthread_mutex_consistent(&state.guard);
      // The dead holder may have released a slot without waking it.
      for (Slot& slot : state.slots) {
        if (slot.state.load(std::memory_order_relaxed) == kReleased) FutexWake(slot.state, 1);
      }
    }
    if (error != 0) Fail(error, __LINE__);
  }
  ~Guard() { pthread_mutex_unlock(&state_.guard); }
  Guard(const Guard&) = delete;
  Guard& operator=(const Guard&) = delete;

 private:
  State& state_;
};

// Tries a slot's owner mutex under the guard: kTaken when it is ours now
// (the slot was free, or its waiter died and whatever it held ends with it),
// kLive while its waiter lives.
enum class Owner { kTaken, kLive, kBroken };
Owner TakeSlot(Slot& slot) {
  int error = pthread_mutex_trylock(&slot.owner);
  if (error == EOWNERDEAD) error = pthread_mutex_consistent(&slot.owner);
  if (error == 0) return Owner::kTaken;
  return error == EBUSY ? Owner::kLive : Owner::kBroken;
}

void FreeSlot(Slot& slot) {
  slot.state.store(kFree, std::memory_order_relaxed);
  pthread_mutex_unlock(&slot.owner);
}

bool WaitAuto(State& state, const Deadline& deadline) {
  uint32_t v = state.word.load(std::memory_order_relaxed);
  while (v & kSignalled) {
    if (state.word.compare_exchange_weak(v, v & ~kSignalled, std::memory_order_acquire)) return true;
  }
  Slot* mine = nullptr;
  {
    Guard guard(state);
    if (state.word.fetch_and(~kSignalled, std::memory_order_acquire) & kSignalled) return true;
    for (Slot& slot : state.slots) {
      if (TakeSlot(slot) == Owner::kTaken) {
        mine = &slot;
        break;
      }
    }
    if (mine == nullptr) Fail(EOVERFLOW, __LINE__);  // more waiters at once than there are slots
    mine->ticket = state.nextTicket++;
    mine->state.store(kWaiting, std::memory_order_relaxed);
  }
  while (mine->state.load(std::memory_order_acquire) != kReleased) {
    timespec left;
    const timespec* timeout;
    int error = deadline.Left(left, timeout) ? FutexWait(mine->state, kWaiting, timeout) : ETIMEDOUT;
    if (error != 0) {
      // Leaving: under the guard no Set can be releasing the slot meanwhile,
      // and one that released it already is ours to take.
      Guard guard(state);
      if (mine->state.load(std::memory_order_acquire) == kReleased) break;
      FreeSlot(*mine);
      if (error == ETIMEDOUT) return false;
      Fail(error, __LINE__);
    }
  }
  FreeSlot(*mine);
  return true;
}

void SetAuto(State& state) {
  Guard guard(state);
  for (;;) {
    Slot* first = nullptr;
    for (Slot& slot : state.slots) {
      if (slot.state.load(std::memory_order_relaxed) != kWaiting) continue;
      if (first == nullptr || static_cast<int32_t>(slot.ticket - first->ticket) < 0) first = &slot;
    }
    if (first == nullptr) break;
    Owner owner = TakeSlot(*first);
    if (owner == Owner::kTaken) {
      FreeSlot(*first);  // its waiter died: nobody to release there
      continue;
    }
    if (owner == Owner::kBroken) {
      // Nobody can own it again; out of the way for good.
      first->state.store(kFree, std::memory_order_relaxed);
      continue;
    }
    first->state.store(kReleased, std::memory_order_release);
    FutexWake(first->state, 1);
    return;
  }
  state.word.fetch_or(kSignalled, std::memory_order_release);
}

}  // namespace

NamedEvent::NamedEvent(const WString& name, bool manualReset, bool initiallySignalled) {
  Properties properties{manualReset, initiallySignalled};
  handle_ = shared::Acquire(std::u16string_view(name.CStr(), name.Length()), shared::ObjectType::kEvent,
                            InitialiseEvent, &properties, kSite);
}

NamedEvent::~NamedEvent() { shared::Release(ObjectOf(handle_)); }

void NamedEvent::Set() {
  shared::Use use(ObjectOf(handle_));
  State* state = StateOf(handle_);
  if (state->manualReset) {
    SetManual(state->word);
  } else {
    SetAuto(*state);
  }
}

void NamedEvent::Reset() {
  shared::Use use(ObjectOf(handle_));
  StateOf(handle_)->word.fetch_and(~kSignalled, std::memory_order_relaxed);
}

namespace {
bool WaitFor(void* handle, const uint32_t* milliseconds) {
  shared::Use use(ObjectOf(handle));
  State* state = StateOf(handle);
  Deadline deadline(milliseconds);
  return state->manualReset ? WaitManual(state->word, deadline) : WaitAuto(*state, deadline);
}
}  // namespace

void NamedEvent::Wait() { WaitFor(handle_, nullptr); }

bool NamedEvent::Wait(uint32_t milliseconds) { return WaitFor(handle_, &milliseconds); }

}  // namespace vel::ulmo::osdep
