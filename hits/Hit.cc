#include "hits/Hit.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <typeinfo>

#include "ulmo/osdep/Text.h"

namespace Tessik {

namespace {

const WChar kLockName[] = TESSIK_TEXT("CNSHitList_HitVector");

}  // namespace

TextView ViewOf(const WChar* text) { return {text, WString::LengthOf(text)}; }

int CompareText(TextView a, TextView b) { return vel::ulmo::CompareIgnoringCase(a.text, a.length, b.text, b.length); }

// --- CNSHit -------------------------------------------------------------------

std::vector<CNSHit::Property>::const_iterator CNSHit::LowerBound(TextView name) const {
  return std::lower_bound(properties_.begin(), properties_.end(), name,
                          [](const Property& p, TextView n) { return CompareText(ViewOf(p.name), n) < 0; });
}

const TessikChar* CNSHit::GetProperty(const TessikChar* name) {
  if (name == nullptr) return nullptr;
  TextView key = ViewOf(name);
  auto at = LowerBound(key);
  if (at == properties_.end() || CompareText(key, ViewOf(at->name)) != 0) return nullptr;
  Property& property = properties_[static_cast<size_t>(at - properties_.cbegin())];
  auto copy = std::make_unique<WChar[]>(property.value.Length() + 1);
  std::memcpy(copy.get(), property.value.CStr(), sizeof(WChar) * (property.value.Length() + 1));
  property.handedOut = std::move(copy);  // frees the copy handed out before
  return property.handedOut.get();
}

void CNSHit::SetProperty(const TessikChar* name, const TessikChar* value) {
  if (name == nullptr || value == nullptr) return;
  TextView key = ViewOf(name);
  auto at = LowerBound(key);
  if (at != properties_.end() && CompareText(key, ViewOf(at->name)) == 0) return;  // the first stays
  properties_.insert(at, Property{WString(name, key.length), WString(value), nullptr});
}

const WString* CNSHit::FindValue(TextView name) const {
  auto at = LowerBound(name);
  return at != properties_.end() && CompareText(name, ViewOf(at->name)) == 0 ? &at->value : nullptr;
}

// --- The orderings ------------------------------------------------------------

int32_t PropertyGreaterThan::CompareValues(const WString* a, const WString* b) {
  if (a == nullptr || b == nullptr) return a == b ? 0 : (a == nullptr ? 1 : -1);
  return CompareText(ViewOf(*a), ViewOf(*b));
}

int32_t PropertyGreaterThan::Compare(const CNSHit& a, const CNSHit& b) const {
  if (name_ == nullptr) return 0;
  TextView name = ViewOf(name_);
  return CompareValues(a.FindValue(name), b.FindValue(name));
}

int32_t ScoreGreaterThan::CompareTies(const CNSHit& a, const CNSHit& b, size_t firstName) const {
  if (names_ == nullptr) return 0;
  for (size_t i = firstName; i < names_->size(); ++i) {
    int32_t c = PropertyGreaterThan((*names_)[i]).Compare(a, b);
    if (c != 0) return c;
  }
  return 0;
}

bool ScoreGreaterThan::operator()(const CNSHit* a, const CNSHit* b) const {
  double sa = a->NormScore(), sb = b->NormScore();
  bool aNan = std::isnan(sa), bNan = std::isnan(sb);
  if (aNan != bNan) return bNan;  // a number before NaN
  if (aNan || sa == sb) return CompareTies(*a, *b, 0) < 0;
  return sa > sb;
}

// --- Sorting ------------------------------------------------------------------

namespace {

// A hit with the value it is ordered by, looked up once. With sort keys, the
// key's first eight bytes are held in `prefix` (big-endian, so integers
// compare as the bytes do) and most comparisons end there. The key itself
// is an offset into the arena: 32 bytes an entry, not 40, keeps the array
// for a million hits below the size at which the C library maps (and
// page-faults) every large block afresh, which cost a third of a sort.
struct Keyed {
  uint64_t prefix;
  uint32_t keyOffset;
  uint32_t keyLength;
  const WString* value;  // null: the hit lacks the property
  CNSHit* hit;
};
static_assert(sizeof(Keyed) == 32);

// Below this many hits, comparing the texts directly is cheaper than making
// a key for each.
constexpr size_t kKeysFrom = 64;

// Keys of the comparison's ASCII shortcut: each unit's weight, one byte.
// Only when every value is printable ASCII (the shortcut then decides every
// comparison, so these keys are the comparison itself).
bool MakeQuickKeys(Keyed* first, Keyed* last, std::vector<uint8_t>& arena) {
  const uint8_t* weights = vel::ulmo::osdep::QuickWeights();
  if (weights == nullptr) return false;
  size_t total = 0;
  for (Keyed* k = first; k != last; ++k) total += k->value->Length();
  if (total > UINT32_MAX) return false;
  arena.resize(total);
  uint8_t* out = arena.data();
  for (Keyed* k = first; k != last; ++k) {
    const WChar* text = k->value->CStr();
    const uint32_t length = k->value->Length();
    uint8_t any0 = 0xFF;
    for (uint32_t i = 0; i < length; ++i) {
      const uint32_t c = static_cast<uint16_t>(text[i]);
      const uint8_t w = c < 0x80 ? weights[c] : 0;
      any0 &= w != 0 ? 0xFF : 0;
      out[i] = w;
    }
    if (any0 == 0) return false;
    k->keyOffset = static_cast<uint32_t>(out - arena.data());
    k->keyLength = length;
    out += length;
  }
  return true;
}

// Makes a key for every entry of [first, last), whose values are all
// present. False when the platform has none.
bool MakeKeys(Keyed* first, Keyed* last, std::vector<uint8_t>& arena) {
  if (!MakeQuickKeys(first, last, arena)) {
    arena.clear();
    uint8_t buffer[256];
    for (Keyed* k = first; k != last; ++k) {
      uint32_t size = vel::ulmo::osdep::SortKey(k->value->CStr(), k->value->Length(), buffer, sizeof buffer);
      if (size == 0) return false;
      size_t at = arena.size();
      if (at + size > UINT32_MAX) return false;
      arena.resize(at + size);
      if (size <= sizeof buffer) {
        std::memcpy(arena.data() + at, buffer, size);
      } else if (vel::ulmo::osdep::SortKey(k->value->CStr(), k->value->Length(), arena.data() + at, size) != size) {
        return false;
      }
      k->keyOffset = static_cast<uint32_t>(at);
      k->keyLength = size;
    }
  }
  for (Keyed* k = first; k != last; ++k) {
    uint64_t prefix = 0;
    const uint8_t* key = arena.data() + k->keyOffset;
    for (uint32_t i = 0; i < 8; ++i) prefix = prefix << 8 | (i < k->keyLength ? key[i] : 0);
    k->prefix = prefix;
  }
  return true;
}

// Orders [first, last) as PropertyGreaterThan orders their values, and
// entries equal there by `tie` (a three-way comparison of two hits, or
// null). Sort keys, made once per hit, stand in for the texts when there
// are many: they order exactly as the texts do, equal keys included.
template <class Tie>
void OrderByValues(Keyed* first, Keyed* last, const Tie& tie, std::vector<uint8_t>& arena) {
  Keyed* present = std::partition(first, last, [](const Keyed& k) { return k.value != nullptr; });
  auto byTie = [&tie](const Keyed& a, const Keyed& b) { return tie(*a.hit, *b.hit) < 0; };
  if (present - first >= static_cast<ptrdiff_t>(kKeysFrom) && MakeKeys(first, present, arena)) {
    const uint8_t* keys = arena.data();
    std::sort(first, present, [&](const Keyed& a, const Keyed& b) {
      if (a.prefix != b.prefix) return a.prefix < b.prefix;
      uint32_t n = a.keyLength < b.keyLength ? a.keyLength : b.keyLength;
      if (n > 8) {
        int c = std::memcmp(keys + a.keyOffset + 8, keys + b.keyOffset + 8, n - 8);
        if (c != 0) return c < 0;
      }
      if (a.keyLength != b.keyLength) return a.keyLength < b.keyLength;
      return byTie(a, b);
    });
  } else {
    std::sort(first, present, [&](const Keyed& a, const Keyed& b) {
      int32_t c = PropertyGreaterThan::CompareValues(a.value, b.value);
      return c != 0 ? c < 0 : byTie(a, b);
    });
  }
  // Hits without the property are all equal but for the tie-break.
  std::sort(present, last, byTie);
}

}  // namespace

// --- CNSHitList ---------------------------------------------------------------

CNSHitList::CNSHitList() : lock_(WString(kLockName)) {}

CNSHitList::~CNSHitList() {
  // The list is going: if the lock cannot be had, no one else can reach
  // these hits anyway.
  try {
    vel::ulmo::osdep::MutexLock hold(lock_);
    DestroyHits();
  } catch (...) {
    DestroyHits();
  }
}

void CNSHitList::DestroyHits() noexcept {
  for (CNSHit* hit : hits_) delete hit;
  hits_.clear();
}

bool CNSHitList::IsEmpty() {
  vel::ulmo::osdep::MutexLock hold(lock_);
  return hits_.empty();
}

void CNSHitList::Clear() {
  vel::ulmo::osdep::MutexLock hold(lock_);
  DestroyHits();
}

uint32_t CNSHitList::GetCount() {
  vel::ulmo::osdep::MutexLock hold(lock_);
  return static_cast<uint32_t>(hits_.size());
}

IHit* CNSHitList::GetNextHit(bool first, CHitSelector& selector) {
  vel::ulmo::osdep::MutexLock hold(lock_);
  size_t at;
  if (first) {
    at = 0;
  } else {
    // Not started, at the end, or past an end that Clear moved: nothing more.
    if (cursor_ == kNotStarted || cursor_ >= hits_.size()) return nullptr;
    at = cursor_ + 1;
  }
  // A selector may change this very list (its lock is recursive): every step
  // reads the list afresh and never past its current end.
  for (; at < hits_.size(); ++at) {
    cursor_ = at;
    if (selector.Accept(hits_[at])) break;
  }
  if (at >= hits_.size()) {
    cursor_ = hits_.size();
    return nullptr;
  }
  cursor_ = at;
  return hits_[at];
}

void CNSHitList::SortByProperty(const TessikChar* name) {
  if (name == nullptr) return;
  vel::ulmo::osdep::MutexLock hold(lock_);
  TextView key = ViewOf(name);
  std::vector<Keyed> keyed;
  keyed.reserve(hits_.size());
  const size_t n = hits_.size();
  for (size_t i = 0; i < n; ++i) {
    // Three steps ahead, in the order the look-up reads: hit, array, texts.
    if (i + 24 < n) __builtin_prefetch(hits_[i + 24]);
    if (i + 16 < n) hits_[i + 16]->PrefetchProperties();
    if (i + 8 < n) hits_[i + 8]->PrefetchTexts(false);
    keyed.push_back({0, 0, 0, hits_[i]->FindValue(key), hits_[i]});
  }
  std::vector<uint8_t> arena;
  auto noTie = [](const CNSHit&, const CNSHit&) { return 0; };
  OrderByValues(keyed.data(), keyed.data() + keyed.size(), noTie, arena);
  for (size_t i = 0; i < keyed.size(); ++i) hits_[i] = keyed[i].hit;
}

void CNSHitList::SortByScore(const std::vector<const TessikChar*>* tieBreakNames) {
  vel::ulmo::osdep::MutexLock hold(lock_);
  struct Scored {
    double score;
    CNSHit* hit;
  };
  std::vector<Scored> scored;
  scored.reserve(hits_.size());
  for (size_t i = 0; i < hits_.size(); ++i) {
    if (i + 16 < hits_.size()) __builtin_prefetch(hits_[i + 16]);
    scored.push_back({hits_[i]->NormScore(), hits_[i]});
  }
  // NaN after every number: it is not ordered against them.
  auto numbersEnd = std::partition(scored.begin(), scored.end(), [](const Scored& s) { return !std::isnan(s.score); });
  std::sort(scored.begin(), numbersEnd, [](const Scored& a, const Scored& b) { return a.score > b.score; });

  if (tieBreakNames != nullptr && !tieBreakNames->empty()) {
    // Each run of equal scores (and the NaNs, together) is ordered by the
    // tie-break names: the first by its values looked up once, the rest
    // only where the first finds two hits equal.
    ScoreGreaterThan order(tieBreakNames);
    const WChar* firstName = (*tieBreakNames)[0];
    auto rest = [&order](const CNSHit& a, const CNSHit& b) { return order.CompareTies(a, b, 1); };
    std::vector<Keyed> run;
    std::vector<uint8_t> arena;
    for (auto from = scored.begin(); from != scored.end();) {
      auto to = from + 1;
      if (from < numbersEnd) {
        while (to != numbersEnd && to->score == from->score) ++to;
      } else {
        to = scored.end();
      }
      if (to - from > 1) {
        run.clear();
        for (auto s = from; s != to; ++s) {
          run.push_back({0, 0, 0, firstName != nullptr ? s->hit->FindValue(ViewOf(firstName)) : nullptr, s->hit});
        }
        OrderByValues(run.data(), run.data() + run.size(), rest, arena);
        for (size_t i = 0; i < run.size(); ++i) from[static_cast<ptrdiff_t>(i)].hit = run[i].hit;
      }
      from = to;
    }
  }
  for (size_t i = 0; i < scored.size(); ++i) hits_[i] = scored[i].hit;
}

void CNSHitList::Append(IHitList& other) {
  vel::ulmo::osdep::MutexLock hold(lock_);
  if (&other == this) return;
  // Every list takes the same lock, so the other one is held too.
  CNSHitList& from = dynamic_cast<CNSHitList&>(other);
  hits_.insert(hits_.end(), from.hits_.begin(), from.hits_.end());
  from.hits_.clear();
}

void CNSHitList::AddHit(IHit* hit) {
  if (hit == nullptr) return;
  vel::ulmo::osdep::MutexLock hold(lock_);
  if (CNSHit* ours = dynamic_cast<CNSHit*>(hit)) hits_.push_back(ours);
}

IHitList& CNSHitList::operator+=(IHit* hit) {
  AddHit(hit);
  return *this;
}

}  // namespace Tessik
