#include "kit/Request.h"

#include <algorithm>

#include "kit/Names.h"
#include "kit/Text.h"
#include "tessik/Query.h"
#include "tessik/TessikClient.h"
#include "WordNetEn.h"

namespace tessik_plugins {

namespace {

unsigned FieldOf(const std::string& name) {
  const std::string n = Fold(name);
  if (n == "title") return kTitle;
  if (n == "text" || n == "body" || n == "content") return kBody;
  return 0;
}

// The synonyms of `word` from the library's word look-up: single words only
// (the engines match words, not phrases), as the library writes them (NFC),
// none that normalises as `word` or as one before it does.
std::vector<std::string> SynonymsOf(const std::string& word) {
  std::vector<std::string> out;
  TessikWordList list = nullptr;
  if (Tessik_GetSynonym(ToUtf16(word).c_str(), &list) != TESSIK_OK || list == nullptr) return out;
  std::vector<std::string> seen = {Normalise(word)};
  // The list's layout is the word library's: a count and that many texts.
  const auto* words = static_cast<const WordNetWordList*>(list);
  for (int32_t i = 0; i < words->count; ++i) {
    std::string synonym = Canonical(words->words[i]);
    if (synonym.find_first_of(" _-") != std::string::npos) continue;
    std::string normal = Normalise(synonym);
    if (std::find(seen.begin(), seen.end(), normal) != seen.end()) continue;
    seen.push_back(std::move(normal));
    out.push_back(std::move(synonym));
  }
  Tessik_ReleaseWordList(list);
  return out;
}

}  // namespace

std::string Domain::Property(const std::string& name, const std::string& fallback) const {
  auto it = properties.find(name);
  return it == properties.end() ? fallback : it->second;
}

Request ReadRequest(const void* queryPointer, const Identity& self) {
  Request request;
  auto* query = static_cast<IQuery*>(const_cast<void*>(queryPointer));
  if (query == nullptr) return request;
  request.stemming = query->UseStemming();
  request.synonyms = query->UseSynonym();
  request.caseSensitive = query->IsCaseSensitive();
  if (request.caseSensitive) request.stemming = request.synonyms = false;

  // Domain names match without regard to case: "Quotes" asks the quotes plugin.
  const std::string ourDomain = Fold(self.domain), ourName = Fold(self.name);
  bool namesAny = false;
  for (IDomain* d = query->GetDomain(true); d != nullptr; d = query->GetDomain(false)) {
    namesAny = true;
    Domain domain;
    domain.name = ToUtf8(d->GetName());
    // The library offers no way to list a domain's properties: those the
    // kit and the engines know are asked for by name.
    for (std::string_view name : kDomainProperties) {
      const TessikChar* value = d->GetProperty(ToUtf16(name).c_str());
      if (value != nullptr) domain.properties[std::string(name)] = ToUtf8(value);
    }
    const auto engine = domain.properties.find("engine");
    const bool ours = engine != domain.properties.end() ? Fold(engine->second) == ourName
                                                        : Fold(domain.name) == ourDomain;
    if (!ours) continue;
    if (engine == domain.properties.end() && domain.properties.count("data") == 0)
      domain.properties["data"] = self.data;
    request.domains.push_back(std::move(domain));
  }
  if (!namesAny) request.domains.push_back({self.domain, {{"data", self.data}}});

  for (const TessikChar* c = query->GetCategory(true); c != nullptr; c = query->GetCategory(false))
    request.categories.push_back(ToUtf8(c));

  if (ITermGroup* group = query->GetTermGroup()) {
    const uint32_t compose = group->GetCompose();
    request.compose = compose == TESSIK_COMPOSE_OR    ? Compose::kOr
                      : compose == TESSIK_COMPOSE_NOT ? Compose::kNot
                                                      : Compose::kAnd;
    for (ITerm* t = group->GetTerm(true); t != nullptr; t = group->GetTerm(false)) {
      Term term;
      term.word = ToUtf8(t->GetText());
      unsigned fields = 0;
      for (const TessikChar* f = t->GetField(true); f != nullptr; f = t->GetField(false)) {
        const std::string name = ToUtf8(f);
        if (Fold(name) == "not") {
          term.excluded = true;
        } else {
          fields |= FieldOf(name);
        }
      }
      if (fields != 0) term.fields = fields;
      ++request.termsGiven;
      if (!term.excluded && request.compose != Compose::kNot) ++request.requiredGiven;
      // A term is one word; a text of several words is several terms of
      // the same kind, so "new york" under "And" needs both. A word that
      // normalises to nothing (a lone accent) is no word to match.
      for (const std::string& word : Words(term.word)) {
        if (Tokens(word).empty()) continue;
        Term one = term;
        one.word = Canonical(word);
        if (request.synonyms) one.synonyms = SynonymsOf(word);
        request.terms.push_back(std::move(one));
      }
    }
  }
  return request;
}

}  // namespace tessik_plugins
