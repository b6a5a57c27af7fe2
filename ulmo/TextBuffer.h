// The one allocator pair behind every text that crosses the boundary, in
// either direction: results and XML the library hands out, and the result
// texts plugins hand in. Tessik_Allocate and Tessik_Release are these two
// functions; inner layers call them here rather than through the exports.
#ifndef VEL_ULMO_TEXTBUFFER_H_
#define VEL_ULMO_TEXTBUFFER_H_

#include <cstdint>

#include "ulmo/StringBase.h"

namespace vel::ulmo {

// `count` zero-filled units. Throws std::bad_alloc.
WChar* NewTextBuffer(uint32_t count);
// `length` units of `text` and a terminating zero. Throws std::bad_alloc.
WChar* CopyToTextBuffer(const WChar* text, uint32_t length);
// `buffer` (null: a new one) with room for `count` units, its content kept
// up to the smaller size, the rest not initialised; moved where need be.
// Throws std::bad_alloc, and the old buffer is then unchanged.
WChar* ResizeTextBuffer(WChar* buffer, uint32_t count);
// Frees a buffer of the two above; null is accepted.
void DeleteTextBuffer(WChar* buffer) noexcept;

}  // namespace vel::ulmo

#endif  // VEL_ULMO_TEXTBUFFER_H_
