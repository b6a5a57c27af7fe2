// The searches of the server: a fixed set of workers, each with a warm
// session of its own (opened, plugins loaded, InitSearch done once, at
// start), that run the requests' searches as asynchronous searches of the
// library. Library calls happen only on the workers, so a call that waits
// for a machine-wide lock another process holds never stalls the thread
// that answers requests.
#ifndef TESSIK_TOOLS_SERVE_SEARCHES_H_
#define TESSIK_TOOLS_SERVE_SEARCHES_H_

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "serve/Request.h"
#include "sources/SourceList.h"

namespace tessik_serve {

// What the server searches, fixed at start: sources of the list, and
// plugin files given by path (each serves the domain of its file's name).
struct Catalogue {
  tessik_cli::SourceList list;
  std::vector<std::string> plugins;
  std::vector<std::string> Names() const;  // the sources', then the plugins' domains
};

struct Answer {
  unsigned status = 200;
  std::string contentType, body;
  size_t hits = 0;
};

// One request's search. The server fills the request and the callbacks,
// and may set `stop` (the client went away, the timeout passed, the server
// stops) at any time; the search then ends within one poll of the library.
struct Search {
  SearchRequest request;
  bool stream = false;
  std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();
  std::atomic<bool> stop{false};
  std::atomic<bool> timedOut{false};  // set with stop when the timeout passed
  std::atomic<bool> picked{false};    // a worker has taken it
  std::atomic<bool> started{false};   // the library has started it: no lock kept it waiting
  // Claimed by whoever answers first: the worker, or the server when the
  // search could not start in time. The other's answer is dropped.
  std::atomic<bool> answered{false};
  // On a worker thread. Streams: each server-sent event, its name and its
  // one-line JSON.
  std::function<void(const char* event, std::string data)> onEvent;
  // On a worker thread (or the one that stops the server), once: the answer.
  std::function<void(Answer&&)> onAnswer;

  // Claims the answer; true for the first caller only.
  bool Claim() { return !answered.exchange(true); }
};


class Searches {
 public:
  // `workers` searches run at once; one of them is kept for plain searches
  // (when there are two or more), so streams never take every worker.
  // `queue` searches of each kind wait; more are refused.
  Searches(Catalogue catalogue, size_t workers, size_t queue, uint32_t pollMs);
  ~Searches();
  Searches(const Searches&) = delete;
  Searches& operator=(const Searches&) = delete;

  // Starts the workers, and waits until their sessions are warm or `wait`
  // has passed (a machine-wide lock held elsewhere can keep them).
  void Start(std::chrono::milliseconds wait);

  enum class Admit { kQueued, kFull, kStopping };
  Admit Submit(std::shared_ptr<Search> search);

  // Stops every running search (each answers with what had arrived),
  // answers the waiting ones 503, and lets the workers close their
  // sessions and end. True once all have ended within `wait`.
  bool Stop(std::chrono::milliseconds wait);

  const Catalogue& Served() const { return catalogue_; }
  // Each engine's or plugin file's loading status in the first warm
  // session ("" for one not loaded yet).
  std::vector<std::pair<std::string, int32_t>> Loaded() const;
  bool Warm() const;

 private:
  void Work();
  std::shared_ptr<Search> Next();
  void Run(uint32_t session, const std::vector<std::pair<std::string, int32_t>>& loaded, Search& search);

  const Catalogue catalogue_;
  const size_t workers_, queue_;
  const uint32_t pollMs_;
  mutable std::mutex mu_;
  std::condition_variable changed_;  // guarded by mu_ (waited on with it held): queues, warm_, ended_, stopping_
  std::deque<std::shared_ptr<Search>> plain_, streams_;  // guarded by mu_
  std::vector<std::shared_ptr<Search>> running_;          // guarded by mu_
  size_t streamsRunning_ = 0;                             // guarded by mu_
  size_t warm_ = 0, ended_ = 0;                           // guarded by mu_
  bool stopping_ = false;                                 // guarded by mu_
  std::vector<std::pair<std::string, int32_t>> loaded_;  // guarded by mu_
  std::vector<std::thread> threads_;  // guarded by no lock: only Start and Stop, on the owner's thread
};

}  // namespace tessik_serve

#endif  // TESSIK_TOOLS_SERVE_SEARCHES_H_
