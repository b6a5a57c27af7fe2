#include "serve/Request.h"

#include <algorithm>
#include <array>
#include <charconv>

#include "kit/Text.h"

namespace tessik_serve {
namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool Decode(std::string_view in, std::string& out, std::string& error) {
  out.clear();
  for (size_t i = 0; i < in.size(); ++i) {
    if (in[i] == '+') {
      out += ' ';
    } else if (in[i] == '%') {
      const int high = i + 2 < in.size() ? HexDigit(in[i + 1]) : -1;
      const int low = high >= 0 ? HexDigit(in[i + 2]) : -1;
      if (low < 0) {
        error = "a malformed %-escape in the query string";
        return false;
      }
      out += static_cast<char>(high * 16 + low);
      i += 2;
    } else {
      out += in[i];
    }
  }
  // Invalid bytes come back from the round trip as U+FFFD.
  if (tessik_plugins::ToUtf8(tessik_plugins::ToCodePoints(out)) != out) {
    error = "the query string is not UTF-8";
    return false;
  }
  return true;
}

bool Flag(const std::string& name, const std::string& value, bool& on, std::string& error) {
  if (value == "1" || value == "true") {
    on = true;
  } else if (value == "0" || value == "false") {
    on = false;
  } else {
    error = name + " takes 1, 0, true or false, not \"" + tessik_plugins::CleanText(value) + "\"";
    return false;
  }
  return true;
}

bool Count(const std::string& name, const std::string& value, size_t least, size_t most, size_t& n,
           std::string& error) {
  const auto [end, failed] = std::from_chars(value.data(), value.data() + value.size(), n);
  if (failed != std::errc() || end != value.data() + value.size() || value.empty() || n < least || n > most) {
    error = name + " takes a number from " + std::to_string(least) + " to " + std::to_string(most) + ", not \"" +
            tessik_plugins::CleanText(value) + "\"";
    return false;
  }
  return true;
}

}  // namespace

bool ParseParams(std::string_view query, Params& params, std::string& error) {
  params.clear();
  while (!query.empty()) {
    const size_t amp = std::min(query.find('&'), query.size());
    const std::string_view pair = query.substr(0, amp);
    query.remove_prefix(std::min(amp + 1, query.size()));
    if (pair.empty()) continue;
    const size_t eq = std::min(pair.find('='), pair.size());
    std::string name, value;
    if (!Decode(pair.substr(0, eq), name, error)) return false;
    if (!Decode(eq < pair.size() ? pair.substr(eq + 1) : std::string_view(), value, error)) return false;
    params.emplace_back(std::move(name), std::move(value));
  }
  return true;
}

bool ReadSearchRequest(const Params& params, const std::vector<std::string>& sources, SearchRequest& request,
                       std::string& error) {
  request = SearchRequest();
  // The command line the request stands for: every value after its
  // option, the words after "--", so no value can pass for an option.
  std::vector<std::string> line;
  bool any = false, stem = false, synonyms = false, exact = false, hasQuery = false;
  size_t limit = 0;
  for (const auto& param : params) {
    // Named, not bound: a lambda below uses the name, and clang 14 lets no
    // lambda capture a structured binding.
    const std::string& name = param.first;
    const std::string& value = param.second;
    static constexpr std::array<std::pair<std::string_view, std::string_view>, 5> kRepeated = {
        {{"source", "--source"}, {"not", "--not"}, {"field", "--field"}, {"category", "--category"},
         {"sort", "--sort"}}};
    const auto repeated = std::find_if(kRepeated.begin(), kRepeated.end(), [&](const auto& r) { return r.first == name; });
    if (name == "q") {
      if (hasQuery) {
        error = "q is given twice";
        return false;
      }
      hasQuery = true;
      request.text = value;
    } else if (repeated != kRepeated.end()) {
      if (name == "source" && std::find(sources.begin(), sources.end(), value) == sources.end()) {
        error = "no source named \"" + tessik_plugins::CleanText(value) + "\" (GET /health lists them)";
        return false;
      }
      line.emplace_back(repeated->second);
      line.push_back(value);
    } else if (name == "merge") {
      line.emplace_back("--merge");
      line.push_back(value);
    } else if (name == "any" || name == "stem" || name == "synonyms" || name == "case") {
      bool& flag = name == "any" ? any : name == "stem" ? stem : name == "synonyms" ? synonyms : exact;
      if (!Flag(name, value, flag, error)) return false;
    } else if (name == "limit") {
      if (!Count(name, value, 1, kMostLimit, limit, error)) return false;
    } else if (name == "offset") {
      if (!Count(name, value, 0, kMostOffset, request.offset, error)) return false;
    } else if (name == "format") {
      if (value == "json") {
        request.output = Output::kJson;
      } else if (value == "xml") {
        request.output = Output::kXml;
      } else if (value == "html") {
        request.output = Output::kHtml;
      } else {
        error = "format takes json, xml or html, not \"" + tessik_plugins::CleanText(value) + "\"";
        return false;
      }
    } else {
      error = "unknown parameter \"" + tessik_plugins::CleanText(name) + "\"";
      return false;
    }
  }
  if (request.text.size() > kMostQueryBytes) {
    error = "q is longer than " + std::to_string(kMostQueryBytes) + " bytes";
    return false;
  }
  std::vector<std::string> words;
  for (size_t at = 0; at < request.text.size();) {
    at = request.text.find_first_not_of(" \t\r\n", at);
    if (at == std::string::npos) break;
    const size_t end = std::min(request.text.find_first_of(" \t\r\n", at), request.text.size());
    words.push_back(request.text.substr(at, end - at));
    at = end;
  }
  if (words.empty()) {
    error = "give the words to search for in q";
    return false;
  }
  for (const auto& [on, option] : {std::pair{any, "--any"}, {stem, "--stem"}, {synonyms, "--synonyms"}, {exact, "--case"}})
    if (on) line.emplace_back(option);
  line.emplace_back("--");
  line.insert(line.end(), words.begin(), words.end());
  std::vector<char*> arguments;
  for (std::string& a : line) arguments.push_back(a.data());
  if (!tessik_cli::ParseSearchOptions(arguments, request.options, error)) return false;
  // Without a limit, as the command: every hit the sources return.
  request.limit = limit;
  if (limit > 0) request.options.limit = static_cast<uint32_t>(request.offset + limit);
  request.options.async = true;
  return true;
}

}  // namespace tessik_serve
