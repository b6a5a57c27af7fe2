// A query file, read into text for the library's query reader.
#ifndef TESSIK_TOOLS_SEARCH_QUERYTEXT_H_
#define TESSIK_TOOLS_SEARCH_QUERYTEXT_H_

#include <string>

#include "common/Text.h"

namespace tessik_cli {

// Reads a query document: UTF-16 when the file starts with a UTF-16 byte
// order mark, UTF-8 otherwise. False, with `error` set, when the file
// cannot be read.
bool ReadQueryFile(const std::string& path, TString& text, std::string& error);

}  // namespace tessik_cli

#endif  // TESSIK_TOOLS_SEARCH_QUERYTEXT_H_
