// Mutex: a machine-wide named mutex. Every Mutex of the same name, in this
// process or any other, is the one lock; it is recursive for its owner, and
// a lock whose owner died is handed to the next Lock as acquired.
#ifndef VEL_ULMO_OSDEP_MUTEX_H_
#define VEL_ULMO_OSDEP_MUTEX_H_

#include "ulmo/StringBase.h"

namespace vel::ulmo::osdep {

class Mutex {
 public:
  // Creates or opens the mutex MakeGlobalName(name), not owned. Throws
  // WinError ("ulmo\osdep\Mutex") when the system refuses.
  explicit Mutex(const WString& name);
  ~Mutex();
  Mutex(const Mutex&) = delete;
  Mutex& operator=(const Mutex&) = delete;

  // Waits without a time limit; throws WinError when the wait fails.
  void Lock();
  void Unlock();

 private:
  void* handle_;  // the platform's handle (the posix backend: its shared object)
};

// Holds a Mutex for one scope.
class MutexLock {
 public:
  enum Adopt { kAdopt };
  explicit MutexLock(Mutex& mutex) : mutex_(mutex) { mutex_.Lock(); }
  // Takes over a lock the caller has taken already.
  MutexLock(Mutex& mutex, Adopt) : mutex_(mutex) {}
  ~MutexLock() { mutex_.Unlock(); }
  MutexLock(const MutexLock&) = delete;
  MutexLock& operator=(const MutexLock&) = delete;

 private:
  Mutex& mutex_;
};

// "Global\" + name: the machine-wide namespace of named objects.
WString MakeGlobalName(const WString& name);

}  // namespace vel::ulmo::osdep

#endif  // VEL_ULMO_OSDEP_MUTEX_H_
