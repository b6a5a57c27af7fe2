// Synonyms and stems through the exported interface, over the real word
// library and the WordNet database laid out beside this program.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <thread>
#include <vector>

#include "tessik/TessikClient.h"
#include "tests/common/TestText.h"
#include "tests/common/Watchdog.h"
#include "wordnet/WordNetEn.h"

namespace {

using Words = std::vector<std::string>;

// The words of one look-up, or the status when it failed.
struct Answer {
  int32_t status;
  Words words;
  bool operator==(const Answer&) const = default;
};

Answer Look(int32_t (*lookup)(const TessikChar*, TessikWordList*), const TString& word) {
  TessikWordList list = nullptr;
  Answer answer{lookup(word.c_str(), &list), {}};
  if (answer.status != TESSIK_OK) return answer;
  auto* words = static_cast<WordList>(list);
  if (words == nullptr) return {-1, {}};
  answer.words.assign(words->words, words->words + words->count);
  EXPECT_EQ(Tessik_ReleaseWordList(list), TESSIK_OK);
  return answer;
}

Words Synonyms(const std::string& word) { return Look(Tessik_GetSynonym, T(word)).words; }
Words Stems(const std::string& word) { return Look(Tessik_GetStemming, T(word)).words; }

bool Has(const Words& words, const std::string& word) {
  return std::find(words.begin(), words.end(), word) != words.end();
}

TEST(WordNet, SynonymsAndStemsOfCommonWords) {
  Words car = Synonyms("car");
  EXPECT_TRUE(Has(car, "automobile"));
  EXPECT_TRUE(Has(car, "motorcar"));
  EXPECT_FALSE(Has(car, "car"));  // never the word itself
  EXPECT_EQ(Stems("geese"), Words{"goose"});
  EXPECT_TRUE(Has(Synonyms("geese"), "goose"));  // base forms count as synonyms
  EXPECT_TRUE(Has(Stems("running"), "run"));
  Words better = Stems("better");
  EXPECT_TRUE(Has(better, "good"));
  EXPECT_TRUE(Has(better, "well"));
  // Case, spaces and underscores alike.
  Words vehicle = Synonyms("motor_vehicle");
  EXPECT_TRUE(Has(vehicle, "automotive vehicle"));
  EXPECT_EQ(Synonyms("  MOTOR   Vehicle "), vehicle);
  EXPECT_EQ(Stems("Geese"), Words{"goose"});
  // No word twice.
  Words sorted = Synonyms("run");
  std::sort(sorted.begin(), sorted.end());
  EXPECT_EQ(std::adjacent_find(sorted.begin(), sorted.end()), sorted.end());
}

TEST(WordNet, UnknownWordGivesAnEmptyList) {
  EXPECT_EQ(Look(Tessik_GetSynonym, TX("qwzxvk")), (Answer{TESSIK_OK, {}}));
  EXPECT_EQ(Look(Tessik_GetStemming, TX("qwzxvk")), (Answer{TESSIK_OK, {}}));
  EXPECT_EQ(Look(Tessik_GetStemming, TX("")), (Answer{TESSIK_E_WORDLIB_UNAVAILABLE, {}}));
}

TEST(WordNet, ConcurrentLookupsGiveTheSerialAnswers) {
  Watchdog watchdog(std::chrono::seconds(120), "concurrent word look-ups");
  const std::vector<std::string> words = {"car",  "geese", "running", "better", "house",
                                          "went", "boxes", "light",   "qwzxvk", "run"};
  std::vector<Answer> serial;
  for (const std::string& word : words) {
    serial.push_back(Look(Tessik_GetSynonym, T(word)));
    serial.push_back(Look(Tessik_GetStemming, T(word)));
  }
  std::vector<int> mismatches(8, 0);
  std::vector<std::thread> threads;
  for (int t = 0; t < 8; ++t) {
    threads.emplace_back([&, t] {
      for (int round = 0; round < 5; ++round) {
        for (size_t i = 0; i < words.size(); ++i) {
          size_t w = (i + static_cast<size_t>(t)) % words.size();  // each thread in its own order
          if (!(Look(Tessik_GetSynonym, T(words[w])) == serial[2 * w])) ++mismatches[t];
          if (!(Look(Tessik_GetStemming, T(words[w])) == serial[2 * w + 1])) ++mismatches[t];
        }
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(mismatches, std::vector<int>(8, 0));
}

}  // namespace
