// One ranking of the hits of every source: how scores from different
// engines become comparable, which hits are one document, and the best N
// of everything so far, kept as hits arrive.
//
// Methods (--merge):
//  - stats: every hit is scored again with BM25 under one collection model,
//    the sums of the sources' statistics (their document counts, average
//    lengths and the query terms' document frequencies), so the order comes
//    close to that of one index over everything. Sources that report no
//    statistics, or statistics that make no sense, are fused with the rest
//    by reciprocal rank (as rrf does, with the stats-scored hits as one
//    list). The default.
//  - rrf: reciprocal rank fusion, 1 / (60 + rank in its source), summed over
//    the sources that returned the document.
//  - minmax: each source's scores scaled to [0, 1] over what it returned.
//  - plugin: each plugin's own score (its best hit scaled to 1).
//
// Equal scores are ordered by the rank in the hit's own source, then the
// domain, then the id, so one search prints the same table every time.
//
// The same document from two sources is one: when their "path" or "url"
// properties are the same, else when their "digest" properties are, else
// when domain and id are. Its score is the best of its copies' (under rrf
// also the sum: being found twice never lowers a document), and its domain
// that of the best copy.
#ifndef TESSIK_TOOLS_SEARCH_RANKING_H_
#define TESSIK_TOOLS_SEARCH_RANKING_H_

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "search/Merge.h"
#include "search/Results.h"

namespace tessik_cli {

// A hit as ranked: its best copy (its score the merged one) and every
// source that returned it with the hit's rank there, best copy first.
struct Ranked {
  Row row;
  std::vector<std::pair<std::string, size_t>> sources;
};

// Keeps the best `limit` documents of every hit added (every one without a
// limit). Adding a hit costs O(log limit) once a source's statistics are
// known; a source's statistics arriving re-scores what is kept, once per
// source. Hits of a source come in its own order (best first). Not thread
// safe: one caller.
class Ranker {
 public:
  Ranker(Merge merge, std::optional<size_t> limit);
  ~Ranker();
  Ranker(const Ranker&) = delete;
  Ranker& operator=(const Ranker&) = delete;

  // A source's statistics entry (an entry with a "statistics" property).
  // Those of a source whose hits came first, or that make no sense, leave
  // the source to rank fusion.
  void AddStatistics(const Row& entry);
  void AddHit(const Row& hit);
  // Best first; the merged score in each row.
  std::vector<Ranked> Best();
  // The sources whose hits were fused by rank under the stats method: they
  // reported no statistics, or statistics that make no sense.
  std::vector<std::string> Fused() const;

 private:
  struct Source;
  struct Copy;
  struct Doc;
  struct Order {
    const Ranker* ranker;
    bool operator()(size_t a, size_t b) const;
  };

  Source& SourceOf(const std::string& domain);
  static bool Before(const Copy& a, const Copy& b);
  double CopyScore(const Copy& copy) const;
  double FusedSum(const Doc& doc, bool unscoredOnly) const;
  void Score(size_t doc);
  void Rescore();
  void Keep(size_t doc);
  bool Incremental() const;

  Merge merge_;
  std::optional<size_t> limit_;
  std::map<std::string, Source> sources_;
  std::vector<Copy> copies_;
  std::vector<Doc> docs_;
  std::unordered_multimap<uint64_t, size_t> byKey_;  // the hash of a path, url, digest or id -> doc
  std::set<size_t, Order> kept_;                   // the best docs so far, at most limit_
  // Global statistics: sums over the sources that reported them.
  double documents_ = 0, totalLength_ = 0;
  std::map<std::string, double> df_;
  std::unordered_map<std::string, double> idf_;  // from df_, made again with every change to it
  bool dirty_ = false;  // scores need computing again before Best()
};

}  // namespace tessik_cli

#endif  // TESSIK_TOOLS_SEARCH_RANKING_H_
