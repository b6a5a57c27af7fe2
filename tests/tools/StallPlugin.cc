// A plugin whose asynchronous search reports one hit and then waits until it
// is aborted, when the query names its domain "StallPlugin" (its file's
// name); a query of other domains it ends at once, as a real plugin does: the command line's Ctrl-C test needs a search that is still
// running when the interrupt comes. Its synchronous search answers the same
// hit at once. A watchdog ends a search nobody aborts after a minute, so a
// broken abort fails the test instead of hanging it. With TESSIK_STALL_LOG
// set, each abort of a running search appends a line "abort" to that file,
// so a test in another thread or process sees when the abort came. With
// TESSIK_STALL_SYNC_MS set, a synchronous search first sleeps that long:
// the caller holds the library's machine-wide plugin lock meanwhile.
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>

#include "tessik/Plugin.h"
#include "tessik/Query.h"

#if defined(_WIN32)
#define STALL_EXPORT extern "C" __declspec(dllexport)
#else
#define STALL_EXPORT extern "C" __attribute__((visibility("default")))
#endif

namespace {

constexpr char kResults[] =
    "<Results><Result norm_score=\"0.5\"><Property name=\"domain\">stall</Property>"
    "<Property name=\"id\">stall/1</Property><Property name=\"title\">Waiting for the abort</Property>"
    "<Property name=\"snippet\">the first and only batch</Property></Result></Results>";

bool Named(const void* queryPointer) {
  auto* query = static_cast<IQuery*>(const_cast<void*>(queryPointer));
  if (query == nullptr) return false;
  const std::string mine = "stallplugin";
  for (IDomain* d = query->GetDomain(true); d != nullptr; d = query->GetDomain(false)) {
    const TessikChar* name = d->GetName();
    size_t i = 0;
    while (name != nullptr && i < mine.size() && name[i] != 0 &&
           (name[i] == mine[i] || name[i] == mine[i] - 'a' + 'A'))
      ++i;
    if (name != nullptr && i == mine.size() && name[i] == 0) return true;
  }
  return false;
}

TessikChar* Results(bool named = true) {
  const std::string text = named ? kResults : "<Results/>";
  TessikChar* out = nullptr;
  if (Tessik_Allocate(&out, static_cast<uint32_t>(text.size() + 1)) != TESSIK_OK) return nullptr;
  for (size_t i = 0; i < text.size(); ++i) out[i] = static_cast<TessikChar>(text[i]);
  return out;
}

struct Session {
  uint32_t id = 0;
  std::thread worker;  // touched by the entry points only, which the library runs one at a time
  std::mutex mu;
  std::condition_variable wake;
  bool abort = false;  // guarded by mu
};

void Run(Session* s, PluginNotify notify, bool named) {
  if (named) {
    TessikChar* text = Results();
    if (text != nullptr) notify(s->id, TESSIK_NOTIFY_PLUGIN_RESULTS, text);
    Tessik_Release(text);
  }
  {
    std::unique_lock<std::mutex> lock(s->mu);
    s->wake.wait_for(lock, std::chrono::minutes(1), [s] { return s->abort; });
  }
  notify(s->id, TESSIK_NOTIFY_PLUGIN_ENDED, nullptr);
}

}  // namespace

STALL_EXPORT void* InitSearch(uint32_t sessionId) {
  auto* s = new Session;
  s->id = sessionId;
  return s;
}

STALL_EXPORT int32_t FinishSearch(void* handle) {
  auto* s = static_cast<Session*>(handle);
  if (s == nullptr) return TESSIK_E_NULL_ARGUMENT;
  {
    std::lock_guard<std::mutex> lock(s->mu);
    s->abort = true;
  }
  s->wake.notify_all();
  if (s->worker.joinable()) s->worker.join();
  delete s;
  return TESSIK_OK;
}

STALL_EXPORT int32_t SyncSearch(void* handle, const void* query, TessikChar** resultText, uint32_t) {
  if (handle == nullptr || resultText == nullptr) return TESSIK_E_NULL_ARGUMENT;
  if (!Named(query)) {
    *resultText = Results(false);
    return *resultText != nullptr ? TESSIK_OK : TESSIK_E_OUT_OF_MEMORY;
  }
  if (const char* ms = std::getenv("TESSIK_STALL_SYNC_MS"); ms != nullptr)
    std::this_thread::sleep_for(std::chrono::milliseconds(std::atol(ms)));
  *resultText = Results();
  return *resultText != nullptr ? TESSIK_OK : TESSIK_E_OUT_OF_MEMORY;
}

STALL_EXPORT int32_t AsyncSearch(void* handle, const void* query, PluginNotify notify, uint32_t, uint32_t) {
  auto* s = static_cast<Session*>(handle);
  if (s == nullptr || notify == nullptr) return TESSIK_E_NULL_ARGUMENT;
  if (s->worker.joinable()) s->worker.join();
  const bool named = Named(query);
  {
    std::lock_guard<std::mutex> lock(s->mu);
    s->abort = !named;  // not its search: it ends at once
  }
  s->worker = std::thread(Run, s, notify, named);
  return TESSIK_OK;
}

STALL_EXPORT int32_t AbortAsyncSearch(void* handle) {
  auto* s = static_cast<Session*>(handle);
  if (s == nullptr) return TESSIK_E_NULL_ARGUMENT;
  bool running = false;
  {
    std::lock_guard<std::mutex> lock(s->mu);
    running = !s->abort;
    s->abort = true;
  }
  s->wake.notify_all();
  if (const char* log = std::getenv("TESSIK_STALL_LOG"); log != nullptr && running && s->worker.joinable()) {
    std::ofstream(log, std::ios::app) << "abort\n";
  }
  return TESSIK_OK;
}
