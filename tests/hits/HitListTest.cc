// Hits and hit lists through the interfaces: scores and properties,
// ownership, both sorts and selection.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <future>
#include <limits>
#include <map>
#include <random>
#include <set>
#include <thread>
#include <tuple>
#include <typeinfo>

#include "hits/Hit.h"
#include "tests/common/Watchdog.h"
#include "tests/hits/HitTestUtil.h"

namespace {

// A hit of another implementation: lists must refuse it.
class ForeignHit : public IHit {
 public:
  int32_t GetRawScore() override { return 0; }
  double GetNormScore() override { return 0; }
  void SetRawScore(int32_t) override {}
  void SetNormScore(double) override {}
  const TessikChar* GetProperty(const TessikChar*) override { return nullptr; }
  void SetProperty(const TessikChar*, const TessikChar*) override {}
};

std::vector<double> Scores(IHitList& list) {
  std::vector<double> out;
  for (IHit* h : Hits(list)) out.push_back(h->GetNormScore());
  return out;
}

TEST(Hit, ScoresAndProperties) {
  HitPtr hit(Tessik_NewHit());
  ASSERT_NE(hit, nullptr);
  EXPECT_EQ(hit->GetRawScore(), 0);
  EXPECT_EQ(hit->GetNormScore(), 0.0);
  EXPECT_EQ(hit->GetProperty(TX("Title")), nullptr);
  for (int32_t raw : {-5, INT32_MIN, INT32_MAX}) {
    hit->SetRawScore(raw);
    EXPECT_EQ(hit->GetRawScore(), raw);
  }
  hit->SetNormScore(0.25);
  EXPECT_EQ(hit->GetNormScore(), 0.25);

  // The first value and spelling of a name stay; null arguments store nothing.
  hit->SetProperty(TX("Title"), TX("A"));
  hit->SetProperty(TX("TITLE"), TX("B"));
  hit->SetProperty(nullptr, TX("x"));
  hit->SetProperty(TX("Path"), nullptr);
  hit->SetProperty(TX(""), TX("empty name"));
  EXPECT_EQ(Str(hit->GetProperty(TX("title"))), T("A"));
  EXPECT_EQ(hit->GetProperty(TX("Path")), nullptr);
  EXPECT_EQ(hit->GetProperty(nullptr), nullptr);
  EXPECT_EQ(Str(hit->GetProperty(TX(""))), T("empty name"));

  // A handed-out text is a copy: writing into it changes nothing stored,
  // and it stays valid while other properties are asked for.
  hit->SetProperty(TX("Path"), TX("C:\\x"));
  TessikChar* title = const_cast<TessikChar*>(hit->GetProperty(TX("Title")));
  const TessikChar* path = hit->GetProperty(TX("path"));
  title[0] = 'Z';
  EXPECT_EQ(Str(path), T("C:\\x"));
  EXPECT_EQ(Str(hit->GetProperty(TX("Title"))), T("A"));

  EXPECT_EQ(Tessik_ReleaseHit(nullptr), TESSIK_OK);
  EXPECT_EQ(Tessik_ReleaseHitList(nullptr), TESSIK_OK);
}

TEST(HitList, OwnershipAddAppendClear) {
  HitListPtr list(Tessik_NewHitList());
  ASSERT_NE(list, nullptr);
  CHitSelector all;
  EXPECT_TRUE(list->IsEmpty());
  EXPECT_EQ(list->GetCount(), 0u);
  EXPECT_EQ(list->GetNextHit(true, all), nullptr);

  // Null and foreign hits are not taken; the caller keeps the foreign one.
  ForeignHit foreign;
  list->AddHit(nullptr);
  list->AddHit(&foreign);
  EXPECT_EQ(list->GetCount(), 0u);
  IHit* a = NewHit(0.1);
  EXPECT_EQ(&(*list += a), list.get());
  EXPECT_EQ(list->GetCount(), 1u);

  // Append moves the hits in their order and leaves the other list empty.
  HitListPtr other(Tessik_NewHitList());
  IHit* b = NewHit(0.2);
  IHit* c = NewHit(0.3);
  *other += b;
  other->AddHit(c);
  list->Append(*list);
  EXPECT_EQ(list->GetCount(), 1u);
  list->Append(*other);
  EXPECT_TRUE(other->IsEmpty());
  EXPECT_EQ(Hits(*list), (std::vector<IHit*>{a, b, c}));
  other->Append(*list);
  EXPECT_EQ(Hits(*other), (std::vector<IHit*>{a, b, c}));

  ForeignList foreignList;
  EXPECT_THROW(other->Append(foreignList), std::bad_cast);
  EXPECT_EQ(other->GetCount(), 3u);

  // Clear destroys the hits (the leak and use checkers of the sanitizer
  // lanes watch them) and leaves the cursor where it was.
  EXPECT_EQ(other->GetNextHit(true, all), a);
  other->Clear();
  EXPECT_TRUE(other->IsEmpty());
  EXPECT_EQ(other->GetNextHit(false, all), nullptr);  // past the new end
  IHit* d = NewHit(0.4);
  IHit* e = NewHit(0.5);
  *other += d;
  *other += e;
  EXPECT_EQ(other->GetNextHit(false, all), e);  // on from position 0
}

TEST(HitList, CursorRules) {
  HitListPtr list(Tessik_NewHitList());
  IHit* a = NewHit(1);
  IHit* b = NewHit(2);
  *list += a;
  *list += b;
  CHitSelector all;
  EXPECT_EQ(list->GetNextHit(false, all), nullptr);  // no selection started
  EXPECT_EQ(list->GetNextHit(true, all), a);
  EXPECT_EQ(list->GetNextHit(false, all), b);
  EXPECT_EQ(list->GetNextHit(false, all), nullptr);
  EXPECT_EQ(list->GetNextHit(false, all), nullptr);
  EXPECT_EQ(list->GetNextHit(true, all), a);

  struct Nothing : CHitSelector {
    bool Accept(IHit*) override { return false; }
  };
  struct Odd : CHitSelector {
    bool Accept(IHit* hit) override { return static_cast<int>(hit->GetNormScore()) % 2 == 1; }
  };
  Nothing nothing;
  EXPECT_EQ(list->GetNextHit(true, nothing), nullptr);
  EXPECT_EQ(Hits(*list, Odd()), (std::vector<IHit*>{a}));

  // The lock is shared by every list and recursive for its holder: a
  // selector may use other lists (and this one) on its own thread, and
  // another thread waits until the selection is over.
  HitListPtr other(Tessik_NewHitList());
  struct UsesLists : CHitSelector {
    IHitList* self;
    IHitList* other;
    std::promise<void>* start;
    std::future<void>* elsewhere;
    bool Accept(IHit* hit) override {
      other->AddHit(Tessik_NewHit());
      EXPECT_FALSE(self->IsEmpty());
      // The other thread's operation, started now, cannot finish while this
      // call holds the lock (it may between two calls of GetNextHit).
      if (start != nullptr) {
        std::exchange(start, nullptr)->set_value();
        EXPECT_EQ(elsewhere->wait_for(std::chrono::milliseconds(50)), std::future_status::timeout);
      }
      return hit != nullptr;
    }
  };
  Watchdog watchdog(std::chrono::seconds(60), "selection with a selector using other lists");
  std::promise<void> start;
  std::future<void> started = start.get_future();
  std::future<void> elsewhere = std::async(std::launch::async, [&] {
    started.wait();
    (void)other->GetCount();
  });
  UsesLists selector;
  selector.self = list.get();
  selector.other = other.get();
  selector.start = &start;
  selector.elsewhere = &elsewhere;
  EXPECT_EQ(Hits(*list, std::move(selector)), (std::vector<IHit*>{a, b}));
  elsewhere.get();
  EXPECT_EQ(other->GetCount(), 2u);
}

TEST(HitList, SortByScoreTieRules) {
  HitListPtr list(Tessik_NewHitList());
  for (double s : {0.5, 0.9, 0.7}) *list += NewHit(s);
  list->SortByScore(nullptr);
  EXPECT_EQ(Scores(*list), (std::vector<double>{0.9, 0.7, 0.5}));

  HitListPtr ties(Tessik_NewHitList());
  *ties += NewHit(1, {{T("year"), T("2001")}, {T("n"), T("a")}});
  *ties += NewHit(1, {{T("YEAR"), T("1999")}, {T("n"), T("b")}});
  *ties += NewHit(1, {{T("n"), T("c")}});
  *ties += NewHit(2, {{T("n"), T("d")}});
  std::vector<const TessikChar*> year{TX("Year")};
  ties->SortByScore(&year);
  EXPECT_EQ(Values(*ties, TX("n")), (std::vector<TString>{T("d"), T("b"), T("a"), T("c")}));

  // The last name counts too: equal scores and domains go by the id, in a
  // short list and in one long enough for the sort-key path.
  std::vector<const TessikChar*> domainThenId{TX("domain"), TX("id")};
  HitListPtr three(Tessik_NewHitList());
  for (const char* id : {"2", "1", "3"}) *three += NewHit(0.5, {{T("domain"), T("web")}, {T("id"), T(id)}});
  three->SortByScore(&domainThenId);
  EXPECT_EQ(Values(*three, TX("id")), (std::vector<TString>{T("1"), T("2"), T("3")}));
  auto twoDigits = [](int n) { return T(std::string{char('0' + n / 10), char('0' + n % 10)}); };
  HitListPtr seventy(Tessik_NewHitList());
  std::vector<TString> ids;
  for (int i = 0; i < 70; ++i) {
    ids.push_back(twoDigits(i));
    *seventy += NewHit(0.5, {{T("domain"), T("web")}, {T("id"), twoDigits(i * 31 % 70)}});  // each once, scrambled
  }
  seventy->SortByScore(&domainThenId);
  EXPECT_EQ(Values(*seventy, TX("id")), ids);

  // NaN comes after every number, -inf included; NaNs and equal scores
  // (0 and -0 are equal) go by the names in turn; a null name ties all.
  HitListPtr odd(Tessik_NewHitList());
  const double nan = std::numeric_limits<double>::quiet_NaN();
  *odd += NewHit(nan, {{T("k"), T("1")}, {T("m"), T("z")}});
  *odd += NewHit(-INFINITY, {{T("n"), T("ninf")}});
  *odd += NewHit(-nan, {{T("k"), T("1")}, {T("m"), T("y")}, {T("n"), T("nan-y")}});
  *odd += NewHit(0.0, {{T("k"), T("B")}, {T("n"), T("zero-B")}});
  *odd += NewHit(-0.0, {{T("k"), T("a")}, {T("n"), T("zero-a")}});
  *odd += NewHit(nan, {{T("k"), T("0")}, {T("n"), T("nan-0")}});
  std::vector<const TessikChar*> names{TX("k"), nullptr, TX("m")};
  odd->SortByScore(&names);
  EXPECT_EQ(Values(*odd, TX("n")),
            (std::vector<TString>{T("zero-a"), T("zero-B"), T("ninf"), T("nan-0"), T("nan-y"), T("<null>")}));
}

TEST(HitList, SortByPropertyAndNullName) {
  HitListPtr list(Tessik_NewHitList());
  *list += NewHit(0, {{T("Title"), T("beta")}});
  *list += NewHit(0);
  *list += NewHit(0, {{T("title"), T("Alpha")}});
  list->SortByProperty(nullptr);
  EXPECT_EQ(Values(*list, TX("Title")), (std::vector<TString>{T("beta"), T("<null>"), T("Alpha")}));
  list->SortByProperty(TX("TITLE"));
  EXPECT_EQ(Values(*list, TX("Title")), (std::vector<TString>{T("Alpha"), T("beta"), T("<null>")}));
}

// Long lists take the sort-key path: it must order exactly as the
// orderings do, equal values and ties included. The expected order is the
// pool's, written down by hand (case ignored, accents not; a prefix first).
// No punctuation inside a value: Windows' word sort gives a hyphen almost
// no weight where ICU orders it before letters, so no one order holds.
TEST(HitList, LongListsFollowTheOrderings) {
  std::mt19937 random(12);
  struct Ranked {
    TString value;
    int rank;
  };
  const std::vector<Ranked> pool{
      {T("alpha"), 3}, {T("Alpha"), 3},          {T("ALPHA "), 4}, {T("beta"), 6},           {T("b"), 5},
      {T(""), 0},      {TX("\u00e9t\u00e9"), 8}, {TX("Ete"), 7},   {TX("\u00c9t\u00e9"), 8}, {T("ab"), 2},
      {T("zeta9"), 9}};
  const int kMissing = 10;  // after every value
  // Highest first, -0 equal to 0, NaN last.
  const std::vector<std::pair<double, int>> scores{{0.5, 1},    {0.25, 2},     {-0.0, 4},        {0.0, 4},
                                                   {1e-300, 3}, {INFINITY, 0}, {std::nan(""), 5}};
  using Key = std::tuple<int, int, int>;  // score, t, u
  for (int round = 0; round < 20; ++round) {
    HitListPtr list(Tessik_NewHitList());
    std::map<IHit*, Key> keys;
    for (int i = 0; i < 600; ++i) {
      const auto& [score, scoreRank] = scores[random() % scores.size()];
      IHit* hit = NewHit(score);
      // Odd rounds only printable ASCII: keys of the comparison's shortcut.
      auto pick = [&](const TessikChar* name) {
        if (random() % 6 == 0) return kMissing;
        const Ranked& r = pool[random() % (round % 2 ? 6 : pool.size())];
        hit->SetProperty(name, r.value.c_str());
        return r.rank;
      };
      int t = pick(TX("t"));
      int u = pick(TX("u"));
      keys[hit] = {scoreRank, t, u};
      *list += hit;
    }
    // The hits' ranks in list order; every hit still there, once.
    auto ranks = [&] {
      std::vector<Key> out;
      std::set<IHit*> seen;
      for (IHit* hit : Hits(*list)) {
        out.push_back(keys.at(hit));
        seen.insert(hit);
      }
      EXPECT_EQ(seen.size(), keys.size());
      return out;
    };

    list->SortByProperty(TX("t"));
    std::vector<Key> byT = ranks();
    auto tOnly = [](const Key& a, const Key& b) { return std::get<1>(a) < std::get<1>(b); };
    EXPECT_TRUE(std::is_sorted(byT.begin(), byT.end(), tOnly)) << "round " << round;

    std::vector<const TessikChar*> names{TX("t"), TX("u")};
    list->SortByScore(&names);
    std::vector<Key> byScore = ranks();
    EXPECT_TRUE(std::is_sorted(byScore.begin(), byScore.end())) << "round " << round;
  }
}

// Values longer than the eight bytes a sort key's prefix holds, some the
// beginning of others: past the prefix the shorter still comes first. Once
// all printable ASCII (the shortcut's keys), once with an accent (the
// collator's keys).
TEST(HitList, LongListsOrderValuesBeyondTheKeyPrefix) {
  for (bool accent : {false, true}) {
    std::vector<TString> ascending{T("manual"),       T("manual page"),       T("manual page 2"), T("manual pager"),
                                   T("manual pages"), T("manual pages, all"), T("manuals")};
    if (accent) ascending.insert(ascending.begin() + 5, TX("manual p\u00e4ges"));
    const size_t copies = 10;
    std::vector<TString> expected;
    for (const TString& value : ascending) expected.insert(expected.end(), copies, value);
    ASSERT_GE(expected.size(), 64u);

    std::vector<TString> shuffled = expected;
    std::shuffle(shuffled.begin(), shuffled.end(), std::mt19937(5));
    HitListPtr list(Tessik_NewHitList());
    for (const TString& value : shuffled) *list += NewHit(1, {{T("t"), value}});
    list->SortByProperty(TX("t"));
    EXPECT_EQ(Values(*list, TX("t")), expected) << "accent " << accent;

    std::shuffle(shuffled.begin(), shuffled.end(), std::mt19937(6));
    HitListPtr ties(Tessik_NewHitList());
    for (const TString& value : shuffled) *ties += NewHit(1, {{T("t"), value}});
    std::vector<const TessikChar*> names{TX("t")};
    ties->SortByScore(&names);
    EXPECT_EQ(Values(*ties, TX("t")), expected) << "accent " << accent;
  }
}

}  // namespace
