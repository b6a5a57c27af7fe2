// CSessionMgr: the process-wide registry of open sessions. It issues session
// identifiers (1, 2, 3, ... in order of opening; 0 never) and owns the
// search manager of every session.
//
// Its lock, "CSessionMgr_Session", is machine-wide: registry operations of
// every process serialise on it. It is taken alone or under a session's
// plugin lock (a plugin reporting from inside an entry point), and a
// plugin's report runs under it (see WithSearchMgr).
#ifndef TESSIK_SEARCH_SESSIONMGR_H_
#define TESSIK_SEARCH_SESSIONMGR_H_

#include <cstdint>
#include <map>

#include "ulmo/osdep/Mutex.h"

namespace Tessik {

class CSearchMgr;

class CSessionMgr {
 public:
  static CSessionMgr& Instance();
  // At unload: every session still open has its running search aborted and
  // waited for (its plugins' reports still reach it), then it is destroyed
  // without its plugins' "FinishSearch".
  virtual ~CSessionMgr();

  // Registers `searchMgr` (the registry takes ownership on success) under a
  // new identifier, written to *outId when it is not null.
  // TESSIK_E_NULL_ARGUMENT, TESSIK_E_REGISTRY_FULL.
  int32_t AddSession(CSearchMgr* searchMgr, uint32_t* outId);
  // Unregisters a session and destroys its search manager.
  int32_t RemoveSession(uint32_t id);
  // The search manager of a session; the pointer stays valid until the
  // session is removed. TESSIK_E_NO_SESSION, TESSIK_E_FAILED (no manager).
  int32_t GetSearchMgr(uint32_t id, CSearchMgr** outSearchMgr);
  // Runs `use` on the session's search manager with the registry lock held,
  // so the manager cannot be destroyed meanwhile; false when there is no
  // such session. `use` may take the run-count or the results lock, nothing
  // else.
  template <class Use>
  bool WithSearchMgr(uint32_t id, Use&& use);

  // For tests of the identifier counter.
  void SetLastIssuedForTesting(uint32_t value);
  static constexpr uint64_t kCapacity = 0xFFFFFFFFu;  // entries, the one for 0 included

 private:
  CSessionMgr();
  // The session with the smallest identifier above `after` (0: none left).
  uint32_t NextOpen(uint32_t after, CSearchMgr** searchMgr);

  std::map<uint32_t, CSearchMgr*> sessions_;  // guarded by lock_
  uint32_t lastIssued_ = 0;                   // guarded by lock_
  vel::ulmo::osdep::Mutex lock_;
};

template <class Use>
bool CSessionMgr::WithSearchMgr(uint32_t id, Use&& use) {
  if (id == 0) return false;
  vel::ulmo::osdep::MutexLock hold(lock_);
  auto found = sessions_.find(id);
  if (found == sessions_.end() || found->second == nullptr) return false;
  use(*found->second);
  return true;
}

}  // namespace Tessik

#endif  // TESSIK_SEARCH_SESSIONMGR_H_
