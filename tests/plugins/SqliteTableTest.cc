// The SQLite plugin over FTS5 tables of a database it did not make, named by
// a source with the columns that are what; and the check the tessik command
// makes of such a source.
#include <sqlite3.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <random>
#include <set>
#include <stdexcept>

#include "sqlite/Table.h"
#include "tests/common/Watchdog.h"
#include "tests/plugins/PluginHost.h"

using namespace plugin_test;
namespace fs = std::filesystem;
namespace table = tessik_plugins::sqlite_table;

namespace {

using Ids = std::set<std::string>;

std::string TempPath(const char* what) {
  return (fs::path(testing::TempDir()) / ("tessik-" + std::string(what) + "-" + std::to_string(std::random_device{}())))
      .string();
}

void Execute(const std::string& path, const char* sql) {
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
  EXPECT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
  sqlite3_close(db);
}

// "fox" in p1's heading and thrice in its short body, in p4's heading, once
// far into p2's long body; "saturn" only in p3's second text column; "owl"
// in p6's heading and p5's text, rows of as many words.
constexpr const char* kPages = R"(
CREATE VIRTUAL TABLE pages USING fts5(ref UNINDEXED, heading, body, notes, link UNINDEXED, section UNINDEXED);
INSERT INTO pages VALUES('p1', 'Fox facts', 'The fox is a small wild dog. A fox hunts at night; the fox sleeps by day.',
                         '', 'https://example.org/fox', 'Animals');
INSERT INTO pages VALUES('p2', 'Garden notes', 'Roses need sun and water every morning, tulips want cool nights, and ' ||
                         'the weeds grow whatever anyone does about them, all through the long wet summer months. ' ||
                         'Once a fox crossed the garden at dawn.', '', 'https://example.org/garden', 'Plants');
INSERT INTO pages VALUES('p3', 'Night sky', 'Stars and planets fill the night sky.', 'Look for Saturn.', '', 'Space');
INSERT INTO pages VALUES('p4', 'Fox and hound', 'An old story of friendship.', '', '', 'Animals');
INSERT INTO pages VALUES('p5', 'Woods walk', 'An owl called out.', '', '', 'Birds');
INSERT INTO pages VALUES('p6', 'Owl sighting', 'Something called out once.', '', '', 'Birds');
CREATE VIRTUAL TABLE stemmed USING fts5(title, body, tokenize = "porter unicode61");
INSERT INTO stemmed VALUES('Hunting', 'The fox hunts at night.');
INSERT INTO stemmed VALUES('Hunt', 'A hunt in the rain.');
CREATE TABLE visits(day TEXT, count INTEGER);
)";

class SqliteTableTest : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    path_ = new std::string(TempPath("pages") + ".sqlite");
    Execute(*path_, kPages);
  }
  static void TearDownTestSuite() {
    fs::remove(*path_);
    delete path_;
  }

  // A source over `name`; the pages table with every column named.
  static QueryForm::Domain Source(const char* name, std::string limit = "") {
    if (std::string(name) != "pages") return {"wiki", *path_, limit, "sqlite", {{"table", name}}};
    return {"wiki",
            *path_,
            limit,
            "sqlite",
            {{"table", "pages"},
             {"title-column", "heading"},
             {"text-columns", "body\nnotes"},
             {"id-column", "ref"},
             {"url-column", "link"},
             {"category-column", "section"}}};
  }
  std::vector<Found> Search(QueryForm form, const char* name = "pages") {
    form.domains = {Source(name)};
    return session_.Search(form);
  }
  Ids Find(QueryForm form, const char* name = "pages") {
    Ids ids;
    for (const Found& f : Search(std::move(form), name)) ids.insert(f.error.empty() ? f.id : "error: " + f.error);
    return ids;
  }

  static std::string* path_;
  Watchdog watchdog_{std::chrono::seconds(60), "searches"};
  Session session_{{std::string(TESSIK_PLUGIN_DIR) + "/sqlite" + TESSIK_PLUGIN_SUFFIX}};
};

std::string* SqliteTableTest::path_ = nullptr;

TEST_F(SqliteTableTest, RanksAndShowsThePassageMatched) {
  const std::vector<Found> fox = Search({{{"fox"}}});
  ASSERT_EQ(plugin_test::Ids(fox), std::vector<std::string>({"p1", "p4", "p2"}));
  EXPECT_DOUBLE_EQ(fox[0].score, 1.0);
  EXPECT_GT(fox[1].score, fox[2].score);
  EXPECT_GT(fox[2].score, 0.0);
  EXPECT_EQ(fox[0].domain, "wiki");
  EXPECT_EQ(fox[2].title, "Garden notes");
  EXPECT_EQ(fox[2].properties.at("url"), "https://example.org/garden");
  EXPECT_EQ(fox[2].properties.at("category"), "Plants");
  // Past the start a plain snippet would show.
  EXPECT_NE(fox[2].properties.at("snippet").find("fox crossed the garden"), std::string::npos);
  // Matched in the title alone: the start of the text.
  EXPECT_EQ(fox[1].properties.at("snippet"), "An old story of friendship.");
  EXPECT_EQ(fox[1].properties.count("url"), 0u);  // its link is empty
  // The title counts twice.
  EXPECT_EQ(plugin_test::Ids(Search({{{"owl"}}})), std::vector<std::string>({"p6", "p5"}));

  const std::vector<Found> saturn = Search({{{"saturn"}}});
  ASSERT_EQ(saturn.size(), 1u);
  EXPECT_EQ(saturn[0].properties.at("snippet"), "Look for Saturn.");
}

TEST_F(SqliteTableTest, FieldsCategoriesOperatorsAndCase) {
  EXPECT_EQ(Find({{{"night", {"title"}}}}), Ids({"p3"}));
  EXPECT_EQ(Find({{{"night", {"text"}}}}), Ids({"p1", "p3"}));
  EXPECT_EQ(Find({{{"saturn", {"body"}}}}), Ids({"p3"}));
  EXPECT_EQ(Find({{{"fox"}}, "And", {"animals"}}), Ids({"p1", "p4"}));
  EXPECT_EQ(Find({{{"fox"}}, "And", {"PLANTS", "space"}}), Ids({"p2"}));
  EXPECT_EQ(Find({{{"fox"}, {"garden"}}}), Ids({"p2"}));
  EXPECT_EQ(Find({{{"saturn"}, {"roses"}}, "Or"}), Ids({"p2", "p3"}));
  EXPECT_EQ(Find({{{"hound"}}, "Not", {"Animals"}}), Ids({"p1"}));
  EXPECT_EQ(Find({{{"fox"}, {"night", {"not"}}}}), Ids({"p2", "p4"}));
  QueryForm exact{{{"Fox"}}};
  exact.caseSensitive = true;
  EXPECT_EQ(Find(exact), Ids({"p1", "p4"}));
  exact.words = {{"fox"}};
  EXPECT_EQ(Find(exact), Ids({"p1", "p2"}));
}

// Stems come from the table's tokenizer, for the query too.
TEST_F(SqliteTableTest, StemsFollowTheTokenizer) {
  QueryForm form{{{"hunting"}}};
  form.stemming = true;
  EXPECT_EQ(Find(form), Ids());
  EXPECT_EQ(Find(form, "stemmed"), Ids({"1", "2"}));  // row numbers: no id column
  form.stemming = false;
  EXPECT_EQ(Find(form, "stemmed"), Ids({"1"}));
  form.words = {{"hunt", {"title"}}};
  EXPECT_EQ(Find(form, "stemmed"), Ids({"2"}));
}

TEST_F(SqliteTableTest, LimitsCutAndTheFileIsNotWritten) {
  auto bytes = [&] {
    std::ifstream in(*path_, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  };
  const std::string before = bytes();
  const fs::file_time_type time = fs::last_write_time(*path_);
  for (const char* limit : {"2", "3"}) {
    const std::vector<Found> found = session_.Search({{{"fox"}}, "Or", {}, {Source("pages", limit)}});
    ASSERT_EQ(found.size(), std::stoul(limit));
    EXPECT_EQ(found.front().more, "");
    EXPECT_EQ(found.back().more, std::string(limit) == "2" ? "true" : "");
  }
  const std::vector<Found> missing = Search({{{"fox"}}}, "nope");
  ASSERT_EQ(missing.size(), 1u);
  EXPECT_EQ(missing[0].status, std::to_string(TESSIK_E_FAILED));
  EXPECT_EQ(bytes(), before);
  EXPECT_EQ(fs::last_write_time(*path_), time);
  EXPECT_FALSE(fs::exists(*path_ + "-journal"));
}

// Statistics over a table of someone else's: the title and text columns
// make up a row's length (counted by hand: 19, 37, 12, 8, 6 and 6 tokens
// of heading, body and notes), no digest; a search that keeps rows by their
// words counts those words.
TEST_F(SqliteTableTest, StatisticsCountTheTitleAndTextColumns) {
  struct Counted {
    std::map<std::string, std::string> entry;
    std::map<std::string, std::string> hits;  // id: "length tf"
  };
  auto count = [&](QueryForm form, const char* name = "pages") {
    QueryForm::Domain source = Source(name);
    source.others.emplace_back("statistics", "bm25");
    form.domains = {source};
    Counted counted;
    for (const Found& f : session_.Search(form)) {
      EXPECT_TRUE(f.error.empty()) << f.error;
      EXPECT_EQ(f.properties.count("digest"), 0u);
      if (f.properties.count("statistics")) {
        counted.entry = f.properties;
        counted.entry.erase("statistics");
      } else {
        counted.hits[f.id] = f.properties.at("bm25-length") + " " + f.properties.at("bm25-tf");
      }
    }
    return counted;
  };
  using Map = std::map<std::string, std::string>;
  auto entry = [](const char* documents, const char* average, const char* df) {
    return Map{{"bm25-documents", documents}, {"bm25-average-length", average}, {"bm25-df", df}};
  };
  Counted c = count({{{"fox"}}});
  EXPECT_EQ(c.entry, entry("6", "14.6667", "fox=3"));
  EXPECT_EQ(c.hits, (Map{{"p1", "19 fox=4"}, {"p2", "37 fox=1"}, {"p4", "8 fox=1"}}));
  c = count({{{"fox", {"title"}}}});
  EXPECT_EQ(c.entry, entry("6", "14.6667", "fox=2"));
  EXPECT_EQ(c.hits, (Map{{"p1", "19 fox=1"}, {"p4", "8 fox=1"}}));
  QueryForm exact{{{"Fox"}}};
  exact.caseSensitive = true;
  c = count(exact);
  EXPECT_EQ(c.entry, entry("6", "14.6667", "fox=2"));
  EXPECT_EQ(c.hits, (Map{{"p1", "19 fox=1"}, {"p4", "8 fox=1"}}));
  c = count({{{"saturn", {"body"}}, {"sky"}}});
  EXPECT_EQ(c.entry, entry("6", "14.6667", "saturn=1 sky=1"));
  EXPECT_EQ(c.hits, (Map{{"p3", "12 saturn=1 sky=2"}}));
  // Nothing ranked: the lengths, counted by the table's tokenizer.
  c = count({{}, "And", {"birds"}});
  EXPECT_EQ(c.entry, entry("6", "14.6667", ""));
  EXPECT_EQ(c.hits, (Map{{"p5", "6 "}, {"p6", "6 "}}));
  // A porter table: without stems asked, the word itself; with them, its stems.
  QueryForm hunting{{{"hunting"}}};
  c = count(hunting, "stemmed");
  EXPECT_EQ(c.entry, entry("2", "6", "hunting=1"));
  EXPECT_EQ(c.hits, (Map{{"1", "6 hunting=1"}}));
  hunting.stemming = true;
  c = count(hunting, "stemmed");
  EXPECT_EQ(c.entry, entry("2", "6", "hunting=2"));
  EXPECT_EQ(c.hits, (Map{{"1", "6 hunting=2"}, {"2", "6 hunting=2"}}));
  // A title word over a table without titles has no documents.
  Execute(*path_ + "-lines", "CREATE VIRTUAL TABLE lines USING fts5(line); INSERT INTO lines VALUES('a fox here');");
  QueryForm::Domain lines{"lines", *path_ + "-lines", "", "sqlite", {{"table", "lines"}, {"statistics", "bm25"}}};
  std::vector<Found> found = session_.Search({{{"fox", {"title"}}}, "And", {}, {lines}});
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(found[0].properties.at("bm25-df"), "fox=0");
  EXPECT_EQ(found[0].properties.at("bm25-average-length"), "3");
  found = session_.Search({{{"fox"}}, "And", {}, {lines}});
  ASSERT_EQ(found.size(), 2u);
  EXPECT_EQ(found[1].properties.at("bm25-tf"), "fox=1");
  fs::remove(*path_ + "-lines");
}

// A database of tessik-index-sqlite's layout but of another version (the
// first ones had no digests): the plugin says to rebuild it.
TEST_F(SqliteTableTest, AnOlderOwnDatabaseIsReported) {
  const std::string old = TempPath("older") + ".sqlite";
  Execute(old,
          "CREATE TABLE docs(rowid INTEGER PRIMARY KEY, id TEXT UNIQUE NOT NULL, category TEXT NOT NULL,"
          " title TEXT NOT NULL, body TEXT NOT NULL);"
          "CREATE VIRTUAL TABLE plain USING fts5(title, body, content='docs', content_rowid='rowid');"
          "INSERT INTO docs VALUES(1, 'd1', 'c', 'A fox', 'The fox.');"
          "INSERT INTO plain(plain) VALUES('rebuild');");
  const std::vector<Found> found = session_.Search({{{"fox"}}, "And", {}, {{"sqlite", old}}});
  fs::remove(old);
  ASSERT_EQ(found.size(), 1u);
  EXPECT_NE(found[0].error.find("rebuild it with tessik-index-sqlite"), std::string::npos) << found[0].error;
}

table::Columns Named(std::string t, std::string title = "", std::vector<std::string> text = {}, std::string id = "",
                     std::string url = "", std::string category = "") {
  table::Columns c;
  c.table = std::move(t), c.title = std::move(title), c.text = std::move(text);
  c.id = std::move(id), c.url = std::move(url), c.category = std::move(category);
  return c;
}

std::string CheckError(const std::string& path, table::Columns wanted) {
  try {
    table::Check(path, std::move(wanted));
  } catch (const std::runtime_error& e) {
    return e.what();
  }
  return "accepted";
}

TEST_F(SqliteTableTest, CheckNamesWhatTheFileHolds) {
  EXPECT_EQ(CheckError(*path_, Named("nope")),
            *path_ + " has no table named nope (the tables it has: pages, stemmed, visits)");
  EXPECT_EQ(CheckError(*path_, Named("visits")), "visits is not an FTS5 table (the FTS5 tables: pages, stemmed)");
  EXPECT_EQ(CheckError(*path_, Named("pages", "", {"body", "bogus"})),
            "no column bogus in pages (its columns: ref, heading, body, notes, link, section)");
  EXPECT_EQ(CheckError(*path_, table::Columns()),
            *path_ + " has several FTS5 tables and none was named (pages, stemmed)");
  const std::string text = TempPath("text");
  { std::ofstream(text) << "Just some words, not a database at all.\n"; }
  EXPECT_FALSE(table::IsSqliteFile(text));
  EXPECT_TRUE(table::IsSqliteFile(*path_));
  EXPECT_EQ(CheckError(text, table::Columns()), text + " is not an SQLite file");
  fs::remove(text);

  // Names match without case and come back as the file spells them.
  const table::Columns pages = table::Check(*path_, Named("PAGES", "Heading", {}, "REF", "link", "section"));
  EXPECT_EQ(pages.table, "pages");
  EXPECT_EQ(pages.title, "heading");
  EXPECT_EQ(pages.id, "ref");
  EXPECT_EQ(pages.text, std::vector<std::string>({"body", "notes"}));
  // One FTS5 table is the one; "title" is the title, the rest the text.
  const std::string single = TempPath("single");
  Execute(single, "CREATE VIRTUAL TABLE articles USING fts5(Title, body, url); CREATE TABLE visits(day);");
  const table::Columns guessed = table::Check(single, table::Columns());
  EXPECT_EQ(guessed.table, "articles");
  EXPECT_EQ(guessed.title, "Title");
  EXPECT_EQ(guessed.text, std::vector<std::string>({"body", "url"}));
  EXPECT_EQ(table::Check(single, Named("", "", {}, "", "URL")).text, std::vector<std::string>({"body"}));
  fs::remove(single);
  // No "title" column: the first is the title, the rest the text; a single
  // column is the text alone.
  Execute(single, "CREATE VIRTUAL TABLE notes USING fts5(heading, content, tags);");
  const table::Columns first = table::Check(single, table::Columns());
  EXPECT_EQ(first.title, "heading");
  EXPECT_EQ(first.text, std::vector<std::string>({"content", "tags"}));
  fs::remove(single);
  Execute(single, "CREATE VIRTUAL TABLE lines USING fts5(line);");
  const table::Columns one = table::Check(single, table::Columns());
  EXPECT_EQ(one.title, "");
  EXPECT_EQ(one.text, std::vector<std::string>({"line"}));
  fs::remove(single);
}

}  // namespace
