// The query exports. Reading query documents arrives with the query model;
// until then parsing reports that it is not available.
#include "client/Boundary.h"
#include "tessik/TessikClient.h"

extern "C" {

TESSIK_API int32_t Tessik_ParseQueryFromXML(const TessikChar* xml, IQuery** outQuery) {
  if (xml == nullptr || outQuery == nullptr) return TESSIK_E_NULL_ARGUMENT;
  *outQuery = nullptr;
  return TESSIK_E_FAILED;
}

// Kept for the binary interface: it reads nothing and does nothing.
TESSIK_API int32_t Tessik_ParseQueryFromText() { return TESSIK_OK; }

}  // extern "C"
