// The list of sources as a person writes it: what it reads, what it refuses
// (naming the line), what it writes back, and where indexes go.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "sources/SourceList.h"
#include "tests/common/ProcessTag.h"

using namespace tessik_cli;
namespace fs = std::filesystem;

namespace {

class SourceListTest : public testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::path(testing::TempDir()) / ("tessik-list-" + ProcessTag());
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string Write(const std::string& name, const std::string& text) {
    std::ofstream(dir_ / name, std::ios::binary) << text;
    return (dir_ / name).string();
  }
  // The message ReadList throws for `text`, or "" when it reads it.
  std::string Refusal(const std::string& text) {
    try {
      ReadList(Write("bad.conf", text));
      return "";
    } catch (const SourceError& e) {
      return e.what();
    }
  }

  fs::path dir_;
};

TEST_F(SourceListTest, ReadsWhatAPersonWritesAndWritesItBack) {
  const std::string site = (dir_ / "site.db").lexically_normal().string();
  const std::string file = Write("sources.conf",
                                 "# my sources\n"
                                 "\n"
                                 "[notes]\n"
                                 "  engine = files  \n"
                                 "path = notes\n"
                                 "exclude = *.tmp\n"
                                 "exclude = build/*\n"
                                 "[site_2]\r\n"
                                 "engine = xapian\r\n"
                                 "path = " + site + "\r\n");
  SourceList list = ReadList(file);
  ASSERT_TRUE(list.exists);
  ASSERT_EQ(list.sources.size(), 2u);
  const Source& notes = list.sources[0];
  EXPECT_EQ(notes.engine, "files");
  // A relative path is the list's folder's.
  EXPECT_EQ(fs::path(notes.path), (dir_ / "notes").lexically_normal());
  EXPECT_EQ(notes.Values("exclude"), (std::vector<std::string>{"*.tmp", "build/*"}));
  EXPECT_EQ(list.sources[1].path, site);
  EXPECT_EQ(list.Find("site_2"), &list.sources[1]);

  // Written and read again, it is the same list.
  list.file = (dir_ / "again" / "sources.conf").string();
  WriteList(list);
  const SourceList again = ReadList(list.file);
  ASSERT_EQ(again.sources.size(), 2u);
  EXPECT_EQ(again.sources[0].path, notes.path);
  EXPECT_EQ(again.sources[0].options, notes.options);
  EXPECT_EQ(again.sources[1].engine, "xapian");
  // No temporary file is left beside it.
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_ / "again"), fs::directory_iterator()), 1);
}

TEST_F(SourceListTest, AMalformedListIsRefusedWithItsLine) {
  const std::pair<const char*, const char*> cases[] = {
      {"[a]\nengine = files\npath = /x\n[a]\nengine = files\npath = /y\n", ":4: a second source named a"},
      {"engine = files\n", ":1: "},
      {"[a]\nengine = files\npath = /x\ncolour = red\n", ":4: unknown key"},
      {"[a]\nengine = gopher\npath = /x\n", ":2: unknown engine"},
      {"[a]\nengine = files\n", "has no \"path"},
      {"[a/b]\nengine = files\npath = /x\n", ":1: "},
      {"[a]\nengine = files\npath =\n", ":3: "},
      {"[a]\njust words\n", ":2: "},
      {"[a\n", ":1: "},
      {"[a]\nengine = files\npath = /x\nmax-size = 10 MB\n", ":4: max-size"},
      {"[a]\nengine = files\npath = /x\ninclude-hidden = yes\n", ":4: include-hidden"},
      {"[a]\ntable = t\nengine = files\npath = /x\n[b]\n", ":2: \"table\" is not for a files source"},
  };
  for (const auto& [text, expected] : cases) {
    const std::string message = Refusal(text);
    EXPECT_NE(message.find("bad.conf"), std::string::npos) << text;
    EXPECT_NE(message.find(expected), std::string::npos) << text << " -> " << message;
  }
  // A list that is not there is an empty one; a folder is no list.
  EXPECT_FALSE(ReadList((dir_ / "none.conf").string()).exists);
  EXPECT_THROW(ReadList(dir_.string()), SourceError);
}

TEST_F(SourceListTest, NamesAndIndexes) {
  EXPECT_TRUE(IsSourceName("a"));
  EXPECT_TRUE(IsSourceName("My_notes-2"));
  EXPECT_TRUE(IsSourceName(std::string(64, 'n')));
  for (const std::string& bad : std::vector<std::string>{"", "a/b", "a b", "caf\xC3\xA9", "..", std::string(65, 'n')})
    EXPECT_FALSE(IsSourceName(bad)) << bad;

#if !defined(_WIN32)
  // The cache folder holds a folder per list and source; a list's own
  // "index" key wins, and is not ours to delete.
  setenv("XDG_CACHE_HOME", (dir_ / "cache").c_str(), 1);
  SourceList one, two;
  one.file = (dir_ / "one.conf").string();
  two.file = (dir_ / "two.conf").string();
  Source notes{"notes", "files", "/n", {}};
  const fs::path a = IndexFile(one, notes), b = IndexFile(two, notes);
  EXPECT_NE(a, b);
  EXPECT_EQ(a.parent_path().parent_path(), dir_ / "cache" / "tessik");
  EXPECT_EQ(a.parent_path().filename().string().rfind("notes-", 0), 0u);
  EXPECT_EQ(IndexFile(one, notes), a.string()) << "the same every time";
  EXPECT_TRUE(IndexIsOurs(one, notes));
  notes.options.emplace_back("index", "/srv/bundled.index");
  EXPECT_EQ(IndexFile(one, notes), "/srv/bundled.index");
  EXPECT_FALSE(IndexIsOurs(one, notes));
  unsetenv("XDG_CACHE_HOME");
#endif
}

}  // namespace
