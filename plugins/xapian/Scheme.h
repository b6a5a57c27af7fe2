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
//  - the metadata kFormatKey = kFormatVersion: a database without it (or
//    of another version) holds its words in another form and is refused.
#ifndef TESSIK_PLUGINS_XAPIAN_SCHEME_H_
#define TESSIK_PLUGINS_XAPIAN_SCHEME_H_

namespace tessik_plugins::xapian_scheme {

inline constexpr const char* kTitle = "S";
inline constexpr const char* kText = "XB";
inline constexpr const char* kExactTitle = "XCS";
inline constexpr const char* kExactText = "XCB";
inline constexpr const char* kCategory = "XK";
inline constexpr const char* kId = "Q";
inline constexpr const char* kLanguage = "english";
inline constexpr const char* kFormatKey = "tessik-format";
inline constexpr const char* kFormatVersion = "2";  // 2: the words normalised
// Xapian limits a term to 245 bytes; longer words are not indexed as exact terms.
inline constexpr size_t kMaxTerm = 240;

}  // namespace tessik_plugins::xapian_scheme

#endif  // TESSIK_PLUGINS_XAPIAN_SCHEME_H_
