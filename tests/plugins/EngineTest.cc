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
  const char* data;  // the fixture in the engine's form
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
  std::vector<Found> hits;  // guarded by mu
  int finals = 0;           // guarded by mu
  int32_t finalCode = 1;    // guarded by mu
};
Delivery* g_delivery = nullptr;

void Collect(uint32_t, int32_t code, TessikChar* text) {
  std::lock_guard<std::mutex> lock(g_delivery->mu);
  if (code == TESSIK_NOTIFY_RESULTS) {
    for (Found& f : Hits(text)) g_delivery->hits.push_back(f);
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

  // What a search finds, synchronous or asynchronous (in arrival order).
  std::vector<Found> Search(const QueryForm& form, bool async) {
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
    return delivery.hits;
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
  std::vector<Engine> engines = {{"files", TESSIK_FIXTURE_DIR "/quotes.index"}};
#if TESSIK_XAPIAN_PLUGIN
  engines.push_back({"xapian", TESSIK_FIXTURE_DIR "/fixture.xapian"});
#endif
#if TESSIK_SQLITE_PLUGIN
  engines.push_back({"sqlite", TESSIK_FIXTURE_DIR "/fixture.sqlite"});
#endif
  return engines;
}

INSTANTIATE_TEST_SUITE_P(Reference, EngineTest, testing::ValuesIn(Engines()),
                         [](const testing::TestParamInfo<Engine>& info) { return std::string(info.param.domain); });

}  // namespace
