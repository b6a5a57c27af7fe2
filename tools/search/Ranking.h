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
#include <memory>
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
// known, and takes no allocation of its own beyond the hit it is handed; a
// source's statistics arriving re-scores what came before, once per
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
  // The ranker keeps the hit: callers done with it hand it over (std::move).
  void AddHit(Row hit);
  // The hits of one results document, in their order: as AddHit one by
  // one, the memory each needs asked for a few hits ahead. Takes them all.
  void AddHits(std::vector<Row>&& hits);
  // Best first; the merged score in each row.
  std::vector<Ranked> Best();
  // The sources whose hits were fused by rank under the stats method: they
  // reported no statistics, or statistics that make no sense.
  std::vector<std::string> Fused() const;

 private:
  struct Source;
  struct Copy;
  struct Doc;
  // Items by number in blocks that never move: an item is moved in once
  // and stays, however many follow.
  template <class T>
  class Blocks {
   public:
    T& operator[](size_t i) { return blocks_[i / kBlock][i % kBlock]; }
    const T& operator[](size_t i) const { return blocks_[i / kBlock][i % kBlock]; }
    size_t size() const { return size_; }
    void push_back(T&& item) {
      if (size_ == blocks_.size() * kBlock) blocks_.push_back(std::make_unique<T[]>(kBlock));
      (*this)[size_++] = std::move(item);
    }

   private:
    static constexpr size_t kBlock = 256;
    std::vector<std::unique_ptr<T[]>> blocks_;
    size_t size_ = 0;
  };
  // A query term's count in one copy: the term by its index in df_.
  struct TermCount {
    uint32_t term;
    double count;
  };
  // The hash of a path, url, digest or id -> doc, by open addressing in one
  // array: no node per hit. Two keys may share a hash; each match is checked.
  class KeyTable {
   public:
    static constexpr size_t kNone = SIZE_MAX;
    // The next doc filed under `hash` from probe position `at` on (start
    // with at = 0), else kNone.
    size_t Next(uint64_t hash, size_t& at) const;
    void Insert(uint64_t hash, size_t doc);
    // Asks for the memory Next(hash) reads first.
    void Prefetch(uint64_t hash) const;

   private:
    std::vector<std::pair<uint64_t, size_t>> slots_;  // doc kNone: empty
    size_t used_ = 0;
  };
  struct Order {
    const Ranker* ranker;
    bool operator()(size_t a, size_t b) const;
  };

  // A key a document is known by: its kind ("path", "url", "digest", or
  // "id" for domain and id), the value in the hit and their hash.
  struct Key {
    const char* kind;
    const std::string* value;
    uint64_t hash;
  };
  static constexpr size_t kMostKeys = 3;
  static size_t KeysOf(const Row& hit, Key (&keys)[kMostKeys]);
  // Adds `hit` (moved from) known by `keys`, which point into it.
  void Add(Row& hit, const Key* keys, size_t count);
  Source& SourceOf(const std::string& domain);
  uint32_t TermIndex(const std::string& term);
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
  size_t fusedSources_ = 0;  // of sources_, those fused by rank  // Hits come in runs of one domain: the last one's source, and its name.
  const std::string* lastDomain_ = nullptr;
  Source* lastSource_ = nullptr;
  std::vector<Copy> copies_;
  std::vector<TermCount> termCounts_;  // every copy's, each copy's in one run
  std::vector<Doc> docs_;
  KeyTable byKey_;
  std::set<size_t, Order> kept_;  // the best docs so far, at most limit_
  // Global statistics: sums over the sources that reported them, each
  // term's document frequency by the term's index.
  double documents_ = 0, totalLength_ = 0;
  std::unordered_map<std::string, uint32_t> terms_;
  std::vector<double> df_;
  std::vector<double> idf_;  // from df_, made again with every change to it
  bool dirty_ = false;  // scores need computing again before Best()
};

}  // namespace tessik_cli

#endif  // TESSIK_TOOLS_SEARCH_RANKING_H_
