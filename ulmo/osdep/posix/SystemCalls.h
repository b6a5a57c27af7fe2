// The system calls of the posix backend whose failures are hard to bring
// about for real: a full /dev/shm, a descriptor table at its limit, a
// refused mapping or lock, a library the loader will not take, no thread to
// be had, no memory. The backend calls them through this table, and a test
// swaps an entry for one that fails when it wants, to walk every failure
// branch. Entries are atomic so a swap while other threads call through the
// table is no data race; a relaxed load costs nothing next to the call.
#ifndef VEL_ULMO_OSDEP_POSIX_SYSTEMCALLS_H_
#define VEL_ULMO_OSDEP_POSIX_SYSTEMCALLS_H_

#include <pthread.h>
#include <sys/types.h>

#include <atomic>
#include <cstddef>

namespace vel::ulmo::osdep::sys {

struct Table {
  std::atomic<int (*)(const char* name, int flags, mode_t mode)> shmOpen;
  std::atomic<int (*)(int fd, off_t length)> ftruncate;
  std::atomic<void* (*)(void* address, size_t length, int protection, int flags, int fd, off_t offset)> mmap;
  std::atomic<int (*)(int fd, int operation)> flock;
  std::atomic<void* (*)(const char* file, int mode)> dlopen;
  std::atomic<int (*)(pthread_t* thread, const pthread_attr_t* attributes, void* (*start)(void*), void* argument)>
      pthreadCreate;
  // The heap behind osdep::TaskAlloc and TaskRealloc.
  std::atomic<void* (*)(size_t bytes)> malloc;
  std::atomic<void* (*)(void* block, size_t bytes)> realloc;
};

// Constant-initialised with the system's own functions, so it is ready
// before any constructor runs.
extern Table gCalls;

// What the table held at start: a test puts an entry back from here.
extern const Table gSystem;

// What the backend calls.
inline int ShmOpen(const char* name, int flags, mode_t mode) {
  return gCalls.shmOpen.load(std::memory_order_relaxed)(name, flags, mode);
}
inline int Ftruncate(int fd, off_t length) { return gCalls.ftruncate.load(std::memory_order_relaxed)(fd, length); }
inline void* Mmap(void* address, size_t length, int protection, int flags, int fd, off_t offset) {
  return gCalls.mmap.load(std::memory_order_relaxed)(address, length, protection, flags, fd, offset);
}
inline int Flock(int fd, int operation) { return gCalls.flock.load(std::memory_order_relaxed)(fd, operation); }
inline void* Dlopen(const char* file, int mode) { return gCalls.dlopen.load(std::memory_order_relaxed)(file, mode); }
inline int PthreadCreate(pthread_t* thread, const pthread_attr_t* attributes, void* (*start)(void*), void* argument) {
  return gCalls.pthreadCreate.load(std::memory_order_relaxed)(thread, attributes, start, argument);
}
inline void* Malloc(size_t bytes) { return gCalls.malloc.load(std::memory_order_relaxed)(bytes); }
inline void* Realloc(void* block, size_t bytes) { return gCalls.realloc.load(std::memory_order_relaxed)(block, bytes); }

}  // namespace vel::ulmo::osdep::sys

#endif  // VEL_ULMO_OSDEP_POSIX_SYSTEMCALLS_H_
