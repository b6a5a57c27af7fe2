// The search page: the form, the sources with their bars, and the hits,
// rendered on the server for a browser without JavaScript (and as the
// page's first state for one with it). Every text that comes from a
// document or a request is escaped.
#ifndef TESSIK_TOOLS_SERVE_HTML_H_
#define TESSIK_TOOLS_SERVE_HTML_H_

#include <string>
#include <string_view>
#include <vector>

#include "search/Output.h"
#include "search/Ranking.h"
#include "serve/Request.h"

namespace tessik_serve {

// The page with an empty form, its sources listed.
std::string SearchPage(const std::vector<std::string>& sources);
// The page with the request's words in the form and its hits below.
std::string ResultsPage(const SearchRequest& request, const std::vector<tessik_cli::PluginReport>& plugins,
                        const std::vector<tessik_cli::Ranked>& ranked, const tessik_cli::SearchFacts& facts);

// A link target a page may carry: http, https and file URLs only; any
// other ("javascript:", "data:") gives "".
std::string SafeLink(std::string_view url);

// The page's script, style and icon (SVG), from the binary.
extern const char kAppJs[];
extern const char kAppCss[];
extern const char kFavicon[];

}  // namespace tessik_serve

#endif  // TESSIK_TOOLS_SERVE_HTML_H_
