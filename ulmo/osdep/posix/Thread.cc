#include <cerrno>
#include <cstdint>
#include <pthread.h>
#include <sched.h>
#include <time.h>

#include "ulmo/osdep/OSException.h"
#include "ulmo/osdep/Thread.h"
#include "ulmo/osdep/posix/SystemCalls.h"

namespace vel::ulmo::osdep {

struct ThreadEntry {
  static void* Start(void* self) {
    Thread::Procedure(static_cast<Thread*>(self));
    return nullptr;
  }
};

static_assert(sizeof(pthread_t) <= sizeof(void*));

void Thread::Start() {
  started_ = true;
  returned_.store(false, std::memory_order_relaxed);
  pthread_t thread;
  int error = sys::PthreadCreate(&thread, nullptr, &ThreadEntry::Start, this);
  if (error != 0) {
    started_ = false;
    errno = error;
    exception::ThrowAt(SystemError(), "ulmo\\osdep\\Thread", __LINE__);
  }
  handle_ = reinterpret_cast<void*>(thread);
  threadId_ = static_cast<uint32_t>(thread);  // an identifier for humans; nothing looks threads up by it
}

void Thread::Join() {
  pthread_join(reinterpret_cast<pthread_t>(handle_), nullptr);  // its result is not needed
  handle_ = nullptr;
  started_ = false;
}

// A posix thread cannot be ended from outside without ending its process.
bool Thread::HasEnded() const { return returned_.load(std::memory_order_acquire); }

void Thread::Sleep(uint32_t milliseconds) {
  if (milliseconds == 0) {
    sched_yield();
    return;
  }
  timespec remaining{static_cast<time_t>(milliseconds / 1000), static_cast<long>(milliseconds % 1000) * 1000000L};
  while (nanosleep(&remaining, &remaining) != 0 && errno == EINTR) {
  }
}

}  // namespace vel::ulmo::osdep
