// The session and search exports. Sessions arrive with the search manager;
// until then every call reports that the function is not available.
#include "client/Boundary.h"
#include "tessik/TessikClient.h"

namespace {
constexpr int32_t kNotAvailable = TESSIK_E_FAILED;
}

extern "C" {

TESSIK_API int32_t Tessik_OpenSession(const TessikChar*, uint32_t* outId) {
  if (outId == nullptr) return TESSIK_E_FAILED;
  return kNotAvailable;
}

TESSIK_API int32_t Tessik_CloseSession(uint32_t sessionId) {
  return sessionId == 0 ? TESSIK_E_NO_SESSION : kNotAvailable;
}

TESSIK_API int32_t Tessik_LoadPluginByDomain(uint32_t sessionId, const TessikChar*) {
  return sessionId == 0 ? TESSIK_E_NO_SESSION : kNotAvailable;
}

TESSIK_API int32_t Tessik_LoadPluginByPath(uint32_t sessionId, const TessikChar* path) {
  if (path == nullptr) return TESSIK_E_NULL_ARGUMENT;
  return sessionId == 0 ? TESSIK_E_NO_SESSION : kNotAvailable;
}

TESSIK_API int32_t Tessik_InitSearch(uint32_t sessionId) {
  return sessionId == 0 ? TESSIK_E_NO_SESSION : kNotAvailable;
}

TESSIK_API int32_t Tessik_SyncSearch(uint32_t sessionId, const void* query, TessikChar** outResults,
                                     uint32_t) {
  if (query == nullptr || outResults == nullptr) return TESSIK_E_NULL_ARGUMENT;
  return sessionId == 0 ? TESSIK_E_NO_SESSION : kNotAvailable;
}

TESSIK_API int32_t Tessik_AsyncSearch(uint32_t sessionId, const void* query, SearchCallback callback,
                                      uint32_t, uint32_t) {
  if (query == nullptr || callback == nullptr) return TESSIK_E_NULL_ARGUMENT;
  return sessionId == 0 ? TESSIK_E_NO_SESSION : kNotAvailable;
}

TESSIK_API int32_t Tessik_AbortAsyncSearch(uint32_t sessionId) {
  return sessionId == 0 ? TESSIK_E_NO_SESSION : kNotAvailable;
}

}  // extern "C"
