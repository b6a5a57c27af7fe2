#include "sources/SourceList.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "kit/Text.h"
#include "platform/Platform.h"

namespace tessik_cli {
namespace {

namespace fs = std::filesystem;
using tessik_plugins::PathOf;
using tessik_plugins::Utf8Of;

// A list is a few lines a person wrote; anything this big is not one.
constexpr uintmax_t kMaxListBytes = 1 << 20;

const char* const kPathKeys[] = {"path", "index"};
const char* const kKeys[] = {"engine",  "path",  "exclude", "max-size", "include-hidden", "index", "table",
                             "title",   "text",  "id",      "url",      "category"};
// The keys only one engine's sources take.
const char* const kFolderKeys[] = {"exclude", "max-size", "include-hidden", "index"};
const char* const kSqliteKeys[] = {"table", "title", "text", "id", "url", "category"};

template <size_t N>
bool In(const char* const (&keys)[N], const std::string& key) {
  return std::find(std::begin(keys), std::end(keys), key) != std::end(keys);
}

std::string Trim(const std::string& s) {
  const size_t b = s.find_first_not_of(" \t\r");
  if (b == std::string::npos) return "";
  return s.substr(b, s.find_last_not_of(" \t\r") - b + 1);
}

bool IsKey(const std::string& key) { return std::find(std::begin(kKeys), std::end(kKeys), key) != std::end(kKeys); }

bool IsPathKey(const std::string& key) {
  return std::find(std::begin(kPathKeys), std::end(kPathKeys), key) != std::end(kPathKeys);
}

std::string Absolute(const std::string& path, const fs::path& base) {
  const fs::path p = PathOf(path);
  return Utf8Of((p.is_absolute() ? p : base / p).lexically_normal());
}

// FNV-1a: a stable name for a list's path, the same in every run and
// build, for the folder names of its indexes.
std::string Fingerprint(const std::string& text) {
  uint64_t h = 1469598103934665603ull;
  for (unsigned char c : text) h = (h ^ c) * 1099511628211ull;
  char out[17];
  std::snprintf(out, sizeof out, "%016llx", static_cast<unsigned long long>(h));
  return out;
}

// A folder named by `variable`, else `fallback` below the home folder.
fs::path BaseFolder(const char* variable, const char* windowsVariable, const char* fallback) {
#if defined(_WIN32)
  (void)variable;
  (void)fallback;
  const std::string value = EnvironmentValue(windowsVariable);
  if (value.empty()) throw SourceError(std::string("%") + windowsVariable + "% is not set");
  return PathOf(value);
#else
  (void)windowsVariable;
  const std::string value = EnvironmentValue(variable);
  // A relative value is to be ignored, as the base directory rules say.
  if (!value.empty() && PathOf(value).is_absolute()) return PathOf(value);
  const std::string home = EnvironmentValue("HOME");
  if (home.empty()) throw SourceError(std::string("neither $") + variable + " nor $HOME is set");
  return PathOf(home) / fallback;
#endif
}

fs::path CacheFolder() { return BaseFolder("XDG_CACHE_HOME", "LOCALAPPDATA", ".cache") / "tessik"; }

fs::path DefaultIndex(const SourceList& list, const Source& source) {
  const std::string listPath = Utf8Of(fs::absolute(PathOf(list.file)).lexically_normal());
  return CacheFolder() / (source.name + "-" + Fingerprint(listPath)) / "index.sqlite";
}

}  // namespace

std::vector<std::string> Source::Values(const std::string& key) const {
  std::vector<std::string> out;
  for (const auto& [k, v] : options) {
    if (k == key) out.push_back(v);
  }
  return out;
}

std::string Source::Value(const std::string& key, const std::string& fallback) const {
  for (const auto& [k, v] : options) {
    if (k == key) return v;
  }
  return fallback;
}

const Source* SourceList::Find(const std::string& name) const {
  for (const Source& s : sources) {
    if (s.name == name) return &s;
  }
  return nullptr;
}

bool ParseSize(const std::string& text, uint64_t& out) {
  uint64_t n = 0;
  const char* end = text.data() + text.size();
  auto [at, problem] = std::from_chars(text.data(), end, n);
  if (problem != std::errc() || at == text.data()) return false;
  int shift = 0;
  if (at != end) {
    const char unit = static_cast<char>(std::toupper(static_cast<unsigned char>(*at)));
    shift = unit == 'K' ? 10 : unit == 'M' ? 20 : unit == 'G' ? 30 : -1;
    if (shift < 0 || at + 1 != end) return false;
  }
  if (n == 0 || n > (UINT64_MAX >> shift)) return false;
  out = n << shift;
  return true;
}

bool IsSourceName(const std::string& name) {
  if (name.empty() || name.size() > 64) return false;
  return std::all_of(name.begin(), name.end(), [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '_';
  });
}

SourceList ReadList(const std::string& file) {
  SourceList list;
  list.file = file;
  const fs::path path = PathOf(file);
  std::error_code error;
  const fs::file_status status = fs::status(path, error);
  if (status.type() == fs::file_type::not_found) return list;
  if (error) throw SourceError(file + ": " + error.message());
  if (!fs::is_regular_file(status)) throw SourceError(file + ": not a file");
  if (fs::file_size(path, error) > kMaxListBytes) throw SourceError(file + ": too big to be a list of sources");
  std::ifstream in(path, std::ios::binary);
  if (!in) throw SourceError(file + ": cannot be read");
  list.exists = true;
  const fs::path base = fs::absolute(path, error).parent_path();

  std::string line;
  int number = 0;
  Source* current = nullptr;
  std::vector<int> optionLines;  // of the current section's options
  auto problemAt = [&](int line, const std::string& what) {
    return SourceError(file + ":" + std::to_string(line) + ": " + what);
  };
  auto problem = [&](const std::string& what) { return problemAt(number, what); };
  auto finish = [&] {
    if (current == nullptr) return;
    const std::string section = "[" + current->name + "]";
    if (current->engine.empty()) throw problem(section + " has no \"engine = ...\" line");
    if (current->path.empty()) throw problem(section + " has no \"path = ...\" line");
    for (size_t i = 0; i < current->options.size(); ++i) {
      const std::string& key = current->options[i].first;
      if ((In(kFolderKeys, key) && current->engine != "files") || (In(kSqliteKeys, key) && current->engine != "sqlite"))
        throw problemAt(optionLines[i], "\"" + key + "\" is not for a " + current->engine + " source");
    }
  };
  while (std::getline(in, line)) {
    ++number;
    const std::string text = Trim(line);
    if (text.empty() || text[0] == '#') continue;
    if (text.front() == '[') {
      if (text.back() != ']') throw problem("a section line is \"[NAME]\"");
      finish();
      const std::string name = Trim(text.substr(1, text.size() - 2));
      if (!IsSourceName(name))
        throw problem("\"" + name + "\" is no source name: 1 to 64 letters, digits, - and _");
      if (list.Find(name) != nullptr) throw problem("a second source named " + name);
      list.sources.push_back({name, "", "", {}});
      current = &list.sources.back();
      optionLines.clear();
      continue;
    }
    const size_t equals = text.find('=');
    if (equals == std::string::npos) throw problem("expected \"key = value\" or \"[NAME]\"");
    if (current == nullptr) throw problem("\"key = value\" before the first [NAME]");
    const std::string key = Trim(text.substr(0, equals));
    std::string value = Trim(text.substr(equals + 1));
    if (!IsKey(key)) throw problem("unknown key \"" + key + "\"");
    if (value.empty()) throw problem("\"" + key + "\" has no value");
    if (IsPathKey(key)) value = Absolute(value, base);
    uint64_t bytes = 0;
    if (key == "max-size" && !ParseSize(value, bytes))
      throw problem("max-size is a size such as 4096, 512K or 16M, not \"" + value + "\"");
    if (key == "include-hidden" && value != "true" && value != "false")
      throw problem("include-hidden is true or false, not \"" + value + "\"");
    if (key == "engine") {
      if (std::find(std::begin(kEngines), std::end(kEngines), value) == std::end(kEngines))
        throw problem("unknown engine \"" + value + "\" (files, xapian or sqlite)");
      current->engine = value;
    } else if (key == "path") {
      current->path = value;
    } else {
      current->options.emplace_back(key, value);
      optionLines.push_back(number);
    }
  }
  if (in.bad()) throw SourceError(file + ": cannot be read");
  finish();
  return list;
}

std::string ListText(const SourceList& list) {
  std::ostringstream out;
  out << "# The sources tessik searches: a [NAME] section per source, then\n"
         "# \"key = value\" lines (tessik help sources). tessik sources add and remove\n"
         "# rewrite this file; edits by hand are kept, comments are not.\n";
  for (const Source& s : list.sources) {
    out << "\n[" << s.name << "]\nengine = " << s.engine << "\npath = " << s.path << "\n";
    for (const auto& [key, value] : s.options) out << key << " = " << value << "\n";
  }
  return out.str();
}

void WriteList(const SourceList& list) {
  const fs::path path = PathOf(list.file);
  std::error_code error;
  if (path.has_parent_path()) fs::create_directories(path.parent_path(), error);
  if (error) throw SourceError("cannot make the folder of " + list.file + ": " + error.message());
  // Beside the list, so the rename stays on one file system.
  fs::path temporary = path;
  temporary += ".tmp-" + std::to_string(std::random_device{}());
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out << ListText(list);
    out.flush();
    if (!out) {
      out.close();
      fs::remove(temporary, error);
      throw SourceError("cannot write " + list.file);
    }
  }
  fs::rename(temporary, path, error);
  if (error) {
    std::error_code ignored;
    fs::remove(temporary, ignored);
    throw SourceError("cannot write " + list.file + ": " + error.message());
  }
}

std::string DefaultListFile() {
  return Utf8Of(BaseFolder("XDG_CONFIG_HOME", "APPDATA", ".config") / "tessik" / "sources.conf");
}

std::string IndexFile(const SourceList& list, const Source& source) {
  const std::string given = source.Value("index");
  return given.empty() ? Utf8Of(DefaultIndex(list, source)) : given;
}

bool IndexIsOurs(const SourceList& list, const Source& source) {
  return PathOf(IndexFile(list, source)) == DefaultIndex(list, source);
}

tessik_plugins::folder::IndexOptions IndexOptionsOf(const SourceList& list, const Source& source) {
  tessik_plugins::folder::IndexOptions options;
  options.root = source.path;
  options.index = IndexFile(list, source);
  options.excludes = source.Values("exclude");
  if (uint64_t bytes = 0; ParseSize(source.Value("max-size", "0"), bytes)) options.maxSize = bytes;
  options.includeHidden = source.Value("include-hidden") == "true";
  return options;
}

}  // namespace tessik_cli
