#include "ulmo/osdep/Memory.h"

#include <windows.h>
#include <objbase.h>

namespace vel::ulmo::osdep {

void* TaskAlloc(size_t bytes) noexcept { return CoTaskMemAlloc(bytes); }
void* TaskRealloc(void* block, size_t bytes) noexcept { return CoTaskMemRealloc(block, bytes); }
void TaskFree(void* block) noexcept { CoTaskMemFree(block); }

}  // namespace vel::ulmo::osdep
