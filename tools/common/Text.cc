#include "common/Text.h"

#include <cctype>

namespace tessik_cli {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

void AppendUtf16(TString& out, char32_t c) {
  if (c < 0x10000) {
    out += static_cast<TessikChar>(c);
  } else {
    c -= 0x10000;
    out += static_cast<TessikChar>(0xD800 + (c >> 10));
    out += static_cast<TessikChar>(0xDC00 + (c & 0x3FF));
  }
}

void AppendUtf8(std::string& out, char32_t c) {
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

bool IsContinuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

// The length of the UTF-8 sequence that starts with `byte` (1 for a stray byte).
size_t SequenceLength(unsigned char byte) {
  if (byte >= 0xF0 && byte < 0xF8) return 4;
  if (byte >= 0xE0) return byte < 0xF0 ? 3 : 1;
  if (byte >= 0xC0) return 2;
  return 1;
}

struct StatusText {
  int32_t code;
  const char* name;
  const char* meaning;
};

constexpr StatusText kStatuses[] = {
    {TESSIK_OK, "TESSIK_OK", "success"},
    {TESSIK_E_XML_INVALID, "TESSIK_E_XML_INVALID", "the XML text cannot be parsed or has no root element"},
    {TESSIK_E_PLUGIN_ENTRY_MISSING, "TESSIK_E_PLUGIN_ENTRY_MISSING",
     "the plugin library lacks one of the five entry points"},
    {TESSIK_E_PLUGIN_LOAD_FAILED, "TESSIK_E_PLUGIN_LOAD_FAILED", "the plugin library cannot be loaded"},
    {TESSIK_E_WORDLIB_UNAVAILABLE, "TESSIK_E_WORDLIB_UNAVAILABLE",
     "the word library is not available, or the word is empty"},
    {TESSIK_NOTIFY_PLUGIN_ENDED, "TESSIK_NOTIFY_PLUGIN_ENDED", "a plugin's search has ended"},
    {TESSIK_NOTIFY_PLUGIN_ENDED_ALT, "TESSIK_NOTIFY_PLUGIN_ENDED_ALT", "a plugin's search has ended"},
    {TESSIK_NOTIFY_PLUGIN_RESULTS, "TESSIK_NOTIFY_PLUGIN_RESULTS", "results from a plugin"},
    {TESSIK_NOTIFY_ENDED_EMPTY, "TESSIK_NOTIFY_ENDED_EMPTY", "the search ended without results"},
    {TESSIK_NOTIFY_RESULTS, "TESSIK_NOTIFY_RESULTS", "merged results"},
    {TESSIK_E_ZERO_COUNT, "TESSIK_E_ZERO_COUNT", "an allocation of nothing"},
    {TESSIK_E_NULL_ARGUMENT, "TESSIK_E_NULL_ARGUMENT", "a required argument is missing"},
    {TESSIK_E_REGISTRY_FULL, "TESSIK_E_REGISTRY_FULL", "no more sessions can be opened"},
    {TESSIK_E_NO_SESSION, "TESSIK_E_NO_SESSION", "the session is not open"},
    {TESSIK_E_SEARCH_RUNNING, "TESSIK_E_SEARCH_RUNNING", "an asynchronous search of the session is running"},
    {TESSIK_E_OUT_OF_MEMORY, "TESSIK_E_OUT_OF_MEMORY", "memory ran out"},
    {TESSIK_E_FAILED, "TESSIK_E_FAILED", "the operation failed"},
};

const StatusText* Find(int32_t status) {
  for (const StatusText& s : kStatuses) {
    if (s.code == status) return &s;
  }
  return nullptr;
}

}  // namespace

TString Widen(std::string_view utf8) {
  TString out;
  out.reserve(utf8.size());
  for (size_t i = 0; i < utf8.size();) {
    const auto lead = static_cast<unsigned char>(utf8[i]);
    const size_t length = SequenceLength(lead);
    if (lead < 0x80) {
      out += static_cast<TessikChar>(lead);
      ++i;
      continue;
    }
    char32_t c = length == 2 ? lead & 0x1F : length == 3 ? lead & 0x0F : lead & 0x07;
    bool ok = length > 1 && i + length <= utf8.size();
    for (size_t k = 1; ok && k < length; ++k) {
      const auto next = static_cast<unsigned char>(utf8[i + k]);
      ok = IsContinuation(next);
      c = (c << 6) | (next & 0x3F);
    }
    constexpr char32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
    ok = ok && c >= kSmallest[length] && c <= 0x10FFFF && !(c >= 0xD800 && c <= 0xDFFF);
    AppendUtf16(out, ok ? c : kReplacement);
    i += ok ? length : 1;
  }
  return out;
}

std::string Narrow(const TessikChar* text) {
  std::string out;
  if (text == nullptr) return out;
  for (; *text != 0; ++text) {
    const char32_t unit = static_cast<char16_t>(*text);
    if (unit >= 0xD800 && unit < 0xDC00) {
      const char32_t low = static_cast<char16_t>(text[1]);
      if (low >= 0xDC00 && low <= 0xDFFF) {
        AppendUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
        ++text;
        continue;
      }
      AppendUtf8(out, kReplacement);
    } else if (unit >= 0xDC00 && unit <= 0xDFFF) {
      AppendUtf8(out, kReplacement);
    } else {
      AppendUtf8(out, unit);
    }
  }
  return out;
}

std::string Narrow(const TString& text) { return Narrow(text.c_str()); }

size_t Columns(std::string_view utf8) {
  size_t columns = 0;
  for (char c : utf8) columns += !IsContinuation(static_cast<unsigned char>(c));
  return columns;
}

std::string Fit(std::string_view utf8, size_t columns) {
  if (Columns(utf8) <= columns) return std::string(utf8);
  const size_t keep = columns >= 3 ? columns - 3 : 0;
  size_t end = 0;
  for (size_t taken = 0; end < utf8.size(); ++end) {
    if (!IsContinuation(static_cast<unsigned char>(utf8[end])) && taken++ == keep) break;
  }
  return std::string(utf8.substr(0, end)) + std::string("...").substr(0, columns - keep);
}

std::string OneLine(std::string_view utf8) {
  std::string out;
  bool space = false;
  for (char c : utf8) {
    if (std::isspace(static_cast<unsigned char>(c))) {
      space = !out.empty();
      continue;
    }
    if (space) out += ' ';
    space = false;
    out += c;
  }
  return out;
}

std::string StatusName(int32_t status) {
  const StatusText* s = Find(status);
  return s != nullptr ? s->name : "status " + std::to_string(status);
}

std::string DescribeStatus(int32_t status) {
  const StatusText* s = Find(status);
  if (s == nullptr) return "status " + std::to_string(status) + " (not one of the library's codes)";
  return std::string(s->name) + " (" + s->meaning + ")";
}

}  // namespace tessik_cli
