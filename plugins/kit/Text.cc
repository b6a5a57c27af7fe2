#include "kit/Text.h"

#include <cstdio>

namespace tessik_plugins {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

void Append(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// Decodes one code point at `i`, moving `i` past it.
char32_t Next(std::string_view s, size_t& i) {
  const unsigned char lead = static_cast<unsigned char>(s[i++]);
  if (lead < 0x80) return lead;
  int extra = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC0 ? 1 : -1;
  if (extra < 0 || lead > 0xF4) return kReplacement;
  char32_t c = lead & (0x3F >> extra);
  for (int k = 0; k < extra; ++k) {
    if (i >= s.size() || (static_cast<unsigned char>(s[i]) & 0xC0) != 0x80) return kReplacement;
    c = (c << 6) | (static_cast<unsigned char>(s[i++]) & 0x3F);
  }
  static constexpr char32_t kMin[] = {0, 0x80, 0x800, 0x10000};
  if (c < kMin[extra] || c > 0x10FFFF || (c >= 0xD800 && c < 0xE000)) return kReplacement;
  return c;
}

bool IsWordChar(char32_t c) {
  if (c < 0x80) return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
  if (c >= 0x2000 && c <= 0x206F) return false;  // general punctuation
  if (c == 0xA0 || c == 0xAB || c == 0xBB || c == 0xBF || c == 0xA1 || c == 0xB7 || c == 0xD7 || c == 0xF7)
    return false;
  return c != kReplacement;
}

}  // namespace

std::string ToUtf8(const TessikChar* text) {
  if (text == nullptr) return std::string();
  return ToUtf8(std::basic_string_view<TessikChar>(text));
}

std::string ToUtf8(std::basic_string_view<TessikChar> text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    char32_t c = static_cast<char16_t>(text[i]);
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000) {
      c = 0x10000 + ((c - 0xD800) << 10) + (static_cast<char16_t>(text[i + 1]) - 0xDC00);
      ++i;
    } else if (c >= 0xD800 && c < 0xE000) {
      c = kReplacement;
    }
    Append(out, c);
  }
  return out;
}

std::string ToUtf8(std::u32string_view text) {
  std::string out;
  for (char32_t c : text) Append(out, c);
  return out;
}

std::u32string ToCodePoints(std::string_view utf8) {
  std::u32string out;
  for (size_t i = 0; i < utf8.size();) out += Next(utf8, i);
  return out;
}

Utf16 ToUtf16(std::string_view utf8) {
  Utf16 out;
  out.reserve(utf8.size());
  for (size_t i = 0; i < utf8.size();) {
    char32_t c = Next(utf8, i);
    if (c >= 0x10000) {
      c -= 0x10000;
      out += static_cast<TessikChar>(0xD800 + (c >> 10));
      out += static_cast<TessikChar>(0xDC00 + (c & 0x3FF));
    } else {
      out += static_cast<TessikChar>(c);
    }
  }
  return out;
}

bool IsXmlIllegal(char32_t c) {
  return (c < 0x20 && c != '\t' && c != '\n' && c != '\r') || c == 0xFFFE || c == 0xFFFF;
}

std::string CleanText(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  for (size_t i = 0; i < utf8.size();) {
    const size_t start = i;
    const char32_t c = Next(utf8, i);
    if (c == kReplacement || IsXmlIllegal(c)) {
      Append(out, kReplacement);
    } else {
      out.append(utf8.substr(start, i - start));
    }
  }
  return out;
}

std::string XmlEscape(std::string_view utf8) {
  std::string out;
  for (const char c : CleanText(utf8)) {
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

std::vector<std::string> Words(std::string_view utf8) {
  std::vector<std::string> words;
  ForEachWord(utf8, [&](std::string_view word, size_t, size_t) { words.emplace_back(word); });
  return words;
}

void ForEachWord(std::string_view utf8,
                 const std::function<void(std::string_view word, size_t begin, size_t end)>& each) {
  std::string word;
  size_t begin = 0, end = 0;  // of `word` in `utf8`, its trailing apostrophes left out
  auto flush = [&] {
    while (!word.empty() && word.back() == '\'') word.pop_back();
    if (!word.empty()) each(word, begin, end);
    word.clear();
  };
  for (size_t i = 0; i < utf8.size();) {
    const size_t start = i;
    const char32_t c = Next(utf8, i);
    if (IsWordChar(c)) {
      if (word.empty()) begin = start;
      word.append(utf8.substr(start, i - start));
      end = i;
    } else if ((c == '\'' || c == 0x2019) && !word.empty()) {
      word += '\'';
    } else {
      flush();
    }
  }
  flush();
}

size_t CountWord(std::string_view text, std::string_view word, bool stop_at_one) {
  auto slow = [&] {
    size_t count = 0;
    for (const std::string& w : Words(text)) {
      count += w == word;
      if (stop_at_one && count > 0) break;
    }
    return count;
  };
  if (word.empty() || word.find('\'') != std::string_view::npos) return slow();
  auto wordByte = [](unsigned char c) { return IsWordChar(c); };
  size_t count = 0;
  for (size_t at = text.find(word); at != std::string_view::npos; at = text.find(word, at + 1)) {
    // Before: a word (with apostrophes inside it) would take the match in.
    size_t before = at;
    while (before > 0 && text[before - 1] == '\'') --before;
    if (before > 0) {
      const auto c = static_cast<unsigned char>(text[before - 1]);
      if (c >= 0x80) return slow();
      if (wordByte(c)) continue;
    }
    // After: apostrophes end a word unless a word character follows them.
    size_t after = at + word.size();
    while (after < text.size() && text[after] == '\'') ++after;
    if (after < text.size()) {
      const auto c = static_cast<unsigned char>(text[after]);
      if (c >= 0x80) return slow();
      if (wordByte(c)) continue;
    }
    ++count;
    if (stop_at_one) return count;
  }
  return count;
}

std::string Snippet(std::string_view utf8, size_t limit) {
  std::string out;
  size_t count = 0;
  bool space = false;
  size_t lastBreak = std::string::npos;
  for (size_t i = 0; i < utf8.size();) {
    const size_t start = i;
    const char32_t c = Next(utf8, i);
    if (c == ' ' || c == '\t' || c == '\n' || c == '\r') {
      space = !out.empty();
      continue;
    }
    if (count >= limit) {
      if (lastBreak != std::string::npos && lastBreak > out.size() / 2) out.resize(lastBreak);
      return out + "...";
    }
    if (space) {
      lastBreak = out.size();
      out += ' ';
      ++count;
      space = false;
    }
    out.append(utf8.substr(start, i - start));
    ++count;
  }
  return out;
}

std::filesystem::path PathOf(std::string_view utf8) {
  return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

std::string Utf8Of(const std::filesystem::path& path) {
#if defined(_WIN32)
  // Windows names are UTF-16 that may hold half a surrogate pair, which the
  // library's own conversion refuses with an exception: ours gives U+FFFD.
  return ToUtf8(std::basic_string_view<TessikChar>(path.native()));
#else
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
#endif
}

std::string Iso8601(std::chrono::system_clock::time_point t) {
  using namespace std::chrono;
  const auto time = floor<seconds>(t);
  const auto day = floor<days>(time);
  const year_month_day date(day);
  const hh_mm_ss<seconds> clock(time - day);
  char text[48];
  std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02dZ", static_cast<int>(date.year()),
                static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
                static_cast<int>(clock.hours().count()), static_cast<int>(clock.minutes().count()),
                static_cast<int>(clock.seconds().count()));
  return text;
}

}  // namespace tessik_plugins
