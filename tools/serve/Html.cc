#include "serve/Html.h"

#include <algorithm>
#include <cstdio>
#include <map>

#include "kit/Text.h"

namespace tessik_serve {
namespace {

using tessik_plugins::XmlEscape;  // escapes & < > " : safe in text and in double-quoted attributes

std::string Head() {
  return "<!doctype html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">"
         "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">"
         "<title>Tessik</title><link rel=\"stylesheet\" href=\"/app.css\">"
         "<link rel=\"icon\" type=\"image/svg+xml\" href=\"/favicon.svg\">"
         "<link rel=\"search\" type=\"application/opensearchdescription+xml\" title=\"Tessik\" href=\"/opensearch.xml\">"
         "<script src=\"/app.js\" defer></script></head>\n<body>\n";
}

std::string Form(const std::string& words) {
  return "<header><form id=\"search\" action=\"/search\" method=\"get\" role=\"search\">"
         "<input type=\"search\" id=\"q\" name=\"q\" value=\"" +
         XmlEscape(words) +
         "\" aria-label=\"Search your documents\" autofocus required>"
         "<input type=\"hidden\" name=\"format\" value=\"html\">"
         "<button type=\"submit\">Search</button></form></header>\n";
}

// One row per source: its name, a bar of its hits and one of its time, and
// its status. The script fills the same elements as the sources answer.
std::string Sources(const std::vector<tessik_cli::PluginReport>& plugins, const std::map<std::string, double>& ms) {
  size_t most = 1;
  for (const auto& p : plugins) most = std::max(most, p.hits);
  std::string html = "<section id=\"sources\" aria-label=\"Sources\"><table><tbody>\n";
  for (const auto& p : plugins) {
    const std::string name = XmlEscape(p.domain);
    const auto time = ms.find(p.domain);
    char value[32];
    std::snprintf(value, sizeof value, "%.0f", time != ms.end() ? time->second : 0.0);
    const std::string status = p.status != TESSIK_OK ? "failed: " + p.error : std::to_string(p.hits) + " hits";
    html += "<tr class=\"source\" data-domain=\"" + name + "\"><th>" + name +
            "</th><td><meter class=\"hits\" min=\"0\" max=\"" + std::to_string(most) + "\" value=\"" +
            std::to_string(p.hits) + "\"></meter></td><td><meter class=\"time\" min=\"0\" max=\"1000\" value=\"" +
            value + "\"></meter></td><td class=\"status" + (p.status != TESSIK_OK ? " failed" : "") + "\">" +
            XmlEscape(status) + "</td></tr>\n";
  }
  return html + "</tbody></table></section>\n";
}

// The snippet with the words of the query marked, compared as the
// plugins compare them (folded).
std::string Marked(const std::string& snippet, const std::vector<std::string>& words) {
  std::vector<std::string> folded;
  for (const std::string& w : words) {
    for (const std::string& part : tessik_plugins::Words(w)) folded.push_back(tessik_plugins::Fold(part));
  }
  std::string html;
  size_t at = 0;
  tessik_plugins::ForEachWord(snippet, [&](std::string_view word, size_t begin, size_t end) {
    if (std::find(folded.begin(), folded.end(), tessik_plugins::Fold(word)) == folded.end()) return;
    html += XmlEscape(snippet.substr(at, begin - at)) + "<mark>" + XmlEscape(snippet.substr(begin, end - begin)) +
            "</mark>";
    at = end;
  });
  return html + XmlEscape(snippet.substr(at));
}

std::string Property(const tessik_cli::Row& row, std::string_view name) {
  for (const auto& [n, v] : row.properties) {
    if (n == name) return v;
  }
  return {};
}

}  // namespace

std::string SafeLink(std::string_view url) {
  const size_t colon = url.find(':');
  if (colon == std::string_view::npos) return {};
  std::string scheme(url.substr(0, colon));
  std::transform(scheme.begin(), scheme.end(), scheme.begin(), [](unsigned char c) { return std::tolower(c); });
  if (scheme != "http" && scheme != "https" && scheme != "file") return {};
  return std::string(url);
}

std::string SearchPage(const std::vector<std::string>& sources) {
  std::vector<tessik_cli::PluginReport> plugins;
  for (const std::string& s : sources) plugins.push_back({s, s, TESSIK_OK, 0, ""});
  return Head() + Form("") + Sources(plugins, {}) +
         "<p id=\"summary\" role=\"status\"></p>\n<ol id=\"hits\"></ol>\n</body></html>\n";
}

std::string ResultsPage(const SearchRequest& request, const std::vector<tessik_cli::PluginReport>& plugins,
                        const std::vector<tessik_cli::Ranked>& ranked, const tessik_cli::SearchFacts& facts) {
  std::string html = Head() + Form(request.text) + Sources(plugins, {});
  html += "<p id=\"summary\" role=\"status\">" + std::to_string(ranked.size()) +
          (ranked.size() == 1 ? " hit" : " hits") + (facts.partial ? " (partial: not every source answered)" : "") +
          "</p>\n<ol id=\"hits\" start=\"" + std::to_string(facts.offset + 1) + "\">\n";
  for (const tessik_cli::Ranked& r : ranked) {
    const std::string title = XmlEscape(r.row.title.empty() ? r.row.id : r.row.title);
    const std::string link = SafeLink(Property(r.row, "url"));
    html += "<li class=\"hit\">";
    html += link.empty() ? "<span class=\"title\">" + title + "</span>"
                         : "<a class=\"title\" href=\"" + XmlEscape(link) + "\">" + title + "</a>";
    html += "<p class=\"snippet\">" + Marked(r.row.snippet, request.options.words) + "</p><p class=\"meta\">";
    std::string from;
    for (const auto& [domain, rank] : r.sources) from += (from.empty() ? "" : ", ") + domain;
    char score[32];
    std::snprintf(score, sizeof score, "%.3f", r.row.score);
    html += "<span class=\"from\">" + XmlEscape(from) + "</span> <span class=\"score\">" + score + "</span></p></li>\n";
  }
  return html + "</ol>\n</body></html>\n";
}

}  // namespace tessik_serve
