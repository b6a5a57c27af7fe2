// Tessik_ConvertXMLToHitList on arbitrary UTF-16 text; the list it gives is
// written back and that text read and written again. Where the writer
// reports success, its text is one the reader takes and that writes back
// identically: the second and third texts are the same. Where it refuses
// (a value holding a character XML cannot carry) it says so by its status
// and hands out nothing. Then the list is walked and sorted.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "fuzz/FuzzInput.h"
#include "tessik/Hits.h"
#include "tessik/TessikClient.h"

namespace {

struct Written {
  int32_t status;
  TessikChar* text;
};

Written Write(IHitList* list) {
  TessikChar* text = nullptr;
  int32_t status = Tessik_ConvertHitListToXML(list, &text);
  if (status == TESSIK_OK) {
    FUZZ_CHECK(text != nullptr);
  } else {
    FUZZ_CHECK(status == TESSIK_E_FAILED && text == nullptr);
  }
  return {status, text};
}

// Every hit handed out once, in list order, through the base selector.
void Walk(IHitList* list) {
  CHitSelector all;
  uint32_t seen = 0;
  for (IHit* hit = list->GetNextHit(true, all); hit != nullptr; hit = list->GetNextHit(false, all)) {
    ++seen;
    (void)hit->GetRawScore();
    (void)hit->GetNormScore();
    (void)hit->GetProperty(TESSIK_TEXT("title"));
  }
  FUZZ_CHECK(seen == list->GetCount());
  FUZZ_CHECK(list->GetNextHit(false, all) == nullptr);
  FUZZ_CHECK(list->IsEmpty() == (seen == 0));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzText xml = Utf16(data, size);
  IHitList* list = nullptr;
  int32_t status = Tessik_ConvertXMLToHitList(xml.c_str(), &list);
  if (status != TESSIK_OK) {
    FUZZ_CHECK(status == TESSIK_E_XML_INVALID || status == TESSIK_E_OUT_OF_MEMORY);
    FUZZ_CHECK(list == nullptr);
    return 0;
  }
  FUZZ_CHECK(list != nullptr);

  Written second = Write(list);
  if (second.status == TESSIK_OK) {
    IHitList* again = nullptr;
    FUZZ_CHECK(Tessik_ConvertXMLToHitList(second.text, &again) == TESSIK_OK && again != nullptr);
    FUZZ_CHECK(again->GetCount() == list->GetCount());
    Written third = Write(again);
    FUZZ_CHECK(third.status == TESSIK_OK);
    FUZZ_CHECK(FuzzText(second.text) == FuzzText(third.text));
    Tessik_Release(third.text);
    Tessik_ReleaseHitList(again);
    Tessik_Release(second.text);
  }

  Walk(list);
  std::vector<const TessikChar*> tieBreak{TESSIK_TEXT("title"), TESSIK_TEXT("path")};
  list->SortByScore(&tieBreak);
  Walk(list);
  list->SortByProperty(TESSIK_TEXT("title"));
  Walk(list);
  Tessik_ReleaseHitList(list);
  return 0;
}
