// The posix Mutex: a robust, recursive, process-shared pthread mutex in a
// shared object. Robust is what hands a dead owner's lock to the next Lock.
#include "ulmo/osdep/Mutex.h"

#include <pthread.h>

#include <cerrno>
#include <string_view>

#include "ulmo/exception/Exception.h"
#include "ulmo/osdep/OSException.h"
#include "ulmo/osdep/posix/SharedObject.h"

namespace vel::ulmo::osdep {
namespace {

constexpr const char* kSite = "ulmo\\osdep\\Mutex";

static_assert(sizeof(pthread_mutex_t) <= shared::kPayloadSize);

int InitialiseMutex(void* payload, const void*) {
  pthread_mutexattr_t attributes;
  int error = pthread_mutexattr_init(&attributes);
  if (error != 0) return error;
  if ((error = pthread_mutexattr_setpshared(&attributes, PTHREAD_PROCESS_SHARED)) == 0 &&
      (error = pthread_mutexattr_setrobust(&attributes, PTHREAD_MUTEX_ROBUST)) == 0 &&
      (error = pthread_mutexattr_settype(&attributes, PTHREAD_MUTEX_RECURSIVE)) == 0) {
    error = pthread_mutex_init(static_cast<pthread_mutex_t*>(payload), &attributes);
  }
  pthread_mutexattr_destroy(&attributes);
  return error;
}

shared::SharedObject* ObjectOf(void* handle) { return static_cast<shared::SharedObject*>(handle); }

}  // namespace

Mutex::Mutex(const WString& name)
    : handle_(shared::Acquire(std::u16string_view(name.CStr(), name.Length()), shared::ObjectType::kMutex,
                              InitialiseMutex, nullptr, kSite)) {}

Mutex::~Mutex() { shared::Release(ObjectOf(handle_)); }

void Mutex::Lock() {
  shared::SharedObject* object = ObjectOf(handle_);
  shared::Use use(object);
  auto* mutex = static_cast<pthread_mutex_t*>(object->Payload());
  int error = pthread_mutex_lock(mutex);
  if (error == 0) {
    // We own it, so nobody else writes the count now.
    object->heldHere.store(object->heldHere.load(std::memory_order_relaxed) + 1, std::memory_order_relaxed);
    return;
  }
  if (error == EOWNERDEAD) {
    // The owner died holding it. Whatever it guarded is ours to judge now;
    // the lock itself is good again, taken once, and any count a dead
    // thread of ours left behind is gone with it.
    error = pthread_mutex_consistent(mutex);
    if (error == 0) {
      object->heldHere.store(1, std::memory_order_relaxed);
      return;
    }
  }
  // ENOTRECOVERABLE and the rest: not a mutex we can use.
  errno = error;
  exception::ThrowAt(WinError(), kSite, __LINE__);
}

void Mutex::Unlock() {
  shared::SharedObject* object = ObjectOf(handle_);
  // Counted down before the unlock, while the count is still ours to write.
  // Unlocking a mutex one does not own is the caller's error; as on Windows
  // its result is ignored.
  uint32_t held = object->heldHere.load(std::memory_order_relaxed);
  if (held > 0) object->heldHere.store(held - 1, std::memory_order_relaxed);
  pthread_mutex_unlock(static_cast<pthread_mutex_t*>(object->Payload()));
}

}  // namespace vel::ulmo::osdep
