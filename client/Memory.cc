// Tessik_Allocate and Tessik_Release: the one allocator pair for every text
// that crosses the boundary, in either direction (plugins hand their results
// over in these buffers too).
#include <cstring>
#include <new>

#include "client/Boundary.h"
#include "tessik/TessikClient.h"

extern "C" TESSIK_API int32_t Tessik_Allocate(TessikChar** outBuffer, uint32_t count) {
  if (outBuffer == nullptr) return TESSIK_E_NULL_ARGUMENT;
  if (count == 0) return TESSIK_E_ZERO_COUNT;
  *outBuffer = nullptr;
  try {
    // Value-initialised: every unit is zero.
    *outBuffer = new TessikChar[count]();
  } catch (const std::bad_alloc&) {
    return TESSIK_E_OUT_OF_MEMORY;
  }
  return TESSIK_OK;
}

extern "C" TESSIK_API int32_t Tessik_Release(TessikChar* buffer) {
  delete[] buffer;
  return TESSIK_OK;
}
