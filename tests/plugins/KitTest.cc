// The plugin kit's entry points over a fake engine, called directly as the
// library would call them: batches of hits, one end report per search, an
// abort that is honoured, errors that become an entry of their own.
#include <cctype>
#include <condition_variable>
#include <mutex>
#include <random>

#include "kit/Config.h"
#include "kit/Engine.h"
#include "kit/Statistics.h"
#include "kit/Text.h"
#include "tessik/Plugin.h"
#include "tests/common/Watchdog.h"
#include "tests/plugins/PluginHost.h"

extern "C" {
void* InitSearch(uint32_t sessionId);
int32_t FinishSearch(void* handle);
int32_t SyncSearch(void* handle, const void* query, TessikChar** resultText, uint32_t searchParam);
int32_t AsyncSearch(void* handle, const void* query, PluginNotify notify, uint32_t searchParam, uint32_t asyncParam);
int32_t AbortAsyncSearch(void* handle);
}

using namespace plugin_test;

namespace {

// What the fake engine does: `count` hits, or an error; it can be held at
// a gate until the test opens it.
struct Script {
  std::mutex mu;
  std::condition_variable changed;
  size_t count = 45;           // guarded by mu
  bool fail = false;           // guarded by mu
  bool gated = false;          // guarded by mu
  bool waiting = false;        // guarded by mu
  bool more = false;           // guarded by mu
  std::string title = "hit ";  // guarded by mu
  // What the engine was last asked.
  tessik_plugins::Plan plan;  // guarded by mu
  size_t limit = 0;           // guarded by mu
  int searches = 0;           // guarded by mu
  // The domains asked, "name=data" each, in order.
  std::vector<std::string> asked;  // guarded by mu
  int collections = 0;             // guarded by mu: CollectionStatistics calls
  bool badCounts = false;          // guarded by mu: hits counted for one term too few
} g_script;

struct Report {
  uint32_t session;
  int32_t code;
  size_t hits;  // entries, statistics entries among them
  std::string error;
  std::string lastMore;  // the "more" property of the document's last hit
  std::vector<Found> found;
};
std::mutex g_reports_mu;
std::condition_variable g_reports_changed;
std::vector<Report> g_reports;  // guarded by g_reports_mu

void Notify(uint32_t session, int32_t code, const TessikChar* text) {
  Report r{session, code, 0, {}, {}, {}};
  if (text != nullptr) {
    const std::vector<Found> found = Hits(text);
    r.hits = found.size();
    if (!found.empty()) r.error = found[0].error;
    if (!found.empty()) r.lastMore = found.back().more;
    r.found = found;
  }
  std::lock_guard<std::mutex> lock(g_reports_mu);
  g_reports.push_back(r);
  g_reports_changed.notify_all();
}

std::vector<Report> WaitForEnd(size_t ends) {
  std::unique_lock<std::mutex> lock(g_reports_mu);
  auto count = [&] {
    size_t n = 0;
    for (const Report& r : g_reports) n += r.code == TESSIK_NOTIFY_PLUGIN_ENDED;
    return n;
  };
  g_reports_changed.wait(lock, [&] { return count() >= ends; });
  std::vector<Report> out;
  out.swap(g_reports);
  return out;
}

IQuery* Parse(const QueryForm& form) {
  IQuery* query = nullptr;
  EXPECT_EQ(Tessik_ParseQueryFromXML(Wide(form.Xml()).c_str(), &query), TESSIK_OK);
  return query;
}

TEST(PluginKit, AsynchronousSearchReportsBatchesAndEndsOnce) {
  Watchdog watchdog(std::chrono::seconds(60), "kit searches");
  void* handle = InitSearch(7);
  ASSERT_NE(handle, nullptr);
  IQuery* query = Parse({{{"anything"}}});

  // 45 hits in batches of 20, then the end, all for session 7.
  ASSERT_EQ(AsyncSearch(handle, query, Notify, 0, 0), TESSIK_OK);
  std::vector<Report> reports = WaitForEnd(1);
  ASSERT_EQ(reports.size(), 4u);
  EXPECT_EQ(reports[0].hits, 20u);
  EXPECT_EQ(reports[1].hits, 20u);
  EXPECT_EQ(reports[2].hits, 5u);
  EXPECT_EQ(reports[3].code, TESSIK_NOTIFY_PLUGIN_ENDED);
  for (const Report& r : reports) EXPECT_EQ(r.session, 7u);

  // An abort while the engine works: no batch after it, one end.
  {
    std::lock_guard<std::mutex> lock(g_script.mu);
    g_script.gated = true;
  }
  ASSERT_EQ(AsyncSearch(handle, query, Notify, 0, 0), TESSIK_OK);
  {
    std::unique_lock<std::mutex> lock(g_script.mu);
    g_script.changed.wait(lock, [] { return g_script.waiting; });
  }
  EXPECT_EQ(AbortAsyncSearch(handle), TESSIK_OK);
  {
    std::lock_guard<std::mutex> lock(g_script.mu);
    g_script.gated = false;
    g_script.changed.notify_all();
  }
  reports = WaitForEnd(1);
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_EQ(reports[0].code, TESSIK_NOTIFY_PLUGIN_ENDED);

  // A failing engine: one entry that carries the error, then the end.
  {
    std::lock_guard<std::mutex> lock(g_script.mu);
    g_script.fail = true;
  }
  ASSERT_EQ(AsyncSearch(handle, query, Notify, 0, 0), TESSIK_OK);
  reports = WaitForEnd(1);
  ASSERT_EQ(reports.size(), 2u);
  EXPECT_EQ(reports[0].error, "engine down");
  TessikChar* text = nullptr;
  EXPECT_EQ(SyncSearch(handle, query, &text, 0), TESSIK_OK);
  ASSERT_EQ(Hits(text).size(), 1u);
  EXPECT_EQ(Hits(text)[0].error, "engine down");
  Tessik_Release(text);
  {
    std::lock_guard<std::mutex> lock(g_script.mu);
    g_script.fail = false;
  }

  // A query for another domain: no document, still one end; the
  // synchronous search leaves the text null.
  IQuery* elsewhere = Parse({{{"x"}}, "And", {}, {{"elsewhere", ""}}});
  ASSERT_EQ(AsyncSearch(handle, elsewhere, Notify, 0, 0), TESSIK_OK);
  reports = WaitForEnd(1);
  ASSERT_EQ(reports.size(), 1u);
  text = reinterpret_cast<TessikChar*>(&text);
  EXPECT_EQ(SyncSearch(handle, elsewhere, &text, 0), TESSIK_OK);
  EXPECT_EQ(text, nullptr);
  Tessik_ReleaseQuery(elsewhere);

  // Bad arguments and a finish while a search is held: the finish aborts
  // and waits for the thread.
  EXPECT_EQ(SyncSearch(nullptr, query, &text, 0), TESSIK_E_NULL_ARGUMENT);
  EXPECT_EQ(AsyncSearch(handle, query, nullptr, 0, 0), TESSIK_E_NULL_ARGUMENT);
  {
    std::lock_guard<std::mutex> lock(g_script.mu);
    g_script.gated = true;
    g_script.waiting = false;
  }
  ASSERT_EQ(AsyncSearch(handle, query, Notify, 0, 0), TESSIK_OK);
  {
    std::unique_lock<std::mutex> lock(g_script.mu);
    g_script.changed.wait(lock, [] { return g_script.waiting; });
    g_script.gated = false;
    g_script.changed.notify_all();
  }
  EXPECT_EQ(FinishSearch(handle), TESSIK_OK);
  EXPECT_EQ(WaitForEnd(1).back().code, TESSIK_NOTIFY_PLUGIN_ENDED);
  Tessik_ReleaseQuery(query);
}

// The kit's reading of a query, seen from the engine: which plugin is
// addressed, the limit it gets, the flags and the plan.
TEST(PluginKit, RequestsReachTheEngineAsPlanned) {
  using namespace tessik_plugins;
  Watchdog watchdog(std::chrono::seconds(60), "kit searches");
  const Config& config = PluginConfig();  // beside the test: none, so the defaults
  ASSERT_EQ(config.limit, 100u);
  ASSERT_EQ(config.max, 1000u);
  void* handle = InitSearch(9);
  ASSERT_NE(handle, nullptr);
  struct Asked {
    int searches;
    size_t limit;
    Plan plan;
  };
  auto search = [&](const QueryForm& form) {
    int before;
    {
      std::lock_guard<std::mutex> lock(g_script.mu);
      before = g_script.searches;
    }
    IQuery* query = Parse(form);
    TessikChar* text = nullptr;
    EXPECT_EQ(SyncSearch(handle, query, &text, 0), TESSIK_OK);
    Tessik_Release(text);
    Tessik_ReleaseQuery(query);
    std::lock_guard<std::mutex> lock(g_script.mu);
    return Asked{g_script.searches - before, g_script.limit, g_script.plan};
  };
  const std::string us = config.domain;  // the test program's own name
  std::string shouted = us;
  for (char& c : shouted) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));

  // Limits: the domain's, else the plugin's; never past max; junk ignored.
  EXPECT_EQ(search({{{"w"}}, "And", {}, {{us, "", "7"}}}).limit, 7u);
  EXPECT_EQ(search({{{"w"}}, "And", {}, {{shouted, "", "7"}}}).limit, 7u);
  EXPECT_EQ(search({{{"w"}}}).limit, 100u);
  EXPECT_EQ(search({{{"w"}}, "And", {}, {{us, "", "5000"}}}).limit, 1000u);
  for (const char* junk : {"0", "-3", "7x", "many"})
    EXPECT_EQ(search({{{"w"}}, "And", {}, {{us, "", junk}}}).limit, 100u) << junk;
  // Another domain's limit is not ours, and such a query never reaches the engine.
  EXPECT_EQ(search({{{"w"}}, "And", {}, {{"elsewhere", "", "7"}}}).searches, 0);
  EXPECT_EQ(search({{{"w"}}, "And", {}, {{"elsewhere", "", "7"}, {us, "", "2"}}}).limit, 2u);

  // Flags: case sensitivity clears stems and synonyms.
  QueryForm flags{{{"w"}}};
  flags.stemming = flags.synonyms = true;
  Plan plan = search(flags).plan;
  EXPECT_TRUE(plan.stemming && plan.synonyms && !plan.caseSensitive);
  flags.caseSensitive = true;
  plan = search(flags).plan;
  EXPECT_TRUE(plan.caseSensitive && !plan.stemming && !plan.synonyms);

  // The plan: several words in a text are several terms; "not" and "Not"
  // exclude; fields map onto title and text.
  plan = search({{{"new york", {"Title"}}, {"city", {"not"}}}, "Or"}).plan;
  ASSERT_EQ(plan.required.size(), 2u);
  EXPECT_TRUE(plan.any);
  EXPECT_EQ(plan.required[0].fields, kTitle);
  ASSERT_EQ(plan.excluded.size(), 1u);
  EXPECT_EQ(plan.excluded[0].word, "city");
  plan = search({{{"a"}, {"b", {"content"}}}, "Not", {"cat"}}).plan;
  EXPECT_TRUE(plan.required.empty());
  ASSERT_EQ(plan.excluded.size(), 2u);
  EXPECT_FALSE(plan.nothing);
  // Nothing to search for never reaches the engine.
  EXPECT_EQ(search({{{"!!!"}}}).searches, 0);
  EXPECT_EQ(search({{{"a"}}, "Not"}).searches, 0);
  EXPECT_EQ(search({{{"!!!"}, {"b", {"not"}}}, "And", {"cat"}}).searches, 0);
  EXPECT_EQ(FinishSearch(handle), TESSIK_OK);
}

// One plugin answers for every source over its engine in one search, each
// under its own name and with its own data and limit; a source that fails
// is an error entry of its own and costs the others nothing.
TEST(PluginKit, OnePluginAnswersForEverySourceOverItsEngine) {
  using tessik_plugins::Config;
  using tessik_plugins::PluginConfig;
  Watchdog watchdog(std::chrono::seconds(60), "kit searches");
  const Config& config = PluginConfig();
  {
    std::lock_guard<std::mutex> lock(g_script.mu);
    g_script.count = 3;
    g_script.asked.clear();
  }
  void* handle = InitSearch(12);
  ASSERT_NE(handle, nullptr);
  std::string shouted = config.name;
  for (char& c : shouted) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  IQuery* query = Parse({{{"w"}},
                         "And",
                         {},
                         {{"notes", "/n", "2", config.name},
                          {"other", "/o", "", "another-engine"},
                          {"broken", "down", "", shouted},
                          {"site", "/s", "", config.name}}});
  for (int async = 0; async < 2; ++async) {
    if (async) {
      ASSERT_EQ(AsyncSearch(handle, query, Notify, 0, 0), TESSIK_OK);
      std::vector<Report> reports = WaitForEnd(1);
      // Batches of one domain each: notes (2), the failure, site (3).
      ASSERT_EQ(reports.size(), 4u);
      EXPECT_EQ(reports[0].hits, 2u);
      EXPECT_EQ(reports[1].error, "source down");
      EXPECT_EQ(reports[2].hits, 3u);
    } else {
      TessikChar* text = nullptr;
      ASSERT_EQ(SyncSearch(handle, query, &text, 0), TESSIK_OK);
      std::vector<std::string> domains;
      for (const Found& f : Hits(text)) domains.push_back(f.domain + (f.error.empty() ? "" : ":" + f.error));
      Tessik_Release(text);
      EXPECT_EQ(domains, (std::vector<std::string>{"notes", "notes", "broken:source down", "site", "site", "site"}));
    }
    std::lock_guard<std::mutex> lock(g_script.mu);
    EXPECT_EQ(g_script.asked, (std::vector<std::string>{"notes=/n", "broken=down", "site=/s"}));
    g_script.asked.clear();
  }
  Tessik_ReleaseQuery(query);
  EXPECT_EQ(FinishSearch(handle), TESSIK_OK);
}

// What the engine finds goes out cleaned, with the cut marked on the last
// hit only, in one document or in batches.
TEST(PluginKit, AnswersAreCleanedAndCutsMarked) {
  Watchdog watchdog(std::chrono::seconds(60), "kit searches");
  {
    std::lock_guard<std::mutex> lock(g_script.mu);
    g_script.count = 25;
    g_script.more = true;
    g_script.title = "bell\a ";
  }
  void* handle = InitSearch(11);
  IQuery* query = Parse({{{"anything"}}});
  TessikChar* text = nullptr;
  ASSERT_EQ(SyncSearch(handle, query, &text, 0), TESSIK_OK);
  const std::vector<Found> found = Hits(text);
  Tessik_Release(text);
  ASSERT_EQ(found.size(), 25u);
  const TessikChar bell[] = {'b', 'e', 'l', 'l', 0xFFFD, ' ', '0', 0};
  EXPECT_EQ(found[0].rawTitle, bell);
  for (size_t i = 0; i + 1 < found.size(); ++i) EXPECT_EQ(found[i].more, "");
  EXPECT_EQ(found.back().more, "true");

  ASSERT_EQ(AsyncSearch(handle, query, Notify, 0, 0), TESSIK_OK);
  const std::vector<Report> reports = WaitForEnd(1);
  ASSERT_EQ(reports.size(), 3u);  // 20, 5, the end
  EXPECT_EQ(reports[0].hits, 20u);
  EXPECT_EQ(reports[0].lastMore, "");
  EXPECT_EQ(reports[1].lastMore, "true");
  {
    std::lock_guard<std::mutex> lock(g_script.mu);
    g_script.count = 45;
    g_script.more = false;
    g_script.title = "hit ";
  }
  Tessik_ReleaseQuery(query);
  EXPECT_EQ(FinishSearch(handle), TESSIK_OK);
}

// Asked for statistics, the kit writes what the engine counted: one entry
// per domain in its first document (also when the domain has no hit or its
// plan matches nothing, never for one that failed), counts on every hit,
// and nothing the engine did not count whole.
TEST(PluginKit, StatisticsRideInTheFirstDocumentOfEachDomain) {
  using tessik_plugins::Config;
  using tessik_plugins::PluginConfig;
  Watchdog watchdog(std::chrono::seconds(60), "kit searches");
  const Config& config = PluginConfig();
  {
    std::lock_guard<std::mutex> lock(g_script.mu);
    g_script.count = 45;
  }
  void* handle = InitSearch(13);
  ASSERT_NE(handle, nullptr);
  const std::vector<std::pair<std::string, std::string>> asked = {{"statistics", "bm25"}};
  IQuery* query = Parse({{{"b"}, {"a"}, {"B"}},
                         "And",
                         {},
                         {{"notes", "/n", "", config.name, asked},
                          {"broken", "down", "", config.name, asked},
                          {"plain", "/p", "2", config.name}}});
  ASSERT_EQ(AsyncSearch(handle, query, Notify, 0, 0), TESSIK_OK);
  std::vector<Report> reports = WaitForEnd(1);
  // notes: the entry and 20 hits, 20, 5; the failure; plain's 2; the end.
  ASSERT_EQ(reports.size(), 6u);
  EXPECT_EQ(reports[0].hits, 21u);
  const Found& entry = reports[0].found[0];
  EXPECT_EQ(entry.domain, "notes");
  EXPECT_EQ(entry.score, 0.0);
  EXPECT_EQ(entry.properties.at("statistics"), "bm25");
  EXPECT_EQ(entry.properties.at("bm25-documents"), "3");
  EXPECT_EQ(entry.properties.at("bm25-average-length"), "3.33333");
  // Keys folded and in order, the repeated word once (its first term's).
  EXPECT_EQ(entry.properties.at("bm25-df"), "a=2 b=1");
  const Found& first = reports[0].found[1];
  EXPECT_EQ(first.properties.at("source-rank"), "1");
  EXPECT_EQ(first.properties.at("bm25-length"), "1");
  EXPECT_EQ(first.properties.at("bm25-tf"), "a=1 b=0");
  EXPECT_EQ(first.properties.at("digest"), "00000000000000aa");
  EXPECT_EQ(reports[1].hits, 20u);
  EXPECT_EQ(reports[1].found.back().properties.at("source-rank"), "40");
  EXPECT_EQ(reports[2].hits, 5u);
  EXPECT_EQ(reports[3].error, "source down");
  EXPECT_EQ(reports[3].hits, 1u);
  // Not asked: ranks, and nothing else.
  ASSERT_EQ(reports[4].hits, 2u);
  for (const Found& f : reports[4].found) {
    EXPECT_EQ(f.properties.count("bm25-length") + f.properties.count("digest") + f.properties.count("statistics"), 0u);
    EXPECT_EQ(f.properties.count("source-rank"), 1u);
  }

  // One document: each domain's entry before its hits.
  TessikChar* text = nullptr;
  ASSERT_EQ(SyncSearch(handle, query, &text, 0), TESSIK_OK);
  std::vector<Found> found = Hits(text);
  Tessik_Release(text);
  ASSERT_EQ(found.size(), 1u + 45u + 1u + 2u);
  EXPECT_EQ(found[0].properties.count("statistics"), 1u);
  EXPECT_EQ(found[46].error, "source down");
  Tessik_ReleaseQuery(query);

  // No hits, or a plan that matches nothing: the entry alone.
  {
    std::lock_guard<std::mutex> lock(g_script.mu);
    g_script.count = 0;
    g_script.collections = 0;
  }
  for (const char* word : {"w", "!!!"}) {
    query = Parse({{{word}}, "And", {}, {{"notes", "/n", "", config.name, asked}}});
    ASSERT_EQ(AsyncSearch(handle, query, Notify, 0, 0), TESSIK_OK);
    reports = WaitForEnd(1);
    ASSERT_EQ(reports.size(), 2u) << word;
    ASSERT_EQ(reports[0].hits, 1u);
    EXPECT_EQ(reports[0].found[0].properties.at("bm25-df"), std::string(word) == "w" ? "w=1" : "");
    EXPECT_EQ(reports[0].found[0].properties.at("statistics"), "bm25");
    ASSERT_EQ(SyncSearch(handle, query, &text, 0), TESSIK_OK);
    EXPECT_EQ(Hits(text).size(), 1u);
    Tessik_Release(text);
    Tessik_ReleaseQuery(query);
  }
  {
    std::lock_guard<std::mutex> lock(g_script.mu);
    EXPECT_EQ(g_script.collections, 2);  // "!!!" never reached the search
    g_script.count = 3;
    g_script.badCounts = true;
  }
  // Counts that do not fit the plan are not written.
  query = Parse({{{"a"}, {"b"}}, "And", {}, {{"notes", "/n", "", config.name, asked}}});
  ASSERT_EQ(SyncSearch(handle, query, &text, 0), TESSIK_OK);
  found = Hits(text);
  Tessik_Release(text);
  ASSERT_EQ(found.size(), 4u);
  for (const Found& f : found) {
    if (f.properties.count("statistics")) continue;
    EXPECT_EQ(f.properties.count("bm25-tf") + f.properties.count("bm25-length"), 0u) << f.id;
  }
  Tessik_ReleaseQuery(query);
  {
    std::lock_guard<std::mutex> lock(g_script.mu);
    g_script.count = 45;
    g_script.badCounts = false;
  }
  EXPECT_EQ(FinishSearch(handle), TESSIK_OK);
}

TEST(PluginKit, TextConversionsAndWords) {
  using namespace tessik_plugins;
  const std::string mixed =
      "Stra\xC3\x9F"
      "e \xF0\x9F\x98\x80 caf\xC3\x89";
  EXPECT_EQ(ToUtf8(ToUtf16(mixed).c_str()), mixed);
  EXPECT_EQ(Fold("CAF\xC3\x89 \xC4\x80"), "cafe a");  // the normaliser's form
  EXPECT_EQ(ToUtf8(ToUtf16("\xFF\xC3").c_str()), "\xEF\xBF\xBD\xEF\xBF\xBD");  // bad bytes: U+FFFD
  const TessikChar lone[] = {0xD800, 'a', 0};
  EXPECT_EQ(ToUtf8(lone),
            "\xEF\xBF\xBD"
            "a");
  EXPECT_EQ(Words("Don't stop -- it's O_CREAT's day, caf\xC3\xA9!"),
            (std::vector<std::string>{"Don't", "stop", "it's", "O_CREAT's", "day", "caf\xC3\xA9"}));
  EXPECT_EQ(Snippet("  one\n two   three ", 100), "one two three");
  EXPECT_EQ(Snippet("alpha beta gamma delta", 12), "alpha beta...");
  // What XML cannot carry becomes U+FFFD; TAB, LF, CR and the rest stay.
  EXPECT_EQ(CleanText("a\b\x01\t\n\r\xEF\xBF\xBF\xEF\xBF\xBE\x7F\xC2\x85z\xFF"),
            "a\xEF\xBF\xBD\xEF\xBF\xBD\t\n\r\xEF\xBF\xBD\xEF\xBF\xBD\x7F\xC2\x85z\xEF\xBF\xBD");
  EXPECT_EQ(XmlEscape("<a href=\"x\">&\x02"), "&lt;a href=&quot;x&quot;&gt;&amp;\xEF\xBF\xBD");
}

// CountWord finds what Words splits, without splitting: on tricky texts and
// on random ones of a small alphabet.
TEST(PluginKit, CountWordCountsWhatWordsSplit) {
  using namespace tessik_plugins;
  auto words = [](const std::string& text, const std::string& word) {
    size_t n = 0;
    for (const std::string& w : Words(text)) n += w == word;
    return n;
  };
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"Linux linux LINUX Linux's Linux' 'Linux x'Linux Linux_ _Linux Linux2 (Linux).", "Linux"},
      {"don't don\xE2\x80\x99t dont don''t", "don't"},
      {"caf\xC3\xA9 cafe caf\xC3\xA9s \xC3\xA9" "caf\xC3\xA9", "caf\xC3\xA9"},
      {"a\xC2\xA0" "fox \xE2\x80\x9c" "fox\xE2\x80\x9d foxfox fox\xFF fox\xC3", "fox"},
      {"aaa aa a aa", "aa"},
      {"O_CREAT's O_CREAT O_CREATE", "O_CREAT"},
  };
  for (const auto& [text, word] : cases) {
    EXPECT_EQ(CountWord(text, word), words(text, word)) << text << " / " << word;
    EXPECT_EQ(HoldsWord(text, word), words(text, word) > 0) << text;
  }
  std::mt19937 random(7);
  const std::vector<std::string> pieces = {"ab", "a", "b", " ", "'", "\xE2\x80\x99", "\xC3\xA9", "_", ".", "\xFF"};
  for (int i = 0; i < 5000; ++i) {
    std::string text;
    for (int k = random() % 12; k > 0; --k) text += pieces[random() % pieces.size()];
    for (const char* word : {"ab", "a", "b", "a'b", "ab\xC3\xA9"})
      ASSERT_EQ(CountWord(text, word), words(text, word)) << text << " / " << word;
  }
}

}  // namespace

namespace tessik_plugins {

class FakeEngine : public Engine {
 public:
  Found Search(const Plan& plan, const Domain& domain, size_t limit, const std::atomic<bool>&) override {
    std::unique_lock<std::mutex> lock(g_script.mu);
    g_script.plan = plan;
    g_script.limit = limit;
    ++g_script.searches;
    const std::string data = domain.Property("data", "");
    g_script.asked.push_back(domain.name + "=" + data);
    if (data == "down") throw EngineError("source down");
    g_script.waiting = true;
    g_script.changed.notify_all();
    g_script.changed.wait(lock, [] { return !g_script.gated; });
    if (g_script.fail) throw EngineError("engine down");
    Found found;
    found.hits.resize(std::min(g_script.count, limit));
    for (size_t i = 0; i < found.hits.size(); ++i) {
      found.hits[i].id = std::to_string(i);
      found.hits[i].title = g_script.title + std::to_string(i);
      found.hits[i].score = 1.0 - i / 100.0;
    }
    found.more = g_script.more;
    if (WantsStatistics(domain)) {
      found.statistics = Collection(plan);
      for (size_t i = 0; i < found.hits.size(); ++i) {
        Hit& hit = found.hits[i];
        hit.counted = true;
        hit.length = i + 1;
        for (size_t t = 0; t + (g_script.badCounts ? 1 : 0) < plan.required.size(); ++t)
          hit.tf.push_back(Fold(plan.required[t].word) == "a" ? 1 : 0);
        hit.digest = "00000000000000aa";
      }
    }
    return found;
  }

  Statistics CollectionStatistics(const Plan& plan, const Domain&, const std::atomic<bool>&) override {
    std::lock_guard<std::mutex> lock(g_script.mu);
    ++g_script.collections;
    return Collection(plan);
  }

 private:
  // Three documents of ten words in all; "a" in two of them, any other
  // word in one. (By the word: the order of a query's terms is the
  // library's.)
  static Statistics Collection(const Plan& plan) {
    Statistics statistics;
    statistics.known = true;
    statistics.documents = 3;
    statistics.length = 10;
    for (const Term& term : plan.required) statistics.df.push_back(Fold(term.word) == "a" ? 2 : 1);
    return statistics;
  }
};

std::unique_ptr<Engine> MakeEngine() { return std::make_unique<FakeEngine>(); }

}  // namespace tessik_plugins
