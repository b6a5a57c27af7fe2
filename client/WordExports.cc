// The word look-up exports: each makes sure the word library manager exists
// (even a call with null arguments makes it), then hands the call to it.
#include "client/Boundary.h"
#include "tessik/TessikClient.h"
#include "words/WordLibMgr.h"

extern "C" {

TESSIK_API int32_t Tessik_GetSynonym(const TessikChar* word, TessikWordList* outList) {
  return Tessik::GuardStatus([&] { return Tessik::CWordLibMgr::Instance().GetSynonym(word, outList); });
}

TESSIK_API int32_t Tessik_GetStemming(const TessikChar* word, TessikWordList* outList) {
  return Tessik::GuardStatus([&] { return Tessik::CWordLibMgr::Instance().GetStemming(word, outList); });
}

TESSIK_API int32_t Tessik_ReleaseWordList(TessikWordList list) {
  return Tessik::GuardStatus([&] { return Tessik::CWordLibMgr::Instance().ReleaseWordList(list); });
}

}  // extern "C"
