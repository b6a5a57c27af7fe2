#include "search/Results.h"

#include <algorithm>
#include <cstdlib>

#include "kit/Names.h"

namespace tessik_cli {
namespace {

const TessikChar kError[] = TESSIK_TEXT("error");

// Plugin failures are entries with an "error" property; every other entry is a hit.
class HitsOnly final : public CHitSelector {
 public:
  bool Accept(IHit* hit) override { return hit->GetProperty(kError) == nullptr; }
};
class FailuresOnly final : public CHitSelector {
 public:
  bool Accept(IHit* hit) override { return hit->GetProperty(kError) != nullptr; }
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

Results::~Results() { Tessik_ReleaseHitList(all_); }

void Results::Sort(IHitList& list) {
  if (sort_ == "score") {
    // Equal scores in a fixed order, so one search prints the same table every time.
    const std::vector<const TessikChar*> ties = {TESSIK_TEXT("domain"), TESSIK_TEXT("id")};
    list.SortByScore(&ties);
  } else {
    list.SortByProperty(Widen(sort_).c_str());
  }
}

std::vector<Row> Results::Read(IHitList& list, std::optional<uint32_t> limit) {
  std::vector<Row> rows;
  HitsOnly hits;
  for (IHit* hit = list.GetNextHit(true, hits); hit != nullptr && (!limit || rows.size() < *limit);
       hit = list.GetNextHit(false, hits)) {
    Row row;
    row.score = hit->GetNormScore();
    row.domain = Property(*hit, TESSIK_TEXT("domain"));
    row.title = Property(*hit, TESSIK_TEXT("title"));
    row.snippet = Property(*hit, TESSIK_TEXT("snippet"));
    row.id = Property(*hit, TESSIK_TEXT("id"));
    for (const TString& name : names_) {
      const TessikChar* value = hit->GetProperty(name.c_str());
      if (value == nullptr) continue;
      if (Narrow(name) == tessik_plugins::kMoreProperty) {
        if (Narrow(value) == "true") cut_.insert(row.domain);
        continue;
      }
      row.properties.emplace_back(Narrow(name), Narrow(value));
    }
    rows.push_back(std::move(row));
  }
  return rows;
}

int32_t Results::Add(const TessikChar* text, std::vector<Row>* batch) {
  if (all_ == nullptr && (all_ = Tessik_NewHitList()) == nullptr) return TESSIK_E_OUT_OF_MEMORY;
  IHitList* list = nullptr;
  const int32_t status = Tessik_ConvertXMLToHitList(text, &list);
  if (status != TESSIK_OK) return status;
  ++batches_;
  CollectNames(text, names_);
  Sort(*list);
  std::vector<Row> rows = Read(*list, std::nullopt);
  for (const Row& row : rows) ++perDomain_[row.domain];
  all_->Append(*list);
  Tessik_ReleaseHitList(list);
  if (batch != nullptr) *batch = std::move(rows);
  return TESSIK_OK;
}

std::vector<Row> Results::Rows(std::optional<uint32_t> limit) {
  if (all_ == nullptr) return {};
  Sort(*all_);
  return Read(*all_, limit);
}

std::vector<Failure> Results::Failures() {
  std::vector<Failure> failures;
  if (all_ == nullptr) return failures;
  FailuresOnly select;
  for (IHit* hit = all_->GetNextHit(true, select); hit != nullptr; hit = all_->GetNextHit(false, select)) {
    Failure f;
    f.domain = Property(*hit, TESSIK_TEXT("domain"));
    f.error = Property(*hit, kError);
    const std::string status = Property(*hit, TESSIK_TEXT("status"));
    if (!status.empty()) f.status = static_cast<int32_t>(std::strtol(status.c_str(), nullptr, 10));
    failures.push_back(std::move(f));
  }
  return failures;
}

}  // namespace tessik_cli
