#include "files/Content.h"

#include <algorithm>
#include <array>
#include <cstdint>

#include "kit/Text.h"

namespace tessik_plugins::folder {
namespace {

std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
  return out;
}

// Well-formed UTF-8 throughout (the kit's decoders replace what is not;
// this only tells whether they would have to).
bool IsUtf8(std::string_view s) {
  const auto* p = reinterpret_cast<const unsigned char*>(s.data());
  const size_t n = s.size();
  for (size_t i = 0; i < n;) {
    const unsigned char b = p[i];
    if (b < 0x80) {
      ++i;
      continue;
    }
    size_t extra;
    uint32_t c;
    if (b >= 0xC2 && b <= 0xDF) extra = 1, c = b & 0x1F;
    else if (b >= 0xE0 && b <= 0xEF) extra = 2, c = b & 0x0F;
    else if (b >= 0xF0 && b <= 0xF4) extra = 3, c = b & 0x07;
    else return false;
    if (i + extra >= n) return false;
    for (size_t k = 1; k <= extra; ++k) {
      if ((p[i + k] & 0xC0) != 0x80) return false;
      c = (c << 6) | (p[i + k] & 0x3F);
    }
    if ((extra == 2 && (c < 0x800 || (c >= 0xD800 && c < 0xE000))) || (extra == 3 && (c < 0x10000 || c > 0x10FFFF)))
      return false;
    i += extra + 1;
  }
  return true;
}

std::string_view Trim(std::string_view s) {
  const size_t b = s.find_first_not_of(" \t\r\n\f\v");
  if (b == std::string_view::npos) return {};
  return s.substr(b, s.find_last_not_of(" \t\r\n\f\v") - b + 1);
}

// A title is one line of reasonable length.
std::string TitleOf(std::string_view line) {
  line = Trim(line);
  return line.size() > 240 ? Snippet(line, 200) : std::string(line);
}

// reStructuredText over- and underlines: one punctuation character repeated.
bool IsAdornment(std::string_view line) {
  line = Trim(line);
  if (line.size() < 3) return false;
  const char c = line[0];
  if (!((c >= '!' && c <= '/') || (c >= ':' && c <= '@') || (c >= '[' && c <= '`') || (c >= '{' && c <= '~')))
    return false;
  return line.find_first_not_of(c) == std::string_view::npos;
}

// The first non-empty line is the title and the rest the text.
Content FirstLine(std::string_view name, std::string utf8, bool skipAdornments) {
  Content content;
  std::string_view all(utf8);
  size_t at = 0;
  while (at < all.size()) {
    size_t end = all.find('\n', at);
    if (end == std::string_view::npos) end = all.size();
    const std::string_view line = all.substr(at, end - at);
    at = std::min(end + 1, all.size());
    if (Trim(line).empty() || (skipAdornments && IsAdornment(line))) continue;
    content.title = TitleOf(line);
    if (skipAdornments && at < all.size()) {
      size_t next = all.find('\n', at);
      if (next == std::string_view::npos) next = all.size();
      if (IsAdornment(all.substr(at, next - at))) at = std::min(next + 1, all.size());
    }
    content.text = std::string(all.substr(at));
    return content;
  }
  content.title = std::string(name);
  content.text = std::move(utf8);
  return content;
}

Content Markdown(std::string_view name, std::string utf8) {
  std::string_view all(utf8);
  for (size_t at = 0; at < all.size();) {
    size_t end = all.find('\n', at);
    if (end == std::string_view::npos) end = all.size();
    const std::string_view line = all.substr(at, end - at);
    const size_t hash = line.find_first_not_of(' ');
    if (hash != std::string_view::npos && hash < 4 && line[hash] == '#') {
      std::string_view heading = line.substr(line.find_first_not_of('#', hash) == std::string_view::npos
                                                 ? line.size()
                                                 : line.find_first_not_of('#', hash));
      heading = Trim(heading);
      while (!heading.empty() && heading.back() == '#') heading.remove_suffix(1);
      if (!Trim(heading).empty()) {
        Content content;
        content.title = TitleOf(heading);
        content.text = std::string(all.substr(0, at)) + std::string(all.substr(std::min(end + 1, all.size())));
        return content;
      }
    }
    at = end + 1;
  }
  return FirstLine(name, std::move(utf8), false);
}

// Character references of HTML and XML: the five named ones, &nbsp; and
// numeric ones; anything else stays as written.
void AppendReference(std::string_view s, size_t& i, std::string& out) {
  const size_t semi = s.find(';', i);
  if (semi == std::string_view::npos || semi - i > 10) {
    out += '&';
    ++i;
    return;
  }
  const std::string_view name = s.substr(i + 1, semi - i - 1);
  static constexpr std::array<std::pair<std::string_view, std::string_view>, 6> kNamed = {
      {{"amp", "&"}, {"lt", "<"}, {"gt", ">"}, {"quot", "\""}, {"apos", "'"}, {"nbsp", " "}}};
  for (const auto& [n, text] : kNamed) {
    if (name == n) {
      out += text;
      i = semi + 1;
      return;
    }
  }
  if (name.size() > 1 && name[0] == '#') {
    const bool hex = name[1] == 'x' || name[1] == 'X';
    char32_t c = 0;
    bool ok = name.size() > (hex ? 2u : 1u);
    for (size_t k = hex ? 2 : 1; ok && k < name.size(); ++k) {
      const char d = name[k];
      int v = d >= '0' && d <= '9' ? d - '0' : hex && d >= 'a' && d <= 'f' ? d - 'a' + 10
                                              : hex && d >= 'A' && d <= 'F' ? d - 'A' + 10 : -1;
      ok = v >= 0 && c < 0x110000;
      c = c * (hex ? 16 : 10) + static_cast<char32_t>(v);
    }
    if (ok && c > 0 && c < 0x110000) {
      out += ToUtf8(std::u32string_view(&c, 1));
      i = semi + 1;
      return;
    }
  }
  out += '&';
  ++i;
}

std::string Decoded(std::string_view s) {
  std::string out;
  for (size_t i = 0; i < s.size();) {
    if (s[i] == '&') AppendReference(s, i, out);
    else out += s[i++];
  }
  return out;
}

// HTML and XML: the text between the tags, without comments, scripts and
// styles; the <title> element's text is the title.
Content Markup(std::string_view name, const std::string& utf8) {
  const std::string lower = Lower(utf8);
  std::string text, title;
  bool haveTitle = false;
  const std::string_view s(utf8);
  for (size_t i = 0; i < s.size();) {
    if (s[i] == '&') {
      AppendReference(s, i, text);
      continue;
    }
    if (s[i] != '<') {
      text += s[i++];
      continue;
    }
    if (lower.compare(i, 4, "<!--") == 0) {
      const size_t end = lower.find("-->", i + 4);
      i = end == std::string::npos ? s.size() : end + 3;
      continue;
    }
    if (lower.compare(i, 9, "<![cdata[") == 0) {
      const size_t end = lower.find("]]>", i + 9);
      text += s.substr(i + 9, (end == std::string::npos ? s.size() : end) - i - 9);
      i = end == std::string::npos ? s.size() : end + 3;
      continue;
    }
    size_t close = s.find('>', i);
    if (close == std::string_view::npos) close = s.size() - 1;
    size_t nameEnd = i + 1;
    while (nameEnd < close && lower[nameEnd] != ' ' && lower[nameEnd] != '>' && lower[nameEnd] != '/' &&
           lower[nameEnd] != '\t' && lower[nameEnd] != '\n' && lower[nameEnd] != '\r')
      ++nameEnd;
    const std::string tag = lower.substr(i + 1, nameEnd - i - 1);
    i = close + 1;
    if (tag == "script" || tag == "style" || tag == "title") {
      const size_t end = lower.find("</" + tag, i);
      const std::string_view inner = s.substr(i, (end == std::string::npos ? s.size() : end) - i);
      if (tag == "title" && !haveTitle) {
        title = TitleOf(Decoded(inner));
        haveTitle = !title.empty();
      }
      i = end == std::string::npos ? s.size() : lower.find('>', end) == std::string::npos ? s.size()
                                                                                         : lower.find('>', end) + 1;
    }
    // A tag separates words: "a<br>b" is two.
    if (!text.empty() && text.back() != ' ' && text.back() != '\n') text += ' ';
  }
  if (haveTitle) return Content{title, text, ""};
  return FirstLine(name, text, false);
}

}  // namespace

std::string TypeOf(std::string_view name) {
  const size_t dot = name.rfind('.');
  const std::string ext = dot == std::string_view::npos ? std::string() : Lower(name.substr(dot + 1));
  static constexpr std::array<std::pair<std::string_view, std::string_view>, 30> kTypes = {{
      {"txt", "text/plain"},        {"text", "text/plain"},        {"md", "text/markdown"},
      {"markdown", "text/markdown"}, {"rst", "text/x-rst"},        {"html", "text/html"},
      {"htm", "text/html"},         {"xhtml", "application/xhtml+xml"}, {"xml", "application/xml"},
      {"pdf", "application/pdf"},   {"c", "text/x-c"},             {"h", "text/x-c"},
      {"cc", "text/x-c++"},         {"cpp", "text/x-c++"},         {"cxx", "text/x-c++"},
      {"hpp", "text/x-c++"},        {"hh", "text/x-c++"},          {"py", "text/x-python"},
      {"sh", "application/x-sh"},   {"js", "text/javascript"},     {"json", "application/json"},
      {"css", "text/css"},          {"csv", "text/csv"},           {"tsv", "text/tab-separated-values"},
      {"java", "text/x-java"},      {"rs", "text/x-rust"},         {"go", "text/x-go"},
      {"cmake", "text/x-cmake"},    {"yaml", "application/yaml"},  {"yml", "application/yaml"},
  }};
  for (const auto& [e, type] : kTypes)
    if (ext == e) return std::string(type);
  return "text/plain";
}

bool LooksBinary(std::string_view bytes) {
  if (bytes.size() >= 2 && ((bytes[0] == '\xFF' && bytes[1] == '\xFE') || (bytes[0] == '\xFE' && bytes[1] == '\xFF')))
    return false;
  return bytes.substr(0, 8192).find('\0') != std::string_view::npos;
}

bool Decode(std::string_view bytes, std::string& utf8, std::string& failure) {
  if (bytes.size() >= 2 && ((bytes[0] == '\xFF' && bytes[1] == '\xFE') || (bytes[0] == '\xFE' && bytes[1] == '\xFF'))) {
    const bool little = bytes[0] == '\xFF';
    if (bytes.size() % 2 != 0) {
      failure = "encoding failure: UTF-16 text of an odd number of bytes";
      return false;
    }
    Utf16 units;
    units.reserve(bytes.size() / 2 - 1);
    for (size_t i = 2; i + 1 < bytes.size(); i += 2) {
      const auto lo = static_cast<unsigned char>(bytes[i + (little ? 0 : 1)]);
      const auto hi = static_cast<unsigned char>(bytes[i + (little ? 1 : 0)]);
      units += static_cast<TessikChar>(hi << 8 | lo);
    }
    // A lone surrogate means the bytes are not UTF-16 after all.
    for (size_t i = 0; i < units.size(); ++i) {
      const char16_t u = static_cast<char16_t>(units[i]);
      if (u >= 0xD800 && u < 0xDC00 && i + 1 < units.size() && units[i + 1] >= 0xDC00 && units[i + 1] < 0xE000) {
        ++i;
      } else if (u >= 0xD800 && u < 0xE000) {
        failure = "encoding failure: a lone UTF-16 surrogate";
        return false;
      }
    }
    utf8 = ToUtf8(std::basic_string_view<TessikChar>(units));
    return true;
  }
  if (bytes.size() >= 3 && bytes.substr(0, 3) == "\xEF\xBB\xBF") bytes.remove_prefix(3);
  if (IsUtf8(bytes)) {
    utf8.assign(bytes);
    return true;
  }
  std::u32string latin1(bytes.size(), U'\0');
  std::transform(bytes.begin(), bytes.end(), latin1.begin(),
                 [](char b) { return static_cast<char32_t>(static_cast<unsigned char>(b)); });
  utf8 = ToUtf8(std::u32string_view(latin1));
  return true;
}

Content Extract(std::string_view name, std::string_view type, std::string utf8) {
  if (type == "text/html" || type == "application/xhtml+xml" || type == "application/xml")
    return Markup(name, utf8);
  if (type == "text/markdown") return Markdown(name, std::move(utf8));
  return FirstLine(name, std::move(utf8), type == "text/x-rst");
}

}  // namespace tessik_plugins::folder
