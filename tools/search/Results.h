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
class Ranker;
}

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
  std::string plugin;  // the plugin that failed, as it names itself; empty when it does not
  int32_t status = TESSIK_E_FAILED;
};

// Reads results documents as they arrive: their hits and the sources'
// statistics go to the ranking (statistics first, so a source's hits find
// them), failures are kept here.
class Results {
 public:
  explicit Results(Ranker& ranker) : ranker_(ranker) {}

  // Adds a results document. Returns its status (the library's, from
  // reading it).
  int32_t Add(const TessikChar* text);

  const std::vector<Failure>& Failures() const { return failures_; }
  // Hits so far per domain, duplicates included: each counts for the
  // source that returned it.
  const std::map<std::string, size_t>& PerDomain() const { return perDomain_; }
  // The same per plugin and domain: each hit counts for the plugin its
  // "plugin" property names (empty when it names none), so two copies of
  // one plugin answering under one domain count apart.
  const std::map<std::pair<std::string, std::string>, size_t>& PerPlugin() const { return perPlugin_; }
  // The domains whose plugin said it had more matches than it returned.
  const std::set<std::string>& Cut() const { return cut_; }
  size_t Batches() const { return batches_; }
  // The domains whose plugin said their answer is complete ("answered"
  // entries of an asynchronous search, kit/Names.h).
  const std::set<std::string>& Answered() const { return answered_; }

 private:
  Ranker& ranker_;
  std::vector<TString> names_;  // property names seen, first seen first
  std::vector<Failure> failures_;
  std::map<std::string, size_t> perDomain_;
  std::map<std::pair<std::string, std::string>, size_t> perPlugin_;  // (plugin, domain) -> hits
  std::set<std::string> cut_;
  std::set<std::string> answered_;
  size_t batches_ = 0;
};

// `rows` ordered by the value of property `name` as the library orders
// hits (case-insensitive, locale-aware; rows without it last), keeping the
// given order among equals. Returns the library's status.
int32_t SortByProperty(std::vector<Row>& rows, const std::string& name);

}  // namespace tessik_cli

#endif  // TESSIK_TOOLS_SEARCH_RESULTS_H_
