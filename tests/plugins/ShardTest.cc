// The Xapian plugin over an index sharded across two xapian-tcpsrv servers
// (run_sharded.sh starts them): the same hits, in the same order and with
// the same scores, as over the whole index; and a server that is down gives
// an error entry while the other plugins' hits still arrive.
#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "tests/plugins/PluginHost.h"

using namespace plugin_test;

namespace {

std::string PluginPath(const char* domain) {
  return std::string(TESSIK_PLUGIN_DIR) + "/" + domain + TESSIK_PLUGIN_SUFFIX;
}

std::string Env(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

TEST(ShardedXapian, SearchesAsOneIndex) {
  const std::string stub = Env("TESSIK_SHARDED_STUB");
  ASSERT_FALSE(stub.empty()) << "run through run_sharded.sh";
  Session session({PluginPath("xapian")});
  for (const char* compose : {"Or", "And"}) {
    QueryForm form{{{"the"}, {"bank"}, {"engine"}, {"car", {"title"}}}};
    form.compose = compose;
    form.domains = {{"xapian", TESSIK_FIXTURE_DIR "/fixture.xapian"}};
    const std::vector<Found> whole = session.Search(form);
    form.domains = {{"xapian", stub}};
    const std::vector<Found> sharded = session.Search(form);
    ASSERT_EQ(Ids(sharded), Ids(whole)) << compose << (sharded.empty() ? "" : " " + sharded[0].error);
    for (size_t i = 0; i < whole.size(); ++i) {
      EXPECT_TRUE(sharded[i].error.empty()) << sharded[i].error;
      // The score is written with seven significant digits.
      EXPECT_NEAR(sharded[i].score, whole[i].score, 1e-6) << whole[i].id;
    }
    if (std::string(compose) == "Or") {
      EXPECT_GT(whole.size(), 5u);
    }
  }
}

// The statistics over the shards (two remote databases: their lengths
// summed by value stream) are those of the whole index.
TEST(ShardedXapian, StatisticsAreThoseOfTheWholeIndex) {
  const std::string stub = Env("TESSIK_SHARDED_STUB");
  ASSERT_FALSE(stub.empty()) << "run through run_sharded.sh";
  Session session({PluginPath("xapian")});
  const std::vector<std::pair<std::string, std::string>> asked = {{"statistics", "bm25"}};
  for (bool stemming : {false, true}) {
    QueryForm form{{{"the"}, {"bank"}, {"engines"}, {"car", {"title"}}}, "Or"};
    form.stemming = stemming;
    form.domains = {{"xapian", TESSIK_FIXTURE_DIR "/fixture.xapian", "", "", asked}};
    const std::vector<Found> whole = session.Search(form);
    form.domains = {{"xapian", stub, "", "", asked}};
    const std::vector<Found> sharded = session.Search(form);
    ASSERT_EQ(sharded.size(), whole.size());
    ASSERT_GT(whole.size(), 5u);
    EXPECT_EQ(whole[0].properties.count("statistics"), 1u);
    for (size_t i = 0; i < whole.size(); ++i) {
      EXPECT_TRUE(sharded[i].error.empty()) << sharded[i].error;
      std::map<std::string, std::string> a = whole[i].properties, b = sharded[i].properties;
      a.erase("source-rank"), b.erase("source-rank");  // equal scores may come in another order
      if (whole[i].properties.count("statistics")) {
        EXPECT_EQ(b, a);
        continue;
      }
      const auto same = std::find_if(sharded.begin(), sharded.end(), [&](const Found& f) { return f.id == whole[i].id; });
      ASSERT_NE(same, sharded.end()) << whole[i].id;
      b = same->properties;
      b.erase("source-rank");
      EXPECT_EQ(b, a) << whole[i].id;
    }
  }
}

TEST(ShardedXapian, ServerDownGivesAnErrorBesideOtherHits) {
  const std::string down = Env("TESSIK_DOWN_STUB");
  ASSERT_FALSE(down.empty()) << "run through run_sharded.sh";
  Session session({PluginPath("xapian"), PluginPath("files")});
  QueryForm form{{{"bank"}}};
  form.domains = {{"xapian", down}, {"files", TESSIK_FIXTURE_DIR "/quotes.index"}};
  const std::vector<Found> found = session.Search(form);
  size_t errors = 0, quotes = 0;
  for (const Found& f : found) {
    if (!f.error.empty()) {
      ++errors;
      EXPECT_EQ(f.domain, "xapian");
      EXPECT_EQ(f.status, std::to_string(TESSIK_E_FAILED));
      EXPECT_NE(f.error.find("Xapian"), std::string::npos) << f.error;
    } else {
      EXPECT_EQ(f.domain, "files");
      ++quotes;
    }
  }
  EXPECT_EQ(errors, 1u);
  EXPECT_EQ(quotes, 2u);
}

}  // namespace
