#include <gtest/gtest.h>

#include <map>

#include "client/NSString.h"
#include "tests/common/TestText.h"

using Tessik::NSString;
using vel::ulmo::WString;

TEST(NSString, KindsAndBorrowing) {
  NSString unset;
  EXPECT_EQ(unset.kind(), NSString::kUnset);
  EXPECT_EQ(unset.GetWideText(), nullptr);
  EXPECT_EQ(unset.GetNarrowText(), nullptr);
  EXPECT_FALSE(unset < NSString(WString()) || NSString(WString()) < unset);  // equal to empty

  const TessikChar* caller = TX("Caller");
  NSString wide(caller);
  EXPECT_EQ(wide.kind(), NSString::kBorrowedWide);
  EXPECT_EQ(wide.GetWideText(), caller);  // that very pointer
  EXPECT_STREQ(wide.GetNarrowText(), "Caller");

  static const char literal[] = "Literal";
  NSString narrow(literal);
  EXPECT_EQ(narrow.GetNarrowText(), literal);
  EXPECT_EQ(TString(narrow.GetWideText()), TX("Literal"));

  // A copy holds its own value, even of a borrowed text.
  NSString copy(wide);
  EXPECT_EQ(copy.kind(), NSString::kValue);
  EXPECT_NE(copy.GetWideText(), caller);
  NSString assigned;
  assigned = narrow;
  EXPECT_EQ(assigned.kind(), NSString::kValue);
  EXPECT_NE(assigned.GetNarrowText(), literal);
}

TEST(NSString, BorrowedTextIsReadAgainOnEveryAccess) {
  TessikChar buffer[] = TX("abc");
  NSString s(static_cast<const TessikChar*>(buffer));
  EXPECT_EQ(s.GetString().Length(), 3u);
  buffer[1] = 0;
  EXPECT_EQ(s.GetString().Length(), 1u);
}

TEST(NSString, OwnedCopiesAreReplacedOnEachCall) {
  NSString s(WString(TX("value")));
  const char* first = s.GetNarrowText();
  EXPECT_STREQ(first, "value");
  const char* second = s.GetNarrowText();
  EXPECT_STREQ(second, "value");
  const TessikChar* wide1 = s.GetWideText();
  const TessikChar* wide2 = s.GetWideText();
  EXPECT_EQ(TString(wide2), TX("value"));
  (void)wide1;  // freed by the second call: ASan reports any later read
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
