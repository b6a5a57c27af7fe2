// The word exports over the fake word library, which opens its dictionary.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "tessik/TessikClient.h"
#include "tests/common/TestText.h"
#include "tests/common/Watchdog.h"
#include "tests/words/FakeAccess.h"
#include "ulmo/osdep/Mutex.h"

#if !defined(_WIN32)
#include <unistd.h>
#endif

namespace {

using fakewords::Read;

void* const kUntouched = reinterpret_cast<void*>(0x5eed);

class WordExports : public ::testing::Test {
 protected:
  void SetUp() override { fakewords::ConfigureFresh(FakeWordConfig{}); }
  void TearDown() override { fakewords::Configure(FakeWordConfig{}); }
};

TEST_F(WordExports, NullArgumentsAreRefusedBeforeAnythingElse) {
  // Even this first call makes the manager, which opens the dictionary.
  EXPECT_EQ(Tessik_GetSynonym(nullptr, nullptr), TESSIK_E_NULL_ARGUMENT);
  FakeWordRecord before = Read();
  EXPECT_EQ(before.initCalls, 1);
  TessikWordList list = kUntouched;
  EXPECT_EQ(Tessik_GetSynonym(nullptr, &list), TESSIK_E_NULL_ARGUMENT);
  EXPECT_EQ(Tessik_GetStemming(nullptr, &list), TESSIK_E_NULL_ARGUMENT);
  EXPECT_EQ(list, kUntouched);
  EXPECT_EQ(Tessik_GetSynonym(TX("car"), nullptr), TESSIK_E_NULL_ARGUMENT);
  EXPECT_EQ(Tessik_GetStemming(TX("car"), nullptr), TESSIK_E_NULL_ARGUMENT);
  FakeWordRecord after = Read();
  EXPECT_EQ(after.synonymCalls + after.stemmingCalls, before.synonymCalls + before.stemmingCalls);
}

TEST_F(WordExports, LookupsAndReleasesPassThroughUnchanged) {
  TessikWordList list = kUntouched;
  ASSERT_EQ(Tessik_GetSynonym(TX("car"), &list), TESSIK_OK);
  FakeWordRecord record = Read();
  EXPECT_EQ(list, record.lastHandedOut);
  EXPECT_STREQ(record.lastWord, "car");
  EXPECT_EQ(record.lastKind, 5);
  EXPECT_EQ(Tessik_ReleaseWordList(list), TESSIK_OK);
  EXPECT_EQ(Read().lastReleased, list);

  ASSERT_EQ(Tessik_GetStemming(TX("Running Shoes"), &list), TESSIK_OK);
  record = Read();
  EXPECT_STREQ(record.lastWord, "Running Shoes");
  EXPECT_EQ(record.lastKind, 2);

  // The word library's own failures come back as they are, with no list.
  fakewords::Configure(FakeWordConfig{.lookupResult = -12345, .releaseResult = 77});
  list = kUntouched;
  EXPECT_EQ(Tessik_GetSynonym(TX("car"), &list), -12345);
  EXPECT_EQ(list, nullptr);
  list = kUntouched;
  EXPECT_EQ(Tessik_GetStemming(TX("car"), &list), -12345);
  EXPECT_EQ(list, nullptr);
  int releases = Read().releaseCalls;
  EXPECT_EQ(Tessik_ReleaseWordList(nullptr), 77);  // null goes through too
  EXPECT_EQ(Read().releaseCalls, releases + 1);
  EXPECT_EQ(Read().lastReleased, nullptr);
}

TEST_F(WordExports, EmptyWordIsRefusedWithoutCallingTheLibrary) {
  FakeWordRecord before = Read();
  TessikWordList list = kUntouched;
  EXPECT_EQ(Tessik_GetSynonym(TX(""), &list), TESSIK_E_WORDLIB_UNAVAILABLE);
  EXPECT_EQ(list, nullptr);
  list = kUntouched;
  EXPECT_EQ(Tessik_GetStemming(TX(""), &list), TESSIK_E_WORDLIB_UNAVAILABLE);
  EXPECT_EQ(list, nullptr);
  FakeWordRecord after = Read();
  EXPECT_EQ(after.synonymCalls + after.stemmingCalls, before.synonymCalls + before.stemmingCalls);
}

TEST_F(WordExports, DictionaryIsBesideTheExecutable) {
  TessikWordList list = nullptr;
  Tessik_GetStemming(TX("x"), &list);
  std::string dictionary = Read().dictionary;
#if defined(_WIN32)
  const std::string tail = "\\resource\\WordNetDict";
#else
  // The executable's folder byte for byte: a folder named beyond ASCII stays
  // UTF-8 whatever the locale (the test runs in one under LANG=C too).
  std::string self(4096, '\0');
  ssize_t length = readlink("/proc/self/exe", self.data(), self.size());
  ASSERT_GT(length, 0);
  self.resize(static_cast<size_t>(length));
  self.resize(self.rfind('/'));
  EXPECT_EQ(dictionary, self + "/resource/WordNetDict");
  const std::string tail = "/resource/WordNetDict";
#endif
  ASSERT_GT(dictionary.size(), tail.size());
  EXPECT_EQ(dictionary.substr(dictionary.size() - tail.size()), tail);
}

TEST_F(WordExports, WordGoesOverInTheEnvironmentCharacterSet) {
#if defined(_WIN32)
  GTEST_SKIP() << "the ANSI code page decides, not LANG";
#endif
  const char* lang = std::getenv("LANG");
  std::string expected;
  if (lang != nullptr && std::string(lang) == "C") expected = "caf?";
  if (lang != nullptr && std::string(lang) == "C.UTF-8") expected = "caf\xc3\xa9";
  if (expected.empty() || std::getenv("LC_ALL") != nullptr) GTEST_SKIP() << "runs under LANG=C or LANG=C.UTF-8";
  TessikWordList list = nullptr;
  ASSERT_EQ(Tessik_GetSynonym(TX("caf\u00e9"), &list), TESSIK_OK);
  EXPECT_EQ(std::string(Read().lastWord), expected);
}

TEST_F(WordExports, CallsIntoTheLibraryNeverOverlap) {
  Watchdog watchdog(std::chrono::seconds(60), "overlapping word look-ups");
  fakewords::Configure(FakeWordConfig{.pauseMicroseconds = 200});
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([] {
      for (int i = 0; i < 40; ++i) {
        TessikWordList list = nullptr;
        Tessik_GetSynonym(TX("car"), &list);
        Tessik_GetStemming(TX("cars"), &list);
        Tessik_ReleaseWordList(list);
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(Read().mostCallsAtOnce, 1);

  // The lock is the machine-wide one every process shares: holding it under
  // its name holds look-ups back.
  const vel::ulmo::WChar name[] = {'C', 'W', 'o', 'r', 'd', 'L', 'i', 'b', 'M', 'g',
                                   'r', '_', 'L', 'i', 'b', 'r', 'a', 'r', 'y', 0};
  vel::ulmo::osdep::Mutex shared{vel::ulmo::WString(name)};
  int before = Read().stemmingCalls;
  std::atomic<bool> done{false};
  shared.Lock();
  std::thread looker([&] {
    TessikWordList list = nullptr;
    Tessik_GetStemming(TX("car"), &list);
    done = true;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_FALSE(done.load());
  EXPECT_EQ(Read().stemmingCalls, before);
  shared.Unlock();
  looker.join();
  EXPECT_EQ(Read().stemmingCalls, before + 1);
}

}  // namespace
