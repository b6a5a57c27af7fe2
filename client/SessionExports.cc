// The session and search exports: argument checks in their order, the
// session look-up, and the hand-over to the session's search manager.
#include <memory>

#include "client/Boundary.h"
#include "search/SessionMgr.h"
#include "search/SearchMgr.h"
#include "search/SessionMgr.h"
#include "tessik/TessikClient.h"

namespace Tessik {
namespace {

// The registry lock is held only for the look-up; the search runs under the
// session's own locks.
int32_t LookUp(uint32_t id, CSearchMgr** searchMgr) { return CSessionMgr::Instance().GetSearchMgr(id, searchMgr); }

WString Text(const TessikChar* text) { return WString(text); }  // null is the empty text

}  // namespace
}  // namespace Tessik

using Tessik::CSearchMgr;
using Tessik::GuardStatus;

extern "C" {

TESSIK_API int32_t Tessik_OpenSession(const TessikChar* name, uint32_t* outId) {
  if (outId == nullptr) return TESSIK_E_FAILED;
  return GuardStatus([&] {
    auto searchMgr = std::make_unique<CSearchMgr>(name);
    int32_t status = Tessik::CSessionMgr::Instance().AddSession(searchMgr.get(), outId);
    // Refused (registry full): nothing else refers to it, so it goes.
    if (status == TESSIK_OK) searchMgr.release();
    return status;
  });
}

TESSIK_API int32_t Tessik_CloseSession(uint32_t sessionId) {
  return GuardStatus([&] {
    CSearchMgr* searchMgr;
    if (int32_t status = Tessik::LookUp(sessionId, &searchMgr)) return status;
    // From the session's own callback: closing waits for the search, which
    // cannot end while its callback runs.
    if (searchMgr->IsCurrentWorker()) return int32_t{TESSIK_E_SEARCH_RUNNING};
    searchMgr->FinishSearch();
    Tessik::CSessionMgr::Instance().RemoveSession(sessionId);
    return int32_t{TESSIK_OK};
  });
}

TESSIK_API int32_t Tessik_LoadPluginByDomain(uint32_t sessionId, const TessikChar* domain) {
  return GuardStatus([&] {
    CSearchMgr* searchMgr;
    if (int32_t status = Tessik::LookUp(sessionId, &searchMgr)) return status;
    return searchMgr->LoadPluginByDomain(Tessik::Text(domain));
  });
}

TESSIK_API int32_t Tessik_LoadPluginByPath(uint32_t sessionId, const TessikChar* path) {
  if (path == nullptr) return TESSIK_E_NULL_ARGUMENT;
  return GuardStatus([&] {
    CSearchMgr* searchMgr;
    if (int32_t status = Tessik::LookUp(sessionId, &searchMgr)) return status;
    return searchMgr->LoadPlugin(Tessik::Text(path));
  });
}

TESSIK_API int32_t Tessik_InitSearch(uint32_t sessionId) {
  return GuardStatus([&] {
    CSearchMgr* searchMgr;
    if (int32_t status = Tessik::LookUp(sessionId, &searchMgr)) return status;
    return searchMgr->InitSearch();
  });
}

TESSIK_API int32_t Tessik_SyncSearch(uint32_t sessionId, const void* query, TessikChar** outResults,
                                     uint32_t searchParam) {
  if (query == nullptr || outResults == nullptr) return TESSIK_E_NULL_ARGUMENT;
  return GuardStatus([&] {
    CSearchMgr* searchMgr;
    if (int32_t status = Tessik::LookUp(sessionId, &searchMgr)) return status;
    return searchMgr->SyncSearch(query, outResults, searchParam);
  });
}

TESSIK_API int32_t Tessik_AsyncSearch(uint32_t sessionId, const void* query, SearchCallback callback,
                                      uint32_t searchParam, uint32_t pollIntervalMs) {
  if (query == nullptr || callback == nullptr) return TESSIK_E_NULL_ARGUMENT;
  return GuardStatus([&] {
    CSearchMgr* searchMgr;
    if (int32_t status = Tessik::LookUp(sessionId, &searchMgr)) return status;
    return searchMgr->AsyncSearch(query, callback, searchParam, pollIntervalMs);
  });
}

TESSIK_API int32_t Tessik_AbortAsyncSearch(uint32_t sessionId) {
  return GuardStatus([&] {
    CSearchMgr* searchMgr;
    if (int32_t status = Tessik::LookUp(sessionId, &searchMgr)) return status;
    searchMgr->AbortAsyncSearch();
    return int32_t{TESSIK_OK};
  });
}

}  // extern "C"
