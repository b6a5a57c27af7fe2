// The allocator behind every StringBase buffer: the COM task allocator on
// Windows, the C heap elsewhere. Both return null on failure; TaskRealloc
// then leaves the old block untouched.
#ifndef VEL_ULMO_OSDEP_MEMORY_H_
#define VEL_ULMO_OSDEP_MEMORY_H_

#include <cstddef>

namespace vel::ulmo::osdep {

void* TaskAlloc(size_t bytes) noexcept;
void* TaskRealloc(void* block, size_t bytes) noexcept;
void TaskFree(void* block) noexcept;

}  // namespace vel::ulmo::osdep

#endif  // VEL_ULMO_OSDEP_MEMORY_H_
