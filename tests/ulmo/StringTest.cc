#include <gtest/gtest.h>

#include <string>

#include "ulmo/StringBase.h"
#include "tests/common/TestText.h"

using vel::ulmo::AString;
using vel::ulmo::WString;
constexpr uint32_t npos = WString::npos;

namespace {
TString Str(const WString& s) { return TString(s.CStr(), s.Length()); }
}  // namespace

TEST(String, EmptyAndGrowthByOneUnit) {
  WString s;
  EXPECT_EQ(s.Length(), 0u);
  EXPECT_TRUE(s.IsEmpty());
  ASSERT_NE(s.CStr(), nullptr);
  EXPECT_EQ(s.CStr()[0], 0);
  std::vector<uint32_t> capacities;
  for (int i = 0; i < 20; ++i) {
    s.Append(TX("x"), 1);
    ASSERT_EQ(s.CStr()[s.Length()], 0);
    if (capacities.empty() || capacities.back() != s.Capacity()) capacities.push_back(s.Capacity());
  }
  EXPECT_EQ(capacities, (std::vector<uint32_t>{2, 6, 14, 30}));
  WString ten;
  ten.Append(TX("0123456789"), 10);
  EXPECT_EQ(ten.Capacity(), 20u);
  EXPECT_EQ((ten + s).Capacity(), 30u);  // concatenation: exactly the sum
}

TEST(String, AppendsIncludingOwnText) {
  WString s(TX("ab"));
  s.Append(s.CStr());  // own text, taken from its start, while the buffer moves
  EXPECT_EQ(Str(s), TX("abab"));
  s.Append(s.CStr(), s.Length());
  EXPECT_EQ(Str(s), TX("abababab"));
  s.Append(static_cast<const TessikChar*>(nullptr));
  s.Append(3, TX('z'));
  EXPECT_EQ(Str(s), TX("ababababzzz"));
  WString t;
  t.Append(WString(TX("hello")), 3).Append(WString(TX("!")), 99);
  EXPECT_EQ(Str(t), TX("hel!"));
  WString n(3, TX('q'));
  EXPECT_EQ(Str(n), TX("qqq"));
  AString a("x");
  a.Append("yz").Append("", 0);
  EXPECT_STREQ(a.CStr(), "xyz");
}

TEST(String, Insert) {
  WString s(TX("<a></a>"));
  s.Insert(3, TX("xyz"), 3);
  EXPECT_EQ(Str(s), TX("<a>xyz</a>"));
  s.Insert(s.Length(), TX("!"), 1);
  s.Insert(0, TX("^"), 1);
  EXPECT_EQ(Str(s), TX("^<a>xyz</a>!"));
  EXPECT_EQ(s.CStr()[s.Length()], 0);
  EXPECT_THROW(s.Insert(s.Length() + 1, TX("x"), 1), vel::ulmo::exception::OutOfRange);
}

TEST(String, AssignCapacityRule) {
  WString s(TX("0123456789"));  // capacity 10
  s.Assign(TX("abcdef"), 6);     // 10 <= 12: reused
  EXPECT_EQ(s.Capacity(), 10u);
  s.Assign(TX("ab"), 2);  // 10 > 4: exactly 2
  EXPECT_EQ(s.Capacity(), 2u);
  EXPECT_EQ(Str(s), TX("ab"));
  s.Assign(TX("abcde"), 5);  // above capacity: exactly 5
  EXPECT_EQ(s.Capacity(), 5u);
  s.Assign(s.CStr(), 1);  // own begin: nothing happens
  EXPECT_EQ(Str(s), TX("abcde"));
  s.Assign(s.CStr() + 2, 3);  // from inside its own buffer
  EXPECT_EQ(Str(s), TX("cde"));
}

TEST(String, Erase) {
  WString s(TX("abcdef"));
  s.Erase(6, 1, false);  // at the length: nothing
  EXPECT_EQ(Str(s), TX("abcdef"));
  s.Erase(1, 2, false);
  EXPECT_EQ(Str(s), TX("adef"));
  s.Erase(2, npos, true);  // to the end, then shrink (6 > 2*2)
  EXPECT_EQ(Str(s), TX("ad"));
  EXPECT_EQ(s.Capacity(), 2u);
  EXPECT_EQ(s.CStr()[2], 0);
}

TEST(String, Searches) {
  WString s(TX("abcb"));
  EXPECT_EQ(s.Find(WString(TX("b")), 0), 1u);
  EXPECT_EQ(s.Find(WString(TX("b")), 2), 3u);
  EXPECT_EQ(s.Find(WString(TX("cbx")), 0), npos);
  EXPECT_EQ(s.Find(WString(), 4), npos);  // empty text at the length
  EXPECT_EQ(s.Find(WString(), 2), 2u);
  EXPECT_EQ(s.ReverseFind(WString(TX("b")), npos), 3u);
  EXPECT_EQ(s.ReverseFind(WString(TX("b")), 2), 1u);
  EXPECT_EQ(s.ReverseFind(WString(TX("abcbx")), npos), npos);
  EXPECT_EQ(s.ReverseFind(WString(), npos), 4u);
  EXPECT_EQ(s.FindLastOf(WString(TX("xb")), npos), 3u);
  EXPECT_EQ(s.FindLastOf(WString(TX("xa")), 2), 0u);
  EXPECT_EQ(s.FindLastOf(WString(), npos), npos);
  EXPECT_EQ(WString().FindLastOf(WString(TX("a"))), npos);
  EXPECT_EQ(Str(s.Substring(1, 2)), TX("bc"));
  EXPECT_EQ(Str(s.Substring(1)), TX("bcb"));
  EXPECT_EQ(Str(s.Substring(2, 100)), TX("cb"));
  EXPECT_EQ(Str(s.Substring(9, 1)), TX(""));  // past the end: empty, nothing read
  EXPECT_THROW(s.Substring(2, 0xFFFFFFFE), vel::ulmo::exception::OutOfRange);
}

TEST(String, CopyAndMoveStayValid) {
  WString a(TX("text"));
  WString b(a);
  EXPECT_NE(a.CStr(), b.CStr());
  WString c;
  c = std::move(b);
  EXPECT_EQ(Str(c), TX("text"));
  EXPECT_TRUE(b.IsEmpty());
  EXPECT_EQ(b.CStr()[0], 0);
  WString range(a.CStr() + 1, a.End());
  EXPECT_EQ(Str(range), TX("ext"));
  WString nullText(static_cast<const TessikChar*>(nullptr));
  EXPECT_TRUE(nullText.IsEmpty());
}
