#include "client/SessionMgr.h"

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
  MutexLock hold(lock_);
  sessions_.emplace(0, nullptr);  // 0 is never issued: its entry is always there
}

CSessionMgr::~CSessionMgr() {
  std::map<uint32_t, CSearchMgr*> closing;
  try {
    MutexLock hold(lock_);
    closing.swap(sessions_);
  } catch (...) {
    closing.swap(sessions_);
  }
  for (auto& [id, searchMgr] : closing) delete searchMgr;  // ascending identifiers
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
  // Destroyed after the registry lock is released: the destructor takes the
  // plugin lock, and a plugin reporting under that lock takes the registry
  // lock to find its session. Once erased, no look-up can reach it.
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
