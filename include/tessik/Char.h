// The one UTF-16 code unit type of every text at the boundary.
#ifndef TESSIK_CHAR_H_
#define TESSIK_CHAR_H_

#if defined(_WIN32)
typedef wchar_t TessikChar;
#define TESSIK_TEXT(literal) L##literal
#else
typedef char16_t TessikChar;
#define TESSIK_TEXT(literal) u##literal
#endif
// TESSIK_TEXT("abc") is a literal of TessikChar on every platform.

static_assert(sizeof(TessikChar) == 2, "TessikChar must be a UTF-16 code unit");

#endif  // TESSIK_CHAR_H_
