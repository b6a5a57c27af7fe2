#include "ulmo/osdep/posix/SystemCalls.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdlib>

namespace vel::ulmo::osdep::sys {
namespace native {

// Wrappers rather than the functions' own addresses: some are declared with
// attributes (or as library aliases) whose address is no constant, and a
// constant table is what makes it safe to use from static constructors.
int ShmOpen(const char* name, int flags, mode_t mode) { return ::shm_open(name, flags, mode); }
int Ftruncate(int fd, off_t length) { return ::ftruncate(fd, length); }
void* Mmap(void* address, size_t length, int protection, int flags, int fd, off_t offset) {
  return ::mmap(address, length, protection, flags, fd, offset);
}
int Flock(int fd, int operation) { return ::flock(fd, operation); }
void* Dlopen(const char* file, int mode) { return ::dlopen(file, mode); }
int PthreadCreate(pthread_t* thread, const pthread_attr_t* attributes, void* (*start)(void*), void* argument) {
  return ::pthread_create(thread, attributes, start, argument);
}
void* Malloc(size_t bytes) { return std::malloc(bytes); }
void* Realloc(void* block, size_t bytes) { return std::realloc(block, bytes); }

}  // namespace native

#define TESSIK_NATIVE_CALLS                                                                               \
  native::ShmOpen, native::Ftruncate, native::Mmap, native::Flock, native::Dlopen, native::PthreadCreate, \
      native::Malloc, native::Realloc
constinit Table gCalls{TESSIK_NATIVE_CALLS};
constinit const Table gSystem{TESSIK_NATIVE_CALLS};
#undef TESSIK_NATIVE_CALLS

}  // namespace vel::ulmo::osdep::sys
