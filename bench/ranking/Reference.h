// The centralised index: one Xapian database over the union of the
// collections, scored by Bm25Weight, the yardstick's idea of the best
// merged list. Its words are the plugin kit's: tessik_plugins::Words splits
// title and text, tessik_plugins::Fold folds each word, nothing is stemmed,
// and title and text count together (a document's length is the number of
// its words). Documents of one tessik_plugins::NormalisedText (their folded
// words the same, in the same order: one text filed under two ids) are one
// document, under the least of their keys: in N and df too, since a search
// engine over everything would hold the text once.
#ifndef TESSIK_BENCH_RANKING_REFERENCE_H_
#define TESSIK_BENCH_RANKING_REFERENCE_H_

#include <xapian.h>

#include <map>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "ranking/Collections.h"
#include "ranking/Metrics.h"

namespace tessik_ranking {

// The reference's terms of a text: each word of tessik_plugins::Words,
// folded by tessik_plugins::Fold.
std::vector<std::string> Terms(std::string_view utf8);

class Reference {
 public:
  // Builds the index in the folder `path` (created; its content replaced)
  // from `documents`.
  Reference(const std::string& path, const std::vector<Document>& documents);

  // The best `k` documents of the query "every one of `words`" (each read
  // by Terms), best first; equal scores in key order. `more`, when not
  // null, tells whether more than `k` documents match.
  std::vector<Ranked> Search(const std::vector<std::string>& words, size_t k, bool* more = nullptr) const;
  // True when a document of `domain` matches every one of `words`.
  bool Matches(const std::vector<std::string>& words, const std::string& domain) const;

  // The key a text is counted under; `key` itself when it is no document
  // of the reference.
  const std::string& Canonical(const std::string& key) const;
  bool Knows(const std::string& key) const { return canonical_.count(key) > 0; }
  // `hits` (keys as the command names them) under their canonical keys,
  // each text once, at its first place; `unknown` counts the keys the
  // reference does not know.
  std::vector<Ranked> CanonicalList(const std::vector<Ranked>& hits, size_t& unknown) const;

  size_t Documents() const { return documents_; }                 // N: texts, not keys
  size_t Duplicates() const { return canonical_.size() - documents_; }  // keys that share a text
  double AverageLength() const;
  const std::map<std::string, size_t>& PerDomain() const { return perDomain_; }  // keys per domain

 private:
  Xapian::Query QueryOf(const std::vector<std::string>& words) const;

  Xapian::Database db_;
  std::unordered_map<std::string, std::string> canonical_;
  std::map<std::string, size_t> perDomain_;
  size_t documents_ = 0;
};

}  // namespace tessik_ranking

#endif  // TESSIK_BENCH_RANKING_REFERENCE_H_
