// The asynchronous search as the caller sees it: batches on the worker
// thread, one final notification, aborts, and reports from plugin threads.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

#include "tests/search/TestSession.h"

namespace {

using namespace std::chrono_literals;
using testplugin::TestQuery;

struct Note {
  int32_t code;
  TString text;  // empty when there was none
  bool hadText;
  std::thread::id thread;
};

// What the callback received, per session.
std::mutex gMutex;
std::condition_variable gChanged;
std::map<uint32_t, std::vector<Note>> gNotes;
std::function<void(uint32_t)> gOnFinal;

void Callback(uint32_t session, int32_t code, TessikChar* text) {
  {
    std::lock_guard<std::mutex> hold(gMutex);
    gNotes[session].push_back({code, text ? text : TX(""), text != nullptr, std::this_thread::get_id()});
    if (code != TESSIK_NOTIFY_RESULTS && gOnFinal) gOnFinal(session);
  }
  Tessik_Release(text);
  gChanged.notify_all();
}

// The notes of `session`, once its final one is in when given time to wait:
// a lost notification fails the test instead of hanging it.
std::vector<Note> Notes(uint32_t session, std::chrono::seconds wait = 0s) {
  std::unique_lock<std::mutex> hold(gMutex);
  auto& notes = gNotes[session];
  bool ended =
      gChanged.wait_for(hold, wait, [&] { return !notes.empty() && notes.back().code != TESSIK_NOTIFY_RESULTS; });
  EXPECT_TRUE(ended || wait == 0s) << "no final notification for session " << session;
  return notes;
}

// Forgets what `session` received; `onFinal` runs inside the next final callbacks.
void Clear(uint32_t session, std::function<void(uint32_t)> onFinal = nullptr) {
  std::lock_guard<std::mutex> hold(gMutex);
  gNotes.erase(session);
  gOnFinal = std::move(onFinal);
}

int32_t Start(const Session& s, const TestQuery& q, uint32_t interval) {
  return Tessik_AsyncSearch(s.id, &q, &Callback, 0, interval);
}

// The code of the last notification, or 1 when there was none.
int32_t LastCode(const std::vector<Note>& notes) { return notes.empty() ? 1 : notes.back().code; }

const TessikChar kA[] = TX("<Results><Result id=\"A\"/></Results>");

std::vector<TString> HitIds(const TString& text) {
  std::vector<TString> ids;
  for (size_t at = text.find(TX("id=\"")); at != TString::npos; at = text.find(TX("id=\""), at + 1)) {
    ids.push_back(text.substr(at + 4, text.find(TX('"'), at + 4) - at - 4));
  }
  return ids;
}

}  // namespace

TEST(AsyncSearch, NoPluginsEndsOnceWithNothingDelivered) {
  Session s;
  TestQuery q;
  auto started = std::chrono::steady_clock::now();
  ASSERT_EQ(Start(s, q, 50), TESSIK_OK);
  auto notes = Notes(s.id, 20s);
  EXPECT_GE(std::chrono::steady_clock::now() - started, 45ms);  // after one interval
  ASSERT_EQ(notes.size(), 1u);
  EXPECT_EQ(notes[0].code, TESSIK_NOTIFY_ENDED_EMPTY);
  EXPECT_FALSE(notes[0].hadText);
  EXPECT_NE(notes[0].thread, std::this_thread::get_id());  // the worker's thread, never the caller's
}

TEST(AsyncSearch, ReportsWithinOneIntervalArriveAsOneMergedBatch) {
  Session s;
  s.Load({"Alpha", "beta"});
  TestQuery q{.asyncDocs = 3, .asyncDocument = kA};  // several documents per plugin within one interval
  ASSERT_EQ(Start(s, q, 300), TESSIK_OK);
  auto notes = Notes(s.id, 20s);
  ASSERT_EQ(notes.size(), 2u);
  EXPECT_EQ(notes[0].code, TESSIK_NOTIFY_RESULTS);
  EXPECT_EQ(HitIds(notes[0].text), std::vector<TString>(6, TX("A")));
  EXPECT_EQ(notes[0].text.find(TX("</Results>")), notes[0].text.size() - 10);  // one well-formed document
  EXPECT_EQ(notes[1].code, TESSIK_OK);
  EXPECT_FALSE(notes[1].hadText);
  EXPECT_EQ(q.logs[0]->lastAsyncParam.load(), 10u);
}

TEST(AsyncSearch, ReportsFromInsideTheCallAndDoubleEndsAreCounted) {
  Session s;
  s.Load({"Alpha", "beta"});
  TestQuery q{.asyncMode = {testplugin::kInsideCall}, .asyncDocument = kA, .endCode = -307347};
  ASSERT_EQ(Start(s, q, 20), TESSIK_OK);
  EXPECT_EQ(LastCode(Notes(s.id, 20s)), TESSIK_OK);

  // beta, started last, ends twice; Alpha never: the second end counts as Alpha's.
  Clear(s.id);
  TestQuery twice{.asyncMode = {testplugin::kNothingUntilAbort, testplugin::kEndTwice}};
  ASSERT_EQ(Start(s, twice, 20), TESSIK_OK);
  EXPECT_EQ(LastCode(Notes(s.id, 20s)), TESSIK_NOTIFY_ENDED_EMPTY);
}

TEST(AsyncSearch, RefusedWhileRunningAndFromInsideTheFinalCallback) {
  Session s;
  s.Load({"Alpha"});
  TestQuery q{.asyncMode = {testplugin::kNothingUntilAbort}};
  ASSERT_EQ(Start(s, q, 10), TESSIK_OK);
  EXPECT_EQ(Start(s, q, 10), TESSIK_E_SEARCH_RUNNING);
  // Abort returns only after the final notification.
  EXPECT_EQ(Tessik_AbortAsyncSearch(s.id), TESSIK_OK);
  EXPECT_EQ(Notes(s.id).size(), 1u);

  // A search that ends by itself: the session is idle only after the final
  // callback has returned.
  std::atomic<int32_t> fromCallback{1};
  TestQuery ending;
  Clear(s.id, [&](uint32_t id) { fromCallback = Tessik_AsyncSearch(id, &ending, &Callback, 0, 10); });
  ASSERT_EQ(Start(s, ending, 10), TESSIK_OK);
  Notes(s.id, 20s);
  Clear(s.id);
  EXPECT_EQ(fromCallback.load(), TESSIK_E_SEARCH_RUNNING);
  ASSERT_EQ(Start(s, q, 10), TESSIK_OK);
  EXPECT_EQ(Tessik_AbortAsyncSearch(s.id), TESSIK_OK);
  // Closing right after an abort.
  EXPECT_EQ(Tessik_CloseSession(s.id), TESSIK_OK);
  s.id = 0;
}

TEST(AsyncSearch, AbortOnAnIdleSessionAndSyncSearchWaitsForTheEnd) {
  Session s;
  s.Load({"Alpha", "Gamma"});
  TestQuery q;
  ASSERT_EQ(s.Search(q), TX(""));  // to learn the logs
  int aborts = q.logs[0]->abort;
  EXPECT_EQ(Tessik_AbortAsyncSearch(s.id), TESSIK_OK);
  EXPECT_EQ(q.logs[0]->abort.load(), aborts + 1);
  EXPECT_TRUE(Notes(s.id).empty());

  TestQuery slow{.asyncDocument = kA};
  ASSERT_EQ(Start(s, slow, 200), TESSIK_OK);
  EXPECT_EQ(s.Search(q), TX(""));
  EXPECT_EQ(LastCode(Notes(s.id)), TESSIK_OK);  // no wait: it must be there already
}

TEST(AsyncSearch, NotificationsThatMustDoNothing) {
  Session s;
  s.Load({"Alpha"});
  TestQuery q{.asyncMode = {testplugin::kNothingUntilAbort}};
  ASSERT_EQ(Start(s, q, 10), TESSIK_OK);
  auto notify = q.logs[0]->lastNotify.load();
  ASSERT_NE(notify, nullptr);
  notify(0, TESSIK_NOTIFY_PLUGIN_RESULTS, kA);
  notify(0, TESSIK_NOTIFY_PLUGIN_ENDED, nullptr);
  notify(s.id + 1000, TESSIK_NOTIFY_PLUGIN_ENDED, nullptr);
  notify(s.id, TESSIK_NOTIFY_PLUGIN_RESULTS, nullptr);
  notify(s.id, 12345, kA);
  std::this_thread::sleep_for(50ms);
  EXPECT_TRUE(Notes(s.id).empty());  // still running, nothing delivered
  ASSERT_EQ(Tessik_AbortAsyncSearch(s.id), TESSIK_OK);
  auto notes = Notes(s.id);
  ASSERT_EQ(notes.size(), 1u);
  EXPECT_EQ(notes[0].code, TESSIK_NOTIFY_ENDED_EMPTY);
}

TEST(AsyncSearch, ManySearchesBackToBackLeaveNoThreadBehind) {
  Session s;
  s.Load({"Alpha"});
  TestQuery q{.asyncMode = {testplugin::kInsideCall}, .asyncDocument = kA};
  for (int i = 0; i < 200; ++i) {
    Clear(s.id);
    ASSERT_EQ(Start(s, q, 0), TESSIK_OK) << i;
    ASSERT_EQ(LastCode(Notes(s.id, 20s)), TESSIK_OK) << i;
  }
}

// Eight plugin threads report numbered one-hit documents while the caller
// keeps starting and aborting searches: every hit arrives exactly once.
TEST(AsyncStress, EveryReportedHitIsDeliveredExactlyOnce) {
  Session s;
  s.Load({"Alpha"});
  TestQuery q{.asyncMode = {testplugin::kStress}, .asyncDocs = 1000};
  auto deadline = std::chrono::steady_clock::now() + 3s;
  for (int search = 0; search <= 50 && (search < 3 || std::chrono::steady_clock::now() < deadline); ++search) {
    Clear(s.id);
    ASSERT_EQ(Start(s, q, 1), TESSIK_OK);
    if (search % 2) { ASSERT_EQ(Tessik_AbortAsyncSearch(s.id), TESSIK_OK); }
    std::vector<TString> hits;
    for (const Note& n : Notes(s.id, 60s)) {
      std::vector<TString> ids = HitIds(n.text);
      hits.insert(hits.end(), ids.begin(), ids.end());
    }
    ASSERT_EQ(hits.size(), 8000u) << "search " << search;
    ASSERT_EQ(std::set<TString>(hits.begin(), hits.end()).size(), 8000u) << "search " << search;
  }
}
