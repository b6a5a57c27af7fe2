// CSearchMgr: one session's search manager. It owns the session's plugins,
// calls their entry points, merges their results documents into one, and is
// the session's worker thread for asynchronous searches.
//
// Its locks and its event are machine-wide named objects shared by every
// session of every process: search operations of all sessions serialise on
// the one plugin lock, and an end-of-search signal meant for one session may
// wake another's waiter, which is why every wait re-checks this session's
// own idle flag and ends by joining this session's own worker.
//
// Lock order, for every lock of the search path:
//   plugin lock  ->  registry lock (a plugin reporting from inside an entry
//                    point; the registry lock is otherwise taken first or alone)
//   registry lock -> run-count lock or results lock (a plugin's report runs
//                    under the registry lock, see PluginNotify)
//   plugin lock  ->  run-count lock, results lock or the library cache lock
// The run-count lock and the results lock are never held together, and
// nothing that holds either of them takes another lock. The worker calls
// the application's callback holding none of these locks, and nobody holds
// the plugin lock while waiting for a worker: a callback may call any export
// on any other session.
#ifndef TESSIK_SEARCH_SEARCHMGR_H_
#define TESSIK_SEARCH_SEARCHMGR_H_

#include <cstdint>
#include <map>

#include "search/Markers.h"
#include "search/Plugin.h"
#include "tessik/TessikClient.h"
#include "ulmo/NSString.h"
#include "ulmo/osdep/Mutex.h"
#include "ulmo/osdep/NamedEvent.h"
#include "ulmo/osdep/Thread.h"

namespace Tessik {

class CSearchMgr : public vel::ulmo::osdep::Thread {
 public:
  // A null name is the empty text.
  explicit CSearchMgr(const WChar* name);
  // Waits for a running asynchronous search, then drops the plugins without
  // calling their "FinishSearch". Never throws.
  ~CSearchMgr() override;

  int32_t LoadPlugin(const WString& path);
  int32_t LoadPluginByDomain(const WString& domain);
  int32_t InitSearch();
  // On success *outResults is a Tessik_Allocate buffer the caller owns.
  // TESSIK_E_SEARCH_RUNNING from the session's own callback, which must not
  // wait for its own search.
  int32_t SyncSearch(const void* query, TessikChar** outResults, uint32_t searchParam);
  int32_t FinishSearch();
  int32_t ClearPlugins();

  // Adds one plugin's results document to the session's results: the first
  // whole, the result elements of later ones before the first's closing tag.
  void MergeResults(const WChar* document, uint32_t length);
  // The same with the markers already found (markers::Locate), so a
  // reporting plugin can find them before it takes any lock.
  void MergeLocated(const WChar* document, uint32_t length, markers::Positions at);
  // Waits for a running asynchronous search to end and joins the worker.
  // For the owner alone (the destructor): others use IdleLock.
  void WaitForAsyncEnd();

  int32_t AsyncSearch(const void* query, SearchCallback callback, uint32_t searchParam, uint32_t pollIntervalMs);
  // Asks every plugin to stop and waits for the final notification; from
  // the session's own callback it does not wait (the final notification
  // follows once the callback has returned).
  int32_t AbortAsyncSearch();
  void PluginFinished();
  uint32_t Run() override;
  bool IsIdle();
  // Whether the worker is delivering the final notification.
  bool IsEnding();
  // Whether the worker has ended without ending its search (killed by the
  // process's exit). For the owner alone.
  bool IsWorkerGone() const;
  // Whether the calling thread is this session's worker, that is inside one
  // of its callbacks.
  bool IsCurrentWorker() const;

  // The notifier handed to every plugin's "AsyncSearch".
  static void PluginNotify(uint32_t sessionId, int32_t code, const TessikChar* text);

  // Used by the registry and by the plugin objects.
  void SetSessionId(uint32_t id) { sessionId_ = id; }
  uint32_t GetSessionId() const { return sessionId_; }
  void CountOutstandingPlugin();
  void ResetEndEvent() { endOfSearch_.Reset(); }

  // The plugin name a path gives: its last component up to its last ".".
  static WString PluginName(const WString& path);

  // The merged results so far (tests and benchmarks).
  const WString& Results() const { return results_; }

 private:
  // Holds the plugin lock with the session idle and its last worker joined.
  class IdleLock {
   public:
    explicit IdleLock(CSearchMgr& owner);
    ~IdleLock() { owner_.pluginLock_.Unlock(); }
    IdleLock(const IdleLock&) = delete;
    IdleLock& operator=(const IdleLock&) = delete;

   private:
    CSearchMgr& owner_;  // its plugin lock is held from construction to destruction
  };

  // Hands the results merged since the last delivery, if any, to the
  // callback and notes that something was delivered. Worker only.
  void DeliverPending(bool& delivered);
  // The final notification, then the session is idle again. Worker only.
  void EndSearch(bool delivered);
  // Waits, holding no lock, until the session is idle.
  void WaitUntilIdle();

  // How long a waiter sleeps on the shared end-of-search event before it
  // looks at its own session again. The event is auto-reset and shared by
  // every session on the machine, so the signal meant for one waiter can be
  // taken by another's; the re-check turns such a loss into a short delay.
  static constexpr uint32_t kRecheckMs = 20;

  WString results_;              // guarded by resultsLock_
  uint32_t insertPosition_ = 0;  // guarded by resultsLock_; where "</results>" stands, 0: nothing taken
  uint32_t outstanding_ = 0;     // guarded by runCountLock_; plugins that have not reported their end
  uint32_t sessionId_ = 0;       // written once, by the registry, before any search
  uint32_t pollInterval_ = 0;    // guarded by pluginLock_; read by the worker it starts
  WString name_;
  bool idle_ = true;     // guarded by runCountLock_
  bool ending_ = false;  // guarded by runCountLock_; all plugins ended, final notification under way
  WString batch_;        // the worker's alone: the batch being delivered
  vel::ulmo::osdep::Mutex runCountLock_;
  vel::ulmo::osdep::Mutex resultsLock_;
  vel::ulmo::osdep::NamedEvent endOfSearch_;
  SearchCallback callback_ = nullptr;               // guarded by pluginLock_; read by the worker it starts
  std::map<NSString, CMainThreadPlugin*> plugins_;  // guarded by pluginLock_
  vel::ulmo::osdep::Mutex pluginLock_;
};

}  // namespace Tessik

#endif  // TESSIK_SEARCH_SEARCHMGR_H_
