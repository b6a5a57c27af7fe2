// Makes chosen calls through the posix backend's system-call table fail:
// from the nth call of one kind (counted from 0 once armed) `times` calls
// fail with the given error, and every other call goes to the system. Sweeping n upwards from 0
// until the failure no longer fires walks every failure branch an operation
// has, in order.
#ifndef TESSIK_TESTS_COMMON_FAILINGCALLS_H_
#define TESSIK_TESTS_COMMON_FAILINGCALLS_H_

#include <sys/mman.h>

#include <atomic>
#include <cerrno>
#include <mutex>

#include "ulmo/osdep/posix/SystemCalls.h"

namespace failing {

namespace sys = vel::ulmo::osdep::sys;

enum Call { kShmOpen, kFtruncate, kMmap, kFlock, kDlopen, kThread, kMalloc, kRealloc, kCalls };
inline const char* const kCallNames[kCalls] = {"shm_open", "ftruncate",      "mmap",   "flock",
                                               "dlopen",   "pthread_create", "malloc", "realloc"};

inline std::mutex gMutex;
inline long gLeft[kCalls];   // guarded by gMutex; calls before the first failing one
inline long gTimes[kCalls];  // guarded by gMutex; failures still to come
inline bool gFired[kCalls];  // guarded by gMutex
inline int gError = EIO;     // guarded by gMutex

// Whether this call is one to fail.
inline bool Fails(Call call) {
  std::lock_guard<std::mutex> hold(gMutex);
  if (gTimes[call] == 0) return false;
  if (gLeft[call] > 0) {
    --gLeft[call];
    return false;
  }
  --gTimes[call];
  gFired[call] = true;
  errno = gError;
  return true;
}

inline int ShmOpen(const char* name, int flags, mode_t mode) {
  return Fails(kShmOpen) ? -1 : sys::gSystem.shmOpen.load()(name, flags, mode);
}
inline int Ftruncate(int fd, off_t length) {
  return Fails(kFtruncate) ? -1 : sys::gSystem.ftruncate.load()(fd, length);
}
inline void* Mmap(void* address, size_t length, int protection, int flags, int fd, off_t offset) {
  return Fails(kMmap) ? MAP_FAILED : sys::gSystem.mmap.load()(address, length, protection, flags, fd, offset);
}
inline int Flock(int fd, int operation) { return Fails(kFlock) ? -1 : sys::gSystem.flock.load()(fd, operation); }
inline void* Dlopen(const char* file, int mode) {
  return Fails(kDlopen) ? nullptr : sys::gSystem.dlopen.load()(file, mode);
}
inline int PthreadCreate(pthread_t* thread, const pthread_attr_t* attributes, void* (*start)(void*), void* argument) {
  // pthread_create reports its error as its result, not in errno.
  return Fails(kThread) ? errno : sys::gSystem.pthreadCreate.load()(thread, attributes, start, argument);
}
inline void* Malloc(size_t bytes) { return Fails(kMalloc) ? nullptr : sys::gSystem.malloc.load()(bytes); }
inline void* Realloc(void* block, size_t bytes) {
  return Fails(kRealloc) ? nullptr : sys::gSystem.realloc.load()(block, bytes);
}

// Arms one failure for its scope; the table is whole again afterwards.
class FailNth {
 public:
  FailNth(Call call, long nth, int error, long times = 1) : call_(call) {
    {
      std::lock_guard<std::mutex> hold(gMutex);
      gError = error;
      gFired[call] = false;
      gLeft[call] = nth;
      gTimes[call] = times;
    }
    sys::Table& t = sys::gCalls;
    switch (call) {
      case kShmOpen: t.shmOpen = ShmOpen; break;
      case kFtruncate: t.ftruncate = Ftruncate; break;
      case kMmap: t.mmap = Mmap; break;
      case kFlock: t.flock = Flock; break;
      case kDlopen: t.dlopen = Dlopen; break;
      case kThread: t.pthreadCreate = PthreadCreate; break;
      case kMalloc: t.malloc = Malloc; break;
      case kRealloc: t.realloc = Realloc; break;
      case kCalls: break;
    }
  }
  ~FailNth() { Disarm(); }
  FailNth(const FailNth&) = delete;
  FailNth& operator=(const FailNth&) = delete;

  // Puts the system's function back (before the scope ends, say to clean up).
  void Disarm() {
    {
      std::lock_guard<std::mutex> hold(gMutex);
      gTimes[call_] = 0;
    }
    sys::Table& t = sys::gCalls;
    const sys::Table& s = sys::gSystem;
    t.shmOpen = s.shmOpen.load(), t.ftruncate = s.ftruncate.load(), t.mmap = s.mmap.load();
    t.flock = s.flock.load(), t.dlopen = s.dlopen.load(), t.pthreadCreate = s.pthreadCreate.load();
    t.malloc = s.malloc.load(), t.realloc = s.realloc.load();
  }
  bool Fired() const {
    std::lock_guard<std::mutex> hold(gMutex);
    return gFired[call_];
  }

 private:
  Call call_;  // set at construction; only read afterwards
};

}  // namespace failing

#endif  // TESSIK_TESTS_COMMON_FAILINGCALLS_H_
