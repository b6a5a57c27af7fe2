// The hit and hit-list exports. The objects arrive with the hit model; until
// then the factories return null and the converters report that they are not
// available.
#include "client/Boundary.h"
#include "tessik/TessikClient.h"

extern "C" {

TESSIK_API IHit* Tessik_NewHit() {
  return Tessik::GuardPointer([]() -> IHit* { return nullptr; });
}

TESSIK_API IHitList* Tessik_NewHitList() {
  return Tessik::GuardPointer([]() -> IHitList* { return nullptr; });
}

TESSIK_API int32_t Tessik_ConvertHitListToXML(IHitList* hitList, TessikChar** outXml) {
  if (hitList == nullptr || outXml == nullptr) return TESSIK_E_NULL_ARGUMENT;
  *outXml = nullptr;
  return TESSIK_E_FAILED;
}

TESSIK_API int32_t Tessik_ConvertXMLToHitList(const TessikChar* xml, IHitList** outHitList) {
  if (xml == nullptr || outHitList == nullptr) return TESSIK_E_NULL_ARGUMENT;
  *outHitList = nullptr;
  return TESSIK_E_FAILED;
}

}  // extern "C"
