// The hit and hit-list exports.
#include <memory>

#include "client/Boundary.h"
#include "hits/Hit.h"
#include "hits/HitListXml.h"
#include "tessik/TessikClient.h"

extern "C" {

TESSIK_API IHit* Tessik_NewHit() {
  return Tessik::GuardPointer([]() -> IHit* { return new Tessik::CNSHit; });
}

TESSIK_API IHitList* Tessik_NewHitList() {
  // Null when memory runs out, and also when the system refuses to open the
  // lists' lock: no exception crosses the exported interface.
  return Tessik::GuardPointer([]() -> IHitList* { return new Tessik::CNSHitList; });
}

TESSIK_API int32_t Tessik_ConvertHitListToXML(IHitList* hitList, TessikChar** outXml) {
  if (hitList == nullptr || outXml == nullptr) return TESSIK_E_NULL_ARGUMENT;
  auto* list = dynamic_cast<Tessik::CNSHitList*>(hitList);
  if (list == nullptr) return TESSIK_E_NULL_ARGUMENT;
  *outXml = nullptr;
  return Tessik::GuardStatus([&] { return Tessik::WriteHitListXml(*list, outXml); });
}

TESSIK_API int32_t Tessik_ConvertXMLToHitList(const TessikChar* xml, IHitList** outHitList) {
  if (xml == nullptr || outHitList == nullptr) return TESSIK_E_NULL_ARGUMENT;
  *outHitList = nullptr;
  return Tessik::GuardStatus([&] { return Tessik::ReadHitListXml(xml, outHitList); });
}

}  // extern "C"
