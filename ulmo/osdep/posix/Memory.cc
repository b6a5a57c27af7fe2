#include "ulmo/osdep/Memory.h"

#include <cstdlib>

#include "ulmo/osdep/posix/SystemCalls.h"

namespace vel::ulmo::osdep {

void* TaskAlloc(size_t bytes) noexcept { return sys::Malloc(bytes); }
void* TaskRealloc(void* block, size_t bytes) noexcept { return sys::Realloc(block, bytes); }
void TaskFree(void* block) noexcept { std::free(block); }

}  // namespace vel::ulmo::osdep
