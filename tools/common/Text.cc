#include "common/Text.h"

#include "platform/Platform.h"

namespace tessik_cli {
namespace {

bool IsSpace(char32_t c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

// What the terminal gets for `c` of a document's text. A control character
// would move the cursor, recolour or retitle the terminal, or end the line
// of the table: the ones a results document cannot carry (the plugins'
// writer replaces them already, another plugin may not), DEL and the C1
// controls show as U+FFFD, and the white space left to here as a space.
char32_t Shown(char32_t c) {
  if (IsSpace(c)) return ' ';
  if (tessik_plugins::IsXmlIllegal(c) || (c >= 0x7F && c <= 0x9F)) return 0xFFFD;
  return c;
}

std::u32string Shown(std::string_view utf8) {
  std::u32string text = tessik_plugins::ToCodePoints(utf8);
  for (char32_t& c : text) c = Shown(c);
  return text;
}

size_t Columns(std::u32string_view text) {
  size_t columns = 0;
  for (const char32_t c : text) columns += CharColumns(c);
  return columns;
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

size_t Columns(std::string_view utf8) { return Columns(Shown(utf8)); }

std::string Fit(std::string_view utf8, size_t columns) {
  const std::u32string text = Shown(utf8);
  if (Columns(text) <= columns) return tessik_plugins::ToUtf8(text);
  const size_t keep = columns >= 3 ? columns - 3 : 0;
  // Up to the first character that would go past `keep`: a wide one is left
  // out whole, the marks that combine with the last one kept stay with it.
  size_t end = 0;
  for (size_t taken = 0; end < text.size() && taken + CharColumns(text[end]) <= keep; ++end) {
    taken += CharColumns(text[end]);
  }
  return tessik_plugins::ToUtf8(std::u32string_view(text).substr(0, end)) +
         std::string("...").substr(0, columns - keep);
}

std::string OneLine(std::string_view utf8) {
  std::u32string out;
  bool space = false;
  for (const char32_t c : tessik_plugins::ToCodePoints(utf8)) {
    if (IsSpace(c)) {
      space = !out.empty();
      continue;
    }
    if (space) out += ' ';
    space = false;
    out += Shown(c);
  }
  return tessik_plugins::ToUtf8(out);
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
