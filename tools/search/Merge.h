// How a search ranks hits from different sources together (--merge); the
// methods are described in search/Ranking.h, which does the ranking.
#ifndef TESSIK_TOOLS_SEARCH_MERGE_H_
#define TESSIK_TOOLS_SEARCH_MERGE_H_

#include <string_view>

namespace tessik_cli {

enum class Merge { kStats, kRrf, kMinMax, kPlugin };
// The best on the ranking yardstick (bench/ranking).
inline constexpr Merge kDefaultMerge = Merge::kStats;
// "stats", "rrf", "minmax", "plugin".
bool ParseMerge(std::string_view text, Merge& merge);
const char* MergeName(Merge merge);

}  // namespace tessik_cli

#endif  // TESSIK_TOOLS_SEARCH_MERGE_H_
