// The asynchronous side of the search manager: starting plugins, counting
// their ends, and the worker that delivers merged batches to the callback.
#include <cstring>

#include "client/SessionMgr.h"
#include "search/SearchMgr.h"

namespace Tessik {

using vel::ulmo::osdep::MutexLock;

int32_t CSearchMgr::AsyncSearch(const void* query, SearchCallback callback, uint32_t searchParam,
                                uint32_t pollIntervalMs) {
  // Refused before the plugin lock is taken: the final callback runs on the
  // worker holding the run-count lock, and a search started from it must
  // not wait for the plugin lock, which another thread may hold while it
  // waits for that very run-count lock.
  {
    MutexLock count(runCountLock_);
    if (!idle_) return TESSIK_E_SEARCH_RUNNING;
  }
  MutexLock hold(pluginLock_);
  {
    MutexLock count(runCountLock_);
    if (!idle_) return TESSIK_E_SEARCH_RUNNING;
  }
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
  MutexLock hold(pluginLock_);
  endOfSearch_.Set();
  for (auto& [name, plugin] : plugins_) plugin->abortAsyncSearch(plugin->handle);
  WaitForAsyncEnd();
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
    if (outstanding_ > 0) --outstanding_;
    none = outstanding_ == 0;
  }
  if (none) endOfSearch_.Set();
}

bool CSearchMgr::DeliverPending() {
  MutexLock hold(resultsLock_);
  if (results_.IsEmpty()) return false;
  uint32_t length = results_.Length();
  TessikChar* text = nullptr;
  // When the copy cannot be made the batch is dropped: the caller still
  // hears of it, with a null text.
  if (Tessik_Allocate(&text, length + 1) == TESSIK_OK) {
    std::memcpy(text, results_.CStr(), sizeof(WChar) * (length + 1));
  }
  callback_(sessionId_, TESSIK_NOTIFY_RESULTS, text);
  results_.Clear();
  insertPosition_ = 0;
  noResults_ = false;
  return true;
}

uint32_t CSearchMgr::Run() {
  try {
    {
      MutexLock hold(resultsLock_);
      noResults_ = true;
    }
    for (;;) {
      Sleep(pollInterval_);
      DeliverPending();
      bool ended;
      {
        MutexLock count(runCountLock_);
        ended = outstanding_ == 0;
      }
      if (!ended) continue;
      // Results merged after this round's delivery but before the count
      // reached 0 go out before the final notification. Nothing can raise
      // the count again meanwhile: a new search needs the session idle.
      DeliverPending();
      bool nothingDelivered;
      {
        MutexLock hold(resultsLock_);
        nothingDelivered = noResults_;
      }
      MutexLock count(runCountLock_);
      callback_(sessionId_, nothingDelivered ? TESSIK_NOTIFY_ENDED_EMPTY : TESSIK_OK, nullptr);
      idle_ = true;
      endOfSearch_.Set();
      return 0;
    }
  } catch (...) {
    // A system lock failed: end the search rather than leave waiters hanging.
    idle_ = true;
    endOfSearch_.Set();
    return 1;
  }
}

void CSearchMgr::PluginNotify(uint32_t sessionId, int32_t code, const TessikChar* text) {
  if (sessionId == 0) return;
  // Called from plugin threads through a C pointer: nothing may escape.
  try {
    CSearchMgr* searchMgr = nullptr;
    if (CSessionMgr::Instance().GetSearchMgr(sessionId, &searchMgr) != TESSIK_OK) return;
    if (code == TESSIK_NOTIFY_PLUGIN_ENDED || code == TESSIK_NOTIFY_PLUGIN_ENDED_ALT) {
      searchMgr->PluginFinished();
    } else if (code == TESSIK_NOTIFY_PLUGIN_RESULTS && text != nullptr) {
      searchMgr->MergeResults(text, WString::LengthOf(text));
    }
  } catch (...) {
  }
}

}  // namespace Tessik
