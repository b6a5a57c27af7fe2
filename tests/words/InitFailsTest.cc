// The word exports when the word library refuses to open its dictionary: a
// program of its own, so the manager is made here under that condition.
#include <gtest/gtest.h>

#include "tessik/TessikClient.h"
#include "tests/common/TestText.h"
#include "tests/words/FakeAccess.h"

TEST(WordExportsInitFails, EveryCallAnswersUnavailableAndNothingIsRetried) {
  fakewords::ConfigureFresh(FakeWordConfig{.initResult = 7});
  ASSERT_EQ(fakewords::Read().initCalls, 0) << "the manager was made before this test";
  for (int round = 0; round < 2; ++round) {
    TessikWordList list = reinterpret_cast<void*>(0x5eed);
    EXPECT_EQ(Tessik_GetSynonym(TX("car"), &list), TESSIK_E_WORDLIB_UNAVAILABLE);
    EXPECT_EQ(list, nullptr);
    list = reinterpret_cast<void*>(0x5eed);
    EXPECT_EQ(Tessik_GetStemming(TX("car"), &list), TESSIK_E_WORDLIB_UNAVAILABLE);
    EXPECT_EQ(list, nullptr);
    EXPECT_EQ(Tessik_ReleaseWordList(nullptr), TESSIK_E_WORDLIB_UNAVAILABLE);
    EXPECT_EQ(Tessik_GetSynonym(nullptr, &list), TESSIK_E_NULL_ARGUMENT);
  }
  FakeWordRecord record = fakewords::Read();
  EXPECT_EQ(record.initCalls, 1);
  EXPECT_NE(record.dictionary[0], '\0');
  EXPECT_EQ(record.synonymCalls + record.stemmingCalls + record.releaseCalls, 0);
  // At exit CheckCloseAtExit sees that the dictionary was never closed.
}
