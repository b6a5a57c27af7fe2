// The asynchronous side of the search manager: starting plugins, counting
// their ends, and the worker that delivers merged batches to the callback.
#include <new>

#include "search/SearchMgr.h"
#include "search/SessionMgr.h"
#include "ulmo/TextBuffer.h"

namespace Tessik {

using vel::ulmo::osdep::MutexLock;

namespace {
// The search manager whose worker is the calling thread, while it runs.
thread_local const CSearchMgr* t_worker = nullptr;
}  // namespace

bool CSearchMgr::IsCurrentWorker() const { return t_worker == this; }

int32_t CSearchMgr::AsyncSearch(const void* query, SearchCallback callback, uint32_t searchParam,
                                uint32_t pollIntervalMs) {
  // To its own callbacks the search is still running, the final one included.
  if (IsCurrentWorker()) return TESSIK_E_SEARCH_RUNNING;
  // A search whose final notification is being delivered has ended for
  // everybody else: a caller woken by that notification may start the next
  // one before the callback has returned, and is made to wait, not refused.
  // Another session's callback is refused instead: that final callback
  // might be waiting for it in turn.
  const bool fromCallback = t_worker != nullptr;
  for (;;) {
    while (!fromCallback && IsEnding()) endOfSearch_.Wait(kRecheckMs);
    pluginLock_.Lock();
    bool idle, ending;
    try {
      MutexLock count(runCountLock_);
      idle = idle_;
      ending = ending_;
    } catch (...) {
      pluginLock_.Unlock();
      throw;
    }
    if (idle) break;
    pluginLock_.Unlock();
    if (!ending || fromCallback) return TESSIK_E_SEARCH_RUNNING;
  }
  MutexLock hold(pluginLock_, vel::ulmo::osdep::MutexLock::kAdopt);
  {
    MutexLock results(resultsLock_);
    results_.Clear();
    insertPosition_ = 0;
  }
  callback_ = callback;
  pollInterval_ = pollIntervalMs;
  // The count rises just before each plugin starts, so it can reach 0 only
  // when every started plugin has reported its end.
  for (auto& [name, plugin] : plugins_) plugin->Search(false, query, searchParam);
  {
    MutexLock count(runCountLock_);
    idle_ = false;
  }
  // The previous worker has sent its final notification but may still be on
  // its way out: join it so its thread is never lost.
  if (IsStarted()) Join();
  try {
    Start();
  } catch (...) {
    // No worker: nobody would ever end this search, so the session goes
    // back to idle and stays usable. Late plugin reports find a count of 0.
    MutexLock count(runCountLock_);
    outstanding_ = 0;
    idle_ = true;
    throw;
  }
  return TESSIK_OK;
}

int32_t CSearchMgr::AbortAsyncSearch() {
  {
    MutexLock hold(pluginLock_);
    endOfSearch_.Set();
    for (auto& [name, plugin] : plugins_) plugin->abortAsyncSearch(plugin->handle);
  }
  // From the search's own callback this is how a caller says "enough": the
  // worker ends the search once the callback has returned.
  if (IsCurrentWorker()) return TESSIK_OK;
  IdleLock wait(*this);
  return TESSIK_OK;
}

void CSearchMgr::CountOutstandingPlugin() {
  MutexLock count(runCountLock_);
  ++outstanding_;
}

void CSearchMgr::PluginFinished() {
  bool none;
  {
    MutexLock count(runCountLock_);
    // A report when the count is 0 already (a plugin that ended twice)
    // must not wrap it: the next search would end too early or never.
    if (outstanding_ > 0) --outstanding_;
    none = outstanding_ == 0;
  }
  if (none) endOfSearch_.Set();
}

// The worker calls the application back holding none of the library's
// locks, although the lock rules have it hold the results lock while it
// delivers a batch and the run-count lock for the final notification: a
// callback that works on another session takes the plugin lock, the reverse
// of the order everywhere else, and with machine-wide locks that stopped
// every process using the library. The batch is taken out under the results
// lock and delivered after it is released. Callbacks of one search still
// never overlap (one worker makes them all), every batch comes before the
// final notification, and the session is idle only after the final callback
// has returned. Tests: SessionCallbacks.*.
void CSearchMgr::DeliverPending(bool& delivered) {
  {
    MutexLock hold(resultsLock_);
    if (results_.IsEmpty()) return;
    results_.Swap(batch_);  // results_ takes the spare buffer, already empty
    insertPosition_ = 0;
  }
  TessikChar* text = nullptr;
  try {
    text = vel::ulmo::CopyToTextBuffer(batch_.CStr(), batch_.Length());
  } catch (const std::bad_alloc&) {
    // The batch is dropped; the caller still hears of it, with a null text.
  }
  batch_.Clear();
  delivered = true;
  callback_(sessionId_, TESSIK_NOTIFY_RESULTS, text);
}

void CSearchMgr::EndSearch(bool delivered) {
  try {
    // Also after a failure, which ends the search without the count at 0.
    MutexLock count(runCountLock_);
    ending_ = true;
  } catch (...) {
    // The final notification matters more; the next search waits a little.
  }
  try {
    callback_(sessionId_, delivered ? TESSIK_OK : TESSIK_NOTIFY_ENDED_EMPTY, nullptr);
  } catch (...) {
    // The application's exception has nowhere to go on this thread.
  }
  {
    MutexLock count(runCountLock_);
    outstanding_ = 0;  // only not 0 already when the worker failed
    idle_ = true;
    ending_ = false;
  }
  endOfSearch_.Set();
}

uint32_t CSearchMgr::Run() {
  t_worker = this;
  bool delivered = false;
  uint32_t exitCode = 0;
  try {
    for (;;) {
      Sleep(pollInterval_);
      DeliverPending(delivered);
      bool ended;
      {
        MutexLock count(runCountLock_);
        ended = ending_ = outstanding_ == 0;
      }
      if (!ended) continue;
      // Results merged after this round's delivery but before the count
      // reached 0 go out before the final notification. Nothing can raise
      // the count again meanwhile: a new search needs the session idle.
      DeliverPending(delivered);
      break;
    }
  } catch (...) {
    // A system lock failed, or a callback threw. The search still ends as
    // any other does, so nobody waits for it for ever, and the session can
    // search again.
    exitCode = 1;
  }
  try {
    EndSearch(delivered);
  } catch (...) {
    exitCode = 1;
  }
  t_worker = nullptr;
  return exitCode;
}

void CSearchMgr::PluginNotify(uint32_t sessionId, int32_t code, const TessikChar* text) {
  if (sessionId == 0) return;
  bool ended = code == TESSIK_NOTIFY_PLUGIN_ENDED || code == TESSIK_NOTIFY_PLUGIN_ENDED_ALT;
  if (!ended && (code != TESSIK_NOTIFY_PLUGIN_RESULTS || text == nullptr)) return;
  // Called from plugin threads through a C pointer: nothing may escape.
  try {
    uint32_t length = ended ? 0 : WString::LengthOf(text);
    markers::Positions at = ended ? markers::Positions{} : markers::Locate(text, length);
    // The report runs under the registry lock, which the lock rules have
    // released before the search manager is used: the last end report makes
    // the session idle, and a thread closing the session may then destroy
    // the manager between this thread's unlock and its signal. Holding the
    // lock keeps the manager alive, since RemoveSession erases under it
    // before it destroys. Test: SessionClose.HammeredAgainstDetachedReports.
    CSessionMgr::Instance().WithSearchMgr(sessionId, [&](CSearchMgr& searchMgr) {
      if (ended) {
        searchMgr.PluginFinished();
      } else {
        searchMgr.MergeLocated(text, length, at);
      }
    });
  } catch (...) {
  }
}

}  // namespace Tessik
