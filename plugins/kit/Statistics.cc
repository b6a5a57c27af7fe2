#include "kit/Statistics.h"

#include <algorithm>
#include <cstdio>

#include "kit/Names.h"
#include "kit/Text.h"

namespace tessik_plugins {

bool WantsStatistics(const Domain& domain) {
  std::string value = Fold(domain.Property(std::string(kStatisticsProperty), ""));
  const size_t start = value.find_first_not_of(" \t\r\n");
  if (start == std::string::npos) return false;
  value = value.substr(start, value.find_last_not_of(" \t\r\n") - start + 1);
  return value == kStatisticsBm25;
}

std::vector<std::string> StatisticsKeys(const Plan& plan) {
  std::vector<std::string> keys;
  for (const Term& term : plan.required) keys.push_back(Fold(term.word));
  return keys;
}

std::string CountPairs(const std::vector<std::string>& keys, const std::vector<uint64_t>& counts) {
  std::vector<size_t> order;
  for (size_t i = 0; i < keys.size() && i < counts.size(); ++i) order.push_back(i);
  std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) { return keys[a] < keys[b]; });
  std::string out;
  for (size_t k = 0; k < order.size(); ++k) {
    const size_t i = order[k];
    if (k > 0 && keys[order[k - 1]] == keys[i]) continue;  // the first term of the word counts
    if (!out.empty()) out += ' ';
    out += keys[i] + "=" + std::to_string(counts[i]);
  }
  return out;
}

std::string AverageText(uint64_t documents, uint64_t total) {
  if (documents == 0) return "0";
  char text[32];
  std::snprintf(text, sizeof text, "%.6g", static_cast<double>(total) / static_cast<double>(documents));
  return text;
}

uint64_t Occurrences(std::string_view text, const Term& term, bool exact) {
  if (exact) return CountWord(text, term.word);
  const std::string folded = Fold(text);
  uint64_t count = CountWord(folded, Fold(term.word));
  for (const std::string& synonym : term.synonyms) count = SaturatingAdd(count, CountWord(folded, synonym));
  return count;
}

}  // namespace tessik_plugins
