// A complete search plugin, small on purpose: for every term of the query
// it "finds" one hit whose title names the term. It shows what a plugin
// author owes the library (docs/threads-and-ownership.md):
//  - the five entry points, with C linkage and exported, none of which lets
//    an exception out;
//  - the synchronous results as a Tessik_Allocate buffer the library takes
//    over;
//  - an asynchronous search done on a thread of the plugin's own, reporting
//    through the notifier, with exactly one end report per search, also
//    after an abort and also when the search cannot start;
//  - nothing of the query kept past the entry point that received it.
#include <atomic>
#include <exception>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "tessik/Hits.h"
#include "tessik/Plugin.h"
#include "tessik/Query.h"
#include "tessik/TessikClient.h"

#if defined(_WIN32)
#define EXAMPLE_PLUGIN_API extern "C" __declspec(dllexport)
#else
#define EXAMPLE_PLUGIN_API extern "C" __attribute__((visibility("default")))
#endif

namespace {

using Text = std::basic_string<TessikChar>;

// One session's plugin state: the handle InitSearch returns.
struct Session {
  explicit Session(uint32_t id) : sessionId(id) {}
  const uint32_t sessionId;
  std::atomic<bool> stop{false};  // set by AbortAsyncSearch and FinishSearch, read by the worker
  std::mutex lock;
  std::thread worker;  // guarded by lock; the running or the last asynchronous search
};

// The query's term texts, copied: they are valid only until the query is
// released, and the worker outlives this call.
std::vector<Text> TermsOf(const void* query) {
  std::vector<Text> terms;
  ITermGroup* group = static_cast<IQuery*>(const_cast<void*>(query))->GetTermGroup();
  if (group == nullptr) return terms;
  for (ITerm* term = group->GetTerm(true); term != nullptr; term = group->GetTerm(false)) {
    if (const TessikChar* text = term->GetText()) terms.emplace_back(text);
  }
  return terms;
}

// A results document with one hit per term, as a Tessik_Allocate buffer
// (null on failure). The library's own hit list writes the format.
TessikChar* ResultsFor(const std::vector<Text>& terms, size_t first, size_t count) {
  IHitList* list = Tessik_NewHitList();
  if (list == nullptr) return nullptr;
  for (size_t i = first; i < first + count && i < terms.size(); ++i) {
    IHit* hit = Tessik_NewHit();
    if (hit == nullptr) break;
    hit->SetNormScore(1.0 / static_cast<double>(i + 1));
    hit->SetProperty(TESSIK_TEXT("title"), (Text(TESSIK_TEXT("About ")) + terms[i]).c_str());
    list->AddHit(hit);  // the list owns the hit from here
  }
  TessikChar* document = nullptr;
  if (Tessik_ConvertHitListToXML(list, &document) != TESSIK_OK) document = nullptr;
  Tessik_ReleaseHitList(list);
  return document;
}

void JoinWorker(Session& session) {
  std::thread finished;
  {
    std::lock_guard<std::mutex> hold(session.lock);
    finished = std::move(session.worker);
  }
  if (finished.joinable()) finished.join();
}

}  // namespace

EXAMPLE_PLUGIN_API void* InitSearch(uint32_t sessionId) {
  try {
    return new Session(sessionId);
  } catch (...) {
    return nullptr;
  }
}

EXAMPLE_PLUGIN_API int32_t FinishSearch(void* handle) {
  auto* session = static_cast<Session*>(handle);
  if (session == nullptr) return TESSIK_OK;
  // The notifier must not be called after this returns: stop and join.
  session->stop = true;
  JoinWorker(*session);
  delete session;
  return TESSIK_OK;
}

EXAMPLE_PLUGIN_API int32_t SyncSearch(void* handle, const void* query, TessikChar** resultText, uint32_t) {
  if (handle == nullptr || query == nullptr || resultText == nullptr) return TESSIK_E_NULL_ARGUMENT;
  try {
    std::vector<Text> terms = TermsOf(query);
    *resultText = ResultsFor(terms, 0, terms.size());  // the library frees it
    return *resultText != nullptr ? TESSIK_OK : TESSIK_E_FAILED;
  } catch (const std::bad_alloc&) {
    return TESSIK_E_OUT_OF_MEMORY;
  } catch (...) {
    return TESSIK_E_FAILED;
  }
}

EXAMPLE_PLUGIN_API int32_t AsyncSearch(void* handle, const void* query, PluginNotify notify, uint32_t, uint32_t) {
  auto* session = static_cast<Session*>(handle);
  if (session == nullptr || notify == nullptr) return TESSIK_E_NULL_ARGUMENT;
  const uint32_t id = session->sessionId;
  try {
    std::vector<Text> terms = TermsOf(query);
    JoinWorker(*session);  // the last search has reported its end already
    session->stop = false;
    std::lock_guard<std::mutex> hold(session->lock);
    session->worker = std::thread([session, id, notify, terms = std::move(terms)] {
      // One hit a report, as a slow engine would find them.
      for (size_t i = 0; i < terms.size() && !session->stop; ++i) {
        TessikChar* document = ResultsFor(terms, i, 1);
        if (document != nullptr) notify(id, TESSIK_NOTIFY_PLUGIN_RESULTS, document);
        Tessik_Release(document);  // the library copied what it needed
      }
      notify(id, TESSIK_NOTIFY_PLUGIN_ENDED, nullptr);  // exactly once, aborted or not
    });
    return TESSIK_OK;
  } catch (...) {
    // No thread, so no search: its end is still owed, or the session waits for ever.
    notify(id, TESSIK_NOTIFY_PLUGIN_ENDED, nullptr);
    return TESSIK_E_FAILED;
  }
}

EXAMPLE_PLUGIN_API int32_t AbortAsyncSearch(void* handle) {
  // Only asks: the worker sees the flag, stops and reports its end.
  if (auto* session = static_cast<Session*>(handle)) session->stop = true;
  return TESSIK_OK;
}
