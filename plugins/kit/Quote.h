// The one quoting of a text for SQLite: in double quotes, each double quote
// inside doubled. That is an SQL identifier (a table or a column someone
// else named) and an FTS5 string (a word searched for as written) alike.
#ifndef TESSIK_PLUGINS_KIT_QUOTE_H_
#define TESSIK_PLUGINS_KIT_QUOTE_H_

#include <string>
#include <string_view>

namespace tessik_plugins {

inline std::string Quoted(std::string_view text) {
  std::string out = "\"";
  for (char c : text) out += c == '"' ? std::string("\"\"") : std::string(1, c);
  return out + "\"";
}

}  // namespace tessik_plugins

#endif  // TESSIK_PLUGINS_KIT_QUOTE_H_
