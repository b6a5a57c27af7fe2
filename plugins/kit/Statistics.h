// What the reference plugins tell the search core so that it can score
// every source's hits under one BM25 model with statistics summed over the
// sources (the names and formats are in kit/Names.h). The engines count;
// the kit asks, formats and places (kit/Results.h).
#ifndef TESSIK_PLUGINS_KIT_STATISTICS_H_
#define TESSIK_PLUGINS_KIT_STATISTICS_H_

#include <cstdint>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

#include "kit/Plan.h"
#include "kit/Request.h"

namespace tessik_plugins {

// Whether the domain asks for the statistics: its "statistics" property
// is "bm25" (without regard to case or surrounding white space).
bool WantsStatistics(const Domain& domain);

// The key of each of the plan's required terms, in its order: the word
// folded with Fold, which every engine writes alike so that the core can
// sum by it.
std::vector<std::string> StatisticsKeys(const Plan& plan);

// "key=count" pairs separated by one space, for keys[i] and counts[i], in
// the order of the keys (bytewise), so that every engine writes one query's
// pairs alike. A key met before is left out (a query that names a word
// twice counts it once, by its first term).
std::string CountPairs(const std::vector<std::string>& keys, const std::vector<uint64_t>& counts);

// `total / documents` as "%.6g" ("0" for no documents).
std::string AverageText(uint64_t documents, uint64_t total);

// How often `term` occurs among the words of `text` (kit/Text.h Words):
// its word exactly as written when `exact`, else its word or one of its
// synonyms without regard to case. For engines that match after their
// search (case sensitivity, stems their index makes that the query did not
// ask for), so that the counts are of what matched.
uint64_t Occurrences(std::string_view text, const Term& term, bool exact);

inline uint64_t SaturatingAdd(uint64_t a, uint64_t b) {
  return a > std::numeric_limits<uint64_t>::max() - b ? std::numeric_limits<uint64_t>::max() : a + b;
}

}  // namespace tessik_plugins

#endif  // TESSIK_PLUGINS_KIT_STATISTICS_H_
