// The library's hits and hit lists: CNSHit and CNSHitList, the only
// implementations of IHit and IHitList, and the two orderings their sorts
// use. Applications and plugins reach them through tessik/Hits.h.
//
// Every operation of every list takes one machine-wide named lock,
// "CNSHitList_HitVector", and gives it back on every exit. No state is kept
// per thread: the lock already serialises the lists, and a hit is used by
// one thread at a time.
#ifndef TESSIK_HITS_HIT_H_
#define TESSIK_HITS_HIT_H_

#include <cstddef>
#include <memory>
#include <vector>

#include "tessik/Hits.h"
#include "ulmo/StringBase.h"
#include "ulmo/osdep/Mutex.h"

namespace Tessik {

using vel::ulmo::WChar;
using vel::ulmo::WString;

// A text given by its units and length, for look-ups without a copy.
struct TextView {
  const WChar* text;
  uint32_t length;
};

TextView ViewOf(const WChar* text);  // text not null
inline TextView ViewOf(const WString& text) { return {text.CStr(), text.Length()}; }

// The library's case-insensitive comparison: negative, zero or positive.
int CompareText(TextView a, TextView b);

class CNSHit : public IHit {
 public:
  CNSHit() = default;
  CNSHit(const CNSHit&) = delete;
  CNSHit& operator=(const CNSHit&) = delete;
  ~CNSHit() override = default;

  // Truncated toward zero: the raw score always holds a whole number.
  int32_t GetRawScore() override { return static_cast<int32_t>(raw_); }
  double GetNormScore() override { return norm_; }
  double NormScore() const { return norm_; }
  void SetRawScore(int32_t score) override { raw_ = score; }
  void SetNormScore(double score) override { norm_ = score; }
  const TessikChar* GetProperty(const TessikChar* name) override;
  void SetProperty(const TessikChar* name, const TessikChar* value) override;

  // The stored value of the property `name` (equal but for case), or null.
  // Nothing is copied and no handed-out text changes.
  const WString* FindValue(TextView name) const;

  // Asks the processor to fetch what a look-up will read: the property
  // array, and (once that has arrived) the first property's texts. Long
  // lists are walked in an order unrelated to where their hits lie.
  void PrefetchProperties() const { __builtin_prefetch(properties_.data()); }
  void PrefetchTexts(bool all) const {
    for (const Property& p : properties_) {
      __builtin_prefetch(p.name.CStr());
      __builtin_prefetch(p.value.CStr());
      if (!all) break;
    }
  }

  // Calls visit(name, value) for each property, ascending by name.
  template <class Visit>
  void ForEachProperty(Visit&& visit) const {
    for (const Property& p : properties_) visit(p.name, p.value);
  }

 private:
  struct Property {
    WString name;
    WString value;
    std::unique_ptr<WChar[]> handedOut;  // the copy GetProperty last returned
  };

  // The first property whose name is not less than `name`.
  std::vector<Property>::const_iterator LowerBound(TextView name) const;

  // A hit is used by one thread at a time (tessik/Hits.h); no lock guards
  // these, and a list's lock guards only its array of hits.
  double raw_ = 0;  // written only from a 32-bit integer
  double norm_ = 0;
  // An ordered map: ascending by name in the case-insensitive order, no two
  // names equal. A hit has a handful of properties, so a sorted array is
  // faster to build, search and walk than a tree.
  std::vector<Property> properties_;
};

// The order of SortByProperty: hits holding the property `name` first,
// ascending by its value; the others after them, all equal.
class PropertyGreaterThan {
 public:
  explicit PropertyGreaterThan(const WChar* name) : name_(name) {}
  virtual ~PropertyGreaterThan() = default;

  // Negative when a stands before b, 0 when they are equal in this order.
  int32_t Compare(const CNSHit& a, const CNSHit& b) const;
  bool operator()(const CNSHit* a, const CNSHit* b) const { return Compare(*a, *b) < 0; }

  // The same order on values already looked up (null: no such property).
  static int32_t CompareValues(const WString* a, const WString* b);

 private:
  const WChar* name_;  // may be null: every hit lacks the property
};

// The order of SortByScore: highest normalised score first, NaN after every
// number; equal scores (and NaNs among themselves) ordered by the
// properties named in turn.
class ScoreGreaterThan {
 public:
  explicit ScoreGreaterThan(const std::vector<const WChar*>* names) : names_(names) {}
  virtual ~ScoreGreaterThan() = default;

  bool operator()(const CNSHit* a, const CNSHit* b) const;
  // By the tie-break names only: negative when a stands before b.
  int32_t CompareTies(const CNSHit& a, const CNSHit& b, size_t firstName) const;

 private:
  const std::vector<const WChar*>* names_;  // may be null
};

class CNSHitList : public IHitList {
 public:
  // Opens the shared lock. Throws the system error when it cannot.
  CNSHitList();
  // Destroys every hit under the lock.
  ~CNSHitList() override;
  CNSHitList(const CNSHitList&) = delete;
  CNSHitList& operator=(const CNSHitList&) = delete;

  bool IsEmpty() override;
  void Clear() override;
  void SortByScore(const std::vector<const TessikChar*>* tieBreakNames) override;
  void SortByProperty(const TessikChar* name) override;
  uint32_t GetCount() override;
  IHit* GetNextHit(bool first, CHitSelector& selector) override;
  void Append(IHitList& other) override;
  void AddHit(IHit* hit) override;
  IHitList& operator+=(IHit* hit) override;

  // The hits, for the XML writer, which reads a list without its lock (its
  // caller must not change the list meanwhile), and for measurements.
  std::vector<CNSHit*>& HitsUnlocked() { return hits_; }

 private:
  static constexpr size_t kNotStarted = static_cast<size_t>(-1);

  void DestroyHits() noexcept;

  std::vector<CNSHit*> hits_;  // guarded by lock_; owned, never null
  vel::ulmo::osdep::Mutex lock_;
  size_t cursor_ = kNotStarted;  // guarded by lock_
};

}  // namespace Tessik

#endif  // TESSIK_HITS_HIT_H_
