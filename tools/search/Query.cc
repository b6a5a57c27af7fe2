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

SearchQuery QueryFromOptions(const SearchOptions& o) {
  SearchQuery wanted;
  // Only --not words and no others: "Not" selects what the categories hold,
  // minus those words.
  wanted.compose = o.words.empty() ? "Not" : o.any ? "Or" : "And";
  for (const std::string& w : o.words) {
    QueryTerm term{w, {}};
    if (!o.field.empty()) term.fields.push_back(o.field);
    wanted.terms.push_back(std::move(term));
  }
  for (const std::string& w : o.excluded) wanted.terms.push_back({w, {"not"}});
  wanted.categories = o.categories;
  wanted.stemming = o.stemming;
  wanted.synonyms = o.synonyms;
  wanted.caseSensitive = o.caseSensitive;
  for (const SearchDomain& d : o.domains) {
    if (std::find(wanted.domains.begin(), wanted.domains.end(), d.name) == wanted.domains.end())
      wanted.domains.push_back(d.name);
  }
  return wanted;
}

bool QueryFromParsed(IQuery& query, SearchQuery& wanted, std::string& error) {
  wanted = SearchQuery();
  wanted.stemming = query.UseStemming();
  wanted.synonyms = query.UseSynonym();
  wanted.caseSensitive = query.IsCaseSensitive();
  for (IDomain* d = query.GetDomain(true); d != nullptr; d = query.GetDomain(false)) {
    const std::string name = Narrow(d->GetName());
    if (d->GetProperty(TESSIK_TEXT("data")) != nullptr) {
      error = "the query file sets the \"data\" property of domain \"" + name +
              "\"; a query may not choose what a plugin opens (use --data " + name + "=PATH)";
      return false;
    }
    if (!name.empty() && std::find(wanted.domains.begin(), wanted.domains.end(), name) == wanted.domains.end())
      wanted.domains.push_back(name);
  }
  for (const TessikChar* c = query.GetCategory(true); c != nullptr; c = query.GetCategory(false))
    wanted.categories.push_back(Narrow(c));
  if (ITermGroup* group = query.GetTermGroup()) {
    const uint32_t compose = group->GetCompose();
    wanted.compose = compose == TESSIK_COMPOSE_OR ? "Or" : compose == TESSIK_COMPOSE_NOT ? "Not" : "And";
    for (ITerm* t = group->GetTerm(true); t != nullptr; t = group->GetTerm(false)) {
      QueryTerm term{Narrow(t->GetText()), {}};
      for (const TessikChar* f = t->GetField(true); f != nullptr; f = t->GetField(false))
        term.fields.push_back(Narrow(f));
      wanted.terms.push_back(std::move(term));
    }
  }
  if (!IsQuery(wanted)) {
    error = "the query file holds no query: no term to search for and no category";
    return false;
  }
  return true;
}

bool IsQuery(const SearchQuery& wanted) {
  if (!wanted.categories.empty()) return true;
  if (wanted.compose == "Not") return false;
  return std::any_of(wanted.terms.begin(), wanted.terms.end(),
                     [](const QueryTerm& t) { return !Excluded(t) && !Words(t.text).empty(); });
}

std::string QueryXml(const SearchQuery& wanted, const std::vector<DomainTarget>& domains) {
  auto flag = [](bool on) { return on ? "\"true\"" : "\"false\""; };
  std::string xml = std::string("<Query synonym=") + flag(wanted.synonyms) + " stemming=" + flag(wanted.stemming) +
                    " case_sensitivity=" + flag(wanted.caseSensitive) + ">";
  for (const DomainTarget& d : domains) {
    xml += "<Domain><Name>" + XmlEscape(d.name) + "</Name>";
    if (!d.data.empty()) xml += "<Property name=\"data\">" + XmlEscape(d.data) + "</Property>";
    if (d.limit) xml += "<Property name=\"limit\">" + std::to_string(*d.limit) + "</Property>";
    for (const auto& [name, value] : d.properties)
      xml += "<Property name=\"" + XmlEscape(name) + "\">" + XmlEscape(value) + "</Property>";
    xml += "</Domain>";
  }
  for (const std::string& c : wanted.categories) xml += "<Category>" + XmlEscape(c) + "</Category>";
  xml += "<TermGroup compose=\"" + wanted.compose + "\">";
  for (const QueryTerm& t : wanted.terms) {
    xml += "<Term><Text>" + XmlEscape(t.text) + "</Text>";
    for (const std::string& f : t.fields) xml += "<Field>" + XmlEscape(f) + "</Field>";
    xml += "</Term>";
  }
  return xml + "</TermGroup></Query>";
}

}  // namespace tessik_cli
