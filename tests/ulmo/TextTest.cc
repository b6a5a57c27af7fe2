// The platform text services. These run once in the ambient environment and
// once each under LANG=C, LANG=C.UTF-8 and no locale variables at all.
#include <gtest/gtest.h>

#include <cstdlib>
#include <iterator>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "ulmo/StringBase.h"
#include "ulmo/osdep/Text.h"
#include "tests/common/TestText.h"

using vel::ulmo::AString;
using vel::ulmo::WString;

namespace {
int Sign(int v) { return (v > 0) - (v < 0); }
int Cmp(const TString& a, const TString& b) {
  return Sign(WString::Compare(WString(a.data(), a.size()), WString(b.data(), b.size())));
}
#if !defined(_WIN32)
bool Utf8Locale() {
  for (const char* v : {"LC_ALL", "LC_CTYPE", "LANG"}) {
    const char* value = std::getenv(v);
    if (value && *value) return std::string(value).find("UTF-8") != std::string::npos;
  }
  return false;
}
#endif
}  // namespace

TEST(TextCompare, CaseIgnoredOrderByLetter) {
  EXPECT_EQ(Cmp(TX("Plugin"), TX("PLUGIN")), 0);
  EXPECT_EQ(Cmp(TX("a"), TX("B")), -1);
  EXPECT_EQ(Cmp(TX("B"), TX("c")), -1);
  EXPECT_EQ(Cmp(TX("c"), TX("a")), 1);
  EXPECT_EQ(Cmp(TX("abc"), TX("abd")), -1);
  EXPECT_EQ(Cmp(TX("ab"), TX("abc")), -1);
  EXPECT_EQ(Cmp(TX(""), TX("")), 0);
  EXPECT_NE(Cmp(TX("resume"), TX("r\u00e9sum\u00e9")), 0);  // accents count
  EXPECT_TRUE(WString(TX("Plugin")).Equals(TX("pLUGIN")));
  EXPECT_TRUE(WString(TX("")).Equals(nullptr));
}

TEST(TextCompare, EmbeddedNulRuns) {
  EXPECT_EQ(Cmp(TS("a\0b"), TS("A\0B")), 0);
  EXPECT_EQ(Cmp(TS("a\0b"), TS("ab")), -1);  // NUL sorts before any character
  EXPECT_EQ(Cmp(TS("ab"), TS("a\0b")), 1);
  EXPECT_EQ(Cmp(TS("a\0"), TS("a\0b")), -1);  // ends right after the NUL: shorter first
  EXPECT_EQ(Cmp(TS("a\0b"), TS("a\0")), 1);
  EXPECT_EQ(Cmp(TS("x\0b"), TS("y\0a")), -1);  // first unequal run decides
  EXPECT_EQ(Cmp(TS("a\0c"), TS("a\0B")), 1);   // remainder compared whole, case ignored
  EXPECT_EQ(Cmp(TS("a"), TS("a\0")), -1);
  // NULs found wherever they stand in longer texts, also in the last unit.
  EXPECT_EQ(Cmp(TS("abcde\0xyz"), TS("abcdeXxyz")), -1);
  EXPECT_EQ(Cmp(TS("abcdefgh\0"), TS("ABCDEFGH\0")), 0);
  EXPECT_EQ(Cmp(TS("abcdefgh\0"), TS("abcdefgh")), 1);
  EXPECT_EQ(Cmp(TS("abcdefghijk\0m"), TS("abcdefghijkam")), -1);
}

// The quick path for printable ASCII must agree with the full collation,
// also next to control characters, which the collation ignores (U+0001,
// U+007F) or weighs (TAB): a prefix followed by one is not decided by length.
TEST(TextCompare, QuickPathAgreesWithFullCollation) {
  const TessikChar alphabet[] = TX(" -'_.,09AaBbZz~{}\u00e9\u0301\u0001\u007F\t");
  auto full = [](const TString& x, const TString& y) {
    return Sign(vel::ulmo::osdep::CompareText(x.data(), static_cast<uint32_t>(x.size()), y.data(),
                                              static_cast<uint32_t>(y.size())));
  };
  auto agrees = [&full](const TString& x, const TString& y) {
    int quick = 0;
    bool decided = vel::ulmo::osdep::CompareTextQuick(x.data(), static_cast<uint32_t>(x.size()), y.data(),
                                                      static_cast<uint32_t>(y.size()), &quick);
    return (!decided || Sign(quick) == full(x, y)) && Cmp(x, y) == full(x, y);
  };
  for (const TString control : {TX("\u0001"), TX("\u007F"), TX("\t")}) {
    for (const TString prefix : {TX(""), TX("a"), TX("Ab-")}) {
      EXPECT_TRUE(agrees(prefix, prefix + control)) << static_cast<int>(control[0]);
      EXPECT_TRUE(agrees(prefix + control, prefix)) << static_cast<int>(control[0]);
      EXPECT_TRUE(agrees(prefix + control + TX("b"), prefix + TX("B"))) << static_cast<int>(control[0]);
    }
  }
#if !defined(_WIN32)
  EXPECT_EQ(Cmp(TX("a"), TX("a\u0001")), 0);
#endif
  std::mt19937 random(11);
  for (int round = 0; round < 20000; ++round) {
    TString x, y;
    for (int i = random() % 6; i > 0; --i) x += alphabet[random() % (std::size(alphabet) - 1)];
    y = random() % 3 == 0 ? x : TString();
    for (int i = random() % 6; i > 0; --i) y += alphabet[random() % (std::size(alphabet) - 1)];
    ASSERT_TRUE(agrees(x, y)) << "round " << round;
  }
}

TEST(TextLower, PerUnitMapping) {
  WString s(TX("MiXeD \u00c9\u0130\xD83D\xDE00"));
  s.ToLower();
  EXPECT_EQ(s[0], TX('m'));
  EXPECT_EQ(s[1], TX('i'));
  EXPECT_EQ(s[6], TX('\u00e9'));
  EXPECT_EQ(s[8], 0xD83D);  // surrogate units unchanged
  EXPECT_EQ(s[9], 0xDE00);
}

TEST(TextConvert, AnsiRoundTripsAndSubstitutes) {
  EXPECT_TRUE(WString(AString("")).IsEmpty());
  EXPECT_TRUE(AString(WString(TX(""))).IsEmpty());
  WString w(AString("plain ascii"));
  EXPECT_TRUE(w.Equals(TX("plain ascii")));
  EXPECT_STREQ(AString(w).CStr(), "plain ascii");
  WString appended(TX("x"));
  appended.AppendAnsi("yz").AppendAnsi(nullptr);
  EXPECT_EQ(TString(appended.CStr()), TX("xyz"));

#if defined(_WIN32)
  // The system's ANSI code page (1252 here): e acute has a byte of its own,
  // a character it lacks becomes "?".
  EXPECT_STREQ(AString(WString(TX("caf\u00e9"))).CStr(), "caf\xe9");
  EXPECT_STREQ(AString(WString(TX("\u4e2d"))).CStr(), "?");
#else
  WString fromInvalid(
      AString("a\xff"
              "b"));
  ASSERT_EQ(fromInvalid.Length(), 3u);
  EXPECT_EQ(fromInvalid[1], 0xFFFD);
  if (Utf8Locale()) {
    EXPECT_STREQ(AString(WString(TX("\u00e9"))).CStr(), "\xc3\xa9");
    EXPECT_STREQ(AString(WString(TX("a\xD800z"))).CStr(), "a?z");  // lone surrogate
  } else {
    EXPECT_STREQ(AString(WString(TX("caf\u00e9"))).CStr(), "caf?");
  }
#endif
}

TEST(TextThreads, ManyThreadsCompareAndConvert) {
  std::vector<std::thread> threads;
  std::atomic<int> failures{0};
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&failures] {
      for (int i = 0; i < 2000; ++i) {
        if (Cmp(TX("Domain"), TX("dOMAIN")) != 0) ++failures;
        if (std::string(AString(WString(AString("thread text"))).CStr()) != "thread text") ++failures;
      }
    });
  }
  for (auto& t : threads) t.join();
  EXPECT_EQ(failures.load(), 0);
}
