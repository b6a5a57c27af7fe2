#include "search/Async.h"

#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>

#include "common/Interrupt.h"

namespace tessik_cli {
namespace {

// What the callback hands over. The callback takes no user pointer, and the
// process runs one asynchronous search at a time: one instance.
struct Mailbox {
  std::mutex mu;
  std::condition_variable arrived;
  std::deque<TessikChar*> documents;  // guarded by mu; owned, freed by the taker
  bool ended = false;                 // guarded by mu
  int32_t finalCode = TESSIK_OK;      // guarded by mu
};
Mailbox mailbox;

void Callback(uint32_t, int32_t code, TessikChar* text) {
  {
    std::lock_guard<std::mutex> lock(mailbox.mu);
    if (code == TESSIK_NOTIFY_RESULTS) {
      if (text != nullptr) mailbox.documents.push_back(text);
    } else {
      Tessik_Release(text);
      mailbox.ended = true;
      mailbox.finalCode = code;
    }
  }
  mailbox.arrived.notify_one();
}

}  // namespace

AsyncOutcome RunAsyncSearch(uint32_t session, const void* query, uint32_t pollMs,
                            const std::function<void(const TessikChar*)>& onResults,
                            const std::function<void()>& onTick, std::chrono::milliseconds tick) {
  AsyncOutcome outcome;
  {
    std::lock_guard<std::mutex> lock(mailbox.mu);
    mailbox.ended = false;
    mailbox.finalCode = TESSIK_OK;
  }
  InterruptScope interrupt;
  const std::atomic<bool>& interrupted = InterruptScope::Pressed();
  outcome.status = Tessik_AsyncSearch(session, query, Callback, 0, pollMs);
  bool ended = outcome.status != TESSIK_OK;
  bool aborted = false;
  while (!ended) {
    std::deque<TessikChar*> taken;
    {
      std::unique_lock<std::mutex> lock(mailbox.mu);
      mailbox.arrived.wait_for(lock, tick, [] { return !mailbox.documents.empty() || mailbox.ended; });
      taken.swap(mailbox.documents);
      ended = mailbox.ended;
      outcome.finalCode = mailbox.finalCode;
    }
    for (TessikChar* text : taken) {
      onResults(text);
      Tessik_Release(text);
    }
    if (interrupted && !aborted && !ended) {
      // Returns once the search has ended; what it delivered meanwhile is
      // in the mailbox, taken on the next round.
      aborted = true;
      outcome.interrupted = true;
      Tessik_AbortAsyncSearch(session);
    }
    onTick();
  }
  outcome.interrupted = outcome.interrupted || interrupted;
  // What came between the last round and the end.
  std::deque<TessikChar*> rest;
  {
    std::lock_guard<std::mutex> lock(mailbox.mu);
    rest.swap(mailbox.documents);
  }
  for (TessikChar* text : rest) {
    onResults(text);
    Tessik_Release(text);
  }
  return outcome;
}

}  // namespace tessik_cli
