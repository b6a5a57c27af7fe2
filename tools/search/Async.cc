#include "search/Async.h"

#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>

namespace tessik_cli {
namespace {

// What the callback hands over for one session's search.
struct Mailbox {
  std::condition_variable arrived;
  std::deque<TessikChar*> documents;  // guarded by g_mu; owned, freed by the taker
  bool ended = false;                 // guarded by g_mu
  int32_t finalCode = TESSIK_OK;      // guarded by g_mu
};

// The callback takes no user pointer: it finds the mailbox by session.
std::mutex g_mu;
std::map<uint32_t, Mailbox*>& Boxes() {  // guarded by g_mu
  static auto* boxes = new std::map<uint32_t, Mailbox*>;  // never destroyed: a late callback may still look
  return *boxes;
}

void Callback(uint32_t session, int32_t code, TessikChar* text) {
  std::lock_guard<std::mutex> lock(g_mu);
  const auto it = Boxes().find(session);
  if (it == Boxes().end()) {
    Tessik_Release(text);
    return;
  }
  Mailbox& box = *it->second;
  if (code == TESSIK_NOTIFY_RESULTS) {
    if (text != nullptr) box.documents.push_back(text);
  } else {
    Tessik_Release(text);
    box.ended = true;
    box.finalCode = code;
  }
  box.arrived.notify_one();
}

// The session's mailbox while a search of it runs.
class Posted {
 public:
  explicit Posted(uint32_t session) : session_(session) {
    std::lock_guard<std::mutex> lock(g_mu);
    Boxes()[session] = &box_;
  }
  ~Posted() {
    std::lock_guard<std::mutex> lock(g_mu);
    Boxes().erase(session_);
    for (TessikChar* text : box_.documents) Tessik_Release(text);
  }
  Posted(const Posted&) = delete;
  Posted& operator=(const Posted&) = delete;

  // Waits up to `tick` for documents or the end; false once it has ended.
  bool Take(std::chrono::milliseconds tick, std::deque<TessikChar*>& taken, int32_t& finalCode) {
    std::unique_lock<std::mutex> lock(g_mu);
    box_.arrived.wait_for(lock, tick, [&] { return !box_.documents.empty() || box_.ended; });
    taken.swap(box_.documents);
    finalCode = box_.finalCode;
    return !box_.ended;
  }

 private:
  uint32_t session_;
  Mailbox box_;
};

void HandOver(std::deque<TessikChar*>& taken, const std::function<void(const TessikChar*)>& onResults) {
  while (!taken.empty()) {
    TessikChar* text = taken.front();
    taken.pop_front();
    struct Freed {
      TessikChar* t;
      ~Freed() { Tessik_Release(t); }
    } freed{text};
    onResults(text);
  }
}

}  // namespace

AsyncOutcome RunAsyncSearch(uint32_t session, const void* query, uint32_t pollMs,
                            const std::function<void(const TessikChar*)>& onResults,
                            const std::function<void()>& onTick, std::chrono::milliseconds tick,
                            const std::atomic<bool>& stop) {
  AsyncOutcome outcome;
  Posted posted(session);
  outcome.status = Tessik_AsyncSearch(session, query, Callback, 0, pollMs);
  bool running = outcome.status == TESSIK_OK;
  std::deque<TessikChar*> taken;
  struct Left {  // what a throwing onResults left untaken
    std::deque<TessikChar*>& t;
    ~Left() {
      for (TessikChar* text : t) Tessik_Release(text);
    }
  } left{taken};
  while (running) {
    running = posted.Take(tick, taken, outcome.finalCode);
    HandOver(taken, onResults);
    if (stop && !outcome.stopped && running) {
      // Returns once the search has ended; what it delivered meanwhile is
      // in the mailbox, taken on the next round.
      outcome.stopped = true;
      Tessik_AbortAsyncSearch(session);
    }
    onTick();
  }
  if (outcome.status == TESSIK_OK) {
    // What came between the last round and the end.
    posted.Take(std::chrono::milliseconds(0), taken, outcome.finalCode);
    HandOver(taken, onResults);
  }
  return outcome;
}

}  // namespace tessik_cli
