// The hits of a search: results documents as they arrive, kept in one hit
// list, and read out as rows (hits) and failures (the entries a plugin
// sends instead of hits when its search failed).
#ifndef TESSIK_TOOLS_SEARCH_RESULTS_H_
#define TESSIK_TOOLS_SEARCH_RESULTS_H_

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "common/Text.h"
#include "tessik/Hits.h"

namespace tessik_cli {

struct Row {
  double score = 0;
  std::string domain, title, snippet, id;
  // Every property, names in document order; facts about the whole search
  // (the plugin's "more") are not the hit's and are left out.
  std::vector<std::pair<std::string, std::string>> properties;
};

struct Failure {
  std::string domain, error;
  int32_t status = TESSIK_E_FAILED;
};

class Results {
 public:
  // `sort`: "score" or a property name.
  explicit Results(std::string sort) : sort_(std::move(sort)) {}
  ~Results();
  Results(const Results&) = delete;
  Results& operator=(const Results&) = delete;

  // Adds a results document. Returns its status (the library's, from
  // reading it) and, in `batch` when not null, the document's hits in
  // sort order.
  int32_t Add(const TessikChar* text, std::vector<Row>* batch);

  // Every hit so far in sort order, at most `limit` of them.
  std::vector<Row> Rows(std::optional<uint32_t> limit);
  std::vector<Failure> Failures();
  // Hits so far per domain.
  const std::map<std::string, size_t>& PerDomain() const { return perDomain_; }
  // The domains whose plugin said it had more matches than it returned.
  const std::set<std::string>& Cut() const { return cut_; }
  size_t Batches() const { return batches_; }

 private:
  void Sort(IHitList& list);
  std::vector<Row> Read(IHitList& list, std::optional<uint32_t> limit);

  std::string sort_;
  IHitList* all_ = nullptr;
  std::vector<TString> names_;  // property names seen, first seen first
  std::map<std::string, size_t> perDomain_;
  std::set<std::string> cut_;
  size_t batches_ = 0;
};

}  // namespace tessik_cli

#endif  // TESSIK_TOOLS_SEARCH_RESULTS_H_
