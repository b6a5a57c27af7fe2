// Text helpers of the reference plugins: the library speaks NUL-terminated
// UTF-16, the engines speak UTF-8.
#ifndef TESSIK_PLUGINS_KIT_TEXT_H_
#define TESSIK_PLUGINS_KIT_TEXT_H_

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "kit/Normalise.h"
#include "tessik/Char.h"

namespace tessik_plugins {

using Utf16 = std::basic_string<TessikChar>;

// The one UTF-8/UTF-16 conversion of the plugins and the tessik command.
// Unpaired surrogates and invalid bytes become U+FFFD.
std::string ToUtf8(const TessikChar* text);  // null gives ""
std::string ToUtf8(std::basic_string_view<TessikChar> text);
std::string ToUtf8(std::u32string_view text);
Utf16 ToUtf16(std::string_view utf8);
std::u32string ToCodePoints(std::string_view utf8);

// Code points a results document cannot carry: the C0 controls but TAB, LF
// and CR, and U+FFFE and U+FFFF. The library's writer refuses them, so a
// document holding one would lose every hit beside it.
bool IsXmlIllegal(char32_t c);
// `utf8` with every code point XML cannot carry and every malformed byte
// replaced by U+FFFD. Every text that goes into a results or query document
// passes through here.
std::string CleanText(std::string_view utf8);
// `utf8` cleaned as by CleanText, with & < > " escaped: for XML character
// data and attribute values alike.
std::string XmlEscape(std::string_view utf8);

// Text compared without regard to case (names, fields, keywords): the
// normaliser's form (kit/Normalise.h), the one fold of the plugins and the
// tessik command.
inline std::string Fold(std::string_view utf8) { return Normalise(utf8); }

// Words of a text: runs of letters, digits, "_" and apostrophes inside a
// word; everything above U+007F that is not punctuation counts as a letter.
// A right single quotation mark inside a word is an apostrophe.
std::vector<std::string> Words(std::string_view utf8);
// The same words, each with the byte range of `utf8` it was read from.
void ForEachWord(std::string_view utf8,
                 const std::function<void(std::string_view word, size_t begin, size_t end)>& each);

// How often `word` (one of Words' words) is one of the words of `text`, as
// Words would split it, found without splitting: a search for its bytes
// whose neighbours are checked (what Words would make of a text that is
// not plain ASCII around a match, or of a word with an apostrophe, is
// asked of Words itself). CountWord(t, w) == count of w in Words(t);
// `stop_at_one` returns 1 at the first.
size_t CountWord(std::string_view text, std::string_view word, bool stop_at_one = false);
inline bool HoldsWord(std::string_view text, std::string_view word) { return CountWord(text, word, true) > 0; }

// The first `limit` code points of `utf8` with runs of white space made one
// space, cut at a word boundary when possible, "..." appended when cut.
std::string Snippet(std::string_view utf8, size_t limit);

// File names: UTF-8 text to a path and back. A Windows name that is not
// valid UTF-16 comes back with U+FFFD, never an exception.
std::filesystem::path PathOf(std::string_view utf8);
std::string Utf8Of(const std::filesystem::path& path);

// A moment in UTC as ISO 8601 to the second: "2026-12-07T23:57:05Z".
std::string Iso8601(std::chrono::system_clock::time_point t);

}  // namespace tessik_plugins

#endif  // TESSIK_PLUGINS_KIT_TEXT_H_
