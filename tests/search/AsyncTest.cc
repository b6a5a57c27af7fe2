// The asynchronous search as the caller sees it: batches on the worker
// thread, one final notification, aborts, and reports from plugin threads.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <stdexcept>
#include <thread>
#include <vector>

#include "tests/common/Watchdog.h"
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
// Runs inside every callback, before it returns (and before the note is
// recorded, so a waiter sees the note only once the hook has run).
std::function<void(uint32_t, int32_t)> gOnNote;

void Callback(uint32_t session, int32_t code, TessikChar* text) {
  Note note{code, text ? text : TX(""), text != nullptr, std::this_thread::get_id()};
  Tessik_Release(text);
  std::function<void(uint32_t, int32_t)> onNote;
  {
    std::lock_guard<std::mutex> hold(gMutex);
    onNote = gOnNote;
  }
  if (onNote) onNote(session, code);
  {
    std::lock_guard<std::mutex> hold(gMutex);
    gNotes[session].push_back(std::move(note));
  }
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

// Forgets what `session` received; `onNote` runs inside the next callbacks.
void Clear(uint32_t session, std::function<void(uint32_t, int32_t)> onNote = nullptr) {
  std::lock_guard<std::mutex> hold(gMutex);
  gNotes.erase(session);
  gOnNote = std::move(onNote);
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

// One final notification a search, from the worker's thread: empty when
// nothing was delivered, also when a plugin's extra end report stands in for
// another plugin's missing one.
TEST(AsyncSearch, EachSearchEndsOnceFromTheWorker) {
  Session none;
  TestQuery q;
  ASSERT_EQ(Start(none, q, 50), TESSIK_OK);
  auto notes = Notes(none.id, 20s);
  ASSERT_EQ(notes.size(), 1u);
  EXPECT_EQ(notes[0].code, TESSIK_NOTIFY_ENDED_EMPTY);
  EXPECT_FALSE(notes[0].hadText);
  EXPECT_NE(notes[0].thread, std::this_thread::get_id());

  // beta, started last, ends twice; Alpha never: the second end counts as Alpha's.
  Session s;
  s.Load({"Alpha", "beta"});
  TestQuery twice{.asyncMode = {testplugin::kNothingUntilAbort, testplugin::kEndTwice}};
  ASSERT_EQ(Start(s, twice, 20), TESSIK_OK);
  EXPECT_EQ(LastCode(Notes(s.id, 20s)), TESSIK_NOTIFY_ENDED_EMPTY);
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
  Clear(s.id, [&](uint32_t id, int32_t code) {
    if (code != TESSIK_NOTIFY_RESULTS) fromCallback = Tessik_AsyncSearch(id, &ending, &Callback, 0, 10);
  });
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

// Plugins that report results and their end (the alternative code) from
// inside the call; each search starts and joins the worker thread again.
TEST(AsyncSearch, ManySearchesBackToBackLeaveNoThreadBehind) {
  Session s;
  s.Load({"Alpha", "beta"});
  TestQuery q{.asyncMode = {testplugin::kInsideCall, testplugin::kInsideCall},
              .asyncDocument = kA,
              .endCode = TESSIK_NOTIFY_PLUGIN_ENDED_ALT};
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
    if (search % 2) {
      ASSERT_EQ(Tessik_AbortAsyncSearch(s.id), TESSIK_OK);
    }
    std::vector<TString> hits;
    for (const Note& n : Notes(s.id, 60s)) {
      std::vector<TString> ids = HitIds(n.text);
      hits.insert(hits.end(), ids.begin(), ids.end());
    }
    ASSERT_EQ(hits.size(), 8000u) << "search " << search;
    ASSERT_EQ(std::set<TString>(hits.begin(), hits.end()).size(), 8000u) << "search " << search;
  }
}

// A plugin that ends twice leaves the count at 0, not below (a count that
// wrapped would let the next search end at once), and reports for no session,
// another session, without a text or with an unknown code do nothing: the
// next search runs until its plugin ends and delivers only its own results.
TEST(AsyncSearch, ExtraEndsAndStrayReportsLeaveTheNextSearchRunning) {
  Watchdog watchdog(60s, "AsyncSearch.ExtraEndsAndStrayReportsLeaveTheNextSearchRunning");
  Session s;
  s.Load({"Alpha"});
  TestQuery twice{.asyncMode = {testplugin::kEndTwice}, .asyncDocument = kA};
  ASSERT_EQ(Start(s, twice, 5), TESSIK_OK);
  ASSERT_EQ(LastCode(Notes(s.id, 20s)), TESSIK_OK);
  // Both end reports are in before the next search counts its plugins.
  for (int i = 0; i < 2000 && twice.logs[0]->ends.load() % 2 != 0; ++i) std::this_thread::sleep_for(5ms);
  ASSERT_EQ(twice.logs[0]->ends.load() % 2, 0);

  Clear(s.id);
  TestQuery next{.asyncMode = {testplugin::kNothingUntilAbort}};
  ASSERT_EQ(Start(s, next, 1), TESSIK_OK);
  auto notify = next.logs[0]->lastNotify.load();
  notify(0, TESSIK_NOTIFY_PLUGIN_RESULTS, kA);
  notify(0, TESSIK_NOTIFY_PLUGIN_ENDED, nullptr);
  notify(s.id + 1000, TESSIK_NOTIFY_PLUGIN_ENDED, nullptr);
  notify(s.id, TESSIK_NOTIFY_PLUGIN_RESULTS, nullptr);
  notify(s.id, 12345, kA);
  std::this_thread::sleep_for(50ms);  // many rounds of the worker
  EXPECT_TRUE(Notes(s.id).empty());
  notify(s.id, TESSIK_NOTIFY_PLUGIN_RESULTS, kA);
  ASSERT_EQ(Tessik_AbortAsyncSearch(s.id), TESSIK_OK);
  auto notes = Notes(s.id);
  ASSERT_EQ(notes.size(), 2u);
  EXPECT_EQ(notes[0].code, TESSIK_NOTIFY_RESULTS);
  EXPECT_EQ(HitIds(notes[0].text).size(), 1u);
  EXPECT_EQ(notes[1].code, TESSIK_OK);
}

// A callback that throws: the search still ends with its final notification
// and the session can search again.
TEST(AsyncSearch, ACallbackThatThrowsStillEndsItsSearch) {
  Session s;
  s.Load({"Alpha"});
  Clear(s.id, [](uint32_t, int32_t code) {
    if (code == TESSIK_NOTIFY_RESULTS) throw std::runtime_error("the application's own failure");
  });
  TestQuery q{.asyncDocument = kA};
  ASSERT_EQ(Start(s, q, 5), TESSIK_OK);
  auto notes = Notes(s.id, 20s);
  Clear(s.id);
  ASSERT_EQ(notes.size(), 1u);  // the throwing delivery never recorded its note
  EXPECT_EQ(notes[0].code, TESSIK_OK);
  ASSERT_EQ(Start(s, q, 5), TESSIK_OK);
  EXPECT_EQ(LastCode(Notes(s.id, 20s)), TESSIK_OK);
}

// Plugins that report their end from a detached thread and return: the last
// report may still be inside the notifier while another thread closes the
// session. The notifier must not touch a manager that is being destroyed
// (ASan sees it when it does).
TEST(SessionClose, HammeredAgainstDetachedReports) {
  Watchdog watchdog(90s, "SessionClose.HammeredAgainstDetachedReports");
  // Extra end reports keep coming while the session closes.
  TestQuery q{.asyncMode = {testplugin::kDetached, testplugin::kDetached}, .asyncDocs = 300, .asyncDocument = kA};
  std::vector<const testplugin::PluginLog*> logs;
  for (int round = 0; round < 300; ++round) {
    Session s;
    s.Load({"Alpha", "beta"});
    ASSERT_EQ(Start(s, q, 0), TESSIK_OK);
    logs = {q.logs[0], q.logs[1]};
    ASSERT_EQ(Tessik_CloseSession(s.id), TESSIK_OK);
    Clear(s.id);
    s.id = 0;
  }
  // Late reports of closed sessions find nothing; let them finish, in both
  // plugins, before the library can go (waiting for one plugin's alone let
  // the other's still report while the process tore the library down).
  for (const testplugin::PluginLog* log : logs) {
    while (log->detached.load() != 0) std::this_thread::sleep_for(1ms);
  }
}

// Callbacks that work on other sessions, while other threads search
// synchronously on third sessions and wait for the calling session's search:
// no lock of the library is held around a callback, so none of this can
// deadlock, although the locks are shared by every session.
TEST(SessionCallbacks, CrossSessionCallsWhileOthersSearch) {
  Watchdog watchdog(90s, "SessionCallbacks.CrossSessionCallsWhileOthersSearch");
  Session a, b, c, d;
  for (Session* s : {&a, &b, &c, &d}) s->Load({"Alpha"});
  std::atomic<bool> stop{false};
  std::vector<std::thread> others;
  for (Session* s : {&c, &d}) {
    others.emplace_back([s, &stop] {
      TestQuery q{.documents = {kA}};
      while (!stop) EXPECT_EQ(s->Search(q), kA);
    });
  }
  TestQuery onB{.asyncDocument = kA};
  std::atomic<int> failures{0};
  auto expect = [&](int32_t status) { failures += status != TESSIK_OK; };
  for (int round = 0; round < 20; ++round) {
    Clear(b.id);
    Clear(a.id, [&](uint32_t id, int32_t code) {
      if (id != a.id) return;  // B's own callbacks
      if (code == TESSIK_NOTIFY_RESULTS) {
        expect(Tessik_LoadPluginByDomain(b.id, TX("Gamma")));
        expect(Tessik_InitSearch(b.id));
        TessikChar* text = nullptr;
        expect(Tessik_SyncSearch(b.id, &onB, &text, 0));
        Tessik_Release(text);
      } else {
        expect(Tessik_AsyncSearch(b.id, &onB, &Callback, 0, 1));
        expect(Tessik_AbortAsyncSearch(b.id));  // waits for B's end, from A's worker
      }
    });
    TestQuery q{.asyncDocument = kA};
    ASSERT_EQ(Start(a, q, 2), TESSIK_OK);
    // Waits for A's search while A's callbacks take the plugin lock.
    EXPECT_EQ(a.Search(TestQuery()), TX(""));
    ASSERT_EQ(LastCode(Notes(a.id, 30s)), TESSIK_OK) << round;
    EXPECT_NE(LastCode(Notes(b.id, 30s)), 1) << round;
  }
  Clear(a.id);
  stop = true;
  for (auto& t : others) t.join();
  EXPECT_EQ(failures.load(), 0);
}

// On its own session a callback must never wait for its own search: closing
// and searching synchronously are refused at once, an abort asks the plugins
// to stop and returns, and calls that do not wait work as anywhere else.
TEST(SessionCallbacks, OwnSessionFromADeliveryCallback) {
  Watchdog watchdog(60s, "SessionCallbacks.OwnSessionFromADeliveryCallback");
  Session s;
  s.Load({"Alpha"});
  TestQuery q{.asyncMode = {testplugin::kNothingUntilAbort}};
  int32_t closed = 1, searched = 1, started = 1, initialised = 1, loaded = 1, aborted = 1;
  TessikChar* text = reinterpret_cast<TessikChar*>(&closed);
  Clear(s.id, [&](uint32_t id, int32_t code) {
    if (code != TESSIK_NOTIFY_RESULTS) return;
    closed = Tessik_CloseSession(id);
    searched = Tessik_SyncSearch(id, &q, &text, 0);
    started = Tessik_AsyncSearch(id, &q, &Callback, 0, 1);
    aborted = Tessik_AbortAsyncSearch(id);  // the plugin ends from inside its abort
    // After the abort: a new handle would not know the running search.
    initialised = Tessik_InitSearch(id);
    loaded = Tessik_LoadPluginByDomain(id, TX("beta"));
  });
  ASSERT_EQ(Start(s, q, 2), TESSIK_OK);
  int aborts = q.logs[0]->abort;
  q.logs[0]->lastNotify.load()(s.id, TESSIK_NOTIFY_PLUGIN_RESULTS, kA);
  auto notes = Notes(s.id, 30s);
  Clear(s.id);
  ASSERT_EQ(notes.size(), 2u);
  EXPECT_EQ(notes[1].code, TESSIK_OK);
  EXPECT_EQ(closed, TESSIK_E_SEARCH_RUNNING);
  EXPECT_EQ(searched, TESSIK_E_SEARCH_RUNNING);
  EXPECT_EQ(text, nullptr);
  EXPECT_EQ(started, TESSIK_E_SEARCH_RUNNING);
  EXPECT_EQ(initialised, TESSIK_OK);
  EXPECT_EQ(loaded, TESSIK_OK);
  EXPECT_EQ(aborted, TESSIK_OK);
  EXPECT_EQ(q.logs[0]->abort.load(), aborts + 1);
  EXPECT_EQ(s.Search(TestQuery{.documents = {kA}}), kA);  // still usable, beta loaded
}
