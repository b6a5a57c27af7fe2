#include "search/Output.h"

#include <algorithm>
#include <cmath>

#include <nlohmann/json.hpp>

namespace tessik_cli {
namespace {

constexpr size_t kGap = 2;
constexpr size_t kScore = 5;  // "0.000"
constexpr size_t kMinTitle = 12, kMinSnippet = 16;

std::string Pad(const std::string& text, size_t columns) {
  const std::string fitted = Fit(text, columns);
  return fitted + std::string(columns - std::min(columns, Columns(fitted)), ' ');
}

std::string Score(double score) {
  if (std::isnan(score)) return "  nan";
  // Five columns whatever the method: merged scores may pass 10.
  char text[32];
  const double size = std::fabs(score);
  std::snprintf(text, sizeof text, size < 9.9995 ? "%5.3f" : size < 99.995 ? "%5.2f" : size < 999.95 ? "%5.1f" : "%5.0f",
                score);
  return text;
}

}  // namespace

TableLayout MakeLayout(size_t width, const std::vector<std::string>& domains, const std::vector<Row>* rows) {
  TableLayout layout;
  size_t longestTitle = 0;
  for (const std::string& d : domains) layout.domain = std::max(layout.domain, Columns(d));
  if (rows != nullptr) {
    layout.rank = std::max(layout.rank, std::to_string(rows->size()).size());
    for (const Row& row : *rows) {
      layout.domain = std::max(layout.domain, Columns(row.domain));
      longestTitle = std::max(longestTitle, Columns(OneLine(row.title)));
    }
  }
  layout.domain = std::min<size_t>(layout.domain, 12);
  const size_t fixed = layout.rank + kGap + kScore + kGap + layout.domain + kGap;
  const size_t rest = width > fixed ? width - fixed : 0;
  // The title takes up to two fifths of what is left (less when every title
  // is shorter), the snippet the remainder when that is worth showing.
  size_t title = std::max(kMinTitle, rest * 2 / 5);
  if (rows != nullptr) title = std::max(std::min(title, longestTitle), std::min<size_t>(5, title));
  if (rest >= title + kGap + kMinSnippet) {
    layout.title = title;
    layout.snippet = rest - title - kGap;
  } else {
    layout.title = std::max(kMinTitle, rest);
    layout.snippet = 0;
  }
  return layout;
}

std::string TableText(const TableLayout& l, const std::vector<Row>& rows) {
  std::string text = std::string(l.rank - 4, ' ') + "rank  score  " + Pad("domain", l.domain) + "  ";
  text += (l.snippet == 0 ? "title" : Pad("title", l.title) + "  snippet") + "\n";
  size_t rank = 1;
  for (const Row& row : rows) {
    std::string rankText = std::to_string(rank++);
    std::string line = std::string(l.rank - std::min(l.rank, rankText.size()), ' ') + rankText + "  " +
                       Score(row.score) + "  " + Pad(row.domain, l.domain) + "  ";
    const std::string title = OneLine(row.title);
    if (l.snippet == 0) {
      line += Fit(title, l.title);
    } else {
      line += Pad(title, l.title) + "  " + Fit(OneLine(row.snippet), l.snippet);
    }
    while (!line.empty() && line.back() == ' ') line.pop_back();
    text += line + "\n";
  }
  return text;
}

namespace {

using Json = nlohmann::ordered_json;

Json HitsJson(const std::vector<Ranked>& ranked, size_t offset = 0) {
  Json hits = Json::array();
  size_t rank = offset;
  for (const Ranked& r : ranked) {
    Json properties = Json::object();
    for (const auto& [name, value] : r.row.properties) properties[name] = value;
    Json domains = Json::array(), ranks = Json::object();
    for (const auto& [domain, at] : r.sources) {
      domains.push_back(domain);
      ranks[domain] = at;
    }
    hits.push_back({{"rank", ++rank},
                    {"score", std::isfinite(r.row.score) ? Json(r.row.score) : Json()},
                    {"domain", r.row.domain},
                    {"domains", std::move(domains)},
                    {"source_ranks", std::move(ranks)},
                    {"title", r.row.title},
                    {"snippet", r.row.snippet},
                    {"id", r.row.id},
                    {"properties", std::move(properties)}});
  }
  return hits;
}

void AddFacts(Json& json, const SearchFacts& facts, const std::vector<PluginReport>& plugins) {
  json["partial"] = facts.partial;
  if (!facts.timedOut.empty()) json["timed_out"] = facts.timedOut;
  json["plugins"] = Json::array();
  for (const PluginReport& p : plugins) {
    Json entry = {{"name", p.name}, {"domain", p.domain}, {"status", p.status}, {"hits", p.hits}, {"more", p.more}};
    if (p.fused) entry["fused"] = true;
    if (!p.error.empty()) entry["error"] = p.error;
    json["plugins"].push_back(std::move(entry));
  }
}

std::string Dump(const Json& json, bool oneLine) {
  return (oneLine ? json.dump(-1, ' ', false, Json::error_handler_t::replace)
                  : json.dump(1, ' ', false, Json::error_handler_t::replace)) +
         "\n";
}

}  // namespace

std::string SearchJson(const std::string& queryXml, const char* merge, const std::vector<PluginReport>& plugins,
                       const std::vector<Ranked>& ranked, const SearchFacts& facts, bool oneLine) {
  Json json = {{"query", queryXml}, {"merge", merge}};
  AddFacts(json, facts, plugins);
  json["hits"] = HitsJson(ranked, facts.offset);
  return Dump(json, oneLine);
}

std::string DoneJson(const SearchFacts& facts, const std::vector<PluginReport>& plugins, size_t hits,
                     double milliseconds) {
  Json json = {{"hits", hits}, {"ms", milliseconds}};
  AddFacts(json, facts, plugins);
  return Dump(json, true);
}

std::string BatchJson(size_t batches, const std::vector<Ranked>& ranked, const std::map<std::string, size_t>* arrived,
                      size_t offset) {
  Json json = {{"batch", batches}};
  if (arrived != nullptr) json["arrived"] = *arrived;
  json["hits"] = HitsJson(ranked, offset);
  return Dump(json, true);
}

std::string SourceJson(const PluginReport& p, double milliseconds) {
  Json json = {{"domain", p.domain}, {"status", p.status}, {"hits", p.hits}, {"ms", milliseconds}};
  if (!p.error.empty()) json["error"] = p.error;
  return Dump(json, true);
}

std::string ResultsXml(const std::vector<Row>& rows, int32_t& status) {
  IHitList* list = Tessik_NewHitList();
  if (list == nullptr) {
    status = TESSIK_E_OUT_OF_MEMORY;
    return {};
  }
  status = TESSIK_OK;
  for (const Row& row : rows) {
    IHit* hit = Tessik_NewHit();
    if (hit == nullptr) {
      status = TESSIK_E_OUT_OF_MEMORY;
      break;
    }
    hit->SetNormScore(row.score);
    for (const auto& [name, value] : row.properties) hit->SetProperty(Widen(name).c_str(), Widen(value).c_str());
    list->AddHit(hit);  // the list owns it from here
  }
  TessikChar* text = nullptr;
  if (status == TESSIK_OK) status = Tessik_ConvertHitListToXML(list, &text);
  Tessik_ReleaseHitList(list);
  std::string xml = Narrow(text);
  Tessik_Release(text);
  // Printed as UTF-8, whatever the library's declaration said.
  const std::string declared = "encoding=\"UTF-16\"";
  const size_t at = xml.find(declared);
  if (at != std::string::npos && at < xml.find('>')) xml.replace(at, declared.size(), "encoding=\"UTF-8\"");
  return xml.empty() ? xml : xml + "\n";
}

}  // namespace tessik_cli
