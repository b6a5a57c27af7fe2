#include "search/Merge.h"

#include <utility>

namespace tessik_cli {

bool ParseMerge(std::string_view text, Merge& merge) {
  static const std::pair<std::string_view, Merge> kNames[] = {
      {"stats", Merge::kStats}, {"rrf", Merge::kRrf}, {"minmax", Merge::kMinMax}, {"plugin", Merge::kPlugin}};
  for (const auto& [name, value] : kNames) {
    if (text == name) {
      merge = value;
      return true;
    }
  }
  return false;
}

const char* MergeName(Merge merge) {
  switch (merge) {
    case Merge::kStats: return "stats";
    case Merge::kRrf: return "rrf";
    case Merge::kMinMax: return "minmax";
    case Merge::kPlugin: return "plugin";
  }
  return "stats";
}

}  // namespace tessik_cli
