// The word look-up exports. The word library manager arrives later; until
// then every look-up reports the word library as unavailable.
#include "client/Boundary.h"
#include "tessik/TessikClient.h"

extern "C" {

TESSIK_API int32_t Tessik_GetSynonym(const TessikChar*, TessikWordList* outList) {
  if (outList != nullptr) *outList = nullptr;
  return TESSIK_E_WORDLIB_UNAVAILABLE;
}

TESSIK_API int32_t Tessik_GetStemming(const TessikChar*, TessikWordList* outList) {
  if (outList != nullptr) *outList = nullptr;
  return TESSIK_E_WORDLIB_UNAVAILABLE;
}

TESSIK_API int32_t Tessik_ReleaseWordList(TessikWordList) { return TESSIK_E_WORDLIB_UNAVAILABLE; }

}  // extern "C"
