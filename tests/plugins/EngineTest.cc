// Each reference plugin over its engine, through the library, on the same
// fixture documents (fixture/docs.tsv): the same query must find the same
// documents whatever the engine.
#include <algorithm>
#include <cctype>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <fstream>
#include <mutex>
#include <random>
#include <set>

#include "tests/common/Watchdog.h"
#include "tests/plugins/PluginHost.h"

using namespace plugin_test;

namespace {

struct Engine {
  const char* domain;
  const char* data;   // the fixture in the engine's form
  const char* stats;  // the statistics' fixture (fixture/stats.tsv) in the engine's form
};

void PrintTo(const Engine& engine, std::ostream* out) { *out << engine.domain; }

std::string PluginPath(const char* domain) {
  return std::string(TESSIK_PLUGIN_DIR) + "/" + domain + TESSIK_PLUGIN_SUFFIX;
}

std::set<std::string> Set(const std::vector<Found>& found) {
  std::set<std::string> ids;
  for (const Found& f : found) {
    EXPECT_TRUE(f.error.empty()) << f.error;
    ids.insert(f.id);
  }
  return ids;
}

// The asynchronous search delivers what the synchronous one finds, each hit
// once, and ends once; an abort ends it too.
struct Delivery {
  std::mutex mu;
  std::condition_variable changed;
  std::vector<Found> hits;                    // guarded by mu
  std::vector<std::vector<Found>> documents;  // guarded by mu: the same, as they came
  int finals = 0;           // guarded by mu
  int32_t finalCode = 1;    // guarded by mu
};
Delivery* g_delivery = nullptr;

void Collect(uint32_t, int32_t code, TessikChar* text) {
  std::lock_guard<std::mutex> lock(g_delivery->mu);
  if (code == TESSIK_NOTIFY_RESULTS) {
    g_delivery->documents.push_back(Hits(text));
    for (Found& f : g_delivery->documents.back()) g_delivery->hits.push_back(f);
    Tessik_Release(text);
  } else {
    ++g_delivery->finals;
    g_delivery->finalCode = code;
    g_delivery->changed.notify_all();
  }
}

class EngineTest : public testing::TestWithParam<Engine> {
 protected:
  // The set of ids a query finds; the domain is named with the fixture as
  // its data.
  std::set<std::string> Find(QueryForm form) {
    form.domains.push_back({GetParam().domain, GetParam().data});
    return Set(session_.Search(form));
  }

  // What a search finds, synchronous or asynchronous (in arrival order;
  // `documents`, when given, receives them as they came).
  std::vector<Found> Search(const QueryForm& form, bool async, std::vector<std::vector<Found>>* documents = nullptr) {
    if (!async) return session_.Search(form);
    IQuery* query = nullptr;
    EXPECT_EQ(Tessik_ParseQueryFromXML(Wide(form.Xml()).c_str(), &query), TESSIK_OK);
    Delivery delivery;
    g_delivery = &delivery;
    EXPECT_EQ(Tessik_AsyncSearch(session_.id(), query, Collect, 0, 5), TESSIK_OK);
    std::unique_lock<std::mutex> lock(delivery.mu);
    delivery.changed.wait(lock, [&] { return delivery.finals > 0; });
    lock.unlock();
    EXPECT_EQ(Tessik_AbortAsyncSearch(session_.id()), TESSIK_OK);  // waits for the session's worker
    g_delivery = nullptr;
    Tessik_ReleaseQuery(query);
    if (documents != nullptr) *documents = delivery.documents;
    return delivery.hits;
  }

  // A search of the statistics' fixture, asking for statistics unless told
  // not to: the statistics entries and the hits apart.
  struct Counted {
    std::vector<Found> entries, hits;
    std::vector<std::vector<Found>> documents;  // asynchronous: as they came
  };
  Counted Count(QueryForm form, bool statistics = true, bool async = false) {
    std::vector<std::pair<std::string, std::string>> asked;
    if (statistics) asked.emplace_back("statistics", "bm25");
    form.domains = {{GetParam().domain, GetParam().stats, "", "", asked}};
    Counted counted;
    for (const Found& f : Search(form, async, &counted.documents)) {
      EXPECT_TRUE(f.error.empty()) << f.error;
      (f.properties.count("statistics") ? counted.entries : counted.hits).push_back(f);
    }
    return counted;
  }

  Session session_{{PluginPath(GetParam().domain)}};
};

using Ids = std::set<std::string>;

TEST_P(EngineTest, TermGroupsComposeAndExclude) {
  EXPECT_EQ(Find({{{"fox"}, {"dog"}}}), Ids({"animals/d01"}));
  QueryForm any{{{"fox"}, {"bicycle"}}};
  any.compose = "Or";
  EXPECT_EQ(Find(any), Ids({"animals/d01", "vehicles/d06"}));
  // "Not": none of the terms, within the categories.
  QueryForm none{{{"engine"}}};
  none.compose = "Not";
  none.categories = {"vehicles"};
  EXPECT_EQ(Find(none), Ids({"vehicles/d04"}));
  // The pseudo-field "not" leaves a term's documents out.
  EXPECT_EQ(Find({{{"bank"}, {"river", {"not"}}}}), Ids({"misc/d11"}));
  // A text of several words is several terms.
  EXPECT_EQ(Find({{{"lazy dog"}}}), Ids({"animals/d01"}));
  EXPECT_EQ(Find({{{"fox"}, {"nothing-like-this"}}}), Ids());
}

TEST_P(EngineTest, FieldsRestrictTerms) {
  EXPECT_EQ(Find({{{"car", {"title"}}}}), Ids({"vehicles/d04", "vehicles/d05"}));
  EXPECT_EQ(Find({{{"car", {"text"}}}}), Ids({"vehicles/d05"}));
  EXPECT_EQ(Find({{{"car", {"BODY"}}}}), Ids({"vehicles/d05"}));
  // An unknown field is ignored: the term is looked for everywhere.
  EXPECT_EQ(Find({{{"car", {"colour"}}}}), Ids({"vehicles/d04", "vehicles/d05"}));
}

TEST_P(EngineTest, StemsSynonymsAndCase) {
  QueryForm migrating{{{"migrating"}}};
  EXPECT_EQ(Find(migrating), Ids());
  migrating.stemming = true;
  EXPECT_EQ(Find(migrating), Ids({"animals/d03"}));

  QueryForm automobile{{{"automobile"}}};
  EXPECT_EQ(Find(automobile), Ids({"vehicles/d04"}));
  automobile.synonyms = true;  // "car" is one
  EXPECT_EQ(Find(automobile), Ids({"vehicles/d04", "vehicles/d05"}));

  QueryForm apple{{{"Apple"}}};
  EXPECT_EQ(Find(apple), Ids({"cooking/d07", "cooking/d08"}));
  apple.caseSensitive = true;
  EXPECT_EQ(Find(apple), Ids({"cooking/d08"}));
  apple.words = {{"apple"}};
  EXPECT_EQ(Find(apple), Ids({"cooking/d07"}));
}

TEST_P(EngineTest, CategoriesFilter) {
  QueryForm bank{{{"bank"}}};
  bank.categories = {"misc"};
  EXPECT_EQ(Find(bank), Ids({"misc/d10", "misc/d11"}));
  bank.categories = {"COOKING"};
  EXPECT_EQ(Find(bank), Ids());
  bank.categories = {"cooking", "misc"};
  EXPECT_EQ(Find(bank), Ids({"misc/d10", "misc/d11"}));
}

TEST_P(EngineTest, ResultsCarryScoresAndProperties) {
  QueryForm form{{{"the"}, {"bank"}}};
  form.compose = "Or";
  form.domains.push_back({GetParam().domain, GetParam().data});
  const std::vector<Found> found = session_.Search(form);
  ASSERT_GT(found.size(), 2u);
  EXPECT_DOUBLE_EQ(found.front().score, 1.0);
  for (size_t i = 0; i < found.size(); ++i) {
    EXPECT_EQ(found[i].domain, GetParam().domain);
    EXPECT_FALSE(found[i].title.empty());
    EXPECT_GE(found[i].score, 0.0);
    EXPECT_LE(found[i].score, 1.0);
    if (i > 0) {
      EXPECT_LE(found[i].score, found[i - 1].score);
    }
  }
  // Both bank documents hold "the" and "bank": they lead.
  EXPECT_EQ(std::set<std::string>({found[0].id, found[1].id}), Ids({"misc/d10", "misc/d11"}));
}

TEST_P(EngineTest, DomainsAddressThePlugin) {
  QueryForm elsewhere{{{"fox"}}};
  elsewhere.domains = {{"elsewhere", GetParam().data}};
  EXPECT_TRUE(session_.Search(elsewhere).empty());
  // Missing data: one entry that says so, with a status, and no hit.
  QueryForm missing{{{"fox"}}};
  missing.domains = {{GetParam().domain, "no-such-data/at-all"}};
  const std::vector<Found> found = session_.Search(missing);
  ASSERT_EQ(found.size(), 1u);
  EXPECT_FALSE(found[0].error.empty());
  EXPECT_EQ(found[0].status, std::to_string(TESSIK_E_FAILED));
  EXPECT_EQ(found[0].domain, GetParam().domain);
}

TEST_P(EngineTest, AsynchronousSearchDeliversEveryHitOnce) {
  Watchdog watchdog(std::chrono::seconds(60), "asynchronous search");
  QueryForm form{{{"the"}, {"a"}, {"and"}}};
  form.compose = "Or";
  form.domains.push_back({GetParam().domain, GetParam().data});
  const std::vector<Found> expected = session_.Search(form);
  ASSERT_GT(expected.size(), 5u);

  IQuery* query = nullptr;
  ASSERT_EQ(Tessik_ParseQueryFromXML(Wide(form.Xml()).c_str(), &query), TESSIK_OK);
  for (bool abort : {false, true}) {
    Delivery delivery;
    g_delivery = &delivery;
    ASSERT_EQ(Tessik_AsyncSearch(session_.id(), query, Collect, 0, 5), TESSIK_OK);
    if (abort) {
      EXPECT_EQ(Tessik_AbortAsyncSearch(session_.id()), TESSIK_OK);
    }
    std::unique_lock<std::mutex> lock(delivery.mu);
    delivery.changed.wait(lock, [&] { return delivery.finals > 0; });
    lock.unlock();
    // Closing the wait: a second final notification would come before the
    // session's next search starts.
    ASSERT_EQ(Tessik_AbortAsyncSearch(session_.id()), TESSIK_OK);
    lock.lock();
    EXPECT_EQ(delivery.finals, 1);
    if (!abort) {
      EXPECT_EQ(delivery.finalCode, TESSIK_OK);
      EXPECT_EQ(Set(delivery.hits), Set(expected));
      EXPECT_EQ(delivery.hits.size(), expected.size());
    } else {
      EXPECT_LE(delivery.hits.size(), expected.size());
    }
    g_delivery = nullptr;
  }
  Tessik_ReleaseQuery(query);
}

// A document whose title and text hold a backspace, U+0001 and U+FFFF,
// which XML cannot carry: it comes back with U+FFFD in their place, and
// the other hits beside it, in both kinds of search.
TEST_P(EngineTest, CharactersXmlCannotCarryAreReplaced) {
  Watchdog watchdog(std::chrono::seconds(60), "searches");
  const TessikChar r = 0xFFFD;
  const std::basic_string<TessikChar> title = TS("Zebra") + r + TS("crossing") + r + TS(" sign ") + r + TS(" here");
  const std::basic_string<TessikChar> snippet =
      TS("A zebra") + r + TS(" stands") + r + TS(" at the ") + r + TS(" crossing.");
  QueryForm form{{{"zebra"}, {"fox"}}, "Or", {}, {{GetParam().domain, GetParam().data}}};
  for (bool async : {false, true}) {
    const std::vector<Found> found = Search(form, async);
    ASSERT_EQ(Set(found), Ids({"animals/d01", "misc/d12"})) << (async ? "async" : "sync");
    for (const Found& f : found) {
      if (f.id != "misc/d12") continue;
      EXPECT_EQ(f.rawTitle, title);
      EXPECT_EQ(f.rawSnippet, snippet);
    }
  }
}

// A domain's limit reaches the engine and is obeyed, and a cut answer says
// so on its last hit; without a limit the plugin's own (100) holds.
TEST_P(EngineTest, LimitsAreObeyedAndCutsMarked) {
  Watchdog watchdog(std::chrono::seconds(60), "searches");
  QueryForm form{{{"the"}, {"a"}, {"and"}}, "Or"};
  for (bool async : {false, true}) {
    form.domains = {{GetParam().domain, GetParam().data, "1"}};
    std::vector<Found> found = Search(form, async);
    ASSERT_EQ(found.size(), 1u) << (async ? "async" : "sync");
    EXPECT_EQ(found[0].more, "true");
    form.domains = {{GetParam().domain, GetParam().data, "3"}};
    found = Search(form, async);
    ASSERT_EQ(found.size(), 3u);
    EXPECT_EQ(found[0].more, "");
    EXPECT_EQ(found[2].more, "true");
    form.domains = {{GetParam().domain, GetParam().data}};
    found = Search(form, async);
    ASSERT_GT(found.size(), 5u);
    for (const Found& f : found) EXPECT_EQ(f.more, "") << f.id;
  }
}

TEST_P(EngineTest, DomainNamesMatchWithoutCase) {
  std::string upper = GetParam().domain;
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  upper[1] = static_cast<char>(std::tolower(static_cast<unsigned char>(upper[1])));  // "QuOTES"
  QueryForm form{{{"fox"}}, "And", {}, {{upper, GetParam().data}}};
  EXPECT_EQ(Set(session_.Search(form)), Ids({"animals/d01"}));
}

// Case sensitivity wins over stems and synonyms asked for at once: only
// the word exactly as written matches.
TEST_P(EngineTest, CaseSensitiveQueriesTakeNoStemsOrSynonyms) {
  QueryForm apple{{{"Apple"}}};
  apple.caseSensitive = apple.stemming = apple.synonyms = true;
  EXPECT_EQ(Find(apple), Ids({"cooking/d08"}));
  QueryForm automobile{{{"automobile"}}};
  automobile.caseSensitive = automobile.stemming = automobile.synonyms = true;
  EXPECT_EQ(Find(automobile), Ids({"vehicles/d04"}));
  QueryForm geese{{{"geese"}}};
  geese.caseSensitive = geese.stemming = true;
  EXPECT_EQ(Find(geese), Ids({"animals/d03"}));
  QueryForm goose{{{"migrating"}}};
  goose.caseSensitive = goose.stemming = true;
  EXPECT_EQ(Find(goose), Ids());
}

// Accents, case and the form a word is written in do not matter: d13 holds
// "Café", "CAFÉ" and "naïve", d14 "Cafe" and "naive", d15 "café" decomposed
// (an e and a combining acute). What a hit shows is the text as written.
TEST_P(EngineTest, AccentsAndCaseFindTheSameDocuments) {
  const Ids cafes = {"misc/d13", "misc/d14", "misc/d15"};
  for (const char* word :
       {"caf\xC3\xA9", "cafe", "CAF\xC3\x89", "Cafe\xCC\x81", "\xEF\xBD\x83\xEF\xBD\x81\xEF\xBD\x86\xEF\xBD\x85"})
    EXPECT_EQ(Find({{{word}}}), cafes) << word;
  for (const char* word : {"na\xC3\xAFve", "naive", "NA\xC3\x8FVE"})
    EXPECT_EQ(Find({{{word}}}), Ids({"misc/d13", "misc/d14"})) << word;
  EXPECT_EQ(Find({{{"cafe", {"title"}}}}), Ids({"misc/d13"}));

  QueryForm brulee{{{"brulee"}}, "And", {}, {{GetParam().domain, GetParam().data}}};
  const std::vector<Found> found = session_.Search(brulee);
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(found[0].title, "Caf\xC3\xA9 cr\xC3\xA8me");
  EXPECT_NE(found[0].properties.at("snippet").find("cr\xC3\xA8me br\xC3\xBBl\xC3\xA9" "e to na\xC3\xAFve"),
            std::string::npos)
      << found[0].properties.at("snippet");
}

// A case-sensitive query finds the word as written only: its accents and
// its case, but not the way its accents are encoded.
TEST_P(EngineTest, CaseSensitiveQueriesKeepAccentsAndCase) {
  const std::pair<const char*, Ids> cases[] = {
      {"CAF\xC3\x89", {"misc/d13"}},  {"Caf\xC3\xA9", {"misc/d13"}}, {"caf\xC3\xA9", {"misc/d15"}},
      {"cafe\xCC\x81", {"misc/d15"}},    {"Cafe", {"misc/d14"}},           {"cafe", {}},
      {"na\xC3\xAFve", {"misc/d13"}}, {"naive", {"misc/d14"}}};
  for (const auto& [word, ids] : cases) {
    QueryForm form{{{word}}};
    form.caseSensitive = true;
    EXPECT_EQ(Find(form), ids) << word;
  }
}

// A query with nothing to search for matches nothing, never the whole
// collection.
TEST_P(EngineTest, QueriesWithoutUsableWordsMatchNothing) {
  for (const char* text : {"", "!!!", "&quot;", "-", "' '"}) {
    EXPECT_EQ(Find({{{text}}}), Ids()) << text;
    EXPECT_EQ(Find({{{text}}, "Or"}), Ids()) << text;
  }
  // A word beside an unusable one still counts.
  EXPECT_EQ(Find({{{"fox"}, {"!!!"}}, "Or"}), Ids({"animals/d01"}));
  // Only words a hit may not hold, and no category: nothing to select by.
  EXPECT_EQ(Find({{{"fox", {"not"}}}}), Ids());
  EXPECT_EQ(Find({{{"fox"}}, "Not"}), Ids());
  // No term at all, no category.
  EXPECT_EQ(Find({{}, "And"}), Ids());
  // A category selects, words or not.
  EXPECT_EQ(Find({{{"engine", {"not"}}}, "And", {"vehicles"}}), Ids({"vehicles/d04"}));
}

// The properties only a search that asks for statistics gets.
const char* const kCounted[] = {"bm25-length", "bm25-tf", "digest", "statistics"};

// Every hit has its place in its source's own list, with or without
// statistics, and only a search that asks gets them: one entry more, which
// is no hit, and counts on every hit.
TEST_P(EngineTest, StatisticsOnlyWhenAsked) {
  QueryForm form{{{"fox"}}};
  form.stemming = true;
  for (bool statistics : {false, true}) {
    for (bool async : {false, true}) {
      const Counted counted = Count(form, statistics, async);
      ASSERT_EQ(counted.hits.size(), 2u) << statistics << async;
      EXPECT_EQ(counted.entries.size(), statistics ? 1u : 0u);
      for (size_t i = 0; i < counted.hits.size(); ++i) {
        const Found& hit = counted.hits[i];
        EXPECT_EQ(hit.properties.at("source-rank"), std::to_string(i + 1)) << hit.id;
        for (const char* name : kCounted) {
          if (std::string(name) != "statistics") {
            EXPECT_EQ(hit.properties.count(name), statistics ? 1u : 0u) << name;
          }
        }
      }
      EXPECT_EQ(counted.hits[0].id, "pets/s1");  // three foxes against two
    }
  }
  // Another value asks for nothing.
  const std::vector<Found> found =
      session_.Search({{{"fox"}}, "And", {}, {{GetParam().domain, GetParam().stats, "", "", {{"statistics", "tf"}}}}});
  ASSERT_EQ(found.size(), 1u);
  for (const char* name : kCounted) EXPECT_EQ(found[0].properties.count(name), 0u) << name;
}

// The statistics of stats.tsv, counted by hand: six documents of 8, 6, 5,
// 5, 5 and 6 words (titles and texts); what each query's terms hold, the
// pairs in the order of their words.
TEST_P(EngineTest, StatisticsCountTheFixtureExactly) {
  struct Case {
    QueryForm form;
    std::string df;                           // the entry's "bm25-df"
    std::map<std::string, std::string> hits;  // id: "length tf"
  };
  auto with = [](QueryForm form, bool stemming, bool synonyms = false, bool exact = false) {
    form.stemming = stemming;
    form.synonyms = synonyms;
    form.caseSensitive = exact;
    return form;
  };
  const std::vector<Case> cases = {
      {{{{"fox"}}}, "fox=1", {{"pets/s1", "8 fox=3"}}},
      // "foxes" is "fox" by its stem: title and text.
      {with({{{"fox"}}}, true), "fox=2", {{"pets/s1", "8 fox=3"}, {"pets/s2", "6 fox=2"}}},
      {{{{"fox", {"title"}}}}, "fox=1", {{"pets/s1", "8 fox=1"}}},
      {with({{{"fox", {"title"}}}}, true), "fox=2", {{"pets/s1", "8 fox=1"}, {"pets/s2", "6 fox=1"}}},
      {{{{"fox"}, {"cars"}}, "Or"}, "cars=1 fox=1", {{"pets/s1", "8 cars=0 fox=3"}, {"other/s6", "6 cars=1 fox=0"}}},
      // "car" counts as "automobile": two words of s6.
      {with({{{"automobile"}}}, false, true), "automobile=1", {{"other/s6", "6 automobile=2"}}},
      // As written: the title's "Dog" only; the key is folded all the same.
      {with({{{"Dog"}}}, false, false, true), "dog=1", {{"pets/s3", "5 dog=1"}}},
      {{{{"dog"}}}, "dog=2", {{"pets/s2", "6 dog=1"}, {"pets/s3", "5 dog=2"}}},
      // No document holds "fox" and "dog": the entry without hits.
      {{{{"fox"}, {"dog"}}}, "dog=2 fox=1", {}},
      {with({{{"fox"}, {"dog"}}}, true), "dog=2 fox=2", {{"pets/s2", "6 dog=1 fox=2"}}},
      // A word twice counts once; a word a hit may not hold is none of the terms.
      {{{{"fox"}, {"FOX"}}}, "fox=1", {{"pets/s1", "8 fox=3"}}},
      {{{{"dog"}, {"fox", {"not"}}}}, "dog=2", {{"pets/s2", "6 dog=1"}, {"pets/s3", "5 dog=2"}}},
      // Nothing ranked: the lengths alone.
      {{{}, "And", {"pets"}}, "", {{"pets/s1", "8 "}, {"pets/s2", "6 "}, {"pets/s3", "5 "}}},
      // Nothing to search for: the entry alone.
      {{{{"!!!"}}}, "", {}},
      {{{{"fox"}}, "And", {"no-such-category"}}, "fox=1", {}},
  };
  for (bool async : {false, true}) {
    for (const Case& c : cases) {
      const std::string what = c.form.Xml() + (async ? " async" : "");
      const Counted counted = Count(c.form, true, async);
      ASSERT_EQ(counted.entries.size(), 1u) << what;
      const Found& entry = counted.entries[0];
      EXPECT_EQ(entry.domain, GetParam().domain);
      EXPECT_EQ(entry.score, 0.0);
      EXPECT_EQ(entry.id, "");
      EXPECT_EQ(entry.properties.at("statistics"), "bm25");
      EXPECT_EQ(entry.properties.at("bm25-documents"), "6") << what;
      EXPECT_EQ(entry.properties.at("bm25-average-length"), "5.83333") << what;
      EXPECT_EQ(entry.properties.count("bm25-df") ? entry.properties.at("bm25-df") : "(none)", c.df) << what;
      std::map<std::string, std::string> hits;
      for (const Found& hit : counted.hits)
        hits[hit.id] = hit.properties.at("bm25-length") + " " + hit.properties.at("bm25-tf");
      EXPECT_EQ(hits, c.hits) << what;
    }
  }
}

// The entry comes in the first document the domain sends, before its hits,
// also when it sends nothing else.
TEST_P(EngineTest, StatisticsArriveFirst) {
  Watchdog watchdog(std::chrono::seconds(60), "asynchronous searches");
  for (const QueryForm& form : {QueryForm{{{"a"}, {"the"}, {"fox"}}, "Or"}, QueryForm{{{"fox"}, {"dog"}}}}) {
    const Counted counted = Count(form, true, true);
    ASSERT_FALSE(counted.documents.empty());
    const std::vector<Found>& first = counted.documents.front();
    ASSERT_FALSE(first.empty());
    EXPECT_EQ(first.front().properties.count("statistics"), 1u);
    EXPECT_EQ(counted.entries.size(), 1u);
  }
  // Synchronous: ahead of the hits too.
  const std::vector<Found> found = session_.Search(
      {{{"a"}, {"the"}}, "Or", {}, {{GetParam().domain, GetParam().stats, "", "", {{"statistics", "BM25"}}}}});
  ASSERT_GT(found.size(), 1u);
  EXPECT_EQ(found.front().properties.count("statistics"), 1u);
}

// The digest is of the words: the same text under two ids (one with other
// punctuation) has one, any other another, and every engine makes it alike.
TEST_P(EngineTest, DigestsTellIdenticalTexts) {
  const Counted same = Count({{{"identical"}}});
  ASSERT_EQ(same.hits.size(), 2u);
  const std::string digest = same.hits[0].properties.at("digest");
  EXPECT_EQ(digest.size(), 16u);
  EXPECT_EQ(digest.find_first_not_of("0123456789abcdef"), std::string::npos) << digest;
  EXPECT_EQ(same.hits[1].properties.at("digest"), digest);
  EXPECT_EQ(digest, "020f8848a5d89cc6");  // kit/Digest.h of "same text identical words here"
  const Counted other = Count({{{"fox"}, {"dog"}}, "Or"});
  std::set<std::string> digests;
  for (const Found& hit : other.hits) digests.insert(hit.properties.at("digest"));
  EXPECT_EQ(digests.size(), 3u);
  EXPECT_EQ(digests.count(digest), 0u);
}

#if TESSIK_XAPIAN_PLUGIN
// A stub file that names no database: the error says what is wrong with
// the data, not what Xapian could not make of it.
TEST(XapianPlugin, AnEmptyStubSaysTheDatabaseIsEmptyOrMissing) {
  // Its own name: test programs of several lanes may run at once.
  const std::string stub = testing::TempDir() + "tessik-empty-" + std::to_string(std::random_device{}()) + ".stub";
  { std::ofstream(stub).flush(); }
  Session session({PluginPath("xapian")});
  const std::vector<Found> found = session.Search({{{"fox"}}, "And", {}, {{"xapian", stub}}});
  std::remove(stub.c_str());
  ASSERT_EQ(found.size(), 1u);
  EXPECT_NE(found[0].error.find("empty or missing"), std::string::npos) << found[0].error;
}
#endif

std::vector<Engine> Engines() {
  std::vector<Engine> engines = {{"files", TESSIK_FIXTURE_DIR "/quotes.index", TESSIK_FIXTURE_DIR "/stats.index"}};
#if TESSIK_XAPIAN_PLUGIN
  engines.push_back({"xapian", TESSIK_FIXTURE_DIR "/fixture.xapian", TESSIK_FIXTURE_DIR "/stats.xapian"});
#endif
#if TESSIK_SQLITE_PLUGIN
  engines.push_back({"sqlite", TESSIK_FIXTURE_DIR "/fixture.sqlite", TESSIK_FIXTURE_DIR "/stats.sqlite"});
#endif
  return engines;
}

INSTANTIATE_TEST_SUITE_P(Reference, EngineTest, testing::ValuesIn(Engines()),
                         [](const testing::TestParamInfo<Engine>& info) { return std::string(info.param.domain); });

}  // namespace
