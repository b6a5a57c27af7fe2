#include "search/SessionMgr.h"

#include "search/PluginMgr.h"
#include "search/SearchMgr.h"
#include "tessik/TessikClient.h"

namespace Tessik {

using vel::ulmo::AString;
using vel::ulmo::osdep::MutexLock;

CSessionMgr& CSessionMgr::Instance() {
  static CSessionMgr instance;
  return instance;
}

CSessionMgr::CSessionMgr() : lock_(WString(AString("CSessionMgr_Session"))) {
  // The plugin library cache must outlive every session: process-wide
  // objects go in the reverse order of their making, and a session still
  // searching at unload runs code of the plugins the cache holds.
  CPluginMgr::Instance();
  MutexLock hold(lock_);
  sessions_.emplace(0, nullptr);  // 0 is never issued: its entry is always there
}

uint32_t CSessionMgr::NextOpen(uint32_t after, CSearchMgr** searchMgr) {
  MutexLock hold(lock_);
  for (auto at = sessions_.upper_bound(after); at != sessions_.end(); ++at) {
    if (at->second != nullptr) {
      *searchMgr = at->second;
      return at->first;
    }
  }
  return 0;
}

CSessionMgr::~CSessionMgr() {
  // Each session leaves the map only once its search has ended, so its
  // plugins' end reports can still find it: the wait below would never end
  // otherwise. A plugin that never ends by itself would hold up the
  // process's exit for ever, so a running search is aborted first. No lock
  // is held while waiting: the reports need the registry lock.
  try {
    CSearchMgr* searchMgr = nullptr;
    for (uint32_t id = NextOpen(0, &searchMgr); id != 0; id = NextOpen(id, &searchMgr)) {
      if (!searchMgr->IsIdle() && !searchMgr->IsWorkerGone()) searchMgr->AbortAsyncSearch();
      {
        MutexLock hold(lock_);
        sessions_.erase(id);
      }
      delete searchMgr;
    }
  } catch (...) {
    // The registry lock failed: nothing can reach the sessions any more.
    for (auto& [id, searchMgr] : sessions_) delete searchMgr;
  }
}

int32_t CSessionMgr::AddSession(CSearchMgr* searchMgr, uint32_t* outId) {
  if (searchMgr == nullptr) return TESSIK_E_NULL_ARGUMENT;
  MutexLock hold(lock_);
  if (sessions_.size() >= kCapacity) return TESSIK_E_REGISTRY_FULL;
  // Wraps from 0xFFFFFFFF to 0; 0 and identifiers still in use are passed over.
  do {
    ++lastIssued_;
  } while (sessions_.count(lastIssued_) != 0);
  sessions_.emplace(lastIssued_, searchMgr);
  searchMgr->SetSessionId(lastIssued_);
  if (outId != nullptr) *outId = lastIssued_;
  return TESSIK_OK;
}

int32_t CSessionMgr::RemoveSession(uint32_t id) {
  if (id == 0) return TESSIK_E_NO_SESSION;
  CSearchMgr* searchMgr;
  {
    MutexLock hold(lock_);
    auto found = sessions_.find(id);
    if (found == sessions_.end()) return TESSIK_E_NO_SESSION;
    searchMgr = found->second;
    sessions_.erase(found);
  }
  // Destroyed after the registry lock is released (the lock rules have it
  // destroyed under the lock): the destructor takes the plugin lock, and a
  // plugin reporting under that lock takes the registry lock to find its
  // session. Once erased, no look-up or report can reach it, and a report
  // that found it before has finished: reports run under the registry lock.
  delete searchMgr;
  return TESSIK_OK;
}

int32_t CSessionMgr::GetSearchMgr(uint32_t id, CSearchMgr** outSearchMgr) {
  *outSearchMgr = nullptr;
  if (id == 0) return TESSIK_E_NO_SESSION;
  MutexLock hold(lock_);
  auto found = sessions_.find(id);
  if (found == sessions_.end()) return TESSIK_E_NO_SESSION;
  if (found->second == nullptr) return TESSIK_E_FAILED;
  *outSearchMgr = found->second;
  return TESSIK_OK;
}

void CSessionMgr::SetLastIssuedForTesting(uint32_t value) {
  MutexLock hold(lock_);
  lastIssued_ = value;
}

}  // namespace Tessik
