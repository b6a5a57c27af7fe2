// What an HTTP request may ask of a search, read into the command's own
// options. A request chooses words and options, never files: nothing it
// says reaches a domain's "data" property, a plugin path or a list of
// sources.
#ifndef TESSIK_TOOLS_SERVE_REQUEST_H_
#define TESSIK_TOOLS_SERVE_REQUEST_H_

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "search/Options.h"

namespace tessik_serve {

// A URL's query, decoded ('+' is a space, %XX a byte), names in order.
using Params = std::vector<std::pair<std::string, std::string>>;
// False, with `error` set, for a malformed %-escape or text that is not
// UTF-8 once decoded.
bool ParseParams(std::string_view query, Params& params, std::string& error);

enum class Output { kJson, kXml, kHtml };

struct SearchRequest {
  tessik_cli::SearchOptions options;  // the limit is the page's: offset + limit are asked of the ranking
  size_t offset = 0;
  size_t limit = 0;  // 0: none, every hit the sources return (the command's default)
  Output output = Output::kJson;
  std::string text;  // q as given, for logs and the page
};

inline constexpr size_t kMostQueryBytes = 2048;
inline constexpr size_t kMostLimit = 1000, kMostOffset = 10000;

// The search a request asks for, checked as the command checks its
// command line, with `sources` the names a request may choose among.
// False, with `error` set (a message for a 400), for a missing, empty or
// over-long q, a limit outside 1-1000, an offset outside 0-10,000, an
// unknown parameter or value, or an unknown source.
bool ReadSearchRequest(const Params& params, const std::vector<std::string>& sources, SearchRequest& request,
                       std::string& error);

}  // namespace tessik_serve

#endif  // TESSIK_TOOLS_SERVE_REQUEST_H_
