#include "kit/Results.h"

#include <memory>

#include "kit/Config.h"
#include "kit/Names.h"
#include "kit/Statistics.h"
#include "kit/Text.h"
#include "tessik/Hits.h"
#include "tessik/TessikClient.h"

namespace tessik_plugins {

namespace {

struct ListReleaser {
  void operator()(IHitList* list) const { Tessik_ReleaseHitList(list); }
};
using ListPtr = std::unique_ptr<IHitList, ListReleaser>;

struct HitReleaser {
  void operator()(IHit* hit) const { Tessik_ReleaseHit(hit); }
};
using HitPtr = std::unique_ptr<IHit, HitReleaser>;

void Set(IHit& hit, std::string_view name, const std::string& value) {
  hit.SetProperty(ToUtf16(name).c_str(), ToUtf16(CleanText(value)).c_str());
}

TessikChar* Write(IHitList& list) {
  TessikChar* text = nullptr;
  if (Tessik_ConvertHitListToXML(&list, &text) != TESSIK_OK) return nullptr;
  return text;
}

// The statistics entry of `found` (score 0, never a hit); false when the
// library could not make it.
bool AddStatistics(IHitList& list, const Statistics& s, const std::string& domain,
                   const std::vector<std::string>& keys, bool ends) {
  HitPtr hit(Tessik_NewHit());
  if (!hit) return false;
  hit->SetNormScore(0);
  Set(*hit, "domain", domain);
  Set(*hit, kPluginProperty, PluginConfig().name);
  Set(*hit, kStatisticsProperty, std::string(kStatisticsBm25));
  Set(*hit, kDocumentsProperty, std::to_string(s.documents));
  Set(*hit, kAverageLengthProperty, AverageText(s.documents, s.length));
  Set(*hit, kDocumentCountsProperty, CountPairs(keys, s.df));
  if (ends) Set(*hit, kAnsweredProperty, "true");
  list.AddHit(hit.get());
  hit.release();
  return true;
}

// Hits [begin, end) of `found` into `list`, after the statistics entry when
// the range is the first; false when the library could not make a hit.
bool AddHits(IHitList& list, const Found& found, size_t begin, size_t end, const std::string& domain,
             const std::vector<std::string>& keys, bool ends = false) {
  if (begin == 0 && found.statistics.known && !AddStatistics(list, found.statistics, domain, keys, ends && found.hits.empty()))
    return false;
  const std::vector<Hit>& hits = found.hits;
  for (size_t i = begin; i < end && i < hits.size(); ++i) {
    HitPtr hit(Tessik_NewHit());
    if (!hit) return false;
    const Hit& h = hits[i];
    hit->SetNormScore(h.score);
    Set(*hit, "domain", domain);
    Set(*hit, "id", h.id);
    Set(*hit, "title", h.title);
    Set(*hit, "snippet", h.snippet);
    if (!h.category.empty()) Set(*hit, "category", h.category);
    for (const auto& [name, value] : h.properties) Set(*hit, name, value);
    Set(*hit, kSourceRankProperty, std::to_string(i + 1));
    Set(*hit, kPluginProperty, PluginConfig().name);
    if (h.counted) {
      Set(*hit, kLengthProperty, std::to_string(h.length));
      Set(*hit, kTermCountsProperty, CountPairs(keys, h.tf));
    }
    if (!h.digest.empty()) Set(*hit, kDigestProperty, h.digest);
    if (found.more && i + 1 == hits.size()) Set(*hit, kMoreProperty, "true");
    if (ends && i + 1 == hits.size()) Set(*hit, kAnsweredProperty, "true");
    list.AddHit(hit.get());  // the list owns it from here
    hit.release();
  }
  return true;
}

bool AddError(IHitList& list, const std::string& domain, const std::string& message, int status) {
  HitPtr hit(Tessik_NewHit());
  if (!hit) return false;
  hit->SetNormScore(0);
  Set(*hit, "domain", domain);
  Set(*hit, kPluginProperty, PluginConfig().name);
  Set(*hit, kErrorProperty, message);
  Set(*hit, kStatusProperty, std::to_string(status));
  list.AddHit(hit.get());
  hit.release();
  return true;
}

}  // namespace

TessikChar* WriteAnswered(const std::string& domain) {
  ListPtr list(Tessik_NewHitList());
  if (!list) return nullptr;
  HitPtr hit(Tessik_NewHit());
  if (!hit) return nullptr;
  hit->SetNormScore(0);
  Set(*hit, "domain", domain);
  Set(*hit, kAnsweredProperty, "true");
  list->AddHit(hit.get());
  hit.release();
  return Write(*list);
}

TessikChar* WriteResults(const Found& found, size_t begin, size_t end, const std::string& domain,
                         const std::vector<std::string>& keys, bool ends) {
  ListPtr list(Tessik_NewHitList());
  if (!list || !AddHits(*list, found, begin, end, domain, keys, ends)) return nullptr;
  return Write(*list);
}

TessikChar* WriteAnswers(const std::vector<Answer>& answers) {
  ListPtr list(Tessik_NewHitList());
  if (!list) return nullptr;
  for (const Answer& a : answers) {
    const bool added = a.error.empty() ? AddHits(*list, a.found, 0, a.found.hits.size(), a.domain, a.keys)
                                       : AddError(*list, a.domain, a.error, a.status);
    if (!added) return nullptr;
  }
  return Write(*list);
}

TessikChar* WriteError(const std::string& domain, const std::string& message, int status) {
  ListPtr list(Tessik_NewHitList());
  if (!list || !AddError(*list, domain, message, status)) return nullptr;
  return Write(*list);
}

}  // namespace tessik_plugins
