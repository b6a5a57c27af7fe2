// The asynchronous search as the caller sees it: batches on the worker
// thread, one final notification, aborts, and reports from plugin threads.
#include <gtest/gtest.h>

#include <chrono>
#include <atomic>
#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "tessik/TessikClient.h"
#include "tests/search/TestProtocol.h"
#include "tests/common/TestText.h"

namespace {

using namespace std::chrono_literals;
using testplugin::TestQuery;

std::basic_string<TessikChar> T(const std::string& s) { return std::basic_string<TessikChar>(s.begin(), s.end()); }

struct Note {
  int32_t code;
  TString text;
  bool hadText;
  std::thread::id thread;
};

// What the callback received, per session; every wait has a deadline, so a
// lost notification fails the test instead of hanging it.
class Recorder {
 public:
  static Recorder& Get() {
    static Recorder recorder;
    return recorder;
  }
  static void Callback(uint32_t sessionId, int32_t code, TessikChar* text) {
    Recorder& r = Get();
    {
      std::lock_guard<std::mutex> hold(r.mutex_);
      r.notes_[sessionId].push_back({code, text ? TString(reinterpret_cast<TessikChar*>(text)) : TX(""),
                                     text != nullptr, std::this_thread::get_id()});
      if (code != TESSIK_NOTIFY_RESULTS && r.onFinal_) r.onFinal_(sessionId);
    }
    Tessik_Release(text);
    r.changed_.notify_all();
  }
  // Waits for the final notification of `session`; returns every note.
  std::vector<Note> WaitFinal(uint32_t session, std::chrono::milliseconds limit = 20s) {
    std::unique_lock<std::mutex> hold(mutex_);
    bool done = changed_.wait_for(hold, limit, [&] { return HasFinal(session); });
    EXPECT_TRUE(done) << "no final notification for session " << session;
    return notes_[session];
  }
  std::vector<Note> Notes(uint32_t session) {
    std::lock_guard<std::mutex> hold(mutex_);
    return notes_[session];
  }
  void Clear(uint32_t session) {
    std::lock_guard<std::mutex> hold(mutex_);
    notes_.erase(session);
  }
  // Runs inside the final callback of any session.
  void SetOnFinal(std::function<void(uint32_t)> f) {
    std::lock_guard<std::mutex> hold(mutex_);
    onFinal_ = std::move(f);
  }

 private:
  std::function<void(uint32_t)> onFinal_;
  bool HasFinal(uint32_t session) {
    for (const Note& n : notes_[session]) {
      if (n.code != TESSIK_NOTIFY_RESULTS) return true;
    }
    return false;
  }
  std::mutex mutex_;
  std::condition_variable changed_;
  std::map<uint32_t, std::vector<Note>> notes_;
};

struct Session {
  Session() { EXPECT_EQ(Tessik_OpenSession(nullptr, &id), TESSIK_OK); }
  ~Session() {
    if (id) Tessik_CloseSession(id);
    Recorder::Get().Clear(id);
  }
  void Load(std::initializer_list<const char*> domains) {
    for (const char* d : domains) ASSERT_EQ(Tessik_LoadPluginByDomain(id, T(d).c_str()), TESSIK_OK) << d;
    ASSERT_EQ(Tessik_InitSearch(id), TESSIK_OK);
  }
  int32_t Start(const TestQuery& q, uint32_t interval) {
    return Tessik_AsyncSearch(id, &q, &Recorder::Callback, 0, interval);
  }
  uint32_t id = 0;
};

const TessikChar kA[] = TX("<Results><Result id=\"A\"/></Results>");

// The code of the last notification, or 1 when there was none.
int32_t LastCode(const std::vector<Note>& notes) { return notes.empty() ? 1 : notes.back().code; }

int Count(const TString& text, const TString& what) {
  int n = 0;
  for (size_t at = text.find(what); at != TString::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

}  // namespace

TEST(AsyncSearch, NoPluginsEndsOnceWithNothingDelivered) {
  Session s;
  TestQuery q;
  auto started = std::chrono::steady_clock::now();
  ASSERT_EQ(s.Start(q, 50), TESSIK_OK);
  auto notes = Recorder::Get().WaitFinal(s.id);
  EXPECT_GE(std::chrono::steady_clock::now() - started, 45ms);  // after one interval
  ASSERT_EQ(notes.size(), 1u);
  EXPECT_EQ(notes[0].code, TESSIK_NOTIFY_ENDED_EMPTY);
  EXPECT_FALSE(notes[0].hadText);
  EXPECT_NE(notes[0].thread, std::this_thread::get_id());  // the worker's thread, never the caller's
}

TEST(AsyncSearch, ReportsWithinOneIntervalArriveAsOneMergedBatch) {
  Session s;
  s.Load({"Alpha", "beta"});
  TestQuery q;
  q.asyncDocument = kA;
  q.asyncDocs = 3;  // several documents per plugin within one interval
  ASSERT_EQ(s.Start(q, 300), TESSIK_OK);
  auto notes = Recorder::Get().WaitFinal(s.id);
  ASSERT_EQ(notes.size(), 2u);
  EXPECT_EQ(notes[0].code, TESSIK_NOTIFY_RESULTS);
  EXPECT_EQ(Count(notes[0].text, TX("<Result id=\"A\"/>")), 6);
  EXPECT_EQ(Count(notes[0].text, TX("</Results>")), 1);  // one well-formed document
  EXPECT_EQ(notes[1].code, TESSIK_OK);
  EXPECT_FALSE(notes[1].hadText);
  EXPECT_EQ(q.logs[0]->lastAsyncParam.load(), 10u);
}

TEST(AsyncSearch, ReportsFromInsideTheCallAndDoubleEndsAreCounted) {
  Session s;
  s.Load({"Alpha", "beta"});
  TestQuery q;
  q.asyncDocument = kA;
  q.asyncMode[0] = testplugin::kInsideCall;
  q.endCode = -307347;
  ASSERT_EQ(s.Start(q, 20), TESSIK_OK);
  auto notes = Recorder::Get().WaitFinal(s.id);
  EXPECT_EQ(LastCode(notes), TESSIK_OK);

  // beta, started last, ends twice; Alpha never: the second end counts as Alpha's.
  Recorder::Get().Clear(s.id);
  TestQuery twice;
  twice.asyncMode[0] = testplugin::kNothingUntilAbort;
  twice.asyncMode[1] = testplugin::kEndTwice;
  ASSERT_EQ(s.Start(twice, 20), TESSIK_OK);
  EXPECT_EQ(LastCode(Recorder::Get().WaitFinal(s.id)), TESSIK_NOTIFY_ENDED_EMPTY);
}

TEST(AsyncSearch, RefusedWhileRunningAndFromInsideTheFinalCallback) {
  Session s;
  s.Load({"Alpha"});
  TestQuery q;
  q.asyncMode[0] = testplugin::kNothingUntilAbort;
  ASSERT_EQ(s.Start(q, 10), TESSIK_OK);
  EXPECT_EQ(s.Start(q, 10), TESSIK_E_SEARCH_RUNNING);
  // Abort returns only after the final notification.
  EXPECT_EQ(Tessik_AbortAsyncSearch(s.id), TESSIK_OK);
  EXPECT_EQ(Recorder::Get().Notes(s.id).size(), 1u);

  // A search that ends by itself: the session is idle only after the final
  // callback has returned.
  Recorder::Get().Clear(s.id);
  std::atomic<int32_t> fromCallback{1};
  TestQuery ending;
  Recorder::Get().SetOnFinal([&](uint32_t id) {
    fromCallback = Tessik_AsyncSearch(id, &ending, &Recorder::Callback, 0, 10);
  });
  ASSERT_EQ(s.Start(ending, 10), TESSIK_OK);
  Recorder::Get().WaitFinal(s.id);
  Recorder::Get().SetOnFinal(nullptr);
  EXPECT_EQ(fromCallback.load(), TESSIK_E_SEARCH_RUNNING);
  ASSERT_EQ(s.Start(q, 10), TESSIK_OK);
  EXPECT_EQ(Tessik_AbortAsyncSearch(s.id), TESSIK_OK);
  // Closing right after an abort.
  EXPECT_EQ(Tessik_CloseSession(s.id), TESSIK_OK);
  s.id = 0;
}

TEST(AsyncSearch, AbortOnAnIdleSessionAndSyncSearchWaitsForTheEnd) {
  Session s;
  s.Load({"Alpha", "Gamma"});
  TestQuery q;
  TessikChar* text = nullptr;
  ASSERT_EQ(Tessik_SyncSearch(s.id, &q, &text, 0), TESSIK_OK);  // to learn the logs
  Tessik_Release(text);
  int aborts = q.logs[0]->abort;
  EXPECT_EQ(Tessik_AbortAsyncSearch(s.id), TESSIK_OK);
  EXPECT_EQ(q.logs[0]->abort.load(), aborts + 1);
  EXPECT_TRUE(Recorder::Get().Notes(s.id).empty());

  TestQuery slow;
  slow.asyncDocument = kA;
  ASSERT_EQ(s.Start(slow, 200), TESSIK_OK);
  ASSERT_EQ(Tessik_SyncSearch(s.id, &q, &text, 0), TESSIK_OK);
  Tessik_Release(text);
  auto notes = Recorder::Get().Notes(s.id);  // no wait: it must be there already
  ASSERT_FALSE(notes.empty());
  EXPECT_EQ(LastCode(notes), TESSIK_OK);
}

TEST(AsyncSearch, NotificationsThatMustDoNothing) {
  Session s;
  s.Load({"Alpha"});
  TestQuery q;
  q.asyncMode[0] = testplugin::kNothingUntilAbort;
  ASSERT_EQ(s.Start(q, 10), TESSIK_OK);
  auto notify = q.logs[0]->lastNotify.load();
  ASSERT_NE(notify, nullptr);
  notify(0, TESSIK_NOTIFY_PLUGIN_RESULTS, kA);
  notify(0, TESSIK_NOTIFY_PLUGIN_ENDED, nullptr);
  notify(s.id + 1000, TESSIK_NOTIFY_PLUGIN_ENDED, nullptr);
  notify(s.id, TESSIK_NOTIFY_PLUGIN_RESULTS, nullptr);
  notify(s.id, 12345, kA);
  std::this_thread::sleep_for(50ms);
  EXPECT_TRUE(Recorder::Get().Notes(s.id).empty());  // still running, nothing delivered
  ASSERT_EQ(Tessik_AbortAsyncSearch(s.id), TESSIK_OK);
  auto notes = Recorder::Get().Notes(s.id);
  ASSERT_EQ(notes.size(), 1u);
  EXPECT_EQ(notes[0].code, TESSIK_NOTIFY_ENDED_EMPTY);
}

TEST(AsyncSearch, ManySearchesBackToBackLeaveNoThreadBehind) {
  Session s;
  s.Load({"Alpha"});
  TestQuery q;
  q.asyncMode[0] = testplugin::kInsideCall;
  q.asyncDocument = kA;
  for (int i = 0; i < 200; ++i) {
    Recorder::Get().Clear(s.id);
    ASSERT_EQ(s.Start(q, 0), TESSIK_OK) << i;
    auto notes = Recorder::Get().WaitFinal(s.id);
    ASSERT_EQ(LastCode(notes), TESSIK_OK) << i;
  }
}

// Eight plugin threads report numbered one-hit documents while the caller
// keeps starting and aborting searches: every hit arrives exactly once.
TEST(AsyncStress, EveryReportedHitIsDeliveredExactlyOnce) {
  Session s;
  s.Load({"Alpha"});
  TestQuery q;
  q.asyncMode[0] = testplugin::kStress;
  q.asyncDocs = 1000;
  auto deadline = std::chrono::steady_clock::now() + 3s;
  int searches = 0;
  while (searches < 3 || std::chrono::steady_clock::now() < deadline) {
    Recorder::Get().Clear(s.id);
    ASSERT_EQ(s.Start(q, 1), TESSIK_OK);
    if (searches % 2) {
      ASSERT_EQ(Tessik_AbortAsyncSearch(s.id), TESSIK_OK);
    }
    auto notes = Recorder::Get().WaitFinal(s.id, 60s);
    std::set<TString> ids;
    size_t hits = 0;
    for (const Note& n : notes) {
      for (size_t at = n.text.find(TX("id=\"")); at != TString::npos; at = n.text.find(TX("id=\""), at + 1)) {
        ids.insert(n.text.substr(at + 4, n.text.find(TX('"'), at + 4) - at - 4));
        ++hits;
      }
    }
    ASSERT_EQ(hits, 8000u) << "search " << searches;
    ASSERT_EQ(ids.size(), 8000u) << "search " << searches;
    ++searches;
    if (searches > 50) break;
  }
}
