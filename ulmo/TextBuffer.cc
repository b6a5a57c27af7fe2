#include "ulmo/TextBuffer.h"

#include <cstdlib>
#include <cstring>

namespace vel::ulmo {

// The C allocator, so a buffer can grow in place (ResizeTextBuffer).

WChar* NewTextBuffer(uint32_t count) {
  auto* buffer = static_cast<WChar*>(std::calloc(count != 0 ? count : 1, sizeof(WChar)));
  if (buffer == nullptr) throw std::bad_alloc();
  return buffer;
}

WChar* CopyToTextBuffer(const WChar* text, uint32_t length) {
  auto* buffer = static_cast<WChar*>(std::malloc(sizeof(WChar) * (static_cast<size_t>(length) + 1)));
  if (buffer == nullptr) throw std::bad_alloc();
  if (length != 0) std::memcpy(buffer, text, sizeof(WChar) * length);
  buffer[length] = 0;
  return buffer;
}

WChar* ResizeTextBuffer(WChar* buffer, uint32_t count) {
  auto* resized = static_cast<WChar*>(std::realloc(buffer, sizeof(WChar) * (count != 0 ? count : 1)));
  if (resized == nullptr) throw std::bad_alloc();
  return resized;
}

void DeleteTextBuffer(WChar* buffer) noexcept { std::free(buffer); }

}  // namespace vel::ulmo
