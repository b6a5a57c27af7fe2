// How a search's hits are printed: the table for people, JSON for scripts,
// and the results document as XML.
#ifndef TESSIK_TOOLS_SEARCH_OUTPUT_H_
#define TESSIK_TOOLS_SEARCH_OUTPUT_H_

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "search/Ranking.h"
#include "search/Results.h"

namespace tessik_cli {

// One plugin as the search saw it.
struct PluginReport {
  std::string name;            // as named on the command line, or its file
  std::string domain;          // the domain its hits carry
  int32_t status = TESSIK_OK;  // of loading it, or of its failure entry
  size_t hits = 0;
  std::string error;  // empty when it did not fail
  bool more = false;  // it had more matches than it returned
  bool fused = false;  // ranked by its hits' ranks: it gave no statistics that make sense
};

// Column widths of the table, fixed once so that batches printed one after
// another line up.
struct TableLayout {
  size_t rank = 4, domain = 6, title = 12, snippet = 0;  // snippet 0: no snippet column
};
// `width`: the line's columns; `domains`: the domains expected; `rows`: the
// hits when all are known (their titles may narrow the title column).
TableLayout MakeLayout(size_t width, const std::vector<std::string>& domains, const std::vector<Row>* rows);
// The table: a header line, then a line per row, ranked from 1; a score
// takes five columns, with as many decimals as fit.
std::string TableText(const TableLayout& layout, const std::vector<Row>& rows);

// What a search's JSON says of the search as a whole, besides its hits.
struct SearchFacts {
  bool partial = false;               // stopped before every source had answered: what had arrived
  std::vector<std::string> timedOut;  // the sources that had not answered by the server's timeout
  size_t offset = 0;                  // the hits shown begin after this many (ranks count on from it)
};

// The one JSON form of a search: {"query", "merge", "partial", "timed_out"?,
// "plugins": [{"name", "domain", "status", "hits", "more", "fused"?,
// "error"?}], "hits": [{"rank", "score" (the merged score), "domain" (the
// source of the best copy), "domains" (every source that returned it),
// "source_ranks" ({domain: its rank there}), "title", "snippet", "id",
// "properties"}]}. Text that is not valid UTF-8 is written with U+FFFD.
// One line when `oneLine`, else indented; ends with a newline.
std::string SearchJson(const std::string& queryXml, const char* merge, const std::vector<PluginReport>& plugins,
                       const std::vector<Ranked>& ranked, const SearchFacts& facts = {}, bool oneLine = false);
// One line while an asynchronous search runs: {"batch": the batches so
// far, "arrived"?: {domain: hits in this batch}, "hits": the best so far,
// as in SearchJson}.
std::string BatchJson(size_t batches, const std::vector<Ranked>& ranked,
                      const std::map<std::string, size_t>* arrived = nullptr, size_t offset = 0);
// One line when a search has ended: {"hits": how many are shown, "ms",
// "partial", "timed_out"?, "plugins" as in SearchJson}.
std::string DoneJson(const SearchFacts& facts, const std::vector<PluginReport>& plugins, size_t hits,
                     double milliseconds);
// One line when a source has answered: {"domain", "status", "hits", "ms"
// (since the search began), "error"?}.
std::string SourceJson(const PluginReport& p, double milliseconds);

// The rows as a results document (UTF-8), in their order; `status` is the
// library's, from writing it.
std::string ResultsXml(const std::vector<Row>& rows, int32_t& status);

}  // namespace tessik_cli

#endif  // TESSIK_TOOLS_SEARCH_OUTPUT_H_
