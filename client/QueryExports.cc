// The query exports.
#include "client/Boundary.h"
#include "query/QueryReader.h"
#include "tessik/TessikClient.h"

extern "C" {

TESSIK_API int32_t Tessik_ParseQueryFromXML(const TessikChar* xml, IQuery** outQuery) {
  // The result pointer is nulled before anything can fail, so it never holds
  // a query on a failure the guard reports.
  return Tessik::GuardStatus([&] { return Tessik::ParseQueryFromXML(xml, outQuery); });
}

// Kept for the binary interface: it reads nothing and does nothing.
TESSIK_API int32_t Tessik_ParseQueryFromText() { return TESSIK_OK; }

}  // extern "C"
