// Reading queries in tests: parse through the export, and collect what the
// interfaces enumerate as plain strings.
#ifndef TESSIK_TESTS_QUERY_QUERYTESTUTIL_H_
#define TESSIK_TESTS_QUERY_QUERYTESTUTIL_H_

#include <algorithm>
#include <memory>
#include <vector>

#include "tessik/Query.h"
#include "tessik/TessikClient.h"
#include "tests/common/TestText.h"

struct QueryReleaser {
  void operator()(IQuery* query) const { Tessik_ReleaseQuery(query); }
};
using QueryPtr = std::unique_ptr<IQuery, QueryReleaser>;

// A null text reads as "<null>", so a missing text never passes for an empty one.
inline TString Str(const TessikChar* text) { return text != nullptr ? TString(text) : T("<null>"); }

inline std::vector<TString> Fields(ITerm* term) {
  std::vector<TString> out;
  for (const TessikChar* f = term->GetField(true); f != nullptr; f = term->GetField(false)) out.push_back(f);
  return out;
}

inline std::vector<TString> Categories(IQuery* query) {
  std::vector<TString> out;
  for (const TessikChar* c = query->GetCategory(true); c != nullptr; c = query->GetCategory(false)) out.push_back(c);
  return out;
}

inline std::vector<ITerm*> Terms(ITermGroup* group) {
  std::vector<ITerm*> out;
  for (ITerm* t = group->GetTerm(true); t != nullptr; t = group->GetTerm(false)) out.push_back(t);
  return out;
}

// Term texts, sorted: terms come in no particular order.
inline std::vector<TString> TermTexts(ITermGroup* group) {
  std::vector<TString> out;
  for (ITerm* t : Terms(group)) out.push_back(Str(t->GetText()));
  std::sort(out.begin(), out.end());
  return out;
}

inline std::vector<IDomain*> Domains(IQuery* query) {
  std::vector<IDomain*> out;
  for (IDomain* d = query->GetDomain(true); d != nullptr; d = query->GetDomain(false)) out.push_back(d);
  return out;
}

#endif  // TESSIK_TESTS_QUERY_QUERYTESTUTIL_H_
