// CSessionMgr: the process-wide registry of open sessions. It issues session
// identifiers (1, 2, 3, ... in order of opening; 0 never) and owns the
// search manager of every session.
#ifndef TESSIK_CLIENT_SESSIONMGR_H_
#define TESSIK_CLIENT_SESSIONMGR_H_

#include <cstdint>
#include <map>

#include "ulmo/osdep/Mutex.h"

namespace Tessik {

class CSearchMgr;

class CSessionMgr {
 public:
  static CSessionMgr& Instance();
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

  // For tests of the identifier counter.
  void SetLastIssuedForTesting(uint32_t value);
  static constexpr uint64_t kCapacity = 0xFFFFFFFFu;  // entries, the one for 0 included

 private:
  CSessionMgr();

  std::map<uint32_t, CSearchMgr*> sessions_;
  uint32_t lastIssued_ = 0;
  vel::ulmo::osdep::Mutex lock_;
};

}  // namespace Tessik

#endif  // TESSIK_CLIENT_SESSIONMGR_H_
