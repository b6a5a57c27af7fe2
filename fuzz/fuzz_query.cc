// Tessik_ParseQueryFromXML on arbitrary UTF-16 text, then a walk through
// every operation the query's interfaces offer a plugin, then its release.
// Beyond "no crash, no leak": what the interfaces promise about the
// enumerations holds for whatever the reader accepted.
#include <cstddef>
#include <cstdint>

#include "fuzz/FuzzInput.h"
#include "tessik/Query.h"
#include "tessik/TessikClient.h"
#include "ulmo/StringBase.h"

namespace {

using vel::ulmo::WString;

uint32_t Length(const TessikChar* text) { return WString::LengthOf(text); }

// Fields and categories come sorted by the library's comparison, with no
// two equal but for case; past the end the enumeration stays at null.
template <class Next>
void CheckSortedEnumeration(Next next) {
  const TessikChar* previous = next(true);
  FuzzText kept = previous != nullptr ? FuzzText(previous) : FuzzText();
  for (const TessikChar* item = previous; item != nullptr;) {
    item = next(false);
    if (item == nullptr) break;
    FUZZ_CHECK(vel::ulmo::CompareIgnoringCase(kept.data(), static_cast<uint32_t>(kept.size()), item, Length(item)) < 0);
    kept = item;
  }
  FUZZ_CHECK(next(false) == nullptr);
}

void WalkTerm(ITerm* term) {
  FUZZ_CHECK(term->IsTerm() && !term->IsTermGroup());
  const TessikChar* text = term->GetText();
  if (text != nullptr) (void)Length(text);
  CheckSortedEnumeration([term](bool first) { return term->GetField(first); });
}

void Walk(IQuery* query) {
  (void)query->UseStemming();
  (void)query->UseSynonym();
  (void)query->IsCaseSensitive();

  FUZZ_CHECK(query->GetDomain(false) == nullptr);  // before any call with `first` true
  for (IDomain* domain = query->GetDomain(true); domain != nullptr; domain = query->GetDomain(false)) {
    const TessikChar* name = domain->GetName();
    FuzzText kept = name != nullptr ? FuzzText(name) : FuzzText();
    // Look-ups by a name the document may hold, by none, and by null.
    (void)domain->GetProperty(kept.c_str());
    (void)domain->GetProperty(TESSIK_TEXT("path"));
    (void)domain->GetProperty(nullptr);
  }
  FUZZ_CHECK(query->GetDomain(false) == nullptr);

  CheckSortedEnumeration([query](bool first) { return query->GetCategory(first); });

  ITermGroup* group = query->GetTermGroup();
  if (group == nullptr) return;
  FUZZ_CHECK(group->IsTermGroup() && !group->IsTerm());
  FUZZ_CHECK(group->GetText() == nullptr && group->GetField(true) == nullptr);
  FUZZ_CHECK(group->GetCompose() <= TESSIK_COMPOSE_NOT);
  for (ITerm* term = group->GetTerm(true); term != nullptr; term = group->GetTerm(false)) WalkTerm(term);
  FUZZ_CHECK(group->GetTerm(false) == nullptr);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzText xml = Utf16(data, size);
  IQuery* query = reinterpret_cast<IQuery*>(1);  // must be overwritten
  int32_t status = Tessik_ParseQueryFromXML(xml.c_str(), &query);
  if (status != TESSIK_OK) {
    FUZZ_CHECK(status == TESSIK_E_XML_INVALID || status == TESSIK_E_OUT_OF_MEMORY);
    return 0;
  }
  FUZZ_CHECK(query != nullptr);
  Walk(query);
  Tessik_ReleaseQuery(query);
  return 0;
}
