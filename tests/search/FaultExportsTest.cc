// System failures seen through the exported functions: each failure of a
// named object's open, the loader, the worker's start and the heap becomes
// the status, null pointer or exception its function promises, and the
// session (or list) goes on working afterwards. The asan lane checks that
// none of them leaks.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <functional>
#include <iterator>
#include <mutex>
#include <new>

#include "tessik/Hits.h"
#include "tessik/TessikClient.h"
#include "tests/common/FailingCalls.h"
#include "tests/common/TestText.h"
#include "tests/common/Watchdog.h"
#include "tests/search/TestSession.h"

using failing::Call;
using failing::FailNth;
using testplugin::TestQuery;

namespace {

size_t OpenDescriptors() {
  return static_cast<size_t>(std::distance(std::filesystem::directory_iterator("/proc/self/fd"), {}));
}

const TessikChar* const kDocA = TX("<Results><Result id=\"a\"/></Results>");
const TessikChar* const kDocB = TX("<Results><Result id=\"b\"/></Results>");
const TessikChar* const kMerged = TX("<Results><Result id=\"a\"/><Result id=\"b\"/></Results>");

// Runs `operation` with the nth call of `call` failing, for n = 0, 1, ...
// until the failure no longer fires. A failure that fired makes `operation`
// return `expected`, or TESSIK_OK where the library got by without what it
// was refused (a string that could not double its buffer grows by less);
// `undo` then takes back what a success made, and `check` runs, both with
// the failure disarmed. Returns how many failures gave `expected`.
int Sweep(Call call, int32_t expected, const std::function<int32_t()>& operation, const std::function<void()>& undo,
          const std::function<void(int32_t)>& check) {
  int failed = 0;
  for (long nth = 0; nth < 10000; ++nth) {
    FailNth failure(call, nth, call == failing::kMalloc || call == failing::kRealloc ? ENOMEM : EIO);
    int32_t status = operation();
    failure.Disarm();
    if (status == TESSIK_OK) undo();
    if (!failure.Fired()) {
      EXPECT_EQ(status, TESSIK_OK) << failing::kCallNames[call];
      return failed;
    }
    failed += status == expected;
    EXPECT_TRUE(status == expected || status == TESSIK_OK)
        << failing::kCallNames[call] << " call " << nth << ": " << status;
    check(status);
  }
  ADD_FAILURE() << "the failure still fires";
  return failed;
}

}  // namespace

// Opening a session opens the session's locks and event: each failure of
// their system calls is TESSIK_E_FAILED, each failed allocation
// TESSIK_E_OUT_OF_MEMORY, with no identifier written and no descriptor left
// open; sessions open and search afterwards as ever.
TEST(InjectedFailureExports, OpenSession) {
  Watchdog dog(std::chrono::seconds(100), "InjectedFailureExports.OpenSession");
  { Session warm; }  // the registry's own lock is opened once per process
  size_t descriptors = OpenDescriptors();
  for (Call call : {failing::kShmOpen, failing::kFtruncate, failing::kMmap, failing::kFlock, failing::kMalloc}) {
    uint32_t id = 0;
    int fired = Sweep(
        call, call == failing::kMalloc ? TESSIK_E_OUT_OF_MEMORY : TESSIK_E_FAILED,
        [&] { return id = 0, Tessik_OpenSession(TX("a session with a name"), &id); },
        [&] { EXPECT_EQ(Tessik_CloseSession(id), TESSIK_OK); },
        [&](int32_t status) {
          if (status != TESSIK_OK) {
            EXPECT_EQ(id, 0u);
          }
          EXPECT_EQ(OpenDescriptors(), descriptors);
          Session s;
          s.Load({"Alpha"});
          TestQuery q;
          q.documents[0] = kDocA;
          EXPECT_EQ(s.Search(q), kDocA);
        });
    // Another process may have the objects ready, so they are never sized here.
    EXPECT_TRUE(fired > 0 || call == failing::kFtruncate) << failing::kCallNames[call];
  }
  EXPECT_EQ(OpenDescriptors(), descriptors);
}

// A plugin library the system will not load: TESSIK_E_PLUGIN_LOAD_FAILED,
// and the same plugin loads and searches afterwards.
TEST(InjectedFailureExports, PluginLoad) {
  Session s;
  {
    FailNth failure(failing::kDlopen, 0, ENOMEM, 100);
    EXPECT_EQ(s.Domain("Gamma"), TESSIK_E_PLUGIN_LOAD_FAILED);
    EXPECT_TRUE(failure.Fired());
  }
  s.Load({"Gamma"});
  TestQuery q;
  q.documents[2] = kDocB;
  EXPECT_EQ(s.Search(q), kDocB);
}

namespace {
std::mutex gMutex;
std::condition_variable gChanged;
int gResults = 0, gFinals = 0;  // guarded by gMutex
void Callback(uint32_t, int32_t code, TessikChar* text) {
  Tessik_Release(text);
  std::lock_guard<std::mutex> hold(gMutex);
  (code == TESSIK_NOTIFY_RESULTS ? gResults : gFinals) += 1;
  gChanged.notify_all();
}
}  // namespace

// No thread for the session's worker: TESSIK_E_FAILED and no callback; the
// session is idle again, so the next asynchronous search runs, delivers and
// ends, and the session closes.
TEST(InjectedFailureExports, WorkerStart) {
  Watchdog dog(std::chrono::seconds(60), "InjectedFailureExports.WorkerStart");
  Session s;
  s.Load({"Alpha"});
  TestQuery q;
  q.asyncMode[0] = testplugin::kInsideCall;  // reports before the worker would start
  q.asyncDocument = kDocA;
  {
    FailNth failure(failing::kThread, 0, EAGAIN);
    EXPECT_EQ(Tessik_AsyncSearch(s.id, &q, &Callback, 0, 1), TESSIK_E_FAILED);
    EXPECT_TRUE(failure.Fired());
  }
  ASSERT_EQ(Tessik_AsyncSearch(s.id, &q, &Callback, 0, 1), TESSIK_OK);
  std::unique_lock<std::mutex> hold(gMutex);
  EXPECT_TRUE(gChanged.wait_for(hold, std::chrono::seconds(30), [] { return gFinals == 1; }));
  EXPECT_EQ(gResults, 1);
  hold.unlock();
}

// Memory running out anywhere in a search with two plugins' documents to
// merge: TESSIK_E_OUT_OF_MEMORY and no result, the plugins' buffers freed
// all the same, and the next search merges both.
TEST(InjectedFailureExports, SyncSearchOutOfMemory) {
  Watchdog dog(std::chrono::seconds(100), "InjectedFailureExports.SyncSearchOutOfMemory");
  Session s;
  s.Load({"Alpha", "beta"});
  TestQuery q;
  q.documents[0] = kDocA;
  q.documents[1] = kDocB;
  for (Call call : {failing::kRealloc}) {
    TessikChar* out = nullptr;
    int fired = Sweep(
        call, TESSIK_E_OUT_OF_MEMORY, [&] { return Tessik_SyncSearch(s.id, &q, &out, 0); },
        [&] {
          EXPECT_EQ(TString(out), kMerged);
          Tessik_Release(out);
        },
        [&](int32_t status) {
          if (status != TESSIK_OK) {
            EXPECT_EQ(out, nullptr);
          }
          EXPECT_EQ(s.Search(q), kMerged);
        });
    EXPECT_GT(fired, 0) << failing::kCallNames[call];
  }
}

// Hit lists: reading and writing a results document with memory running
// out are TESSIK_E_OUT_OF_MEMORY (no list handed out), a hit's SetProperty
// raises std::bad_alloc and keeps what it held, and a list whose lock the
// system refuses is not made.
TEST(InjectedFailureExports, HitLists) {
  Watchdog dog(std::chrono::seconds(100), "InjectedFailureExports.HitLists");
  const TessikChar* doc =
      TX("<Results><Result norm_score='1'><Property name='title'>one</Property></Result>"
         "<Result norm_score='2'><Property name='title'>two</Property></Result></Results>");
  {
    FailNth failure(failing::kShmOpen, 0, EMFILE);
    EXPECT_EQ(Tessik_NewHitList(), nullptr);
    EXPECT_TRUE(failure.Fired());
  }
  IHitList* list = nullptr;
  EXPECT_GT(Sweep(
                failing::kMalloc, TESSIK_E_OUT_OF_MEMORY,
                [&] { return list = nullptr, Tessik_ConvertXMLToHitList(doc, &list); },
                [&] {
                  EXPECT_EQ(list->GetCount(), 2u);
                  Tessik_ReleaseHitList(list);
                },
                [&](int32_t status) {
                  if (status != TESSIK_OK) {
                    EXPECT_EQ(list, nullptr);
                  }
                }),
            0);
  ASSERT_EQ(Tessik_ConvertXMLToHitList(doc, &list), TESSIK_OK);
  TessikChar* xml = nullptr;
  for (Call call : {failing::kMalloc, failing::kRealloc}) {
    Sweep(
        call, TESSIK_E_OUT_OF_MEMORY, [&] { return xml = nullptr, Tessik_ConvertHitListToXML(list, &xml); },
        [&] { Tessik_Release(xml); },
        [&](int32_t status) {
          if (status != TESSIK_OK) {
            EXPECT_EQ(xml, nullptr);
          }
        });
  }
  IHit* hit = Tessik_NewHit();
  ASSERT_NE(hit, nullptr);
  hit->SetProperty(TX("kept"), TX("yes"));
  {
    FailNth failure(failing::kMalloc, 0, ENOMEM, 1000);
    EXPECT_THROW(hit->SetProperty(TX("title"), TX("a value")), std::bad_alloc);
  }
  EXPECT_EQ(TString(hit->GetProperty(TX("kept"))), TX("yes"));
  EXPECT_EQ(hit->GetProperty(TX("title")), nullptr);
  list->AddHit(hit);
  EXPECT_EQ(list->GetCount(), 3u);
  Tessik_ReleaseHitList(list);
}
