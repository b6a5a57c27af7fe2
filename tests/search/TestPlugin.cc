// The test plugin, built several times under different names and slots
// (PLUGIN_SLOT). WITHOUT_ABORT leaves out one of the five entry points.
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "tessik/Plugin.h"
#include "tests/search/TestProtocol.h"
#include "tests/common/TestText.h"

#if defined(_WIN32)
#define PLUGIN_EXPORT extern "C" __declspec(dllexport)
#else
#define PLUGIN_EXPORT extern "C" __attribute__((visibility("default")))
#endif

using testplugin::TestQuery;

namespace {

testplugin::PluginLog g_log;

// Handles are slots of a static table, so nothing is leaked when a session
// is never finished. A session initialised again keeps its slot, and
// FinishSearch gives it back, so sessions opened and closed for a long time
// (the load test) never share one while both are open.
struct Handle {
  uint32_t sessionId;
  PluginNotify notify;
  std::atomic<bool> ended;
  bool inUse;  // guarded by g_handlesMutex
};
std::mutex g_handlesMutex;
Handle g_handles[1024];
unsigned g_nextHandle = 0;  // guarded by g_handlesMutex

Handle* TakeHandle(uint32_t sessionId) {
  std::lock_guard<std::mutex> hold(g_handlesMutex);
  for (Handle& h : g_handles) {
    if (h.inUse && h.sessionId == sessionId) return &h;
  }
  // The next free slot; when none is free, the next one all the same.
  Handle* h = &g_handles[g_nextHandle++ % 1024];
  for (unsigned i = 0; i < 1024 && h->inUse; ++i) h = &g_handles[g_nextHandle++ % 1024];
  h->sessionId = sessionId;
  h->inUse = true;
  return h;
}
void GiveBack(void* handle) {
  std::lock_guard<std::mutex> hold(g_handlesMutex);
  if (handle != nullptr) static_cast<Handle*>(handle)->inUse = false;
}

// Reporting threads are joined before the next call starts one and at unload.
struct Reporters {
  std::mutex mutex;
  std::vector<std::thread> threads;
  void JoinAll() {
    std::unique_lock<std::mutex> hold(mutex);
    std::vector<std::thread> done = std::move(threads);
    hold.unlock();
    for (auto& t : done) t.join();
  }
  ~Reporters() { JoinAll(); }
} g_reporters;

TessikChar* Copy(const TessikChar* text) {
  uint32_t n = static_cast<uint32_t>(std::char_traits<TessikChar>::length(text)) + 1;
  TessikChar* buffer = nullptr;
  return Tessik_Allocate(&buffer, n) == TESSIK_OK ? std::char_traits<TessikChar>::copy(buffer, text, n) : nullptr;
}

std::atomic<unsigned> g_nextHit{0};

void Report(std::thread t) {
  std::lock_guard<std::mutex> hold(g_reporters.mutex);
  g_reporters.threads.push_back(std::move(t));
}

void End(Handle* h, int32_t code) {
  h->ended = true;
  h->notify(h->sessionId, code, nullptr);
  ++g_log.ends;
}

// Logs a search call and tells the test where the log is.
const TestQuery* Searched(void* handle, const void* query, uint32_t searchParam) {
  g_log.lastHandle = handle;
  g_log.lastQuery = query;
  g_log.lastParam = searchParam;
  const TestQuery* q = static_cast<const TestQuery*>(query);
  q->logs[PLUGIN_SLOT] = &g_log;
  return q;
}

}  // namespace

PLUGIN_EXPORT void* InitSearch(uint32_t sessionId) {
  ++g_log.init;
  g_log.lastSessionId = sessionId;
  Handle* h = TakeHandle(sessionId);
  g_log.lastHandle = h;
  return h;
}

PLUGIN_EXPORT int32_t FinishSearch(void* handle) {
  ++g_log.finish;
  g_log.lastHandle = handle;
  g_reporters.JoinAll();
  GiveBack(handle);
  return 0;
}

PLUGIN_EXPORT int32_t SyncSearch(void* handle, const void* query, TessikChar** resultText, uint32_t searchParam) {
  ++g_log.sync;
  const TestQuery* q = Searched(handle, query, searchParam);
  if (q->documents[PLUGIN_SLOT] != nullptr) *resultText = Copy(q->documents[PLUGIN_SLOT]);
  return 0;
}

PLUGIN_EXPORT int32_t AsyncSearch(void* handle, const void* query, PluginNotify notify, uint32_t searchParam,
                                  uint32_t asyncParam) {
  const TestQuery* q = Searched(handle, query, searchParam);
  g_log.lastAsyncParam = asyncParam;
  g_reporters.JoinAll();
  Handle* h = static_cast<Handle*>(handle);
  if (h == nullptr) return -1;  // never initialised: it cannot report, so it must not start
  h->notify = notify;
  h->ended = false;
  g_log.lastNotify = notify;
  TestQuery copy = *q;  // the caller's query may be gone before the thread runs
  testplugin::AsyncMode mode = q->asyncMode[PLUGIN_SLOT];
  if (mode == testplugin::kDetached) {
    // Nothing of the handle is read once the thread runs: its slot may serve
    // another session by then. The thread outlives the call, and may outlive
    // the session: the library must not be hurt by that.
    ++g_log.detached;
    std::thread([session = h->sessionId, notify, doc = copy.asyncDocument, code = copy.endCode,
                 extra = copy.asyncDocs] {
      if (doc) notify(session, TESSIK_NOTIFY_PLUGIN_RESULTS, doc);
      for (int i = 0; i <= extra; ++i) notify(session, code, nullptr);
      g_log.ends += extra + 1;
      --g_log.detached;
    }).detach();
  } else if (mode == testplugin::kInsideCall) {
    if (copy.asyncDocument) notify(h->sessionId, TESSIK_NOTIFY_PLUGIN_RESULTS, copy.asyncDocument);
    End(h, copy.endCode);
  } else if (mode != testplugin::kNothingUntilAbort) {
    // From threads of its own: under stress 8 that number their hits, else one.
    int threads = mode == testplugin::kStress ? 8 : 1;
    auto remaining = std::make_shared<std::atomic<int>>(threads);
    while (threads-- > 0) {
      Report(std::thread([h, copy, mode, remaining] {
        for (int i = 0; i < copy.asyncDocs; ++i) {
          TString numbered = TX("<Results><Result id=\"") + T(std::to_string(g_nextHit++)) + TX("\"/></Results>");
          const TessikChar* doc = mode == testplugin::kStress ? numbered.c_str() : copy.asyncDocument;
          if (doc) h->notify(h->sessionId, TESSIK_NOTIFY_PLUGIN_RESULTS, doc);
        }
        if (--*remaining == 0) End(h, copy.endCode);
        if (mode == testplugin::kEndTwice) End(h, copy.endCode);
      }));
    }
  }
  return 0;
}

#if !defined(WITHOUT_ABORT)
PLUGIN_EXPORT int32_t AbortAsyncSearch(void* handle) {
  ++g_log.abort;
  Handle* h = static_cast<Handle*>(handle);
  g_reporters.JoinAll();
  // Only a search still waiting for its abort reports its end here.
  if (h != nullptr && h->notify != nullptr && !h->ended.exchange(true)) {
    h->notify(h->sessionId, TESSIK_NOTIFY_PLUGIN_ENDED_ALT, nullptr);
  }
  return 0;
}
#endif
