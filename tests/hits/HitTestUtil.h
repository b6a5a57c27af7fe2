// Hits and lists in tests: owners that release through the exports, and
// lists read back as plain values.
#ifndef TESSIK_TESTS_HITS_HITTESTUTIL_H_
#define TESSIK_TESTS_HITS_HITTESTUTIL_H_

#include <memory>
#include <vector>

#include "tessik/Hits.h"
#include "tessik/TessikClient.h"
#include "tests/common/TestText.h"

struct HitReleaser {
  void operator()(IHit* hit) const { Tessik_ReleaseHit(hit); }
};
struct HitListReleaser {
  void operator()(IHitList* list) const { Tessik_ReleaseHitList(list); }
};
using HitPtr = std::unique_ptr<IHit, HitReleaser>;
using HitListPtr = std::unique_ptr<IHitList, HitListReleaser>;

// A list of another implementation: the library must refuse it.
class ForeignList : public IHitList {
 public:
  bool IsEmpty() override { return true; }
  void Clear() override {}
  void SortByScore(const std::vector<const TessikChar*>*) override {}
  void SortByProperty(const TessikChar*) override {}
  uint32_t GetCount() override { return 0; }
  IHit* GetNextHit(bool, CHitSelector&) override { return nullptr; }
  void Append(IHitList&) override {}
  void AddHit(IHit*) override {}
  IHitList& operator+=(IHit*) override { return *this; }
};

// A null text reads as "<null>", so a missing text never passes for an empty one.
inline TString Str(const TessikChar* text) { return text != nullptr ? TString(text) : T("<null>"); }

inline IHit* NewHit(double norm, std::vector<std::pair<TString, TString>> properties = {}) {
  IHit* hit = Tessik_NewHit();
  hit->SetNormScore(norm);
  for (const auto& [name, value] : properties) hit->SetProperty(name.c_str(), value.c_str());
  return hit;
}

inline std::vector<IHit*> Hits(IHitList& list, CHitSelector&& selector = CHitSelector()) {
  std::vector<IHit*> out;
  for (IHit* h = list.GetNextHit(true, selector); h != nullptr; h = list.GetNextHit(false, selector)) out.push_back(h);
  return out;
}

// One property of every hit, in list order.
inline std::vector<TString> Values(IHitList& list, const TessikChar* name) {
  std::vector<TString> out;
  for (IHit* h : Hits(list)) out.push_back(Str(h->GetProperty(name)));
  return out;
}

#endif  // TESSIK_TESTS_HITS_HITTESTUTIL_H_
