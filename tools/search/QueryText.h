// The query document of a search: made from the command line, or read from
// a file.
#ifndef TESSIK_TOOLS_SEARCH_QUERYTEXT_H_
#define TESSIK_TOOLS_SEARCH_QUERYTEXT_H_

#include <string>

#include "common/Text.h"
#include "search/Options.h"

namespace tessik_cli {

// The query document the options describe (UTF-8).
std::string BuildQueryXml(const SearchOptions& options);

// Reads a query document: UTF-16 when the file starts with a UTF-16 byte
// order mark, UTF-8 otherwise. False, with `error` set, when the file
// cannot be read.
bool ReadQueryFile(const std::string& path, TString& text, std::string& error);

// Escapes the characters XML and JSON texts may not carry as they are.
std::string XmlEscape(const std::string& text);

}  // namespace tessik_cli

#endif  // TESSIK_TOOLS_SEARCH_QUERYTEXT_H_
