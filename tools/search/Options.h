// The command line of "tessik search", read into one value.
#ifndef TESSIK_TOOLS_SEARCH_OPTIONS_H_
#define TESSIK_TOOLS_SEARCH_OPTIONS_H_

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "search/Merge.h"

namespace tessik_cli {

enum class Format { kTable, kXml, kJson, kJsonLines };

struct SearchDomain {
  std::string name;
  std::string data;  // the domain's "data" property; empty: the plugin's own
};

struct SearchOptions {
  std::vector<SearchDomain> domains;  // --domain, --data
  std::vector<std::string> plugins;   // --plugin
  std::vector<std::string> sources;   // --source
  std::string config;                 // --config: the list of sources; empty: the default one
  std::vector<std::string> words;
  std::vector<std::string> excluded;  // --not
  std::vector<std::string> categories;
  std::string field;  // --field; empty: anywhere
  bool any = false, stemming = false, synonyms = false, caseSensitive = false;
  std::string queryFile;  // --query; empty: built from the options above
  bool async = false;
  uint32_t pollMs = 10;  // a source answers in milliseconds: 100 would be most of a search
  std::string sort = "score";  // "score" or a property name
  std::optional<uint32_t> limit;
  std::optional<uint32_t> sourceLimit;  // --source-limit; none: the larger of limit and 100
  Merge merge = kDefaultMerge;
  Format format = Format::kTable;
  bool help = false;
};

// Reads the arguments after "search". False, with `error` set, for a
// command line that does not make a search.
bool ParseSearchOptions(std::span<char* const> arguments, SearchOptions& options, std::string& error);

// The help of "tessik search", exit codes included.
extern const char kSearchHelp[];

}  // namespace tessik_cli

#endif  // TESSIK_TOOLS_SEARCH_OPTIONS_H_
