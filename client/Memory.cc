// Tessik_Allocate and Tessik_Release: the one allocator pair for every text
// that crosses the boundary, in either direction (plugins hand their results
// over in these buffers too).
#include <new>

#include "client/Boundary.h"
#include "tessik/TessikClient.h"
#include "ulmo/TextBuffer.h"

extern "C" TESSIK_API int32_t Tessik_Allocate(TessikChar** outBuffer, uint32_t count) {
  if (outBuffer == nullptr) return TESSIK_E_NULL_ARGUMENT;
  if (count == 0) return TESSIK_E_ZERO_COUNT;
  *outBuffer = nullptr;
  return Tessik::GuardStatus([&] {
    *outBuffer = vel::ulmo::NewTextBuffer(count);
    return int32_t{TESSIK_OK};
  });
}

extern "C" TESSIK_API int32_t Tessik_Release(TessikChar* buffer) {
  vel::ulmo::DeleteTextBuffer(buffer);
  return TESSIK_OK;
}
