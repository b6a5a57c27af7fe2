#include "search/Results.h"

#include <algorithm>
#include <cstdlib>

#include "kit/Names.h"
#include "search/Ranking.h"

namespace tessik_cli {
namespace {

namespace names = tessik_plugins;

const TessikChar kError[] = TESSIK_TEXT("error");
const TessikChar kAnswered[] = TESSIK_TEXT("answered");  // kit/Names.h
const TessikChar kPlugin[] = TESSIK_TEXT("plugin");

class Everything final : public CHitSelector {
 public:
  bool Accept(IHit*) override { return true; }
};

std::string Property(IHit& hit, const TessikChar* name) { return Narrow(hit.GetProperty(name)); }

// The property names of a results document, from its "<Property name=" tags
// (the hit interface hands out values by name but cannot list the names).
void CollectNames(const TessikChar* text, std::vector<TString>& names) {
  static const TString open = TESSIK_TEXT("<Property name=\"");
  const TString doc = text;
  for (size_t at = doc.find(open); at != TString::npos; at = doc.find(open, at)) {
    at += open.size();
    const size_t end = doc.find(TessikChar('"'), at);
    if (end == TString::npos) break;
    TString name;
    for (size_t i = at; i < end; ++i) {
      if (doc[i] != '&') {
        name += doc[i];
        continue;
      }
      static const std::pair<TString, TessikChar> kEntities[] = {{TESSIK_TEXT("&quot;"), '"'},
                                                                 {TESSIK_TEXT("&lt;"), '<'},
                                                                 {TESSIK_TEXT("&gt;"), '>'},
                                                                 {TESSIK_TEXT("&amp;"), '&'}};
      TessikChar c = '&';
      for (const auto& [entity, character] : kEntities) {
        if (doc.compare(i, entity.size(), entity) == 0) {
          c = character;
          i += entity.size() - 1;
          break;
        }
      }
      name += c;
    }
    if (std::find(names.begin(), names.end(), name) == names.end()) names.push_back(name);
    at = end;
  }
}

}  // namespace

int32_t Results::Add(const TessikChar* text) {
  IHitList* list = nullptr;
  const int32_t status = Tessik_ConvertXMLToHitList(text, &list);
  if (status != TESSIK_OK) return status;
  struct ListGuard {
    IHitList* l;
    ~ListGuard() { Tessik_ReleaseHitList(l); }
  } guard{list};
  ++batches_;
  CollectNames(text, names_);
  std::vector<Row> hits, statistics;
  Everything all;
  for (IHit* hit = list->GetNextHit(true, all); hit != nullptr; hit = list->GetNextHit(false, all)) {
    Row row;
    row.score = hit->GetNormScore();
    row.domain = Property(*hit, TESSIK_TEXT("domain"));
    if (hit->GetProperty(kAnswered) != nullptr) {
      answered_.insert(row.domain);
      // The entry of its own that ends an answer with nothing else in it.
      if (hit->GetProperty(TESSIK_TEXT("id")) == nullptr && hit->GetProperty(TESSIK_TEXT("statistics")) == nullptr &&
          hit->GetProperty(kError) == nullptr)
        continue;
    }
    if (hit->GetProperty(kError) != nullptr) {
      Failure f;
      f.domain = row.domain;
      f.error = Property(*hit, kError);
      f.plugin = Property(*hit, kPlugin);
      const std::string code = Property(*hit, TESSIK_TEXT("status"));
      if (!code.empty()) f.status = static_cast<int32_t>(std::strtol(code.c_str(), nullptr, 10));
      failures_.push_back(std::move(f));
      continue;
    }
    row.title = Property(*hit, TESSIK_TEXT("title"));
    row.snippet = Property(*hit, TESSIK_TEXT("snippet"));
    row.id = Property(*hit, TESSIK_TEXT("id"));
    bool isStatistics = false;
    for (const TString& name : names_) {
      const TessikChar* value = hit->GetProperty(name.c_str());
      if (value == nullptr) continue;
      const std::string n = Narrow(name);
      if (n == names::kMoreProperty) {
        if (Narrow(value) == "true") cut_.insert(row.domain);
        continue;
      }
      if (n == names::kAnsweredProperty) continue;
      if (n == names::kStatisticsProperty) isStatistics = true;
      row.properties.emplace_back(n, Narrow(value));
    }
    (isStatistics ? statistics : hits).push_back(std::move(row));
  }
  // A source's statistics come with its first hits; read them first.
  for (const Row& entry : statistics) ranker_.AddStatistics(entry);
  for (const Row& hit : hits) {
    ++perDomain_[hit.domain];
    std::string plugin;
    for (const auto& [name, value] : hit.properties) {
      if (name == names::kPluginProperty) plugin = value;
    }
    ++perPlugin_[{std::move(plugin), hit.domain}];
  }
  ranker_.AddHits(std::move(hits));
  return TESSIK_OK;
}

int32_t SortByProperty(std::vector<Row>& rows, const std::string& name) {
  IHitList* list = Tessik_NewHitList();
  if (list == nullptr) return TESSIK_E_OUT_OF_MEMORY;
  struct ListGuard {
    IHitList* l;
    ~ListGuard() { Tessik_ReleaseHitList(l); }
  } guard{list};
  static const TessikChar kIndex[] = TESSIK_TEXT("tessik sort index");
  const TString key = Widen(name);
  for (size_t i = 0; i < rows.size(); ++i) {
    IHit* hit = Tessik_NewHit();
    if (hit == nullptr) return TESSIK_E_OUT_OF_MEMORY;
    hit->SetProperty(kIndex, Widen(std::to_string(i)).c_str());
    for (const auto& [n, v] : rows[i].properties) {
      if (n == name) hit->SetProperty(key.c_str(), Widen(v).c_str());
    }
    list->AddHit(hit);  // the list owns it from here
  }
  list->SortByProperty(key.c_str());
  std::vector<size_t> order;
  std::vector<std::string> values;
  Everything all;
  for (IHit* hit = list->GetNextHit(true, all); hit != nullptr; hit = list->GetNextHit(false, all)) {
    order.push_back(std::strtoul(Narrow(hit->GetProperty(kIndex)).c_str(), nullptr, 10));
    const TessikChar* value = hit->GetProperty(key.c_str());
    values.push_back(value == nullptr ? std::string("\x01") : Narrow(value));
  }
  // The library's sort is not stable: equal values keep the ranked order.
  for (size_t begin = 0; begin < order.size();) {
    size_t end = begin + 1;
    while (end < order.size() && values[end] == values[begin]) ++end;
    std::sort(order.begin() + begin, order.begin() + end);
    begin = end;
  }
  std::vector<Row> sorted;
  sorted.reserve(rows.size());
  for (size_t i : order) sorted.push_back(std::move(rows[i]));
  rows = std::move(sorted);
  return TESSIK_OK;
}

}  // namespace tessik_cli
