#include "ulmo/osdep/Memory.h"

#include <cstdlib>

namespace vel::ulmo::osdep {

void* TaskAlloc(size_t bytes) noexcept { return std::malloc(bytes); }
void* TaskRealloc(void* block, size_t bytes) noexcept { return std::realloc(block, bytes); }
void TaskFree(void* block) noexcept { std::free(block); }

}  // namespace vel::ulmo::osdep
