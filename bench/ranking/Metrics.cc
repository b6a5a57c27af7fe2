#include "ranking/Metrics.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <numeric>
#include <set>

namespace tessik_ranking {

namespace {

constexpr size_t kDepth = 10;

int Sign(double d) { return (d > 0) - (d < 0); }

}  // namespace

std::vector<std::string> TopKeys(const std::vector<Ranked>& list, size_t k) {
  std::vector<std::string> keys;
  for (size_t i = 0; i < list.size() && i < k; ++i) keys.push_back(list[i].key);
  return keys;
}

double Overlap(const std::vector<std::string>& reference, const std::vector<std::string>& other) {
  if (reference.empty()) return 1;
  const std::set<std::string> found(other.begin(), other.end());
  const auto shared = std::count_if(reference.begin(), reference.end(), [&](const std::string& k) { return found.count(k) > 0; });
  return static_cast<double>(shared) / static_cast<double>(reference.size());
}

double Ndcg(const std::vector<std::string>& reference, const std::vector<std::string>& ranked) {
  std::map<std::string, double> gain;
  double ideal = 0;
  for (size_t r = 0; r < reference.size() && r < kDepth; ++r) {
    gain[reference[r]] = static_cast<double>(kDepth - r);
    ideal += static_cast<double>(kDepth - r) / std::log2(static_cast<double>(r) + 2);
  }
  if (ideal == 0) return 1;
  double dcg = 0;
  for (size_t i = 0; i < ranked.size() && i < kDepth; ++i) {
    const auto it = gain.find(ranked[i]);
    if (it != gain.end()) dcg += it->second / std::log2(static_cast<double>(i) + 2);
  }
  return dcg / ideal;
}

std::optional<double> KendallTau(const std::vector<Ranked>& reference, const std::vector<Ranked>& ranked) {
  std::map<std::string, double> other;
  for (const Ranked& r : ranked) other.emplace(r.key, r.score);
  std::vector<std::pair<double, double>> shared;  // (reference score, other score)
  for (const Ranked& r : reference) {
    const auto it = other.find(r.key);
    if (it != other.end()) shared.emplace_back(r.score, it->second);
  }
  if (shared.size() < 2) return std::nullopt;
  double concordant = 0, discordant = 0, tiedA = 0, tiedB = 0, pairs = 0;
  for (size_t i = 0; i < shared.size(); ++i) {
    for (size_t j = i + 1; j < shared.size(); ++j) {
      const int a = Sign(shared[i].first - shared[j].first), b = Sign(shared[i].second - shared[j].second);
      ++pairs;
      tiedA += a == 0;
      tiedB += b == 0;
      if (a * b > 0) ++concordant;
      if (a * b < 0) ++discordant;
    }
  }
  const double denominator = std::sqrt((pairs - tiedA) * (pairs - tiedB));
  if (denominator == 0) return std::nullopt;
  return (concordant - discordant) / denominator;
}

QueryScores Compare(const std::vector<Ranked>& reference, const std::vector<Ranked>& list) {
  const std::vector<Ranked> top(list.begin(), list.begin() + static_cast<long>(std::min(list.size(), kDepth)));
  const std::vector<std::string> referenceKeys = TopKeys(reference, kDepth), keys = TopKeys(top, kDepth);
  return {Overlap(referenceKeys, keys), Ndcg(referenceKeys, keys), KendallTau(reference, top)};
}

double Mean(const std::vector<double>& values) {
  return values.empty() ? 0 : std::accumulate(values.begin(), values.end(), 0.0) / static_cast<double>(values.size());
}

double Median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  const size_t mid = values.size() / 2;
  return values.size() % 2 ? values[mid] : (values[mid - 1] + values[mid]) / 2;
}

}  // namespace tessik_ranking
