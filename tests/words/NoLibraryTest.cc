// The word exports with no word library to be found: a program of its own,
// in a folder without WordNetEn, so the manager is made here without one.
#include <gtest/gtest.h>

#include "tessik/TessikClient.h"
#include "tests/common/TestText.h"

TEST(WordExportsNoLibrary, EveryCallAnswersUnavailable) {
  EXPECT_EQ(Tessik_GetStemming(TX("car"), nullptr), TESSIK_E_NULL_ARGUMENT);
  for (const TessikChar* word : {TX("car"), TX("")}) {
    TessikWordList list = reinterpret_cast<void*>(0x5eed);
    EXPECT_EQ(Tessik_GetSynonym(word, &list), TESSIK_E_WORDLIB_UNAVAILABLE);
    EXPECT_EQ(list, nullptr);
    list = reinterpret_cast<void*>(0x5eed);
    EXPECT_EQ(Tessik_GetStemming(word, &list), TESSIK_E_WORDLIB_UNAVAILABLE);
    EXPECT_EQ(list, nullptr);
  }
  EXPECT_EQ(Tessik_ReleaseWordList(reinterpret_cast<void*>(0x5eed)), TESSIK_E_WORDLIB_UNAVAILABLE);
  EXPECT_EQ(Tessik_ReleaseWordList(nullptr), TESSIK_E_WORDLIB_UNAVAILABLE);
}
