// The ranking yardstick's measures and reference on cases worked out by hand.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <set>

#include "ranking/Collections.h"
#include "ranking/Command.h"
#include "ranking/Metrics.h"
#include "ranking/Queries.h"
#include "ranking/Reference.h"

using namespace tessik_ranking;
namespace fs = std::filesystem;

namespace {

// A folder for one test, removed after it.
class TempDir {
 public:
  TempDir() : path_(fs::temp_directory_path() / ("ranking_test_" + std::to_string(std::random_device()()))) {
    fs::create_directories(path_);
  }
  ~TempDir() { fs::remove_all(path_); }
  std::string operator/(const char* name) const { return (path_ / name).string(); }
  std::string Path() const { return path_.string(); }

 private:
  fs::path path_;
};

TEST(Metrics, Overlap) {
  EXPECT_DOUBLE_EQ(Overlap({"a", "b", "c", "d"}, {"b", "x", "d"}), 0.5);
  EXPECT_DOUBLE_EQ(Overlap({"a", "b"}, {"x", "y", "b", "z", "a"}), 1.0);  // a longer list: the union
  EXPECT_DOUBLE_EQ(Overlap({"a", "b"}, {}), 0.0);
}

TEST(Metrics, NdcgGradedByReferenceRank) {
  // Gains a 10, b 9, c 8. DCG of b, a, x: 9/1 + 10/log2(3); ideal 10 + 9/log2(3) + 8/2.
  EXPECT_NEAR(Ndcg({"a", "b", "c"}, {"b", "a", "x"}), 0.777976, 1e-6);
  EXPECT_DOUBLE_EQ(Ndcg({"a", "b", "c"}, {"a", "b", "c"}), 1.0);
  EXPECT_DOUBLE_EQ(Ndcg({"a", "b", "c"}, {"x", "y"}), 0.0);
  // Only the first 10 positions count.
  EXPECT_DOUBLE_EQ(Ndcg({"a"}, {"1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "a"}), 0.0);
}

TEST(Metrics, KendallTau) {
  const std::vector<Ranked> reference = {{"a", 4}, {"b", 3}, {"c", 2}, {"d", 1}};
  // One of six pairs swapped: (5 - 1) / 6.
  EXPECT_NEAR(*KendallTau(reference, {{"a", 9}, {"c", 8}, {"b", 7}, {"d", 6}}), 4.0 / 6, 1e-12);
  EXPECT_DOUBLE_EQ(*KendallTau(reference, {{"d", 4}, {"c", 3}, {"b", 2}, {"a", 1}}), -1.0);
  // Documents only one list holds play no part: a and b, swapped.
  EXPECT_DOUBLE_EQ(*KendallTau({{"a", 2}, {"b", 1}, {"x", 0.5}}, {{"y", 3}, {"b", 2}, {"a", 1}}), -1.0);
}

TEST(Metrics, KendallTauTiesAndTooFew) {
  // a and b tie in the reference; both other pairs agree: tau-b = 2 / sqrt(2 * 3).
  EXPECT_NEAR(*KendallTau({{"a", 3}, {"b", 3}, {"c", 1}}, {{"a", 1}, {"b", 0.5}, {"c", 0.2}}), 0.816497, 1e-6);
  EXPECT_FALSE(KendallTau({{"a", 1}, {"b", 0.5}}, {{"x", 1}, {"y", 0.5}}));  // disjoint
  EXPECT_FALSE(KendallTau({{"a", 1}, {"b", 0.5}}, {{"b", 1}, {"z", 0.5}}));  // one shared
  EXPECT_FALSE(KendallTau({{"a", 1}, {"b", 0.5}}, {{"b", 1}, {"a", 1}}));    // every pair tied
}

TEST(Metrics, CompareCountsTheFirstTenOnly) {
  std::vector<Ranked> reference, list;
  for (int i = 0; i < 10; ++i) reference.push_back({"r" + std::to_string(i), 10.0 - i});
  for (int i = 0; i < 10; ++i) list.push_back({"x" + std::to_string(i), 20.0 - i});
  list.push_back({"r0", 5});  // the 11th: not shown, so no overlap
  list.push_back({"r1", 4});
  const QueryScores scores = Compare(reference, list);
  EXPECT_DOUBLE_EQ(scores.overlap, 0.0);
  EXPECT_DOUBLE_EQ(scores.ndcg, 0.0);
  EXPECT_FALSE(scores.tau);
}

TEST(Metrics, Median) {
  EXPECT_DOUBLE_EQ(Median({3, 1, 2, 10}), 2.5);
  EXPECT_DOUBLE_EQ(Median({5, 1, 3}), 3);
}

// N = 3 (b/9 is a/1's text again, in other case and punctuation), lengths
// 3, 4, 2, avglen 3.
std::vector<Document> ThreeDocuments() {
  return {{"a", "1", "Apple", "apple banana"},
          {"a", "2", "banana", "cherry banana banana"},
          {"a", "3", "cherry", "date"},
          {"b", "9", "APPLE", "apple; banana!"}};
}

TEST(Reference, Bm25ByHand) {
  TempDir dir;
  const Reference reference(dir / "db", ThreeDocuments());
  EXPECT_EQ(reference.Documents(), 3u);
  EXPECT_DOUBLE_EQ(reference.AverageLength(), 3.0);

  // idf(apple) = ln(1 + 2.5 / 1.5); tf 2, len 3: 2 * 2.2 / (2 + 1.2).
  std::vector<Ranked> hits = reference.Search({"apple"}, 10);
  ASSERT_EQ(hits.size(), 1u);
  EXPECT_EQ(hits[0].key, "a/1");
  EXPECT_NEAR(hits[0].score, 1.348640, 1e-6);

  // idf(banana) = ln(1.6); a/2: tf 3, len 4, 3 * 2.2 / (3 + 1.2 * (0.25 + 0.75 * 4 / 3)); a/1: tf 1, len 3.
  hits = reference.Search({"Banana"}, 10);
  ASSERT_EQ(hits.size(), 2u);
  EXPECT_EQ(hits[0].key, "a/2");
  EXPECT_NEAR(hits[0].score, 0.689339, 1e-6);
  EXPECT_EQ(hits[1].key, "a/1");
  EXPECT_NEAR(hits[1].score, 0.470004, 1e-6);
  bool more = false;
  EXPECT_EQ(reference.Search({"banana"}, 1, &more).size(), 1u);
  EXPECT_TRUE(more);
  reference.Search({"banana"}, 2, &more);
  EXPECT_FALSE(more);

  // Every word must match; the parts add up: cherry in a/2 is tf 1, len 4.
  hits = reference.Search({"banana", "cherry"}, 10);
  ASSERT_EQ(hits.size(), 1u);
  EXPECT_NEAR(hits[0].score, 1.102942, 1e-6);
  EXPECT_TRUE(reference.Search({"apple", "date"}, 10).empty());
}

TEST(Reference, OneTextUnderTwoKeys) {
  TempDir dir;
  const Reference reference(dir / "db", ThreeDocuments());
  EXPECT_EQ(reference.Canonical("b/9"), "a/1");
  EXPECT_EQ(reference.Canonical("a/1"), "a/1");
  EXPECT_EQ(reference.Canonical("c/unknown"), "c/unknown");
  EXPECT_FALSE(reference.Knows("c/unknown"));
  EXPECT_EQ(reference.Duplicates(), 1u);
  // The shared text counts as a document of both domains.
  EXPECT_TRUE(reference.Matches({"apple"}, "b"));
  EXPECT_FALSE(reference.Matches({"date"}, "b"));
  EXPECT_TRUE(reference.Matches({"date"}, "a"));
}

TEST(Reference, CanonicalListKeepsATextsFirstPlace) {
  TempDir dir;
  const Reference reference(dir / "db", ThreeDocuments());
  size_t unknown = 0;
  const std::vector<Ranked> list =
      reference.CanonicalList({{"a/2", 0.9}, {"b/9", 0.8}, {"z/1", 0.7}, {"a/1", 0.6}, {"a/3", 0.5}}, unknown);
  ASSERT_EQ(list.size(), 4u);
  EXPECT_EQ(list[1].key, "a/1");  // b/9's text, in b/9's place
  EXPECT_DOUBLE_EQ(list[1].score, 0.8);
  EXPECT_EQ(list[2].key, "z/1");
  EXPECT_EQ(list[3].key, "a/3");
  EXPECT_EQ(unknown, 1u);
}

void Write(const fs::path& path, const std::string& bytes) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << bytes;
}

TEST(Collections, AsTheIndexersReadThem) {
  TempDir dir;
  const fs::path sample = dir.Path();
  Write(sample / "text/glosses.tsv", "noun/1\tnoun.x\tfirst\tone\nno tabs\nnoun/1\tnoun.x\tsecond\ttwo\n");
  Write(sample / "text/manpages.tsv", "a(3)\tlib\tA one\tx\na(3)\tlib\tA two\ty\n\tlib\tno id\tz\n");
  Write(sample / "quotes/cat/00001.txt", "\n  Title line  \nrest of it\n");
  Write(sample / "quotes/cat/v1.2/name", "only a title");
  Write(sample / "quotes/top.md", "intro\n# Heading\nbody\n");
  Write(sample / "quotes/cat/.hidden.txt", "hidden");
  Write(sample / "quotes/.git/HEAD", "ref");
  Write(sample / "quotes/cat/binary.txt", std::string("a\0b", 3));
  std::map<std::string, Document> read;
  ReadSamples(sample.string(), [&](Document&& d) { read.emplace(d.Key(), std::move(d)); });

  std::vector<std::string> keys;
  for (const auto& [key, d] : read) keys.push_back(key);
  EXPECT_EQ(keys, (std::vector<std::string>{"glosses/noun/1", "manpages/a(3)", "quotes/cat/00001", "quotes/cat/v1.2/name",
                                            "quotes/top"}));
  EXPECT_EQ(read["glosses/noun/1"].title, "second");  // replaced by id
  EXPECT_EQ(read["manpages/a(3)"].title, "A one");    // the first of an id stays
  EXPECT_EQ(read["quotes/cat/00001"].title, "Title line");
  EXPECT_EQ(read["quotes/cat/00001"].text, "rest of it\n");
  EXPECT_EQ(read["quotes/cat/v1.2/name"].title, "only a title");
  EXPECT_EQ(read["quotes/top"].title, "Heading");  // Markdown: its first heading
  EXPECT_THROW(ReadSamples((sample / "missing").string(), [](Document&&) {}), std::runtime_error);
}

// A stand-in for the tessik command: its help names --source and --merge;
// a search prints one hit whose domain is its XDG_CONFIG_HOME and whose id
// is its command line, and behaves as its last word says.
constexpr const char kFakeCommand[] = R"(#!/bin/sh
if [ "$1" = help ]; then printf '  --source NAME\n  --merge METHOD\n'; exit 0; fi
for last; do :; done
case "$last" in
  refuse) exit 2 ;;
  garbage) echo 'not json'; exit 0 ;;
esac
code=0; error=''
if [ "$last" = fail ]; then code=1; error=', "error": "broken"'; fi
printf '{"query": "", "plugins": [{"name": "p", "domain": "d", "status": 0, "hits": 1, "more": false%s}], "hits": [{"rank": 1, "score": 0.5, "domain": "%s", "title": "", "snippet": "", "id": "%s", "properties": {}}]}' "$error" "$XDG_CONFIG_HOME" "$*"
exit $code
)";

TEST(Command, RunsAndReadsTheCommand) {
  TempDir dir;
  const std::string program = dir / "tessik";
  Write(program, kFakeCommand);
  fs::permissions(program, fs::perms::owner_all);
  const Command command(program, dir / "home");

  CommandRun run = command.Search({"--limit", "10"}, {"two", "words"});
  EXPECT_TRUE(run.Ok());
  ASSERT_EQ(run.hits.size(), 1u);
  EXPECT_EQ(run.hits[0].domain, dir / "home/config");  // never the user's own configuration
  EXPECT_EQ(run.hits[0].id, "search --limit 10 --format json -- two words");
  EXPECT_DOUBLE_EQ(run.hits[0].score, 0.5);

  run = command.Search({}, {"fail"});  // a plugin failed: its hits still count
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.hits.size(), 1u);
  EXPECT_EQ(run.error, "d: broken");
  EXPECT_TRUE(command.Search({}, {"refuse"}).Refused());
  run = command.Search({}, {"garbage"});
  EXPECT_FALSE(run.Ok());
  EXPECT_TRUE(run.hits.empty());
  EXPECT_EQ(Command(dir / "missing", dir / "home").Search({}, {"x"}).exitCode, -1);

  EXPECT_TRUE(command.Takes("--merge"));
  EXPECT_TRUE(command.Takes("--source"));
  EXPECT_FALSE(command.Takes("--source-limit"));
  EXPECT_FALSE(command.Takes("--sour"));
}

TEST(Queries, LemmasMatchingTwoCollections) {
  TempDir dir;
  const Reference reference(dir / "db", {{"a", "1", "apple banana date", ""}, {"b", "1", "banana", "apple"}});
  {
    std::ofstream noun(dir / "index.noun");
    noun << "  1 This software and database is being provided\n"
            "apple n 1 0\nbanana n 1 0\ndate n 1 0\napple_banana n 1 0\nx-ray n 1 0\n3d n 1 0\n"
            "banana_banana n 1 0\napple_banana_date n 1 0\n";
    for (const char* part : {"index.verb", "index.adj", "index.adv"}) std::ofstream(dir / part) << "apple v 1 0\n";
  }
  QuerySetOptions o;
  o.wordnetDir = dir.Path();
  o.domains = {"a", "b"};
  o.count = 10;
  std::vector<Query> queries = MakeQueries(o, reference);
  ASSERT_EQ(queries.size(), 3u);  // date is in one collection only
  EXPECT_EQ(std::set<Query>(queries.begin(), queries.begin() + 2), (std::set<Query>{{"apple"}, {"banana"}}));
  EXPECT_EQ(queries[2], (Query{"apple", "banana"}));
  EXPECT_EQ(MakeQueries(o, reference), queries);  // the same seed, the same order

  o.count = 2;  // half of them pairs
  queries = MakeQueries(o, reference);
  ASSERT_EQ(queries.size(), 2u);
  EXPECT_EQ(queries[1], (Query{"apple", "banana"}));

  WriteQueries(dir / "set.txt", queries, "made by\nthe test");
  EXPECT_EQ(ReadQueries(dir / "set.txt"), queries);
}

}  // namespace
