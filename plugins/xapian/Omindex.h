// How omindex lays out the databases it builds, as far as the Xapian plugin
// reads them (checked against the databases omindex 1.4 writes):
//  - data: lines "key=value": url, caption (the title; HTML only), sample
//    (the start of the text), type (MIME), modtime (seconds since 1970),
//    size (bytes), author; a key may be missing;
//  - words, lower case: the title with the prefix "S" (wdf 5 a word), the
//    text without one (the title is not repeated there); stems with "Z" before the
//    prefix, by the stemmer omindex was given (English unless told
//    otherwise). No term keeps the case a word was written in;
//  - the MIME type as "T" + type, the url as "U" + url, and every folder
//    of the url's path (the host left out) as "P" + path, such as
//    "P/docs" and "P/docs/old" for /docs/old/a.html; the site's root has
//    no such term.
#ifndef TESSIK_PLUGINS_XAPIAN_OMINDEX_H_
#define TESSIK_PLUGINS_XAPIAN_OMINDEX_H_

#include <string>
#include <string_view>

namespace tessik_plugins::omindex {

inline constexpr const char* kTitle = "S";
// Each word of a title adds this to its "S" term's wdf (and its stem's).
inline constexpr unsigned kTitleWdf = 5;
inline constexpr const char* kText = "";
inline constexpr const char* kType = "T";
inline constexpr const char* kPath = "P";
inline constexpr const char* kLanguage = "english";

// One document's data.
struct Stored {
  std::string url, caption, sample, type, modtime, size, author;
};

// The lines of `data`; lines with keys it does not know are skipped.
Stored Parse(std::string_view data);

// The data of a database omindex made begins with its url line.
inline bool IsOmindexData(std::string_view data) { return data.substr(0, 4) == "url="; }

// The url's last path segment ("b.txt" of "/a/b.txt"); the title of a
// document whose file had none (plain text, most other types).
std::string FileName(std::string_view url);

// The first folder of the url's path ("docs" of "/docs/old/a.html" or of
// "http://host/docs/a.html"), empty for a document at the root.
std::string FirstFolder(std::string_view url);

// The "P" term a category that names a folder selects: "docs", "/docs"
// and "/docs/" all give "P/docs".
std::string PathTerm(std::string_view category);

// A category naming a MIME type ("text/html") holds a "/" that does not
// lead it; any other names a folder.
inline bool IsMimeType(std::string_view category) {
  return !category.empty() && category.front() != '/' && category.find('/') != std::string_view::npos;
}

// Seconds since 1970 as ISO 8601 in UTC ("2024-03-05T10:20:30Z"); empty
// when `seconds` is not a number.
std::string IsoTime(std::string_view seconds);

}  // namespace tessik_plugins::omindex

#endif  // TESSIK_PLUGINS_XAPIAN_OMINDEX_H_
