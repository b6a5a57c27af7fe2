// Text at the program's edges: the library speaks UTF-16 (TessikChar), the
// command line and the terminal UTF-8; and the library's status codes in
// words, for error messages.
#ifndef TESSIK_TOOLS_COMMON_TEXT_H_
#define TESSIK_TOOLS_COMMON_TEXT_H_

#include <cstdint>
#include <string>
#include <string_view>

#include "kit/Text.h"
#include "tessik/TessikClient.h"

namespace tessik_cli {

using TString = std::basic_string<TessikChar>;

// UTF-8 to UTF-16 and back by the plugins' rules, so that the program and
// the plugins agree on every text they pass each other: a malformed UTF-8
// sequence or an unpaired surrogate becomes U+FFFD; null gives "".
inline TString Widen(std::string_view utf8) { return tessik_plugins::ToUtf16(utf8); }
inline std::string Narrow(const TessikChar* text) { return tessik_plugins::ToUtf8(text); }
inline std::string Narrow(const TString& text) {
  return tessik_plugins::ToUtf8(std::basic_string_view<TessikChar>(text));
}

// Text for the terminal. Fit and OneLine give it safe to print: the C0
// controls but TAB, LF and CR (what the plugins' writer refuses), DEL, the
// C1 controls and malformed bytes become U+FFFD.
//
// The columns a UTF-8 text takes on a terminal once made safe: wide
// characters two, marks that combine with the character before them none
// (CharColumns), a replaced control one.
size_t Columns(std::string_view utf8);
// The longest prefix of `utf8` that takes at most `columns` columns, with
// "..." at its end when it had to be cut; a wide character that would reach
// past the limit is left out whole, so the result may be a column short.
// TAB, LF and CR become one space each.
std::string Fit(std::string_view utf8, size_t columns);
// Runs of spaces, TABs and line breaks as one space, none at the ends.
std::string OneLine(std::string_view utf8);

// "TESSIK_E_XML_INVALID", or "status -12" for a code the library does not
// define.
std::string StatusName(int32_t status);
// "TESSIK_E_XML_INVALID (the XML text cannot be parsed or has no root element)".
std::string DescribeStatus(int32_t status);

}  // namespace tessik_cli

#endif  // TESSIK_TOOLS_COMMON_TEXT_H_
