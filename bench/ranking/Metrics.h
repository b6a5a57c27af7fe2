// How close one ranked list comes to the reference's: the measures the
// yardstick prints. Lists hold canonical keys (one key per text), best
// first, each key at most once.
#ifndef TESSIK_BENCH_RANKING_METRICS_H_
#define TESSIK_BENCH_RANKING_METRICS_H_

#include <optional>
#include <string>
#include <vector>

namespace tessik_ranking {

struct Ranked {
  std::string key;
  double score = 0;  // higher is better; equal scores are a tie
};

// The first `k` keys of `list`.
std::vector<std::string> TopKeys(const std::vector<Ranked>& list, size_t k);

// |reference ∩ other| / |reference|, where `reference` is the reference's
// top 10 (so the denominator is min(10, matches)); 1 for an empty
// reference, which no query of the set has. `other` may be any length:
// the command's top 10, or the union of everything the sources returned.
double Overlap(const std::vector<std::string>& reference, const std::vector<std::string>& other);

// NDCG@10 graded by reference rank: the document at reference rank r
// (1-based, r <= 10) gains 11 - r, any other document 0; DCG sums gain /
// log2(position + 1) over the first 10 positions of `ranked`, and the ideal
// DCG is that of the reference's own order. 1 for an empty reference.
double Ndcg(const std::vector<std::string>& reference, const std::vector<std::string>& ranked);

// Kendall's tau-b between the two orders of the documents both lists hold,
// each list's order given by its scores (equal scores tie). None when fewer
// than two documents are shared, or when every shared pair is tied in one
// of the lists (no order to compare).
std::optional<double> KendallTau(const std::vector<Ranked>& reference, const std::vector<Ranked>& ranked);

// One query's measures of a list of the command's against the reference's
// top 10; only the list's first 10 count.
struct QueryScores {
  double overlap = 0, ndcg = 0;
  std::optional<double> tau;
};
QueryScores Compare(const std::vector<Ranked>& reference, const std::vector<Ranked>& list);

double Mean(const std::vector<double>& values);    // 0 for none
double Median(std::vector<double> values);         // 0 for none; even counts: the mean of the middle two

}  // namespace tessik_ranking

#endif  // TESSIK_BENCH_RANKING_METRICS_H_
