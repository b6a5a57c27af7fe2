// The merged ranking: scores made comparable across sources, duplicates
// made one, the best N kept as hits arrive. Expected orders are written by
// hand from the collections below.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "search/Ranking.h"
#include "search/Results.h"

namespace tessik_cli {
namespace {

Row Hit(const std::string& domain, const std::string& id, double score,
        std::vector<std::pair<std::string, std::string>> properties = {}) {
  Row row;
  row.domain = domain;
  row.id = id;
  row.title = id;
  row.score = score;
  row.properties = std::move(properties);
  return row;
}

Row Stats(const std::string& domain, const std::string& documents, const std::string& average, const std::string& df) {
  return Hit(domain, "", 0,
             {{"statistics", "bm25"}, {"bm25-documents", documents}, {"bm25-average-length", average}, {"bm25-df", df}});
}

Row Scored(const std::string& domain, const std::string& id, double score, const std::string& length,
           const std::string& tf) {
  return Hit(domain, id, score, {{"bm25-length", length}, {"bm25-tf", tf}, {"plugin", domain}});
}

std::vector<std::string> Order(Ranker& ranker) {
  std::vector<std::string> order;
  for (const Ranked& r : ranker.Best()) order.push_back(r.row.domain + "/" + r.row.id);
  return order;
}

using Names = std::vector<std::string>;

TEST(Ranking, OneSourceScoresAsBm25ByHand) {
  Ranker ranker(Merge::kStats, std::nullopt);
  ranker.AddStatistics(Stats("a", "10", "10", "w=2"));
  ranker.AddHit(Scored("a", "1", 1, "5", "w=2"));
  // idf = ln(1 + 8.5 / 2.5) = ln 4.4; length norm 1.2 * (0.25 + 0.75 * 0.5) = 0.75;
  // tf part 2 * 2.2 / 2.75 = 1.6.
  const std::vector<Ranked> best = ranker.Best();
  ASSERT_EQ(best.size(), 1u);
  EXPECT_NEAR(best[0].row.score, std::log(4.4) * 1.6, 1e-9);
  // The merge's inputs and which plugin answered are not shown as the
  // document's properties.
  EXPECT_TRUE(best[0].row.properties.empty());
}

// "common" is in half of the big source, "rare" in one document of the
// small one. Each source's best hit is 1 on its own scale, so the big
// source's hit wins on name order; over both sources' statistics the
// small source's document holds the far rarer word and comes first.
TEST(Ranking, GlobalStatisticsRankARareWordAboveACommonOne) {
  const auto feed = [](Ranker& ranker) {
    ranker.AddStatistics(Stats("big", "1000", "10", "common=500 rare=0"));
    ranker.AddStatistics(Stats("small", "10", "10", "common=0 rare=1"));
    ranker.AddHit(Scored("big", "b1", 1, "10", "common=3"));
    ranker.AddHit(Scored("big", "b2", 0.5, "10", "common=1"));
    ranker.AddHit(Scored("small", "s1", 1, "10", "rare=1"));
  };
  Ranker stats(Merge::kStats, std::nullopt), plugin(Merge::kPlugin, std::nullopt),
      minmax(Merge::kMinMax, std::nullopt), rrf(Merge::kRrf, std::nullopt);
  for (Ranker* r : {&stats, &plugin, &minmax, &rrf}) feed(*r);
  EXPECT_EQ(Order(stats), (Names{"small/s1", "big/b1", "big/b2"}));
  EXPECT_EQ(Order(plugin), (Names{"big/b1", "small/s1", "big/b2"}));
  EXPECT_EQ(Order(minmax), (Names{"big/b1", "small/s1", "big/b2"}));
  EXPECT_EQ(Order(rrf), (Names{"big/b1", "small/s1", "big/b2"}));
  EXPECT_TRUE(stats.Fused().empty());
}

TEST(Ranking, EqualScoresFollowSourceRankThenDomainThenId) {
  Ranker ranker(Merge::kPlugin, std::nullopt);
  ranker.AddHit(Hit("b", "x", 0.5, {{"source-rank", "2"}}));
  ranker.AddHit(Hit("b", "y", 0.5, {{"source-rank", "1"}}));
  ranker.AddHit(Hit("a", "z", 0.5, {{"source-rank", "2"}}));
  ranker.AddHit(Hit("a", "q", 0.5, {{"source-rank", "2"}}));
  ranker.AddHit(Hit("c", "n", std::nan(""), {}));
  ranker.AddHit(Hit("c", "t", 0.7, {}));
  EXPECT_EQ(Order(ranker), (Names{"c/t", "b/y", "a/q", "a/z", "b/x", "c/n"}));
}

TEST(Ranking, OneDocumentFromTwoSourcesIsShownOnceWithBoth) {
  Ranker ranker(Merge::kPlugin, std::nullopt);
  ranker.AddHit(Hit("notes", "a.txt", 0.4, {{"path", "/home/u/notes/a.txt"}}));
  ranker.AddHit(Hit("home", "notes/a.txt", 0.9, {{"path", "/home/u/notes/a.txt"}}));
  ranker.AddHit(Hit("notes", "b.txt", 0.6, {{"path", "/home/u/notes/b.txt"}}));
  // One quotation filed under two categories: other ids, one text.
  ranker.AddHit(Hit("quotes", "linux/00033", 0.5, {{"digest", "00ff"}}));
  ranker.AddHit(Hit("quotes", "linuxcookie/00018", 0.3, {{"digest", "00ff"}}));
  // Two copies of one plugin: every id twice.
  ranker.AddHit(Hit("glosses", "g1", 0.2));
  ranker.AddHit(Hit("glosses", "g1", 0.2));
  const std::vector<Ranked> best = ranker.Best();
  ASSERT_EQ(best.size(), 4u);
  EXPECT_EQ(best[0].row.domain, "home");  // the best copy's source
  ASSERT_EQ(best[0].sources.size(), 2u);
  EXPECT_EQ(best[0].sources[1].first, "notes");
  EXPECT_DOUBLE_EQ(best[0].row.score, 0.9);  // never lowered by the weaker copy
  EXPECT_EQ(best[1].row.id, "b.txt");
  EXPECT_EQ(best[2].row.id, "linux/00033");
  EXPECT_EQ(best[3].row.id, "g1");
}

// Two engines over one fixture score a document the same: which copy is
// shown must not depend on which engine answered first.
TEST(Ranking, EqualCopiesShowTheSameSourceWhicheverCameFirst) {
  for (const bool aFirst : {true, false}) {
    Ranker ranker(Merge::kPlugin, std::nullopt);
    const Row a = Hit("a", "d1", 0.5, {{"digest", "1"}}), b = Hit("b", "d1", 0.5, {{"digest", "1"}});
    ranker.AddHit(aFirst ? a : b);
    ranker.AddHit(aFirst ? b : a);
    const std::vector<Ranked> best = ranker.Best();
    ASSERT_EQ(best.size(), 1u);
    EXPECT_EQ(best[0].row.domain, "a");
    EXPECT_EQ(best[0].sources, (std::vector<std::pair<std::string, size_t>>{{"a", 1}, {"b", 1}}));
  }
}

// Enough documents that the table of keys grows several times; each found
// again by a second source, in the other order, must meet its first copy.
TEST(Ranking, ManyDocumentsFoundTwiceAreEachOne) {
  Ranker ranker(Merge::kPlugin, std::nullopt);
  constexpr int kDocs = 1000;
  for (int i = 0; i < kDocs; ++i)
    ranker.AddHit(Hit("a", std::to_string(i), 0.5, {{"path", "/d/" + std::to_string(i)}}));
  for (int i = kDocs - 1; i >= 0; --i)
    ranker.AddHit(Hit("b", "x" + std::to_string(i), 0.25, {{"path", "/d/" + std::to_string(i)}}));
  const std::vector<Ranked> best = ranker.Best();
  ASSERT_EQ(best.size(), static_cast<size_t>(kDocs));
  for (const Ranked& r : best) {
    EXPECT_EQ(r.row.domain, "a");
    ASSERT_EQ(r.sources.size(), 2u) << r.row.id;
    EXPECT_EQ(r.sources[1].first, "b");
  }
}

TEST(Ranking, FoundTwiceNeverRanksLowerUnderRankFusion) {
  Ranker ranker(Merge::kRrf, std::nullopt);
  ranker.AddHit(Hit("a", "1", 1, {{"url", "u1"}}));
  ranker.AddHit(Hit("b", "2", 1, {{"url", "u2"}}));
  ranker.AddHit(Hit("b", "3", 0.5, {{"url", "u1"}}));
  // u1: 1/61 + 1/62 beats u2's 1/61.
  EXPECT_EQ(Order(ranker), (Names{"a/1", "b/2"}));
}

// Statistics that are no counts, come after the hits, or leave some hits
// out: the source falls back to rank fusion with the stats-scored list.
TEST(Ranking, StatisticsThatMakeNoSenseFallBackToRankFusion) {
  const std::vector<Row> bad = {Stats("bad", "nan", "10", "w=1"), Stats("bad", "-5", "10", "w=1"),
                                Stats("bad", "10", "10", "w=-1"), Stats("bad", "10", "10", "w=11"),
                                Stats("bad", "1e300", "10", "w=1"), Stats("bad", "10", "inf", "w=1"),
                                Stats("bad", "10", "10", "w")};
  for (const Row& entry : bad) {
    Ranker ranker(Merge::kStats, std::nullopt);
    ranker.AddStatistics(Stats("good", "100", "10", "w=10"));
    ranker.AddStatistics(entry);
    ranker.AddHit(Scored("good", "g1", 1, "10", "w=2"));
    ranker.AddHit(Scored("good", "g2", 0.5, "10", "w=1"));
    ranker.AddHit(Scored("bad", "b1", 1, "10", "w=1e308"));
    ranker.AddHit(Scored("bad", "b2", 0.5, "10", "w=1"));
    // Rank 1 in each list ties at 1/61; the domain breaks the tie.
    EXPECT_EQ(Order(ranker), (Names{"bad/b1", "good/g1", "bad/b2", "good/g2"})) << entry.properties[1].second;
    EXPECT_EQ(ranker.Fused(), Names{"bad"});
  }
  Ranker missing(Merge::kStats, std::nullopt);
  missing.AddStatistics(Stats("good", "100", "10", "w=10"));
  missing.AddStatistics(Stats("holey", "100", "10", "w=10"));
  missing.AddHit(Scored("holey", "h1", 1, "10", "w=1"));
  missing.AddHit(Hit("holey", "h2", 0.5));  // no statistics of its own
  missing.AddHit(Scored("good", "g1", 1, "10", "w=1"));
  EXPECT_EQ(missing.Fused(), Names{"holey"});
  EXPECT_EQ(Order(missing), (Names{"good/g1", "holey/h1", "holey/h2"}));

  Ranker late(Merge::kStats, std::nullopt);
  late.AddHit(Scored("slow", "s1", 1, "10", "w=1"));
  late.AddStatistics(Stats("slow", "100", "10", "w=10"));
  EXPECT_EQ(late.Fused(), Names{"slow"});
  EXPECT_EQ(Order(late), Names{"slow/s1"});
}

// A limit keeps the best N of everything, whether the hits come in one
// piece or in batches with a source's statistics in between.
TEST(Ranking, TheBestNAreTheSameHoweverTheHitsArrive) {
  std::mt19937 random(7);
  std::vector<std::vector<Row>> sources(4);
  for (size_t s = 0; s < sources.size(); ++s) {
    const std::string domain = "s" + std::to_string(s);
    sources[s].push_back(Stats(domain, std::to_string(1000 * (s + 1)), "20", "x=" + std::to_string(100 * (s + 1)) +
                                                                             " y=" + std::to_string(10 * (s + 1))));
    for (int i = 0; i < 300; ++i) {
      const std::string tf = "x=" + std::to_string(random() % 5) + " y=" + std::to_string(random() % 3);
      sources[s].push_back(Scored(domain, std::to_string(i), 1.0 / (i + 1), std::to_string(5 + random() % 40), tf));
    }
  }
  for (const Merge merge : {Merge::kStats, Merge::kRrf, Merge::kMinMax, Merge::kPlugin}) {
    Ranker whole(merge, std::nullopt), best(merge, 25);
    // All at once, source after source; then interleaved in batches of 7.
    for (const auto& source : sources) {
      whole.AddStatistics(source[0]);
      for (size_t i = 1; i < source.size(); ++i) whole.AddHit(source[i]);
    }
    for (size_t begin = 0; begin < 301; begin += 7) {
      for (const auto& source : sources) {
        for (size_t i = begin; i < std::min<size_t>(begin + 7, source.size()); ++i) {
          if (i == 0) {
            best.AddStatistics(source[i]);
          } else {
            best.AddHit(source[i]);
          }
        }
      }
      if (begin % 70 == 0) best.Best();  // asked for while it runs
    }
    Names first = Order(whole);
    first.resize(25);
    EXPECT_EQ(Order(best), first) << MergeName(merge);
  }
}

TEST(Ranking, ResultsDocumentsFeedStatisticsFirstAndCountEveryCopy) {
  Ranker ranker(Merge::kStats, std::nullopt);
  Results results(ranker);
  const char16_t document[] =
      u"<Results>"
      u"<Result norm_score=\"1\"><Property name=\"domain\">a</Property><Property name=\"id\">1</Property>"
      u"<Property name=\"bm25-length\">4</Property><Property name=\"bm25-tf\">w=1</Property></Result>"
      u"<Result norm_score=\"1\"><Property name=\"domain\">b</Property><Property name=\"id\">1</Property>"
      u"<Property name=\"digest\">d</Property><Property name=\"plugin\">b</Property></Result>"
      u"<Result norm_score=\"0.5\"><Property name=\"domain\">b</Property><Property name=\"id\">2</Property>"
      u"<Property name=\"digest\">d</Property><Property name=\"plugin\">b2</Property>"
      u"<Property name=\"more\">true</Property></Result>"
      u"<Result norm_score=\"0\"><Property name=\"domain\">c</Property><Property name=\"plugin\">c</Property>"
      u"<Property name=\"error\">down</Property><Property name=\"status\">-5</Property></Result>"
      u"<Result norm_score=\"0\"><Property name=\"domain\">a</Property><Property name=\"statistics\">bm25</Property>"
      u"<Property name=\"bm25-documents\">3</Property><Property name=\"bm25-average-length\">4</Property>"
      u"<Property name=\"bm25-df\">w=1</Property></Result>"
      u"</Results>";
  ASSERT_EQ(results.Add(reinterpret_cast<const TessikChar*>(document)), TESSIK_OK);
  EXPECT_EQ(results.PerDomain().at("a"), 1u);
  EXPECT_EQ(results.PerDomain().at("b"), 2u);  // two copies of one text, both returned by b
  EXPECT_EQ(results.PerDomain().count("c"), 0u);
  // Each hit for the plugin that returned it; none named: by domain alone.
  using Key = std::pair<std::string, std::string>;
  EXPECT_EQ(results.PerPlugin(), (std::map<Key, size_t>{{{"", "a"}, 1}, {{"b", "b"}, 1}, {{"b2", "b"}, 1}}));
  ASSERT_EQ(results.Failures().size(), 1u);
  EXPECT_EQ(results.Failures()[0].plugin, "c");
  EXPECT_EQ(results.Failures()[0].status, -5);
  EXPECT_EQ(results.Cut().count("b"), 1u);
  EXPECT_EQ(ranker.Fused(), Names{"b"});  // b gave no statistics; a did, after its hit in the text
  EXPECT_EQ(Order(ranker), (Names{"a/1", "b/1"}));
}

}  // namespace
}  // namespace tessik_cli
