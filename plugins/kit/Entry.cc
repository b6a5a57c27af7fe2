// The five entry points of a reference plugin, over the engine the plugin
// supplies (MakeEngine). One Session per InitSearch handle; an asynchronous
// search runs on a thread of the session's own, which reports its hits in
// batches and its end exactly once.
#include <algorithm>
#include <atomic>
#include <mutex>
#include <set>
#include <thread>

#include "kit/Config.h"
#include "kit/Engine.h"
#include "kit/Statistics.h"
#include "tessik/Plugin.h"

#if defined(_WIN32)
#define TESSIK_PLUGIN_EXPORT extern "C" __declspec(dllexport)
#else
#define TESSIK_PLUGIN_EXPORT extern "C" __attribute__((visibility("default")))
#endif

namespace tessik_plugins {
namespace {

struct Session {
  uint32_t id = 0;
  // The entry points of one session run one at a time (the library holds a
  // machine-wide lock around them), so `worker` is touched by them alone.
  std::thread worker;
  std::atomic<bool> abort{false};
};

// Set once the plugin's state is gone (process exit or unload). The library
// may still call entry points with handles of sessions it drops at exit
// (AbortAsyncSearch, to end their searches); those handles are freed by
// then, so the entry points touch nothing once this is set. Trivially
// destructible, so it stays readable until the code itself goes.
std::atomic<bool> g_gone{false};

// The plugin's state: its engine and its live sessions. Made by the first
// InitSearch, so it is destroyed (at unload or exit) before anything made
// later; its destructor first stops and waits for every search thread, and
// only then do the engine and the configuration the threads use go.
class PluginState {
 public:
  static PluginState& Get() {
    static PluginState state;
    return state;
  }

  Engine& engine() {
    std::call_once(engine_once_, [this] { engine_ = MakeEngine(); });
    return *engine_;
  }

  void Add(Session* s) {
    std::lock_guard<std::mutex> lock(mu_);
    live_.insert(s);
  }
  void Remove(Session* s) {
    std::lock_guard<std::mutex> lock(mu_);
    live_.erase(s);
  }

  // The library drops sessions still open at unload without finishing
  // them: their threads are waited for and their state freed here.
  ~PluginState() {
    std::lock_guard<std::mutex> lock(mu_);
    g_gone = true;
    for (Session* s : live_) {
      s->abort = true;
      if (s->worker.joinable()) s->worker.join();
      delete s;
    }
  }

 private:
  PluginState() { PluginConfig(); }  // made first, so it is destroyed after this

  std::once_flag engine_once_;
  std::unique_ptr<Engine> engine_;  // set once under engine_once_
  std::mutex mu_;
  std::set<Session*> live_;  // guarded by mu_
};

Engine& TheEngine() { return PluginState::Get().engine(); }

Identity Self() {
  const Config& config = PluginConfig();
  return {config.domain, config.name, config.data};
}

// What the engine finds for one domain of `request`; a plan that matches
// nothing never reaches its search, only its statistics when asked.
Found Find(const Plan& plan, const Domain& domain, const std::atomic<bool>& abort) {
  if (plan.nothing) {
    Found found;
    if (WantsStatistics(domain)) found.statistics = TheEngine().CollectionStatistics(plan, domain, abort);
    return found;
  }
  Found found = TheEngine().Search(plan, domain, LimitOf(domain, PluginConfig()), abort);
  // Statistics only when asked, and only whole: one count per term.
  const size_t terms = plan.required.size();
  if (!WantsStatistics(domain) || found.statistics.df.size() != terms) found.statistics = {};
  for (Hit& hit : found.hits) {
    if (!found.statistics.known || hit.tf.size() != terms) hit.counted = false;
    if (!found.statistics.known) hit.digest.clear();
  }
  return found;
}

// The entry that stands for a results document the library would not write
// (it should not happen once texts are cleaned): the plugin's answer is
// never lost without a word.
TessikChar* Unwritable(const std::string& domain) {
  return WriteError(domain, "the " + PluginConfig().name + " plugin could not write its results document",
                    TESSIK_E_FAILED);
}

// What one domain's search gives: its hits, or its failure. A domain that
// fails costs the others nothing.
Answer AnswerFor(const Plan& plan, const Domain& domain, const std::atomic<bool>& abort) {
  Answer answer;
  answer.domain = domain.name;
  try {
    answer.keys = StatisticsKeys(plan);
    answer.found = Find(plan, domain, abort);
  } catch (const std::bad_alloc&) {
    answer.error = "out of memory";
    answer.status = TESSIK_E_OUT_OF_MEMORY;
  } catch (const std::exception& e) {
    // An empty error would read as an answer without hits.
    answer.error = *e.what() != '\0' ? e.what() : "the " + PluginConfig().name + " plugin's search failed";
    answer.status = TESSIK_E_FAILED;
  }
  return answer;
}

// The whole answer as one document: every domain's hits or error entry.
TessikChar* AnswerAll(const Request& request, const std::atomic<bool>& abort) {
  const Plan plan = MakePlan(request);
  std::vector<Answer> answers;
  for (const Domain& domain : request.domains) answers.push_back(AnswerFor(plan, domain, abort));
  TessikChar* text = WriteAnswers(answers);
  return text != nullptr ? text : Unwritable(request.domains.front().name);
}

void RunAsync(Session* session, Request request, PluginNotify notify) {
  auto report = [&](TessikChar* text) {
    if (text == nullptr) return;
    notify(session->id, TESSIK_NOTIFY_PLUGIN_RESULTS, text);
    Tessik_Release(text);  // the library copied what it needs
  };
  try {
    const Plan plan = MakePlan(request);
    const size_t batch = PluginConfig().batch;
    for (const Domain& domain : request.domains) {
      if (session->abort) break;
      const Answer answer = AnswerFor(plan, domain, session->abort);
      if (!answer.error.empty()) {
        // An abort may cut an engine short with an error: nobody wants the
        // answer then.
        if (!session->abort) report(WriteError(domain.name, answer.error, answer.status));
        continue;
      }
      // The statistics ride in the first batch, so a reader has them
      // before the hits; with no hit they are a document of their own.
      const Found& found = answer.found;
      for (size_t begin = 0; (begin < found.hits.size() || (begin == 0 && found.statistics.known)) && !session->abort;
           begin += batch) {
        const bool ends = begin + batch >= found.hits.size();
        TessikChar* text = WriteResults(found, begin, begin + batch, domain.name, answer.keys, ends);
        report(text != nullptr ? text : Unwritable(domain.name));
      }
      // Nothing carried the end: no hit, and no statistics asked for.
      if (found.hits.empty() && !found.statistics.known && !session->abort) report(WriteAnswered(domain.name));
    }
  } catch (const std::bad_alloc&) {
    report(WriteError(PluginConfig().domain, "out of memory", TESSIK_E_OUT_OF_MEMORY));
  } catch (const std::exception& e) {
    if (!session->abort) report(WriteError(PluginConfig().domain, e.what(), TESSIK_E_FAILED));
  }
  notify(session->id, TESSIK_NOTIFY_PLUGIN_ENDED, nullptr);
}

}  // namespace

Statistics Engine::CollectionStatistics(const Plan&, const Domain&, const std::atomic<bool>&) { return {}; }

}  // namespace tessik_plugins

using namespace tessik_plugins;

TESSIK_PLUGIN_EXPORT void* InitSearch(uint32_t sessionId) {
  if (g_gone) return nullptr;
  try {
    auto* session = new Session;
    session->id = sessionId;
    PluginState::Get().Add(session);
    return session;
  } catch (const std::exception&) {
    return nullptr;
  }
}

TESSIK_PLUGIN_EXPORT int32_t FinishSearch(void* handle) {
  auto* session = static_cast<Session*>(handle);
  if (session == nullptr) return TESSIK_E_NULL_ARGUMENT;
  if (g_gone) return TESSIK_OK;
  session->abort = true;
  if (session->worker.joinable()) session->worker.join();
  PluginState::Get().Remove(session);
  delete session;
  return TESSIK_OK;
}

TESSIK_PLUGIN_EXPORT int32_t SyncSearch(void* handle, const void* query, TessikChar** resultText, uint32_t) {
  if (handle == nullptr || resultText == nullptr) return TESSIK_E_NULL_ARGUMENT;
  *resultText = nullptr;
  if (g_gone) return TESSIK_E_FAILED;
  try {
    const Request request = ReadRequest(query, Self());
    if (request.domains.empty()) return TESSIK_OK;
    const std::atomic<bool> never{false};
    *resultText = AnswerAll(request, never);
    return *resultText != nullptr ? TESSIK_OK : TESSIK_E_FAILED;
  } catch (const std::bad_alloc&) {
    return TESSIK_E_OUT_OF_MEMORY;
  } catch (const std::exception&) {
    return TESSIK_E_FAILED;
  }
}

TESSIK_PLUGIN_EXPORT int32_t AsyncSearch(void* handle, const void* query, PluginNotify notify, uint32_t, uint32_t) {
  auto* session = static_cast<Session*>(handle);
  if (notify == nullptr) return TESSIK_E_NULL_ARGUMENT;
  if (session == nullptr || g_gone) {
    notify(0, TESSIK_NOTIFY_PLUGIN_ENDED, nullptr);  // no session left to name
    return session == nullptr ? TESSIK_E_NULL_ARGUMENT : TESSIK_E_FAILED;
  }
  try {
    // The query is the application's and may be gone once this returns:
    // read it here, search on the thread.
    Request request = ReadRequest(query, Self());
    // The previous search has reported its end; its thread is at most on
    // its way out.
    if (session->worker.joinable()) session->worker.join();
    session->abort = false;
    session->worker = std::thread(RunAsync, session, std::move(request), notify);
    return TESSIK_OK;
  } catch (const std::exception&) {
    // No thread: the end must still be reported, once.
    notify(session->id, TESSIK_NOTIFY_PLUGIN_ENDED, nullptr);
    return TESSIK_E_FAILED;
  }
}

TESSIK_PLUGIN_EXPORT int32_t AbortAsyncSearch(void* handle) {
  auto* session = static_cast<Session*>(handle);
  if (session != nullptr && !g_gone) session->abort = true;
  return TESSIK_OK;
}
