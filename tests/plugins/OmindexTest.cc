// The Xapian plugin over a database omindex built of a small site the test
// writes: what omindex stored comes back as hit properties, and fields,
// categories and operators mean what they mean over tessik's own databases.
#include <xapian.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <filesystem>
#include <fstream>
#include <random>
#include <set>

#include "tests/common/Watchdog.h"
#include "tests/plugins/PluginHost.h"

using namespace plugin_test;
namespace fs = std::filesystem;

namespace {

using Ids = std::set<std::string>;

std::string PluginPath(const char* domain) {
  return std::string(TESSIK_PLUGIN_DIR) + "/" + domain + TESSIK_PLUGIN_SUFFIX;
}

fs::path TempPath(const char* what) {
  return fs::path(testing::TempDir()) / ("tessik-" + std::string(what) + "-" + std::to_string(std::random_device{}()));
}

class OmindexTest : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (std::string(TESSIK_OMINDEX).empty()) return;
    Watchdog watchdog(std::chrono::seconds(60), "omindex");
    root_ = new fs::path(TempPath("omindex"));
    auto write = [](const char* file, const std::string& text) {
      fs::create_directories((*root_ / "site" / file).parent_path());
      std::ofstream(*root_ / "site" / file, std::ios::binary) << text;
    };
    write("docs/fox.html",
          "<html><head><title>The Quick Fox</title><meta name=\"author\" content=\"Ann Writer\"></head>\n"
          "<body><p>A quick brown fox jumps over the lazy dog near the river bank.</p></body></html>\n");
    // 2024-03-05T10:20:30Z
    fs::last_write_time(*root_ / "site/docs/fox.html",
                        std::chrono::file_clock::from_sys(std::chrono::sys_seconds(std::chrono::seconds(1709634030))));
    write("docs/old/geese.txt", "Migrating geese fly south over the river every autumn.\n");
    write("notes/Cars.html",
          "<html><head><title>Cars and Engines</title></head>\n"
          "<body>An automobile engine turns fuel into motion; no fox drives one.</body></html>\n");
    write("readme.txt", "Welcome, river readers.\n");
    write("menu.txt", "Caf\xC3\xA9 au lait, cr\xC3\xA8me.\n");
    write("plain.txt", "Cafe latte.\n");
    const std::string command = std::string(TESSIK_OMINDEX) + " --db '" + Database() + "' --url / '" +
                                (*root_ / "site").string() + "' > '" + (*root_ / "omindex.log").string() + "' 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
  }
  static void TearDownTestSuite() {
    if (root_ != nullptr) fs::remove_all(*root_);
    delete root_;
    root_ = nullptr;
  }
  void SetUp() override {
    if (std::string(TESSIK_OMINDEX).empty()) GTEST_SKIP() << "omindex is not installed (Debian: xapian-omega)";
    ASSERT_TRUE(fs::exists(Database())) << "omindex built no database";
  }
  static std::string Database() { return (*root_ / "db").string(); }

  std::vector<Found> Search(QueryForm form) {
    if (form.domains.empty()) form.domains = {{"xapian", Database()}};
    return session_.Search(form);
  }
  Ids Find(QueryForm form) {
    Ids ids;
    for (const Found& f : Search(std::move(form))) ids.insert(f.error.empty() ? f.id : "error: " + f.error);
    return ids;
  }

  static fs::path* root_;
  Watchdog watchdog_{std::chrono::seconds(60), "searches"};
  Session session_{{PluginPath("xapian")}};
};

fs::path* OmindexTest::root_ = nullptr;

TEST_F(OmindexTest, HitsCarryWhatOmindexStored) {
  const std::vector<Found> fox = Search({{{"lazy"}}});
  ASSERT_EQ(fox.size(), 1u);
  EXPECT_EQ(fox[0].id, "/docs/fox.html");
  EXPECT_EQ(fox[0].title, "The Quick Fox");
  const std::map<std::string, std::string> expected = {
      {"snippet", "A quick brown fox jumps over the lazy dog near the river bank."},
      {"url", "/docs/fox.html"},
      {"type", "text/html"},
      {"modified", "2024-03-05T10:20:30Z"},
      {"size", std::to_string(fs::file_size(*root_ / "site/docs/fox.html"))},
      {"author", "Ann Writer"},
      {"category", "docs"},  // the url's first folder
      {"source-rank", "1"}};
  EXPECT_EQ(fox[0].properties, expected);

  // Plain text has no title of its own: its file's name stands in.
  const std::vector<Found> geese = Search({{{"autumn"}}});
  ASSERT_EQ(geese.size(), 1u);
  EXPECT_EQ(geese[0].title, "geese.txt");
  EXPECT_EQ(geese[0].properties.at("type"), "text/plain");
  EXPECT_EQ(geese[0].properties.at("size"), std::to_string(fs::file_size(*root_ / "site/docs/old/geese.txt")));
  // A document at the site's root is in no category.
  const std::vector<Found> readme = Search({{{"welcome"}}});
  ASSERT_EQ(readme.size(), 1u);
  EXPECT_EQ(readme[0].properties.count("category"), 0u);
}

TEST_F(OmindexTest, QueriesMeanWhatTheyMeanElsewhere) {
  // omindex keeps title words apart from the text's.
  EXPECT_EQ(Find({{{"fox", {"title"}}}}), Ids({"/docs/fox.html"}));
  EXPECT_EQ(Find({{{"fox", {"text"}}}}), Ids({"/docs/fox.html", "/notes/Cars.html"}));
  EXPECT_EQ(Find({{{"cars"}}}), Ids({"/notes/Cars.html"}));
  EXPECT_EQ(Find({{{"cars", {"body"}}}}), Ids());

  // Categories: a MIME type, or a folder with all below it, without case.
  EXPECT_EQ(Find({{{"river"}}, "And", {"text/plain"}}), Ids({"/docs/old/geese.txt", "/readme.txt"}));
  EXPECT_EQ(Find({{{"river"}}, "And", {"TEXT/HTML"}}), Ids({"/docs/fox.html"}));
  EXPECT_EQ(Find({{{"river"}}, "And", {"DOCS"}}), Ids({"/docs/fox.html", "/docs/old/geese.txt"}));
  EXPECT_EQ(Find({{{"river"}}, "And", {"/docs/old/"}}), Ids({"/docs/old/geese.txt"}));
  EXPECT_EQ(Find({{{"river"}}, "And", {"nowhere", "image/png"}}), Ids());

  EXPECT_EQ(Find({{{"river"}, {"fox"}}}), Ids({"/docs/fox.html"}));
  EXPECT_EQ(Find({{{"geese"}, {"automobile"}}, "Or"}), Ids({"/docs/old/geese.txt", "/notes/Cars.html"}));
  EXPECT_EQ(Find({{{"fox"}}, "Not", {"docs"}}), Ids({"/docs/old/geese.txt"}));
  EXPECT_EQ(Find({{{"river"}, {"fox", {"not"}}}}), Ids({"/docs/old/geese.txt", "/readme.txt"}));

  QueryForm migrate{{{"migrate"}}};
  EXPECT_EQ(Find(migrate), Ids());
  migrate.stemming = true;
  EXPECT_EQ(Find(migrate), Ids({"/docs/old/geese.txt"}));
  // No term keeps case: the stored title and text are checked instead.
  QueryForm exact{{{"Migrating"}}};
  exact.caseSensitive = true;
  EXPECT_EQ(Find(exact), Ids({"/docs/old/geese.txt"}));
  exact.words = {{"migrating"}};
  EXPECT_EQ(Find(exact), Ids());
  exact.words = {{"Quick", {"title"}}};
  EXPECT_EQ(Find(exact), Ids({"/docs/fox.html"}));
  exact.words = {{"Quick", {"text"}}};
  EXPECT_EQ(Find(exact), Ids());
}

// omindex folds case but keeps accents: the query's words are folded so,
// not as tessik's own indexes fold theirs.
TEST_F(OmindexTest, WordsFoldAsOmindexFoldsThem) {
  EXPECT_EQ(Find({{{"caf\xC3\xA9"}}}), Ids({"/menu.txt"}));
  EXPECT_EQ(Find({{{"CAF\xC3\x89"}}}), Ids({"/menu.txt"}));
  EXPECT_EQ(Find({{{"cafe"}}}), Ids({"/plain.txt"}));
  EXPECT_EQ(Find({{{"CR\xC3\x88ME"}}}), Ids({"/menu.txt"}));
}

// A source named for the site, over the engine: limits cut, scores rank,
// and no file of the database changes.
TEST_F(OmindexTest, ASourceIsSearchedAndLeftUnwritten) {
  auto snapshot = [] {
    std::map<std::string, std::pair<uintmax_t, fs::file_time_type>> files;
    for (const fs::directory_entry& e : fs::recursive_directory_iterator(Database()))
      if (e.is_regular_file()) files[e.path().string()] = {e.file_size(), e.last_write_time()};
    return files;
  };
  const auto before = snapshot();
  for (bool exact : {false, true}) {
    QueryForm form{{{"river"}}, "And", {}, {{"site", Database(), "2", "xapian"}}};
    form.caseSensitive = exact;  // filtered after matching, still cut at the limit
    const std::vector<Found> found = Search(form);
    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(found[0].domain, "site");
    EXPECT_DOUBLE_EQ(found[0].score, 1.0);
    EXPECT_GT(found[1].score, 0.0);
    EXPECT_EQ(found[1].more, "true");
  }
  QueryForm stems{{{"river"}, {"fox"}}, "Or", {"docs"}};
  stems.stemming = true;
  EXPECT_EQ(Find(stems), Ids({"/docs/fox.html", "/docs/old/geese.txt"}));
  EXPECT_EQ(snapshot(), before);
}

// Statistics of a database omindex made: its documents measured by the wdf
// of their words and title words, the title's a fifth (the test measures
// them itself from the term lists), a term's counts in title and text, no
// digest.
TEST_F(OmindexTest, StatisticsMeasureWhatOmindexIndexed) {
  std::map<std::string, uint64_t> lengths;  // by url
  uint64_t total = 0;
  {
    Xapian::Database db(Database());
    for (Xapian::PostingIterator p = db.postlist_begin(""); p != db.postlist_end(""); ++p) {
      const Xapian::Document doc = db.get_document(*p);
      uint64_t length = 0;
      for (Xapian::TermIterator t = doc.termlist_begin(); t != doc.termlist_end(); ++t) {
        const std::string term = *t;
        // omindex gives each title word ("S") a wdf of 5.
        const bool title = term[0] == 'S';
        const std::string word = title ? term.substr(1) : term;
        if (!word.empty() && !(word[0] >= 'A' && word[0] <= 'Z')) length += title ? t.get_wdf() / 5 : t.get_wdf();
      }
      const std::string data = doc.get_data();
      lengths[data.substr(4, data.find('\n') - 4)] = length;
      total += length;
    }
  }
  // The folder's four documents, and the two the accents tests add.
  ASSERT_EQ(lengths.size(), 6u);
  EXPECT_EQ(lengths["/docs/fox.html"], 3u + 13u);  // "The Quick Fox", and 13 words of text
  char average[32];
  std::snprintf(average, sizeof average, "%.6g", total / 6.0);
  QueryForm form{{{"fox"}, {"river"}}, "Or", {}, {{"xapian", Database(), "", "", {{"statistics", "bm25"}}}}};
  form.stemming = true;
  std::map<std::string, std::string> hits;
  size_t entries = 0;
  for (const Found& f : Search(form)) {
    ASSERT_EQ(f.error, "");
    EXPECT_EQ(f.properties.count("digest"), 0u);
    if (f.properties.count("statistics")) {
      ++entries;
      EXPECT_EQ(f.properties.at("bm25-documents"), "6");
      EXPECT_EQ(f.properties.at("bm25-average-length"), average);
      EXPECT_EQ(f.properties.at("bm25-df"), "fox=2 river=3");
      continue;
    }
    EXPECT_EQ(f.properties.at("bm25-length"), std::to_string(lengths[f.id])) << f.id;
    hits[f.id] = f.properties.at("bm25-tf");
  }
  EXPECT_EQ(entries, 1u);
  // "fox" in the title and the text of one, the text of the other.
  EXPECT_EQ(hits, (std::map<std::string, std::string>{{"/docs/fox.html", "fox=2 river=1"},
                                                      {"/notes/Cars.html", "fox=1 river=0"},
                                                      {"/docs/old/geese.txt", "fox=0 river=1"},
                                                      {"/readme.txt", "fox=0 river=1"}}));
}

// A database neither omindex nor tessik's indexer made: searched by the
// usual prefixes, shown as text with its first line the title.
TEST(XapianEngine, SearchesOtherDatabasesAsText) {
  Watchdog watchdog(std::chrono::seconds(60), "searches");
  const fs::path db = TempPath("other");
  {
    Xapian::WritableDatabase writer(db.string(), Xapian::DB_CREATE_OR_OVERWRITE);
    Xapian::Document doc;
    doc.set_data("A heading\nThe words of the body.");
    doc.add_term("Sheading");
    doc.add_term("body");
    writer.add_document(doc);
    writer.commit();
  }
  Session session({PluginPath("xapian")});
  const std::vector<Found> found = session.Search({{{"heading"}, {"body"}}, "And", {}, {{"xapian", db.string()}}});
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(found[0].error, "");
  EXPECT_EQ(found[0].title, "A heading");
  EXPECT_EQ(found[0].properties.at("snippet"), "The words of the body.");
  // Its statistics: the title's and the text's terms.
  const std::vector<Found> counted =
      session.Search({{{"heading"}, {"body"}}, "And", {}, {{"xapian", db.string(), "", "", {{"statistics", "bm25"}}}}});
  fs::remove_all(db);
  ASSERT_EQ(counted.size(), 2u);
  EXPECT_EQ(counted[0].properties.at("bm25-df"), "body=1 heading=1");
  EXPECT_EQ(counted[0].properties.at("bm25-average-length"), "2");
  EXPECT_EQ(counted[1].properties.at("bm25-length"), "2");
  EXPECT_EQ(counted[1].properties.at("bm25-tf"), "body=1 heading=1");
}

// A database of tessik's layout without the format an index of the
// normalised words carries: an older tessik-index-xapian's, refused with
// what to do.
TEST(XapianEngine, AnOlderIndexersDatabaseIsRefused) {
  Watchdog watchdog(std::chrono::seconds(60), "searches");
  const fs::path db = TempPath("older");
  {
    Xapian::WritableDatabase writer(db.string(), Xapian::DB_CREATE_OR_OVERWRITE);
    Xapian::Document doc;
    doc.set_data("d1\tc\tFox\tA fox.");
    doc.add_term("fox");
    writer.add_document(doc);
    writer.commit();
  }
  Session session({PluginPath("xapian")});
  const std::vector<Found> found = session.Search({{{"fox"}}, "And", {}, {{"xapian", db.string()}}});
  fs::remove_all(db);
  ASSERT_EQ(found.size(), 1u);
  EXPECT_NE(found[0].error.find("another version of tessik-index-xapian"), std::string::npos) << found[0].error;
  EXPECT_NE(found[0].error.find("rebuild it with tessik-index-xapian"), std::string::npos) << found[0].error;
}

// tessik-format 2 was written by two versions of tessik-index-xapian, one
// with lengths and digests and one with the normalised words: neither is
// searched.
TEST(XapianEngine, AFormatTwoDatabaseIsRefused) {
  Watchdog watchdog(std::chrono::seconds(60), "searches");
  const fs::path db = TempPath("format2");
  {
    Xapian::WritableDatabase writer(db.string(), Xapian::DB_CREATE_OR_OVERWRITE);
    Xapian::Document doc;
    doc.set_data("d1\tc\tFox\tA fox.");
    doc.add_term("fox");
    doc.add_value(0, "2");
    doc.add_value(1, "0123456789abcdef");
    writer.add_document(doc);
    writer.set_metadata("tessik-format", "2");
    writer.set_metadata("tessik-length-total", "2");
    writer.commit();
  }
  Session session({PluginPath("xapian")});
  const std::vector<Found> found = session.Search({{{"fox"}}, "And", {}, {{"xapian", db.string()}}});
  fs::remove_all(db);
  ASSERT_EQ(found.size(), 1u);
  EXPECT_NE(found[0].error.find("another version of tessik-index-xapian (format 3 is needed)"), std::string::npos)
      << found[0].error;
}

}  // namespace
