// How the Xapian plugin's documents are indexed; the indexer and the engine
// must agree on it.
//  - data: "id TAB category TAB title TAB text";
//  - words, normalised (kit/Normalise.h's tokens, the query's words'
//    form too): title with the prefix "S", text with "XB", both also
//    without prefix; the English stems of each beside them ("Z" before the
//    prefix), as Xapian's term generator names them;
//  - words as written (NFC), for case-sensitive queries: "XCS" (title) and
//    "XCB" (text);
//  - the category, normalised, as the boolean term "XK" + category, the id
//    as "Q" + id;
//  - value slot 0: the document's length in tokens (decimal), the words of
//    its title and text once each: the wdf of its unprefixed terms, which
//    Xapian's own document length counts with every prefix and stem again;
//    value slot 1: its digest (kit/Digest.h);
//  - metadata: "tessik-format" (kFormat; the plugin refuses another: a
//    database without it, or of another version, holds its words in
//    another form or lacks the lengths and digests) and
//    "tessik-length-total", the sum of the lengths over the database.
#ifndef TESSIK_PLUGINS_XAPIAN_SCHEME_H_
#define TESSIK_PLUGINS_XAPIAN_SCHEME_H_

#include <string>

namespace tessik_plugins::xapian_scheme {

inline constexpr const char* kTitle = "S";
inline constexpr const char* kText = "XB";
inline constexpr const char* kExactTitle = "XCS";
inline constexpr const char* kExactText = "XCB";
inline constexpr const char* kCategory = "XK";
inline constexpr const char* kId = "Q";
inline constexpr const char* kLanguage = "english";
inline constexpr unsigned kLengthSlot = 0;
inline constexpr unsigned kDigestSlot = 1;
inline constexpr const char* kFormatKey = "tessik-format";
// 3: the words normalised, the lengths and the digests (2 was either the
// words normalised or the lengths and digests, by two versions of
// tessik-index-xapian).
inline constexpr const char* kFormat = "3";
inline constexpr const char* kLengthTotalKey = "tessik-length-total";

// Whether `term` is one of the unprefixed ones, the words themselves:
// Xapian's prefixes are capital letters, and the words are normalised
// (case folded).
inline bool IsWordTerm(const std::string& term) { return !term.empty() && !(term[0] >= 'A' && term[0] <= 'Z'); }
// Xapian limits a term to 245 bytes; longer words are not indexed as exact terms.
inline constexpr size_t kMaxTerm = 240;

// A document's data, its four fields; the text the last (it may hold tabs).
struct Stored {
  std::string id, category, title, text;
};
inline Stored Parse(const std::string& data) {
  Stored stored;
  std::string* const fields[] = {&stored.id, &stored.category, &stored.title, &stored.text};
  size_t start = 0;
  for (int f = 0; f < 4; ++f) {
    const size_t tab = f < 3 ? data.find('\t', start) : std::string::npos;
    *fields[f] = data.substr(start, tab == std::string::npos ? std::string::npos : tab - start);
    if (tab == std::string::npos) break;
    start = tab + 1;
  }
  return stored;
}

}  // namespace tessik_plugins::xapian_scheme

#endif  // TESSIK_PLUGINS_XAPIAN_SCHEME_H_
