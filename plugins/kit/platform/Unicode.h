// What the normaliser (kit/Normalise.cc) asks of the platform, on UTF-16
// text: ICU's on Linux (NormaliseIcu.cc), the Windows API's on Windows
// (NormaliseWin32.cc); the build compiles one of the two. Each step must
// give what the Unicode Standard says, so that both platforms store and
// look up the same words.
#ifndef TESSIK_PLUGINS_KIT_PLATFORM_UNICODE_H_
#define TESSIK_PLUGINS_KIT_PLATFORM_UNICODE_H_

#include "kit/Text.h"

namespace tessik_plugins::unicode {

enum class Form { kC, kD, kKC };

// `text` in normalisation form `form`.
Utf16 Normalised(const Utf16& text, Form form);

// `text` under full case folding (CaseFolding.txt's C and F mappings, not
// the Turkic ones), which may make it longer: "ß" is "ss".
Utf16 CaseFolded(const Utf16& text);

// `text` without its combining marks that take no room of their own
// (general categories Mn and Me) in the Basic Multilingual Plane, but for
// the kana voicing marks, which make other letters rather than accents.
// Marks above U+FFFF stay: the Windows API cannot tell what a character
// there is, and no accent of a Latin, Greek or Cyrillic letter is one.
Utf16 WithoutAccents(const Utf16& text);

inline bool IsKanaVoicingMark(char32_t c) { return c == 0x3099 || c == 0x309A; }

}  // namespace tessik_plugins::unicode

#endif  // TESSIK_PLUGINS_KIT_PLATFORM_UNICODE_H_
