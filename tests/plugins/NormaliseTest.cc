// The kit's normaliser against the hand-written fixture
// (fixture/normalise.txt), on whichever platform the test is built for:
// ICU's steps on Linux, the Windows API's under Wine, so that both write
// and look up the same words.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "kit/Digest.h"
#include "kit/Normalise.h"
#include "kit/Text.h"

namespace {

using tessik_plugins::Canonical;
using tessik_plugins::Normalise;

struct Case {
  int line;
  std::string input, output;
};

// "\u{XXXX}" as the code point it names, in UTF-8.
std::string Unescaped(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size();) {
    if (text.compare(i, 3, "\\u{") == 0) {
      const size_t close = text.find('}', i);
      out += tessik_plugins::ToUtf8(
          std::u32string(1, static_cast<char32_t>(std::stoul(text.substr(i + 3, close - i - 3), nullptr, 16))));
      i = close + 1;
    } else {
      out += text[i++];
    }
  }
  return out;
}

std::vector<Case> ReadFixture() {
  std::ifstream in(TESSIK_NORMALISE_FIXTURE, std::ios::binary);
  EXPECT_TRUE(in) << "cannot read " << TESSIK_NORMALISE_FIXTURE;
  std::vector<Case> cases;
  std::string line;
  for (int number = 1; std::getline(in, line); ++number) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#') continue;
    const size_t arrow = line.find(" \xE2\x86\x92 ");  // " → "
    EXPECT_NE(arrow, std::string::npos) << "line " << number << ": " << line;
    if (arrow == std::string::npos) continue;
    cases.push_back({number, Unescaped(line.substr(0, arrow)), Unescaped(line.substr(arrow + 5))});
  }
  return cases;
}

TEST(Normaliser, GivesTheFixturesFormsAndKeepsThem) {
  const std::vector<Case> cases = ReadFixture();
  ASSERT_GT(cases.size(), 50u);
  for (const Case& c : cases) {
    EXPECT_EQ(Normalise(c.input), c.output) << "line " << c.line << ": " << c.input;
    EXPECT_EQ(Normalise(c.output), c.output) << "line " << c.line << ": the form of the form";
  }
}

TEST(Normaliser, TokensKeepThePlaceOfTheirWord) {
  // "½" normalises to "1⁄2", whose fraction slash separates: two tokens,
  // both at the place of "½"; the right quotation mark is an apostrophe.
  const std::string text = "Caf\xC3\xA9 \xC2\xBD \xEF\xAC\x81le Don\xE2\x80\x99t";
  std::vector<std::pair<std::string, std::string>> seen;
  tessik_plugins::ForEachToken(text, [&](std::string_view token, size_t begin, size_t end) {
    seen.emplace_back(std::string(token), text.substr(begin, end - begin));
  });
  const std::vector<std::pair<std::string, std::string>> expected = {{"cafe", "Caf\xC3\xA9"},
                                                                     {"1", "\xC2\xBD"},
                                                                     {"2", "\xC2\xBD"},
                                                                     {"file", "\xEF\xAC\x81le"},
                                                                     {"don't", "Don\xE2\x80\x99t"}};
  EXPECT_EQ(seen, expected);
  // A lone accent is no token.
  EXPECT_TRUE(tessik_plugins::Tokens("\xCC\x81").empty());
}

TEST(Normaliser, WordsAsWrittenCompareInNfc) {
  EXPECT_EQ(Canonical("Cafe\xCC\x81"), "Caf\xC3\xA9");
  EXPECT_EQ(Canonical("\xEF\xAC\x81"), "\xEF\xAC\x81");  // a ligature is written so
  EXPECT_TRUE(tessik_plugins::HoldsWordAsWritten("Un Caf\xC3\xA9 noir", "Cafe\xCC\x81"));
  EXPECT_FALSE(tessik_plugins::HoldsWordAsWritten("Un Caf\xC3\xA9 noir", "caf\xC3\xA9"));
  EXPECT_FALSE(tessik_plugins::HoldsWordAsWritten("Un Cafe noir", "Caf\xC3\xA9"));
}

// The statistics' counts: as written, each word in NFC; otherwise the
// normalised tokens, so every spelling the index matches counts once.
TEST(Normaliser, CountsAreOfWordsAsWrittenOrOfTokens) {
  using tessik_plugins::CountTokens;
  using tessik_plugins::CountWordAsWritten;
  // "Café", "Cafe" + combining acute, "café", "CAFE", "cafés".
  const std::string text = "Caf\xC3\xA9 Cafe\xCC\x81, caf\xC3\xA9; CAFE caf\xC3\xA9s";
  EXPECT_EQ(CountWordAsWritten(text, "Caf\xC3\xA9"), 2u);
  EXPECT_EQ(CountWordAsWritten(text, "caf\xC3\xA9"), 1u);
  EXPECT_EQ(CountWordAsWritten(text, "Cafe"), 0u);
  EXPECT_EQ(CountWordAsWritten("The cat, the CAT", "CAT"), 1u);
  EXPECT_EQ(CountTokens(text, "cafe"), 4u);
  EXPECT_EQ(CountTokens(text, "CAF\xC3\x89"), 4u);
  EXPECT_EQ(CountTokens(text, "cafes"), 1u);
  EXPECT_EQ(CountTokens("The cat, the CAT; cats", "Cat"), 2u);
  // Full-width letters are the plain ones; a word of two tokens counts
  // where both follow each other.
  EXPECT_EQ(CountTokens("\xEF\xBC\xA3\xEF\xBD\x81\xEF\xBD\x94 cat", "cat"), 2u);
  EXPECT_EQ(CountTokens("x 1 2 y 2 1 \xC2\xBD", "\xC2\xBD"), 2u);
  EXPECT_EQ(CountTokens("anything", "..."), 0u);
}

// The digest is of the normalised tokens: accents, case and compatibility
// forms do not tell two texts apart; other words do.
TEST(Normaliser, DigestsAreOfTheNormalisedTokens) {
  using tessik_plugins::Digest;
  EXPECT_EQ(Digest("Caf\xC3\xA9", "na\xC3\xAFve  STRASSE"), Digest("CAFE", "naive stra\xC3\x9F" "e!"));
  EXPECT_EQ(tessik_plugins::NormalisedText("Caf\xC3\xA9", "\xEF\xAC\x81ne"), "cafe fine");
  EXPECT_NE(Digest("Caf\xC3\xA9", "noir"), Digest("Caf\xC3\xA9", "au lait"));
  // FNV-1a of "cafe", worked by hand from the offset basis and prime.
  EXPECT_EQ(Digest("Caf\xC3\xA9", ""), "b5387d90e8589028");
}

}  // namespace
