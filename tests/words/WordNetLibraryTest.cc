// The word library on its own: its entry points' rules, and its reader's
// search and morphology over the real database.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "wordnet/Database.h"
#include "wordnet/WordNetEn.h"

namespace {

using wordnet::Database;
using Words = std::vector<std::string>;

// Beside the test programs, as the build lays it out.
const char kDictionary[] = "resource/WordNetDict";
// tests/words/damaged-dictionary, copied there too.
const char kDamaged[] = "damaged-dictionary";

TEST(WordNetEn, EntryPointsRefuseWhatTheyCannotServe) {
  WordList list = reinterpret_cast<WordList>(0x5eed);
  EXPECT_EQ(WordNet_GetSynonym("car", &list, WORDNET_KIND_SYNONYMS), WORDNET_E_NOT_OPEN);
  EXPECT_EQ(list, nullptr);
  EXPECT_EQ(WordNet_LexisInit(nullptr), WORDNET_E_ARGUMENT);
  EXPECT_EQ(WordNet_LexisInit("no-such-folder"), WORDNET_E_DICTIONARY);
  std::filesystem::create_directories("empty-dictionary");
  EXPECT_EQ(WordNet_LexisInit("empty-dictionary"), WORDNET_E_DICTIONARY);

  ASSERT_EQ(WordNet_LexisInit(kDictionary), WORDNET_OK);
  EXPECT_EQ(WordNet_GetSynonym(nullptr, &list, WORDNET_KIND_SYNONYMS), WORDNET_E_ARGUMENT);
  EXPECT_EQ(WordNet_GetSynonym("car", nullptr, WORDNET_KIND_SYNONYMS), WORDNET_E_ARGUMENT);
  EXPECT_EQ(WordNet_GetSynonym("car", &list, WORDNET_KIND_STEMS), WORDNET_E_ARGUMENT);
  EXPECT_EQ(WordNet_GetStemming("car", &list, WORDNET_KIND_SYNONYMS), WORDNET_E_ARGUMENT);
  ASSERT_EQ(WordNet_GetStemming("cars", &list, WORDNET_KIND_STEMS), WORDNET_OK);
  ASSERT_EQ(list->count, 1);
  EXPECT_STREQ(list->words[0], "car");
  EXPECT_EQ(WordNet_ReleaseWordList(list), WORDNET_OK);
  EXPECT_EQ(WordNet_ReleaseWordList(nullptr), WORDNET_OK);

  // A failed open leaves nothing open, not the earlier database.
  EXPECT_EQ(WordNet_LexisInit("no-such-folder"), WORDNET_E_DICTIONARY);
  EXPECT_EQ(WordNet_GetStemming("cars", &list, WORDNET_KIND_STEMS), WORDNET_E_NOT_OPEN);
  ASSERT_EQ(WordNet_LexisInit(kDictionary), WORDNET_OK);
  EXPECT_EQ(WordNet_LexisClose(), WORDNET_OK);
  EXPECT_EQ(WordNet_GetStemming("cars", &list, WORDNET_KIND_STEMS), WORDNET_E_NOT_OPEN);
  EXPECT_EQ(WordNet_LexisClose(), WORDNET_OK);
}

TEST(WordNetReader, EveryLemmaOfTheIndexIsFound) {
  std::unique_ptr<Database> database = Database::Open(kDictionary);
  ASSERT_NE(database, nullptr);
  for (int pos = 0; pos < wordnet::kPosCount; ++pos) {
    std::vector<std::string_view> lemmas = database->Lemmas(static_cast<wordnet::Pos>(pos));
    EXPECT_GT(lemmas.size(), 3000u);
    int missing = 0;
    for (std::string_view lemma : lemmas) {
      std::string_view line = database->FindIndexLine(static_cast<wordnet::Pos>(pos), lemma);
      if (line.substr(0, lemma.size() + 1) != std::string(lemma) + " " && ++missing <= 5) {
        ADD_FAILURE() << "part " << pos << ": " << lemma << " not found";
      }
    }
    EXPECT_EQ(missing, 0);
  }
}

TEST(WordNetReader, BaseFormsByExceptionsAndSuffixRules) {
  std::unique_ptr<Database> database = Database::Open(kDictionary);
  ASSERT_NE(database, nullptr);
  auto forms = [&](wordnet::Pos pos, const char* word) { return database->BaseForms(pos, word); };
  EXPECT_EQ(forms(wordnet::kNoun, "geese"), Words{"goose"});
  EXPECT_EQ(forms(wordnet::kNoun, "churches"), Words{"church"});
  EXPECT_EQ(forms(wordnet::kNoun, "ladies"), Words{"lady"});
  EXPECT_EQ(forms(wordnet::kNoun, "glass"), Words{"glass"});  // no "glas"
  EXPECT_EQ(forms(wordnet::kNoun, "boxesful"), Words{"boxful"});
  EXPECT_EQ(forms(wordnet::kVerb, "loved"), Words{"love"});
  EXPECT_EQ(forms(wordnet::kVerb, "running"), Words{"run"});
  EXPECT_EQ(forms(wordnet::kAdjective, "nicer"), Words{"nice"});
  EXPECT_EQ(forms(wordnet::kAdjective, "better"), (Words{"better", "good", "well"}));
  EXPECT_EQ(forms(wordnet::kAdverb, "quickly"), Words{"quickly"});
  EXPECT_EQ(database->Stems("qwzxvk"), Words{});
}

// Every entry of the damaged dictionary breaks one rule of the format: a
// data line announcing more words than it holds, word counts that overflow
// when doubled, a data line cut short by the end of the file, offsets past
// that end and inside a line, index lines announcing more synsets or
// pointers than they hold or cut short, exceptions without a base form in
// the index. Each look-up answers as if the entry had no words.
TEST(WordNetReader, DamagedDictionaryAnswersCleanly) {
  std::unique_ptr<Database> database = Database::Open(kDamaged);
  ASSERT_NE(database, nullptr);
  // Its one intact entry: the fixture is read at all.
  EXPECT_EQ(database->Synonyms("car"), Words{"automobile"});
  EXPECT_EQ(database->Stems("cars"), Words{"car"});
  for (const char* word : {"crowd", "horde", "cut", "far", "midline", "many", "pointers", "zebra"}) {
    EXPECT_EQ(database->Synonyms(word), Words{}) << word;
    EXPECT_EQ(database->Stems(word), Words{word}) << word;  // the index holds it all the same
  }
  EXPECT_EQ(database->Stems("geese"), Words{});
  EXPECT_EQ(database->Stems("mice"), Words{});

  // Through the entry points: a success with an empty list.
  ASSERT_EQ(WordNet_LexisInit(kDamaged), WORDNET_OK);
  for (const char* word : {"horde", "crowd", "zebra"}) {
    WordList list = nullptr;
    ASSERT_EQ(WordNet_GetSynonym(word, &list, WORDNET_KIND_SYNONYMS), WORDNET_OK) << word;
    EXPECT_EQ(list->count, 0) << word;
    EXPECT_EQ(WordNet_ReleaseWordList(list), WORDNET_OK);
  }
  EXPECT_EQ(WordNet_LexisClose(), WORDNET_OK);
}

}  // namespace
