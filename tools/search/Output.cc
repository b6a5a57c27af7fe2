#include "search/Output.h"

#include <algorithm>
#include <cmath>

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
  char text[32];
  std::snprintf(text, sizeof text, "%5.3f", score);
  return text;
}

std::string JsonNumber(double value) {
  if (!std::isfinite(value)) return "null";
  char text[32];
  std::snprintf(text, sizeof text, "%.6g", value);
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

void PrintTableHeader(std::FILE* out, const TableLayout& l) {
  std::string line = std::string(l.rank - 4, ' ') + "rank  score  " + Pad("domain", l.domain) + "  ";
  line += l.snippet == 0 ? "title" : Pad("title", l.title) + "  snippet";
  std::fprintf(out, "%s\n", line.c_str());
}

void PrintTableRows(std::FILE* out, const TableLayout& l, const std::vector<Row>& rows, size_t firstRank) {
  size_t rank = firstRank;
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
    std::fprintf(out, "%s\n", line.c_str());
  }
}

std::string JsonString(const std::string& text) {
  std::string out = "\"";
  for (char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (byte < 0x20) {
          char escape[8];
          std::snprintf(escape, sizeof escape, "\\u%04x", byte);
          out += escape;
        } else {
          out += c;
        }
    }
  }
  return out + "\"";
}

void PrintJson(std::FILE* out, const std::string& queryXml, const std::vector<PluginReport>& plugins,
               const std::vector<Row>& rows) {
  std::string json = "{\"query\": " + JsonString(queryXml) + ",\n \"plugins\": [";
  for (size_t i = 0; i < plugins.size(); ++i) {
    const PluginReport& p = plugins[i];
    json += std::string(i == 0 ? "" : ",") + "\n  {\"name\": " + JsonString(p.name) +
            ", \"domain\": " + JsonString(p.domain) + ", \"status\": " + std::to_string(p.status) +
            ", \"hits\": " + std::to_string(p.hits);
    if (!p.error.empty()) json += ", \"error\": " + JsonString(p.error);
    json += "}";
  }
  json += "],\n \"hits\": [";
  for (size_t i = 0; i < rows.size(); ++i) {
    const Row& r = rows[i];
    json += std::string(i == 0 ? "" : ",") + "\n  {\"rank\": " + std::to_string(i + 1) +
            ", \"score\": " + JsonNumber(r.score) + ", \"domain\": " + JsonString(r.domain) +
            ", \"title\": " + JsonString(r.title) + ", \"snippet\": " + JsonString(r.snippet) +
            ", \"id\": " + JsonString(r.id) + ", \"properties\": {";
    for (size_t k = 0; k < r.properties.size(); ++k) {
      json += (k == 0 ? "" : ", ") + JsonString(r.properties[k].first) + ": " + JsonString(r.properties[k].second);
    }
    json += "}}";
  }
  json += "]}\n";
  std::fputs(json.c_str(), out);
}

void PrintXml(std::FILE* out, std::string xml) {
  const std::string declared = "encoding=\"UTF-16\"";
  const size_t at = xml.find(declared);
  if (at != std::string::npos && at < xml.find('>')) xml.replace(at, declared.size(), "encoding=\"UTF-8\"");
  std::fprintf(out, "%s\n", xml.c_str());
}

}  // namespace tessik_cli
