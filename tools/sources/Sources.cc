#include "sources/Sources.h"

#include <sqlite3.h>

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>

#include "common/Arguments.h"
#include "common/Interrupt.h"
#include "common/LiveLine.h"
#include "common/Text.h"
#include "files/Indexer.h"
#include "platform/Platform.h"
#include "search/Search.h"
#include "sqlite/Table.h"

namespace tessik_cli {

const char kSourcesHelp[] =
    "usage: tessik sources add NAME PATH [OPTIONS]   add a source and index it now\n"
    "       tessik sources list                      a line per source\n"
    "       tessik sources update [NAME]...          bring folder indexes up to date\n"
    "                                                (every folder source when none is named)\n"
    "       tessik sources remove NAME               forget the source and delete its index\n"
    "                                                (never the documents themselves)\n"
    "\n"
    "A source is documents tessik searches: \"tessik search\" runs over every source,\n"
    "or over those named with --source NAME. NAME is what its hits show as their\n"
    "domain: 1 to 64 letters, digits, - and _.\n"
    "\n"
    "PATH is a folder (a folder source: its files are indexed into the cache and\n"
    "the index is kept up to date by \"update\"), a Xapian database (searched in\n"
    "place, never written) or an SQLite file with an FTS5 table (searched in\n"
    "place, read-only).\n"
    "\n"
    "Options of add:\n"
    "  --engine E         files, xapian or sqlite, instead of the guess from PATH\n"
    "  --exclude GLOB     folder sources: leave out files or folders matching GLOB\n"
    "                     (*, ?, [...]; matched against names and paths below PATH;\n"
    "                     repeatable, kept in the list)\n"
    "  --max-size N       folder sources: skip files over N bytes (K, M, G: KiB,\n"
    "                     MiB, GiB; default 16M)\n"
    "  --include-hidden   folder sources: index hidden files and folders and .git too\n"
    "  --table T          sqlite sources: the FTS5 table (needed when the file has\n"
    "                     several)\n"
    "  --title COL        sqlite sources: the title column (default: one named title)\n"
    "  --text COL         sqlite sources: a text column (repeatable; default: the\n"
    "                     other columns)\n"
    "  --id COL, --url COL, --category COL\n"
    "                     sqlite sources: the columns of those properties\n"
    "Options of every command:\n"
    "  --config FILE      the list of sources to use (default:\n"
    "                     $XDG_CONFIG_HOME/tessik/sources.conf, else\n"
    "                     ~/.config/tessik/sources.conf; %APPDATA%\\tessik on Windows)\n"
    "  --verbose          add, update: list every file that was skipped, and why\n"
    "\n"
    "Folder indexes lie in $XDG_CACHE_HOME/tessik (else ~/.cache/tessik;\n"
    "%LOCALAPPDATA%\\tessik on Windows). Until the first \"add\" there is no list and\n"
    "tessik searches the bundled samples; the first \"add\" starts the list with\n"
    "them (quotes, glosses, manpages), so they can be removed like any source.\n"
    "Ctrl-C stops indexing cleanly: what was done stays searchable, and the next\n"
    "\"update\" goes on from there.\n"
    "\n"
    "Exit status: 0 done; 1 the command could not be done (a bad path or name, a\n"
    "malformed list, a source busy with another update, an index that could not be\n"
    "written); 2 a wrong command line; 130 interrupted by Ctrl-C.\n";

namespace {

namespace fs = std::filesystem;
namespace folder = tessik_plugins::folder;
namespace table = tessik_plugins::sqlite_table;
using tessik_plugins::PathOf;
using tessik_plugins::Utf8Of;

constexpr int kExitFailed = 1;

// The end of a command that wrote to stdout: a failed write is a failure.
int Flushed(int status) { return std::fflush(stdout) == 0 && !std::ferror(stdout) ? status : kExitFailed; }

struct Options {
  std::string command;
  std::vector<std::string> positional;
  std::string config, engine;
  std::vector<std::pair<std::string, std::string>> sourceOptions;  // as the list keeps them
  bool verbose = false;
};

bool ParseOptions(std::span<char* const> arguments, Options& o, std::string& error) {
  if (arguments.empty()) {
    error = "which command: add, list, update or remove?";
    return false;
  }
  o.command = arguments[0];
  for (size_t i = 1; i < arguments.size(); ++i) {
    const std::string arg = arguments[i];
    if (arg.size() < 2 || arg.compare(0, 2, "--") != 0) {
      o.positional.push_back(arg);
      continue;
    }
    if (arg == "--verbose") {
      o.verbose = true;
      continue;
    }
    if (arg == "--include-hidden") {
      o.sourceOptions.emplace_back("include-hidden", "true");
      continue;
    }
    std::string name, value;
    if (!OptionValue(arguments, i, name, value, error)) return false;
    if (name == "--config") {
      o.config = value;
    } else if (name == "--engine") {
      if (std::find(std::begin(kEngines), std::end(kEngines), value) == std::end(kEngines)) {
        error = "--engine takes files, xapian or sqlite, not \"" + value + "\"";
        return false;
      }
      o.engine = value;
    } else if (name == "--max-size") {
      uint64_t bytes = 0;
      if (!ParseSize(value, bytes)) {
        error = "--max-size takes a size such as 4096, 512K or 16M, not \"" + value + "\"";
        return false;
      }
      o.sourceOptions.emplace_back("max-size", std::to_string(bytes));
    } else if (name == "--exclude" || name == "--table" || name == "--title" || name == "--text" || name == "--id" ||
               name == "--url" || name == "--category") {
      o.sourceOptions.emplace_back(name.substr(2), value);
    } else {
      error = "unknown option " + name;
      return false;
    }
  }
  return true;
}

std::string ListFile(const Options& o) { return o.config.empty() ? DefaultListFile() : o.config; }

// The bundled samples, as a list beside the program; empty when the build
// made none.
SourceList Samples() {
  const fs::path file = ProgramFolder() / "samples.conf";
  std::error_code error;
  if (!fs::exists(file, error)) return {};
  return ReadList(Utf8Of(file));
}

bool IsXapianFolder(const fs::path& path) {
  std::error_code error;
  for (const char* marker : {"iamglass", "iamchert", "iamhoney"}) {
    if (fs::exists(path / marker, error)) return true;
  }
  return false;
}

// The engine for PATH: the one asked for, checked against what PATH is, or
// the one PATH's kind calls for.
std::string EngineFor(const std::string& path, const std::string& asked) {
  const fs::path p = PathOf(path);
  std::error_code error;
  const fs::file_status status = fs::status(p, error);
  if (status.type() == fs::file_type::not_found) throw SourceError("no such file or folder: " + path);
  if (error) throw SourceError(path + ": " + error.message());
  const bool isFolder = fs::is_directory(status);
  const bool isFile = fs::is_regular_file(status);
  if (!isFolder && !isFile) throw SourceError(path + " is neither a folder nor a file");
  std::string engine = asked;
  if (engine.empty() && isFolder) engine = IsXapianFolder(p) ? "xapian" : "files";
  if (engine.empty() && table::IsSqliteFile(path)) engine = "sqlite";
  if (engine.empty())
    throw SourceError(path + " is a file, but no SQLite database: a folder source needs a folder, and a Xapian "
                             "database is a folder (or a stub file, with --engine xapian)");
  if (engine == "files" && !isFolder) throw SourceError(path + " is a file: a folder source needs a folder");
  if (engine == "xapian" && isFolder && !IsXapianFolder(p))
    throw SourceError(path + " is a folder but no Xapian database (it has no iamglass file)");
  if (engine == "sqlite" && !(isFile && table::IsSqliteFile(path)))
    throw SourceError(path + " is not an SQLite database");
  return engine;
}

// The options a source of `engine` may take.
void CheckOptionsFit(const std::string& engine, const Options& o) {
  static const char* const kFolderOnly[] = {"exclude", "max-size", "include-hidden"};
  static const char* const kSqliteOnly[] = {"table", "title", "text", "id", "url", "category"};
  for (const auto& [key, value] : o.sourceOptions) {
    const bool folderOnly = std::find(std::begin(kFolderOnly), std::end(kFolderOnly), key) != std::end(kFolderOnly);
    const bool sqliteOnly = std::find(std::begin(kSqliteOnly), std::end(kSqliteOnly), key) != std::end(kSqliteOnly);
    if ((folderOnly && engine != "files") || (sqliteOnly && engine != "sqlite"))
      throw SourceError("--" + key + " is for " + (folderOnly ? "folder" : "sqlite") + " sources, and this is a " +
                        engine + " source");
  }
}

// Fills in an sqlite source's table and columns, checked against the file.
void CheckTable(Source& source) {
  table::Columns wanted;
  wanted.table = source.Value("table");
  wanted.title = source.Value("title");
  wanted.text = source.Values("text");
  wanted.id = source.Value("id");
  wanted.url = source.Value("url");
  wanted.category = source.Value("category");
  try {
    const table::Columns found = table::Check(source.path, wanted);
    source.options.clear();
    source.options.emplace_back("table", found.table);
    if (!found.title.empty()) source.options.emplace_back("title", found.title);
    for (const std::string& t : found.text) source.options.emplace_back("text", t);
    if (!found.id.empty()) source.options.emplace_back("id", found.id);
    if (!found.url.empty()) source.options.emplace_back("url", found.url);
    if (!found.category.empty()) source.options.emplace_back("category", found.category);
  } catch (const std::runtime_error& e) {
    throw SourceError(e.what());
  }
}

std::string Megabytes(uint64_t bytes) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f MB", static_cast<double>(bytes) / 1e6);
  return text;
}

std::string Seconds(double seconds) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f s", seconds);
  return text;
}

std::string ProgressText(const std::string& name, const folder::Progress& p) {
  std::string line = name + ": " + std::to_string(p.seen);
  if (p.total > 0) line += " of " + std::to_string(p.total);
  line += " files, " + std::to_string(p.indexed) + " indexed, " + std::to_string(p.skipped) + " skipped";
  if (p.seconds > 0) {
    char rate[32];
    std::snprintf(rate, sizeof rate, ", %.1f MB/s", static_cast<double>(p.bytes) / 1e6 / p.seconds);
    line += rate;
  }
  line += ", " + Seconds(p.seconds);
  if (p.total > p.seen && p.seen > 0 && p.seconds > 0.5) {
    const double left = p.seconds * static_cast<double>(p.total - p.seen) / static_cast<double>(p.seen);
    line += ", about " + Seconds(left) + " left";
  }
  return line;
}

// Brings one folder source's index up to date, with the live line on a
// terminal and the summary after. Returns an exit status; `busy`, when not
// null, tells whether another update held the index.
int IndexSource(const SourceList& list, const Source& source, bool verbose, bool* busy = nullptr) {
  LiveLine live(stderr, IsTerminal(stderr));
  InterruptScope interrupt;
  auto last = std::chrono::steady_clock::time_point();
  folder::Summary summary;
  try {
    summary = folder::Update(
        IndexOptionsOf(list, source),
        [&](const folder::Progress& p) {
          const auto now = std::chrono::steady_clock::now();
          if (now - last < std::chrono::milliseconds(100)) return;
          last = now;
          live.Draw(ProgressText(source.name, p));
        },
        InterruptScope::Pressed());
  } catch (const folder::Busy& e) {
    live.Wipe();
    if (busy != nullptr) *busy = true;
    std::fprintf(stderr, "tessik sources: %s is busy: %s\n", source.name.c_str(), e.what());
    return kExitFailed;
  } catch (const std::exception& e) {
    live.Wipe();
    std::fprintf(stderr, "tessik sources: indexing %s: %s\n", source.name.c_str(), e.what());
    return kExitFailed;
  }
  live.Wipe();
  const double rate = summary.seconds > 0 ? static_cast<double>(summary.bytes) / 1e6 / summary.seconds : 0;
  char tail[64];
  std::snprintf(tail, sizeof tail, " in %s (%.1f MB/s)", Seconds(summary.seconds).c_str(), rate);
  const std::string leftOut =
      summary.leftOut > 0 ? " (" + std::to_string(summary.leftOut) + " left out: hidden or excluded)" : "";
  std::printf("%s: %llu files: %llu indexed, %llu unchanged, %llu skipped, %llu removed%s; %s read%s%s\n",
              source.name.c_str(), static_cast<unsigned long long>(summary.seen),
              static_cast<unsigned long long>(summary.indexed), static_cast<unsigned long long>(summary.unchanged),
              static_cast<unsigned long long>(summary.skipped), static_cast<unsigned long long>(summary.removed),
              leftOut.c_str(), Megabytes(summary.bytes).c_str(), tail, summary.stopped ? "; stopped by Ctrl-C" : "");
  // The files that could not be indexed, and why (with --verbose also
  // what the options left out).
  std::vector<const folder::Skip*> listed;
  for (const folder::Skip& skip : summary.skips) {
    if (verbose || !skip.leftOut) listed.push_back(&skip);
  }
  const size_t shown = verbose ? listed.size() : std::min<size_t>(listed.size(), 10);
  for (size_t i = 0; i < shown; ++i)
    std::printf("  %s %s: %s\n", listed[i]->leftOut ? "left out" : "skipped", OneLine(listed[i]->path).c_str(),
                listed[i]->reason.c_str());
  if (shown < listed.size()) std::printf("  ... and %zu more (--verbose lists them all)\n", listed.size() - shown);
  std::fflush(stdout);
  if (summary.stopped) {
    std::fprintf(stderr,
                 "tessik sources: interrupted; what was indexed is searchable, and \"tessik sources update %s\" "
                 "goes on from there\n",
                 source.name.c_str());
    return kExitInterrupted;
  }
  return kExitOk;
}

void DeleteIndex(const SourceList& list, const Source& source) {
  const std::string index = IndexFile(list, source);
  folder::RemoveIndex(index);
  // The folder the cache gave it, once empty.
  std::error_code error;
  fs::remove(PathOf(index).parent_path(), error);
}

int Add(const Options& o) {
  if (o.positional.size() != 2) {
    std::fprintf(stderr, "tessik sources add: takes NAME PATH\n");
    return kExitUsage;
  }
  const std::string& name = o.positional[0];
  if (!IsSourceName(name)) {
    throw SourceError("\"" + name + "\" cannot name a source" +
                      (name.find_first_of("/\\") != std::string::npos ? " (no / or \\ in a name)" : "") +
                      ": 1 to 64 letters, digits, - and _");
  }
  SourceList list = ReadList(ListFile(o));
  if (!list.exists) list.sources = Samples().sources;
  if (list.Find(name) != nullptr) throw SourceError("a source named " + name + " is in " + list.file + " already");

  Source source;
  source.name = name;
  source.path = Utf8Of(fs::absolute(PathOf(o.positional[1])).lexically_normal());
  source.engine = EngineFor(source.path, o.engine);
  CheckOptionsFit(source.engine, o);
  source.options = o.sourceOptions;
  if (source.engine == "sqlite") CheckTable(source);
  list.sources.push_back(source);
  WriteList(list);
  std::printf("added %s: a %s source over %s (%s)\n", name.c_str(), source.engine.c_str(), source.path.c_str(),
              list.file.c_str());
  if (source.engine != "files") return Flushed(kExitOk);
  std::fflush(stdout);
  bool busy = false;
  const int status = IndexSource(list, source, o.verbose, &busy);
  if (status == kExitFailed) {
    // A source whose index could not be made is not kept. The list is read
    // again, for what other commands changed meanwhile; an index another
    // update holds is that one's.
    SourceList now = ReadList(list.file);
    std::erase_if(now.sources, [&](const Source& s) { return s.name == name && s.path == source.path; });
    WriteList(now);
    if (!busy) DeleteIndex(list, source);
    std::fprintf(stderr, "tessik sources: %s was not added\n", name.c_str());
  }
  return status;
}

// Documents in an sqlite source's table, or -1 when they cannot be counted.
long long CountRows(const Source& source) {
  sqlite3* raw = nullptr;
  const int rc = sqlite3_open_v2(source.path.c_str(), &raw, SQLITE_OPEN_READONLY, nullptr);
  std::unique_ptr<sqlite3, int (*)(sqlite3*)> db(raw, sqlite3_close);
  if (rc != SQLITE_OK) return -1;
  sqlite3_busy_timeout(raw, 2000);  // searches may be reading it at the same moment
  const std::string sql = "SELECT count(*) FROM " + table::Quoted(source.Value("table", "docs"));
  sqlite3_stmt* statement = nullptr;
  long long n = -1;
  if (sqlite3_prepare_v2(db.get(), sql.c_str(), -1, &statement, nullptr) == SQLITE_OK &&
      sqlite3_step(statement) == SQLITE_ROW)
    n = sqlite3_column_int64(statement, 0);
  sqlite3_finalize(statement);
  return n;
}

}  // namespace

SourceState Describe(const SourceList& list, const Source& source) {
  SourceState line{source.name, source.engine, source.path, "-", "-", "ready"};
  std::error_code error;
  if (!fs::exists(PathOf(source.path), error)) {
    line.state = "path missing";
    return line;
  }
  if (source.engine == "files") {
    // One index that cannot be read costs its own line, not the list.
    try {
      const folder::IndexState state = folder::Inspect(IndexOptionsOf(list, source));
      if (state.exists) line.documents = std::to_string(state.documents);
      if (!state.indexedAt.empty()) line.indexed = state.indexedAt;
      line.state = state.state;
    } catch (const std::exception& e) {
      line.state = "unreadable: " + OneLine(e.what());
    }
  } else if (source.engine == "sqlite") {
    const long long rows = CountRows(source);
    if (rows >= 0) line.documents = std::to_string(rows);
    else line.state = "unreadable";
  }
  return line;
}

namespace {

int List(const Options& o) {
  if (!o.positional.empty()) {
    std::fprintf(stderr, "tessik sources list: takes no arguments\n");
    return kExitUsage;
  }
  SourceList list = ReadList(ListFile(o));
  if (!list.exists) {
    std::printf("# no list at %s yet: searches run over the bundled samples\n", list.file.c_str());
    list = Samples();
  }
  std::vector<SourceState> lines = {{"NAME", "ENGINE", "PATH", "DOCUMENTS", "LAST INDEXED", "STATE"}};
  for (const Source& s : list.sources) lines.push_back(Describe(list, s));
  size_t widths[5] = {};
  for (const SourceState& l : lines) {
    const std::string* cells[] = {&l.name, &l.engine, &l.path, &l.documents, &l.indexed};
    for (int i = 0; i < 5; ++i) widths[i] = std::max(widths[i], Columns(*cells[i]));
  }
  for (const SourceState& l : lines) {
    const std::string* cells[] = {&l.name, &l.engine, &l.path, &l.documents, &l.indexed};
    std::string text;
    for (int i = 0; i < 5; ++i) {
      const std::string cell = Fit(*cells[i], widths[i]);
      text += cell + std::string(widths[i] - Columns(cell) + 2, ' ');
    }
    std::printf("%s%s\n", text.c_str(), l.state.c_str());
  }
  return Flushed(kExitOk);
}

int Update(const Options& o) {
  const SourceList list = ReadList(ListFile(o));
  if (!list.exists)
    throw SourceError("no list of sources at " + list.file + " (tessik sources add NAME PATH starts one)");
  std::vector<const Source*> chosen;
  for (const std::string& name : o.positional) {
    const Source* s = list.Find(name);
    if (s == nullptr) throw SourceError("no source named " + name + " in " + list.file);
    chosen.push_back(s);
  }
  if (chosen.empty()) {
    for (const Source& s : list.sources) chosen.push_back(&s);
  }
  int status = kExitOk;
  for (const Source* s : chosen) {
    if (s->engine != "files") {
      if (!o.positional.empty())
        std::printf("%s: a %s source is searched in place; nothing to update\n", s->name.c_str(), s->engine.c_str());
      continue;
    }
    const int one = IndexSource(list, *s, o.verbose);
    if (one == kExitInterrupted) return one;
    if (one != kExitOk) status = one;
  }
  return Flushed(status);
}

int Remove(const Options& o) {
  if (o.positional.size() != 1) {
    std::fprintf(stderr, "tessik sources remove: takes NAME\n");
    return kExitUsage;
  }
  SourceList list = ReadList(ListFile(o));
  const std::string& name = o.positional[0];
  auto it = std::find_if(list.sources.begin(), list.sources.end(), [&](const Source& s) { return s.name == name; });
  if (!list.exists || it == list.sources.end())
    throw SourceError("no source named " + name + " in " + list.file);
  const Source removed = *it;
  list.sources.erase(it);
  // Only an index this program made in its cache; the documents, and an
  // index the list points at elsewhere (the bundled samples'), stay. The
  // index goes first: one that cannot be deleted leaves the source listed.
  if (removed.engine == "files" && IndexIsOurs(list, removed)) DeleteIndex(list, removed);
  WriteList(list);
  std::printf("removed %s\n", name.c_str());
  return Flushed(kExitOk);
}

}  // namespace

SourceList ListToSearch(const std::string& config) {
  std::string file = config;
  if (file.empty()) {
    // Without a home there is no list of the user's: the samples answer.
    try {
      file = DefaultListFile();
    } catch (const SourceError&) {
      SourceList samples = Samples();
      samples.exists = false;
      return samples;
    }
  }
  SourceList list = ReadList(file);
  if (list.exists) return list;
  SourceList samples = Samples();
  samples.exists = false;
  return samples;
}

int Sources(std::span<char* const> arguments) {
  if (arguments.size() == 1 && (std::strcmp(arguments[0], "--help") == 0 || std::strcmp(arguments[0], "-h") == 0)) {
    std::fputs(kSourcesHelp, stdout);
    return Flushed(kExitOk);
  }
  Options o;
  std::string problem;
  if (!ParseOptions(arguments, o, problem)) {
    std::fprintf(stderr, "tessik sources: %s\n(tessik help sources: the commands)\n", problem.c_str());
    return kExitUsage;
  }
  if (o.command != "add" && !o.sourceOptions.empty()) {
    std::fprintf(stderr, "tessik sources %s: the source options are for add\n", o.command.c_str());
    return kExitUsage;
  }
  try {
    if (o.command == "add") return Add(o);
    if (o.command == "list") return List(o);
    if (o.command == "update") return Update(o);
    if (o.command == "remove") return Remove(o);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "tessik sources %s: %s\n", o.command.c_str(), e.what());
    return kExitFailed;
  }
  std::fprintf(stderr, "tessik sources: unknown command \"%s\" (add, list, update, remove)\n", o.command.c_str());
  return kExitUsage;
}

}  // namespace tessik_cli
