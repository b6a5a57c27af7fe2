// What a search looks for, whoever asked: the command line or a query file.
// The search core turns it into the query document the plugins get, and is
// the only writer of the domains' "data" and "limit" properties there.
#ifndef TESSIK_TOOLS_SEARCH_QUERY_H_
#define TESSIK_TOOLS_SEARCH_QUERY_H_

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "search/Options.h"

class IQuery;

namespace tessik_cli {

struct QueryTerm {
  std::string text;
  std::vector<std::string> fields;  // "not" excludes the term
};

struct SearchQuery {
  std::string compose = "And";  // "And", "Or" or "Not"
  std::vector<QueryTerm> terms;
  std::vector<std::string> categories;
  bool stemming = false, synonyms = false, caseSensitive = false;
  std::vector<std::string> domains;  // the domains asked; none: every plugin's
};

// A domain as the search core addresses it.
struct DomainTarget {
  std::string name;
  std::string data;               // empty: the plugin's own documents
  std::optional<uint32_t> limit;  // none: the plugin's own limit
  // Further properties, in order: "engine" for a source, and what its
  // engine reads of its own (plugins/kit/Names.h).
  std::vector<std::pair<std::string, std::string>> properties;
};

SearchQuery QueryFromOptions(const SearchOptions& options);

// Reads a query the library parsed from a query file. False, with `error`
// set, when the file sets a domain's "data" (a query file is untrusted
// text and may not choose what a plugin opens) or holds no query: no term
// a hit needs with a word in it, and no category.
bool QueryFromParsed(IQuery& query, SearchQuery& wanted, std::string& error);

// True when `wanted` has a term a hit needs with a word in it, or a category:
// something a search can select by. Anything less would match every
// document.
bool IsQuery(const SearchQuery& wanted);

// The query document (UTF-8) for `wanted`, addressing `domains` in order.
std::string QueryXml(const SearchQuery& wanted, const std::vector<DomainTarget>& domains);

}  // namespace tessik_cli

#endif  // TESSIK_TOOLS_SEARCH_QUERY_H_
