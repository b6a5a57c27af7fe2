// What the folder index makes of one file's bytes: its text as UTF-8, its
// title and its MIME type. Pure functions, so the indexer's choices can be
// tested without a folder.
#ifndef TESSIK_PLUGINS_FILES_CONTENT_H_
#define TESSIK_PLUGINS_FILES_CONTENT_H_

#include <string>
#include <string_view>

namespace tessik_plugins::folder {

struct Content {
  std::string title, text;
  std::string failure;  // why the file is no document ("" when it is one)
};

// The MIME type by the file name's extension; text/plain when unknown.
std::string TypeOf(std::string_view name);

// True when `bytes` look binary: a NUL in the first 8 KiB that is not
// UTF-16 text (which starts with a byte order mark).
bool LooksBinary(std::string_view bytes);

// Text of `bytes` as UTF-8: UTF-16 (either order) after its byte order
// mark, UTF-8 (a leading mark dropped), or else each byte as Latin-1.
// False, with `failure` set, for UTF-16 that does not decode.
bool Decode(std::string_view bytes, std::string& utf8, std::string& failure);

// A file's title and text from its decoded content by its type: markup
// stripped from HTML and XML, the <title> or first heading as title, else
// the first non-empty line (which the text then leaves out), else `name`.
Content Extract(std::string_view name, std::string_view type, std::string utf8);

}  // namespace tessik_plugins::folder

#endif  // TESSIK_PLUGINS_FILES_CONTENT_H_
