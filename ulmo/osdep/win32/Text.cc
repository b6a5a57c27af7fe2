// Text services on the Windows API: the user's default locale and the ANSI
// code page, as the system defines them.
#include <windows.h>

#include "ulmo/osdep/Text.h"

namespace vel::ulmo::osdep {

int CompareText(const WChar* a, uint32_t aLength, const WChar* b, uint32_t bLength) noexcept {
  int r =
      CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, a, static_cast<int>(aLength), b, static_cast<int>(bLength));
  return r == CSTR_LESS_THAN ? -1 : (r == CSTR_GREATER_THAN ? 1 : 0);
}

// The system's word sort gives hyphens and apostrophes special weights; no
// shortcut is exact there.
bool CompareTextQuick(const WChar*, uint32_t, const WChar*, uint32_t, int*) noexcept { return false; }

const uint8_t* QuickWeights() noexcept { return nullptr; }

// The system's sort keys order as CompareStringW does only in its own
// implementation of them, which not every host shares; comparing directly is
// exact everywhere.
uint32_t SortKey(const WChar*, uint32_t, uint8_t*, uint32_t) noexcept { return 0; }

void LowerText(WChar* text, uint32_t length) noexcept {
  if (length != 0) CharLowerBuffW(text, length);
}

uint32_t AnsiToWideStep(const char* text, int32_t length, WChar* out, uint32_t capacity) noexcept {
  int units = MultiByteToWideChar(CP_ACP, 0, text, length, out, static_cast<int>(capacity));
  return units > 0 ? static_cast<uint32_t>(units) : 0;
}

uint32_t WideToAnsiStep(const WChar* text, int32_t length, char* out, uint32_t capacity) noexcept {
  int units = WideCharToMultiByte(CP_ACP, 0, text, length, out, static_cast<int>(capacity), nullptr, nullptr);
  return units > 0 ? static_cast<uint32_t>(units) : 0;
}

}  // namespace vel::ulmo::osdep
