// The results merge of the search manager (CSearchMgr::MergeResults), which
// splices every plugin's results document into the first one as text.
//
// The first input byte picks one of two modes:
//  - even: the rest is a sequence of arbitrary documents (each a
//    length-prefixed run of UTF-16 units, NULs and all). Nothing may crash,
//    and the merged text is never longer than what went in.
//  - odd: the rest describes hit lists; each is written with the hit-list
//    writer, and the documents it accepts are merged in turn. These are the
//    texts the merge's rules are made for: the merged text must read back
//    as a results document holding every list's hits, in order.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz/FuzzInput.h"
#include "search/Markers.h"
#include "search/SearchMgr.h"
#include "tessik/Hits.h"
#include "tessik/TessikClient.h"

namespace {

// Characters the writer has to escape, characters outside ASCII (one a
// surrogate pair), the markers' own letters in both cases, and a few XML
// cannot carry at all (the writer then refuses the list).
const TessikChar kAlphabet[] = {
    'a', 'R', 'e', 's', 'u', 'l', 't', 'S', ' ', '<', '>', '/', '&', '"', '\'', '\t', '\n', '\r', ';', '=',
    0x00E9, 0x03A3, 0x4E2D, 0xD83D, 0xDE00, 0x0001, 0xFFFE,
};

FuzzText RandomText(FuzzedDataProvider& in) {
  FuzzText text;
  size_t length = in.ConsumeIntegralInRange<size_t>(0, 12);
  for (size_t i = 0; i < length; ++i) {
    size_t pick = in.ConsumeIntegralInRange<size_t>(0, sizeof(kAlphabet) / sizeof(kAlphabet[0]) - 1);
    // The surrogate pair goes in whole unless the input asks otherwise.
    text.push_back(kAlphabet[pick]);
    if (kAlphabet[pick] == 0xD83D && in.ConsumeBool()) text.push_back(0xDE00);
  }
  return text;
}

IHitList* RandomList(FuzzedDataProvider& in) {
  IHitList* list = Tessik_NewHitList();
  FUZZ_CHECK(list != nullptr);
  size_t hits = in.ConsumeIntegralInRange<size_t>(0, 4);
  for (size_t h = 0; h < hits; ++h) {
    IHit* hit = Tessik_NewHit();
    FUZZ_CHECK(hit != nullptr);
    hit->SetNormScore(in.ConsumeFloatingPoint<double>());
    hit->SetRawScore(in.ConsumeIntegral<int32_t>());
    // A hit without properties would not read back as a hit at all.
    size_t properties = in.ConsumeIntegralInRange<size_t>(1, 3);
    for (size_t p = 0; p < properties; ++p) {
      FuzzText name = RandomText(in), value = RandomText(in);
      hit->SetProperty(name.c_str(), value.c_str());
    }
    list->AddHit(hit);
  }
  return list;
}

// A list written by the writer, as text (the writer's own canonical form).
FuzzText Written(IHitList* list) {
  TessikChar* text = nullptr;
  FUZZ_CHECK(Tessik_ConvertHitListToXML(list, &text) == TESSIK_OK);
  FuzzText copy(text);
  Tessik_Release(text);
  return copy;
}

void MergeArbitrary(FuzzedDataProvider& in) {
  Tessik::CSearchMgr merger(nullptr);
  size_t total = 0;
  while (in.remaining_bytes() > 0) {
    std::string bytes = in.ConsumeRandomLengthString();
    FuzzText document = Utf16(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    total += document.size();
    merger.MergeResults(document.data(), static_cast<uint32_t>(document.size()));
  }
  const vel::ulmo::WString& merged = merger.Results();
  FUZZ_CHECK(merged.Length() <= total);
  (void)Tessik::markers::Locate(merged.CStr(), merged.Length());
}

void MergeWritten(FuzzedDataProvider& in) {
  Tessik::CSearchMgr merger(nullptr);
  IHitList* expected = Tessik_NewHitList();  // every merged list's hits, in order
  FUZZ_CHECK(expected != nullptr);
  size_t merged = 0;
  size_t lists = in.ConsumeIntegralInRange<size_t>(1, 6);
  for (size_t l = 0; l < lists; ++l) {
    IHitList* list = RandomList(in);
    TessikChar* document = nullptr;
    int32_t status = Tessik_ConvertHitListToXML(list, &document);
    Tessik_ReleaseHitList(list);
    if (status != TESSIK_OK) {
      FUZZ_CHECK(status == TESSIK_E_FAILED && document == nullptr);
      continue;
    }
    merger.MergeResults(document, vel::ulmo::WString::LengthOf(document));
    ++merged;
    // What the document holds, as the reader sees it.
    IHitList* read = nullptr;
    FUZZ_CHECK(Tessik_ConvertXMLToHitList(document, &read) == TESSIK_OK);
    expected->Append(*read);
    Tessik_ReleaseHitList(read);
    Tessik_Release(document);
  }
  if (merged > 0) {
    IHitList* result = nullptr;
    FUZZ_CHECK(Tessik_ConvertXMLToHitList(merger.Results().CStr(), &result) == TESSIK_OK);
    FUZZ_CHECK(result->GetCount() == expected->GetCount());
    FUZZ_CHECK(Written(result) == Written(expected));
    Tessik_ReleaseHitList(result);
  }
  Tessik_ReleaseHitList(expected);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  // The mode is read here, not through the provider, which takes integers
  // from the input's end: seeds written by hand stay readable.
  FuzzedDataProvider in(data + 1, size - 1);
  if (data[0] % 2 == 0) {
    MergeArbitrary(in);
  } else {
    MergeWritten(in);
  }
  return 0;
}
