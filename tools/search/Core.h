// The search core that the command and the server share: which domains a
// search addresses and with what, how the hits it collected are credited to
// the plugins, and the ranked list every output format is drawn from.
#ifndef TESSIK_TOOLS_SEARCH_CORE_H_
#define TESSIK_TOOLS_SEARCH_CORE_H_

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "search/Options.h"
#include "search/Output.h"
#include "search/Query.h"
#include "search/Ranking.h"
#include "search/Results.h"
#include "sources/SourceList.h"

namespace tessik_cli {

// How many hits each source is asked for: its own best by its own
// statistics can miss the best of everything, so more than the table shows.
std::optional<uint32_t> SourceLimit(const SearchOptions& o);

// The properties every domain of the search gets: the ranking's request
// for statistics.
void AskStatistics(const SearchOptions& o, DomainTarget& target);

// A source's domain as the search core addresses it: the plugin of its
// engine answers for it, with the data and columns from the list.
DomainTarget SourceTarget(const SourceList& list, const Source& source, const SearchOptions& o);

// Counts hits and failures against the plugins; domains that answered
// without a plugin of their name (a library loaded under another file name)
// get an entry of their own. Marks the plugins whose hits were fused by
// rank, and those whose limit cut their matches. Returns the plugins that
// failed, for the caller to report.
std::vector<const PluginReport*> Account(std::vector<PluginReport>& plugins, const Results& results,
                                         const Ranker& ranker);

// The ranked list a search prints: the ranker's best, by score or, when the
// options sort by a property, in that property's order, cut to the limit.
// Returns the library's status (of sorting).
int32_t RankedList(Ranker& ranker, const SearchOptions& o, std::vector<Ranked>& ranked);

std::vector<Row> RowsOf(const std::vector<Ranked>& ranked);

}  // namespace tessik_cli

#endif  // TESSIK_TOOLS_SEARCH_CORE_H_
