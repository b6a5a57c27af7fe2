#include "search/Query.h"

#include <algorithm>

#include "common/Text.h"
#include "kit/Text.h"
#include "tessik/Query.h"

namespace tessik_cli {
namespace {

using tessik_plugins::Fold;
using tessik_plugins::Words;
using tessik_plugins::XmlEscape;

bool Excluded(const QueryTerm& term) {
  return std::any_of(term.fields.begin(), term.fields.end(), [](const std::string& f) { return Fold(f) == "not"; });
}

}  // namespace

QuerySpec SpecFromOptions(const SearchOptions& o) {
  QuerySpec spec;
  // Only --not words and no others: "Not" selects what the categories hold,
  // minus those words.
  spec.compose = o.words.empty() ? "Not" : o.any ? "Or" : "And";
  for (const std::string& w : o.words) {
    QueryTerm term{w, {}};
    if (!o.field.empty()) term.fields.push_back(o.field);
    spec.terms.push_back(std::move(term));
  }
  for (const std::string& w : o.excluded) spec.terms.push_back({w, {"not"}});
  spec.categories = o.categories;
  spec.stemming = o.stemming;
  spec.synonyms = o.synonyms;
  spec.caseSensitive = o.caseSensitive;
  for (const SearchDomain& d : o.domains) {
    if (std::find(spec.domains.begin(), spec.domains.end(), d.name) == spec.domains.end())
      spec.domains.push_back(d.name);
  }
  return spec;
}

bool SpecFromQuery(IQuery& query, QuerySpec& spec, std::string& error) {
  spec = QuerySpec();
  spec.stemming = query.UseStemming();
  spec.synonyms = query.UseSynonym();
  spec.caseSensitive = query.IsCaseSensitive();
  for (IDomain* d = query.GetDomain(true); d != nullptr; d = query.GetDomain(false)) {
    const std::string name = Narrow(d->GetName());
    if (d->GetProperty(TESSIK_TEXT("data")) != nullptr) {
      error = "the query file sets the \"data\" property of domain \"" + name +
              "\"; a query may not choose what a plugin opens (use --data " + name + "=PATH)";
      return false;
    }
    if (!name.empty() && std::find(spec.domains.begin(), spec.domains.end(), name) == spec.domains.end())
      spec.domains.push_back(name);
  }
  for (const TessikChar* c = query.GetCategory(true); c != nullptr; c = query.GetCategory(false))
    spec.categories.push_back(Narrow(c));
  if (ITermGroup* group = query.GetTermGroup()) {
    const uint32_t compose = group->GetCompose();
    spec.compose = compose == TESSIK_COMPOSE_OR ? "Or" : compose == TESSIK_COMPOSE_NOT ? "Not" : "And";
    for (ITerm* t = group->GetTerm(true); t != nullptr; t = group->GetTerm(false)) {
      QueryTerm term{Narrow(t->GetText()), {}};
      for (const TessikChar* f = t->GetField(true); f != nullptr; f = t->GetField(false))
        term.fields.push_back(Narrow(f));
      spec.terms.push_back(std::move(term));
    }
  }
  if (!IsQuery(spec)) {
    error = "the query file holds no query: no term to search for and no category";
    return false;
  }
  return true;
}

bool IsQuery(const QuerySpec& spec) {
  if (!spec.categories.empty()) return true;
  if (spec.compose == "Not") return false;
  return std::any_of(spec.terms.begin(), spec.terms.end(),
                     [](const QueryTerm& t) { return !Excluded(t) && !Words(t.text).empty(); });
}

std::string QueryXml(const QuerySpec& spec, const std::vector<DomainTarget>& domains) {
  auto flag = [](bool on) { return on ? "\"true\"" : "\"false\""; };
  std::string xml = std::string("<Query synonym=") + flag(spec.synonyms) + " stemming=" + flag(spec.stemming) +
                    " case_sensitivity=" + flag(spec.caseSensitive) + ">";
  for (const DomainTarget& d : domains) {
    xml += "<Domain><Name>" + XmlEscape(d.name) + "</Name>";
    if (!d.data.empty()) xml += "<Property name=\"data\">" + XmlEscape(d.data) + "</Property>";
    if (d.limit) xml += "<Property name=\"limit\">" + std::to_string(*d.limit) + "</Property>";
    xml += "</Domain>";
  }
  for (const std::string& c : spec.categories) xml += "<Category>" + XmlEscape(c) + "</Category>";
  xml += "<TermGroup compose=\"" + spec.compose + "\">";
  for (const QueryTerm& t : spec.terms) {
    xml += "<Term><Text>" + XmlEscape(t.text) + "</Text>";
    for (const std::string& f : t.fields) xml += "<Field>" + XmlEscape(f) + "</Field>";
    xml += "</Term>";
  }
  return xml + "</TermGroup></Query>";
}

}  // namespace tessik_cli
