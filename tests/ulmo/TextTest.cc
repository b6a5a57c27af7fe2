// The platform text services. These run once in the ambient environment and
// once each under LANG=C, LANG=C.UTF-8 and no locale variables at all.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "ulmo/StringBase.h"

using vel::ulmo::AString;
using vel::ulmo::WString;

namespace {
int Sign(int v) { return (v > 0) - (v < 0); }
int Cmp(const std::u16string& a, const std::u16string& b) {
  return Sign(WString::Compare(WString(a.data(), a.size()), WString(b.data(), b.size())));
}
bool Utf8Locale() {
  for (const char* v : {"LC_ALL", "LC_CTYPE", "LANG"}) {
    const char* value = std::getenv(v);
    if (value && *value) return std::string(value).find("UTF-8") != std::string::npos;
  }
  return false;
}
}  // namespace

TEST(TextCompare, CaseIgnoredOrderByLetter) {
  EXPECT_EQ(Cmp(u"Plugin", u"PLUGIN"), 0);
  EXPECT_EQ(Cmp(u"a", u"B"), -1);
  EXPECT_EQ(Cmp(u"B", u"c"), -1);
  EXPECT_EQ(Cmp(u"c", u"a"), 1);
  EXPECT_EQ(Cmp(u"abc", u"abd"), -1);
  EXPECT_EQ(Cmp(u"ab", u"abc"), -1);
  EXPECT_EQ(Cmp(u"", u""), 0);
  EXPECT_NE(Cmp(u"resume", u"r\u00e9sum\u00e9"), 0);  // accents count
  EXPECT_TRUE(WString(u"Plugin").Equals(u"pLUGIN"));
  EXPECT_TRUE(WString(u"").Equals(nullptr));
}

TEST(TextCompare, EmbeddedNulRuns) {
  using namespace std::string_literals;
  EXPECT_EQ(Cmp(u"a\0b"s, u"A\0B"s), 0);
  EXPECT_EQ(Cmp(u"a\0b"s, u"ab"s), -1);  // NUL sorts before any character
  EXPECT_EQ(Cmp(u"ab"s, u"a\0b"s), 1);
  EXPECT_EQ(Cmp(u"a\0"s, u"a\0b"s), -1);  // ends right after the NUL: shorter first
  EXPECT_EQ(Cmp(u"a\0b"s, u"a\0"s), 1);
  EXPECT_EQ(Cmp(u"x\0b"s, u"y\0a"s), -1);  // first unequal run decides
  EXPECT_EQ(Cmp(u"a\0c"s, u"a\0B"s), 1);   // remainder compared whole, case ignored
  EXPECT_EQ(Cmp(u"a"s, u"a\0"s), -1);
  // NULs found wherever they stand in longer texts, also in the last unit.
  EXPECT_EQ(Cmp(u"abcde\0xyz"s, u"abcdeXxyz"s), -1);
  EXPECT_EQ(Cmp(u"abcdefgh\0"s, u"ABCDEFGH\0"s), 0);
  EXPECT_EQ(Cmp(u"abcdefgh\0"s, u"abcdefgh"s), 1);
  EXPECT_EQ(Cmp(u"abcdefghijk\0m"s, u"abcdefghijkam"s), -1);
}

TEST(TextLower, PerUnitMapping) {
  WString s(u"MiXeD \u00c9\u0130\xD83D\xDE00");
  s.ToLower();
  EXPECT_EQ(s[0], u'm');
  EXPECT_EQ(s[1], u'i');
  EXPECT_EQ(s[6], u'\u00e9');
  EXPECT_EQ(s[7], u'i');  // simple mapping of dotted capital I
  EXPECT_EQ(s[8], 0xD83D);  // surrogate units unchanged
  EXPECT_EQ(s[9], 0xDE00);
}

TEST(TextConvert, AnsiRoundTripsAndSubstitutes) {
  EXPECT_TRUE(WString(AString("")).IsEmpty());
  EXPECT_TRUE(AString(WString(u"")).IsEmpty());
  WString w(AString("plain ascii"));
  EXPECT_TRUE(w.Equals(u"plain ascii"));
  EXPECT_STREQ(AString(w).CStr(), "plain ascii");
  WString appended(u"x");
  appended.AppendAnsi("yz").AppendAnsi(nullptr);
  EXPECT_EQ(std::u16string(appended.CStr()), u"xyz");

  AString invalid("a\xff" "b");
  WString fromInvalid(invalid);
  ASSERT_EQ(fromInvalid.Length(), 3u);
  EXPECT_EQ(fromInvalid[1], 0xFFFD);
  if (Utf8Locale()) {
    EXPECT_STREQ(AString(WString(u"\u00e9")).CStr(), "\xc3\xa9");
    EXPECT_STREQ(AString(WString(u"a\xD800z")).CStr(), "a?z");  // lone surrogate
  } else {
    EXPECT_STREQ(AString(WString(u"caf\u00e9")).CStr(), "caf?");
  }
}

TEST(TextThreads, ManyThreadsCompareAndConvert) {
  std::vector<std::thread> threads;
  std::atomic<int> failures{0};
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&failures] {
      for (int i = 0; i < 2000; ++i) {
        if (Cmp(u"Domain", u"dOMAIN") != 0) ++failures;
        if (std::string(AString(WString(AString("thread text"))).CStr()) != "thread text") ++failures;
      }
    });
  }
  for (auto& t : threads) t.join();
  EXPECT_EQ(failures.load(), 0);
}
