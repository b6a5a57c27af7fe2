// UTF-16 literals and strings of the boundary's character type, so the same
// tests compile where it is char16_t and where it is wchar_t.
#ifndef TESSIK_TESTS_COMMON_TESTTEXT_H_
#define TESSIK_TESTS_COMMON_TESTTEXT_H_

#include <string>

#include "tessik/Char.h"

using TString = std::basic_string<TessikChar>;

#define TX(literal) TESSIK_TEXT(literal)
// A string of a literal with its embedded NULs.
#define TS(literal) TString(TX(literal), sizeof(TX(literal)) / sizeof(TessikChar) - 1)
// An ASCII string widened unit by unit.
inline TString T(const std::string& ascii) { return TString(ascii.begin(), ascii.end()); }

#endif  // TESSIK_TESTS_COMMON_TESTTEXT_H_
