// The kit's normaliser against the hand-written fixture
// (fixture/normalise.txt), on whichever platform the test is built for:
// ICU's steps on Linux, the Windows API's under Wine, so that both write
// and look up the same words.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <utility>
#include <vector>

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

}  // namespace
