// The support library's strings, and the NSString of the client on top of them.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "ulmo/NSString.h"
#include "ulmo/StringBase.h"
#include "tests/common/TestText.h"

using Tessik::NSString;
using vel::ulmo::AString;
using vel::ulmo::WString;
constexpr uint32_t npos = WString::npos;

namespace {
TString Str(const WString& s) { return TString(s.CStr(), s.Length()); }
}  // namespace

// The capacity rules: growth to twice the new length, concatenation to
// exactly the sum, Assign reusing a buffer up to twice its need, Erase
// shrinking past that.
TEST(String, CapacityRules) {
  WString s;
  ASSERT_TRUE(s.IsEmpty() && s.CStr() != nullptr);
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
  EXPECT_EQ((ten + s).Capacity(), 30u);

  WString a(TX("0123456789"));  // capacity 10
  a.Assign(TX("abcdef"), 6);    // 10 <= 12: reused
  EXPECT_EQ(a.Capacity(), 10u);
  a.Assign(TX("ab"), 2);  // 10 > 4: exactly 2
  EXPECT_EQ(a.Capacity(), 2u);
  a.Assign(TX("abcdef"), 6);  // above capacity: exactly 6
  EXPECT_EQ(a.Capacity(), 6u);
  a.Erase(1, 2, false);
  EXPECT_EQ(Str(a), TX("adef"));
  a.Erase(2, npos, true);  // to the end, then shrink (6 > 2*2)
  EXPECT_EQ(Str(a), TX("ad"));
  EXPECT_EQ(a.Capacity(), 2u);
  EXPECT_EQ(a.CStr()[2], 0);
}

// Texts taken from the string's own buffer while it moves, insertions at
// both ends, and offsets past the length.
TEST(String, EditsIncludingOwnText) {
  WString s(TX("ab"));
  s.Append(s.CStr());
  EXPECT_EQ(Str(s), TX("abab"));
  s.Append(s.CStr(), s.Length());
  EXPECT_EQ(Str(s), TX("abababab"));
  s.Append(static_cast<const TessikChar*>(nullptr));
  s.Append(3, TX('z'));
  EXPECT_EQ(Str(s), TX("ababababzzz"));
  s.Assign(s.CStr(), 1);  // own begin: nothing happens
  EXPECT_EQ(Str(s), TX("ababababzzz"));
  s.Assign(s.CStr() + 8, 3);  // from inside its own buffer
  EXPECT_EQ(Str(s), TX("zzz"));
  WString t;
  t.Append(WString(TX("hello")), 3).Append(WString(TX("!")), 99);
  EXPECT_EQ(Str(t), TX("hel!"));
  AString a("x");
  a.Append("yz").Append("", 0);
  EXPECT_STREQ(a.CStr(), "xyz");

  WString tags(TX("<a></a>"));
  tags.Insert(3, TX("xyz"), 3);
  tags.Insert(tags.Length(), TX("!"), 1);
  tags.Insert(0, TX("^"), 1);
  EXPECT_EQ(Str(tags), TX("^<a>xyz</a>!"));
  EXPECT_EQ(tags.CStr()[tags.Length()], 0);
  EXPECT_THROW(tags.Insert(tags.Length() + 1, TX("x"), 1), vel::ulmo::exception::OutOfRange);
  tags.Erase(tags.Length(), 1, false);  // at the length: nothing
  EXPECT_EQ(Str(tags), TX("^<a>xyz</a>!"));
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

TEST(String, CopyMoveAndRangeStayValid) {
  WString a(TX("text")), b(a), c, range(a.CStr() + 1, a.End());
  c = std::move(b);
  EXPECT_EQ(Str(c), TX("text"));
  EXPECT_TRUE(b.IsEmpty() && b.CStr()[0] == 0);  // moved from: empty and terminated
  EXPECT_EQ(Str(range), TX("ext"));
  EXPECT_TRUE(WString(static_cast<const TessikChar*>(nullptr)).IsEmpty());
}

// A borrowed text is the caller's, read again on every access; copies and
// conversions hold their own.
TEST(NSString, KindsAndBorrowing) {
  NSString unset;
  EXPECT_EQ(unset.GetWideText(), nullptr);
  EXPECT_EQ(unset.GetNarrowText(), nullptr);
  EXPECT_FALSE(unset < NSString(WString()) || NSString(WString()) < unset);  // equal to empty

  TessikChar caller[] = TX("Caller");
  NSString wide(static_cast<const TessikChar*>(caller));
  EXPECT_EQ(wide.GetWideText(), caller);  // that very pointer
  EXPECT_STREQ(wide.GetNarrowText(), "Caller");
  static const char literal[] = "Literal";
  NSString narrow(literal);
  EXPECT_EQ(narrow.GetNarrowText(), literal);
  EXPECT_EQ(TString(narrow.GetWideText()), TX("Literal"));

  NSString copy(wide);
  EXPECT_EQ(copy.kind(), NSString::kValue);
  EXPECT_NE(copy.GetWideText(), caller);
  NSString assigned;
  assigned = narrow;
  EXPECT_NE(assigned.GetNarrowText(), literal);
  // Asked again, a value converts afresh and frees the copy before.
  EXPECT_STREQ(assigned.GetNarrowText(), "Literal");
  EXPECT_EQ(TString(assigned.GetWideText()), TX("Literal"));
  caller[2] = 0;
  EXPECT_EQ(wide.GetString().Length(), 2u);
  EXPECT_EQ(copy.GetString().Length(), 6u);

  // Null texts of either width are the empty text, in every use.
  for (const NSString& null :
       {NSString(static_cast<const TessikChar*>(nullptr)), NSString(static_cast<const char*>(nullptr))}) {
    EXPECT_TRUE(null.GetString().IsEmpty());
    EXPECT_EQ(TString(null.GetWideText()), TX(""));
    EXPECT_STREQ(null.GetNarrowText(), "");
    EXPECT_FALSE(null < NSString(WString()) || NSString(WString()) < null);
    EXPECT_TRUE(null < wide);
  }
}

TEST(NSString, MapKeysIgnoreCase) {
  std::map<NSString, int> m;
  m[NSString(WString(TX("Domain")))] = 1;
  m[NSString(TX("domain"))] += 1;
  m[NSString("DOMAIN")] += 1;
  m[NSString(WString(TX("Other")))] = 7;
  ASSERT_EQ(m.size(), 2u);
  EXPECT_EQ(m.begin()->second, 3);
}
