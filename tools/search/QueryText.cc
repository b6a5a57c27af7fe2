#include "search/QueryText.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>

namespace tessik_cli {

std::string XmlEscape(const std::string& text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '&': out += "&amp;"; break;
      case '"': out += "&quot;"; break;
      default: out += c;
    }
  }
  return out;
}

std::string BuildQueryXml(const SearchOptions& o) {
  auto flag = [](bool on) { return on ? "\"true\"" : "\"false\""; };
  std::string xml = std::string("<Query synonym=") + flag(o.synonyms) + " stemming=" + flag(o.stemming) +
                    " case_sensitivity=" + flag(o.caseSensitive) + ">";
  for (const SearchDomain& d : o.domains) {
    xml += "<Domain><Name>" + XmlEscape(d.name) + "</Name>";
    if (!d.data.empty()) xml += "<Property name=\"data\">" + XmlEscape(d.data) + "</Property>";
    if (o.limit) xml += "<Property name=\"limit\">" + std::to_string(*o.limit) + "</Property>";
    xml += "</Domain>";
  }
  for (const std::string& c : o.categories) xml += "<Category>" + XmlEscape(c) + "</Category>";
  // Only --not words and no others: "Not" selects what the categories hold,
  // minus those words.
  const char* compose = o.words.empty() ? "Not" : o.any ? "Or" : "And";
  xml += std::string("<TermGroup compose=\"") + compose + "\">";
  for (const std::string& w : o.words) {
    xml += "<Term><Text>" + XmlEscape(w) + "</Text>";
    if (!o.field.empty()) xml += "<Field>" + XmlEscape(o.field) + "</Field>";
    xml += "</Term>";
  }
  for (const std::string& w : o.excluded) xml += "<Term><Text>" + XmlEscape(w) + "</Text><Field>not</Field></Term>";
  return xml + "</TermGroup></Query>";
}

bool ReadQueryFile(const std::string& path, TString& text, std::string& error) {
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    error = "cannot open \"" + path + "\": " + std::strerror(errno);
    return false;
  }
  const std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  if (file.bad()) {
    error = "cannot read \"" + path + "\"";
    return false;
  }
  const bool little = bytes.size() >= 2 && bytes[0] == '\xFF' && bytes[1] == '\xFE';
  const bool big = bytes.size() >= 2 && bytes[0] == '\xFE' && bytes[1] == '\xFF';
  if (!little && !big) {
    text = Widen(bytes);
    return true;
  }
  text.clear();
  for (size_t i = 2; i + 1 < bytes.size(); i += 2) {
    const auto a = static_cast<unsigned char>(bytes[i]), b = static_cast<unsigned char>(bytes[i + 1]);
    text += static_cast<TessikChar>(little ? a | (b << 8) : (a << 8) | b);
  }
  return true;
}

}  // namespace tessik_cli
