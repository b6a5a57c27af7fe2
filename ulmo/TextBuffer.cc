#include "ulmo/TextBuffer.h"

#include <cstring>

namespace vel::ulmo {

WChar* NewTextBuffer(uint32_t count) { return new WChar[count](); }  // value-initialised: all zero

WChar* CopyToTextBuffer(const WChar* text, uint32_t length) {
  WChar* buffer = new WChar[static_cast<size_t>(length) + 1];
  if (length != 0) std::memcpy(buffer, text, sizeof(WChar) * length);
  buffer[length] = 0;
  return buffer;
}

void DeleteTextBuffer(WChar* buffer) noexcept { delete[] buffer; }

}  // namespace vel::ulmo
