#include "search/Search.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "common/Interrupt.h"
#include "common/LiveLine.h"
#include "kit/Names.h"
#include "kit/Text.h"
#include "platform/Platform.h"
#include "search/Async.h"
#include "search/Core.h"
#include "search/Options.h"
#include "search/Output.h"
#include "search/Query.h"
#include "search/QueryText.h"
#include "search/Ranking.h"
#include "search/Results.h"
#include "sources/Sources.h"
#include "tessik/Query.h"

namespace tessik_cli {
namespace {

namespace fs = std::filesystem;
using tessik_plugins::Fold;
using tessik_plugins::PathOf;

int Fail(int exitStatus, const std::string& step, int32_t status) {
  std::fprintf(stderr, "tessik search: %s: %s\n", step.c_str(), DescribeStatus(status).c_str());
  return exitStatus;
}

std::string Stem(const std::string& path) { return fs::path(path).stem().string(); }

// The plugin libraries in the Plugins folder beside the program, by name.
std::vector<fs::path> PluginsBeside() {
  std::vector<fs::path> found;
  std::error_code error;
  const fs::path folder = ProgramFolder() / "Plugins";
  const std::string suffix = PluginSuffix();
  for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
    if (it->path().extension() == suffix && it->is_regular_file(error)) found.push_back(it->path());
  }
  std::sort(found.begin(), found.end());
  return found;
}

// Loads the plugins the options name, or all beside the program; reports
// each load that fails on stderr.
std::vector<PluginReport> LoadPlugins(uint32_t session, const SearchOptions& o) {
  std::vector<PluginReport> plugins;
  auto report = [&](const std::string& name, const std::string& domain, int32_t status) {
    plugins.push_back({name, domain, status, 0, ""});
    if (status != TESSIK_OK) {
      plugins.back().error = "loading the plugin failed: " + DescribeStatus(status);
      std::fprintf(stderr, "tessik search: loading plugin %s: %s\n", name.c_str(), DescribeStatus(status).c_str());
    }
  };
  if (!o.plugins.empty()) {
    for (const std::string& path : o.plugins)
      report(path, Stem(path), Tessik_LoadPluginByPath(session, Widen(path).c_str()));
  } else if (!o.domains.empty()) {
    std::vector<std::string> loaded;
    for (const SearchDomain& d : o.domains) {
      if (std::find(loaded.begin(), loaded.end(), d.name) != loaded.end()) continue;
      loaded.push_back(d.name);
      report("Plugins/" + d.name, d.name, Tessik_LoadPluginByDomain(session, Widen(d.name).c_str()));
    }
  } else {
    for (const fs::path& path : PluginsBeside()) {
      report(path.filename().string(), path.stem().string(), Tessik_LoadPluginByPath(session, PathText(path).c_str()));
    }
    if (plugins.empty()) {
      std::fprintf(stderr, "tessik search: no plugin in %s\n", (ProgramFolder() / "Plugins").string().c_str());
    }
  }
  return plugins;
}

size_t TableWidth() {
  if (const int columns = TerminalColumns(stdout); columns > 0) return static_cast<size_t>(columns);
  if (const char* env = std::getenv("COLUMNS"); env != nullptr && std::atoi(env) > 0) return std::atoi(env);
  return 120;
}

std::string Count(size_t n, const char* one, const char* many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
}

// The live line of an asynchronous search: batches, hits so far per
// domain, time taken.
std::string Progress(const Results& results, std::chrono::steady_clock::time_point start) {
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::string line = "searching: " + Count(results.Batches(), "batch", "batches");
  for (const auto& [domain, count] : results.PerDomain()) line += ", " + domain + " " + std::to_string(count);
  char elapsed[32];
  std::snprintf(elapsed, sizeof elapsed, ", %.1f s", seconds);
  return line + elapsed;
}

// A table on the terminal, redrawn in place: the cursor goes back up over
// what was drawn, which is cleared, and the new table takes its place.
class LiveTable {
 public:
  explicit LiveTable(bool on) : on_(on) {
    const int rows = on ? TerminalRows(stdout) : 0;
    // Room for the header, the live line and the prompt: the cursor cannot
    // go back above the top of the screen.
    rows_ = rows > 4 ? static_cast<size_t>(rows - 3) : 0;
    on_ = on_ && rows_ > 0;
  }
  bool On() const { return on_; }
  size_t Rows() const { return rows_; }
  void Draw(const std::string& text) {
    Clear();
    std::fputs(text.c_str(), stdout);
    std::fflush(stdout);
    lines_ = static_cast<size_t>(std::count(text.begin(), text.end(), '\n'));
  }
  void Clear() {
    if (lines_ > 0) std::fprintf(stdout, "\r\x1b[%zuA\x1b[J", lines_);
    std::fflush(stdout);
    lines_ = 0;
  }

 private:
  bool on_;
  size_t rows_ = 0;
  size_t lines_ = 0;  // drawn and not yet cleared
};

// The domains the search addresses: those the query asks for, else every
// loaded plugin's; each with its --data and the limit.
std::vector<DomainTarget> Targets(const SearchQuery& wanted, const SearchOptions& o,
                                  const std::vector<PluginReport>& plugins) {
  std::vector<std::string> names = wanted.domains;
  if (names.empty()) {
    for (const PluginReport& p : plugins) {
      if (p.status == TESSIK_OK && std::find(names.begin(), names.end(), p.domain) == names.end())
        names.push_back(p.domain);
    }
  }
  std::vector<DomainTarget> targets;
  for (const std::string& name : names) {
    DomainTarget target{name, "", SourceLimit(o), {}};
    for (const SearchDomain& d : o.domains) {
      if (Fold(d.name) == Fold(name) && !d.data.empty()) target.data = d.data;
    }
    AskStatistics(o, target);
    targets.push_back(std::move(target));
  }
  return targets;
}

// The sources a search runs over (those named, else every one in `list`),
// their engines' plugins loaded into `session`: a report and a target per
// source. A source whose path is gone fails here, and the others still
// answer. Returns false, with `error` set, when a source named is not in
// the list.
bool LoadSources(uint32_t session, const SearchOptions& o, const SourceList& list, std::vector<PluginReport>& plugins,
                 std::vector<DomainTarget>& targets, std::string& error) {
  std::vector<const Source*> chosen;
  for (const std::string& name : o.sources) {
    const Source* s = list.Find(name);
    if (s == nullptr) {
      error = "no source named " + name + " (tessik sources list shows them)";
      return false;
    }
    if (std::find(chosen.begin(), chosen.end(), s) == chosen.end()) chosen.push_back(s);
  }
  if (chosen.empty()) {
    for (const Source& s : list.sources) chosen.push_back(&s);
  }
  std::vector<std::pair<std::string, int32_t>> loaded;  // engine, status of loading its plugin
  for (const Source* s : chosen) {
    auto it = std::find_if(loaded.begin(), loaded.end(), [&](const auto& e) { return e.first == s->engine; });
    if (it == loaded.end()) {
      loaded.emplace_back(s->engine, Tessik_LoadPluginByDomain(session, Widen(s->engine).c_str()));
      it = loaded.end() - 1;
    }
    PluginReport report{"Plugins/" + s->engine, s->name, it->second, 0, ""};
    std::error_code missing;
    if (report.status != TESSIK_OK) {
      report.error = "loading the plugin failed: " + DescribeStatus(report.status);
      std::fprintf(stderr, "tessik search: source %s: loading plugin %s: %s\n", s->name.c_str(),
                   report.name.c_str(), DescribeStatus(report.status).c_str());
    } else if (!fs::exists(PathOf(s->path), missing)) {
      report.status = TESSIK_E_FAILED;
      report.error = "its path " + s->path + " is gone";
      std::fprintf(stderr, "tessik search: source %s failed: %s\n", s->name.c_str(), report.error.c_str());
    } else {
      targets.push_back(SourceTarget(list, *s, o));
    }
    plugins.push_back(std::move(report));
  }
  return true;
}

// The query of the search, as the user gave it: options or a query file.
// Returns an exit status, or -1 when `wanted` is ready.
int ReadSearchQuery(const SearchOptions& o, SearchQuery& wanted) {
  if (o.queryFile.empty()) {
    wanted = QueryFromOptions(o);
    return -1;
  }
  TString text;
  std::string problem;
  if (!ReadQueryFile(o.queryFile, text, problem)) {
    std::fprintf(stderr, "tessik search: reading the query file: %s\n", problem.c_str());
    return kExitBadQuery;
  }
  IQuery* query = nullptr;
  if (const int32_t status = Tessik_ParseQueryFromXML(text.c_str(), &query); status != TESSIK_OK)
    return Fail(kExitBadQuery, "reading the query file " + o.queryFile, status);
  const bool ok = QueryFromParsed(*query, wanted, problem);
  Tessik_ReleaseQuery(query);
  if (!ok) {
    std::fprintf(stderr, "tessik search: %s: %s\n", o.queryFile.c_str(), problem.c_str());
    return kExitBadQuery;
  }
  for (const SearchDomain& d : o.domains) {
    if (std::find(wanted.domains.begin(), wanted.domains.end(), d.name) == wanted.domains.end())
      wanted.domains.push_back(d.name);
  }
  return -1;
}

}  // namespace

// One search: collect every plugin's hits, rank them, keep the best, and
// render them; every format and both kinds of search take this one path.
int Search(std::span<char* const> arguments) {
  SearchOptions o;
  std::string problem;
  if (!ParseSearchOptions(arguments, o, problem)) {
    std::fprintf(stderr, "tessik search: %s\n(tessik help search: the options)\n", problem.c_str());
    return kExitUsage;
  }
  if (o.help) {
    std::fputs(kSearchHelp, stdout);
    return kExitOk;
  }
  SearchQuery wanted;
  if (const int exit = ReadSearchQuery(o, wanted); exit >= 0) return exit;

  uint32_t session = 0;
  if (const int32_t status = Tessik_OpenSession(TESSIK_TEXT("tessik"), &session); status != TESSIK_OK) {
    return Fail(kExitLibrary, "opening a session", status);
  }
  struct SessionGuard {
    uint32_t id;
    ~SessionGuard() { Tessik_CloseSession(id); }
  } sessionGuard{session};

  // Sources from the list, unless plugins are addressed directly (on the
  // command line or by the query file's domains).
  bool direct = !o.plugins.empty() || !o.domains.empty();
  SourceList list;
  if (!direct) {
    try {
      list = ListToSearch(o.config);
    } catch (const std::exception& e) {
      std::fprintf(stderr, "tessik search: %s\n", e.what());
      return kExitPluginFailed;
    }
  }
  // A query file's domains are sources when every one of them names one;
  // else they are plugins' domains, addressed directly.
  SearchOptions chosen = o;
  if (!direct && !wanted.domains.empty()) {
    if (!o.sources.empty()) {
      std::fprintf(stderr, "tessik search: the query file names its domains; --source cannot choose others\n");
      return kExitUsage;
    }
    const bool sources = std::all_of(wanted.domains.begin(), wanted.domains.end(),
                                     [&](const std::string& d) { return list.Find(d) != nullptr; });
    if (sources) {
      chosen.sources = wanted.domains;
      wanted.domains.clear();
    } else {
      direct = true;
    }
  }
  std::vector<PluginReport> plugins;
  std::vector<DomainTarget> targets;
  if (!direct && (!list.sources.empty() || !o.sources.empty())) {
    if (!LoadSources(session, chosen, list, plugins, targets, problem)) {
      std::fprintf(stderr, "tessik search: %s\n", problem.c_str());
      return kExitUsage;
    }
  } else {
    SearchOptions loading = o;
    if (o.plugins.empty() && o.domains.empty()) {
      for (const std::string& d : wanted.domains) loading.domains.push_back({d, ""});
    }
    plugins = LoadPlugins(session, loading);
    targets = Targets(wanted, o, plugins);
  }
  const bool allLoaded =
      std::all_of(plugins.begin(), plugins.end(), [](const PluginReport& p) { return p.status == TESSIK_OK; });
  const bool anyLoaded = !targets.empty() && std::any_of(plugins.begin(), plugins.end(), [](const PluginReport& p) {
    return p.status == TESSIK_OK;
  });

  const std::string queryXml = QueryXml(wanted, targets);
  IQuery* query = nullptr;
  if (const int32_t status = Tessik_ParseQueryFromXML(Widen(queryXml).c_str(), &query); status != TESSIK_OK) {
    return Fail(kExitLibrary, "reading the query", status);
  }
  struct QueryGuard {
    IQuery* q;
    ~QueryGuard() { Tessik_ReleaseQuery(q); }
  } queryGuard{query};

  // Collect, ranking as the hits come.
  const bool byScore = o.sort == "score";
  Ranker ranker(o.merge, byScore ? std::optional<size_t>(o.limit) : std::nullopt);
  Results results(ranker);
  bool answered = false, interrupted = false;
  std::vector<Ranked> ranked;
  std::vector<std::string> domains;  // those expected, for the table's layout
  for (const PluginReport& p : plugins) {
    if (p.status == TESSIK_OK) domains.push_back(p.domain);
  }
  try {
    if (anyLoaded) {
      if (const int32_t status = Tessik_InitSearch(session); status != TESSIK_OK) {
        return Fail(kExitLibrary, "starting the plugins", status);
      }
    }
    if (anyLoaded && !o.async) {
      TessikChar* text = nullptr;
      if (const int32_t status = Tessik_SyncSearch(session, query, &text, 0); status != TESSIK_OK) {
        return Fail(kExitLibrary, "searching", status);
      }
      answered = text != nullptr && *text != 0;
      const int32_t status = answered ? results.Add(text) : TESSIK_OK;
      Tessik_Release(text);
      if (status != TESSIK_OK) return Fail(kExitLibrary, "reading the merged results", status);
    } else if (anyLoaded) {
      LiveLine live(stderr, IsTerminal(stderr));
      // On a terminal the table of the best so far is redrawn in place.
      LiveTable table(o.format == Format::kTable && byScore && TerminalEscapes(stdout));
      const auto start = std::chrono::steady_clock::now();
      auto lastDrawn = start - std::chrono::seconds(1);
      bool changed = false;
      int32_t readStatus = TESSIK_OK;
      auto draw = [&] {
        const auto now = std::chrono::steady_clock::now();
        if (changed && table.On() && now - lastDrawn >= std::chrono::milliseconds(100)) {
          std::vector<Ranked> best = ranker.Best();
          if (best.size() > table.Rows()) best.resize(table.Rows());
          const std::vector<Row> shown = RowsOf(best);
          live.Wipe();
          table.Draw(TableText(MakeLayout(TableWidth(), domains, &shown), shown));
          lastDrawn = now;
          changed = false;
        }
        live.Draw(Progress(results, start));
      };
      auto onResults = [&](const TessikChar* text) {
        if (const int32_t status = results.Add(text); status != TESSIK_OK) readStatus = status;
        changed = true;
        if (o.format == Format::kJsonLines) {
          std::fputs(BatchJson(results.Batches(), ranker.Best()).c_str(), stdout);
          std::fflush(stdout);
        }
      };
      InterruptScope interrupt;
      const AsyncOutcome outcome = RunAsyncSearch(session, query, o.pollMs, onResults, draw,
                                                  std::chrono::milliseconds(100), InterruptScope::Pressed());
      live.Wipe();
      table.Clear();
      if (outcome.status != TESSIK_OK) return Fail(kExitLibrary, "starting the asynchronous search", outcome.status);
      if (readStatus != TESSIK_OK) return Fail(kExitLibrary, "reading the merged results", readStatus);
      interrupted = outcome.stopped || InterruptScope::Pressed();
      // The end came: every plugin answered, with hits or without.
      answered = true;
      if (interrupted) std::fprintf(stderr, "tessik search: interrupted; the search was aborted\n");
      if (interrupted || IsTerminal(stderr))
        std::fprintf(stderr, "tessik search: %s arrived\n", Count(results.Batches(), "batch", "batches").c_str());
    }
    // Rank and limit.
    if (const int32_t status = RankedList(ranker, o, ranked); status != TESSIK_OK)
      return Fail(kExitLibrary, "sorting the hits", status);
    for (const PluginReport* p : Account(plugins, results, ranker)) {
      std::fprintf(stderr, "tessik search: plugin %s failed: %s: %s\n", p->name.c_str(), OneLine(p->error).c_str(),
                   DescribeStatus(p->status).c_str());
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "tessik search: handling the hits: %s\n", e.what());
    return kExitLibrary;
  }

  if (anyLoaded && !answered) {
    std::fprintf(stderr, "tessik search: no plugin answered the query%s\n",
                 wanted.domains.empty() ? "" : " (does a loaded plugin serve the domains asked for?)");
  }
  // A plugin's limit cut what the user would have seen.
  for (const PluginReport& p : plugins) {
    if (p.more && (!o.limit || p.hits < *o.limit)) {
      std::fprintf(stderr, "tessik search: %s had more matches than the %zu it returned%s\n", p.domain.c_str(), p.hits,
                   o.limit ? " (its plugin's max)" : "; --limit asks for more");
    }
  }

  // Render: every format from the one ranked list.
  SearchFacts facts;
  facts.partial = interrupted;
  std::string text;
  const std::vector<Row> rows = RowsOf(ranked);
  switch (o.format) {
    case Format::kXml: {
      int32_t status = TESSIK_OK;
      text = ResultsXml(rows, status);
      if (status != TESSIK_OK) return Fail(kExitLibrary, "writing the results document", status);
      break;
    }
    case Format::kJson: text = SearchJson(queryXml, MergeName(o.merge), plugins, ranked, facts); break;
    case Format::kJsonLines: text = SearchJson(queryXml, MergeName(o.merge), plugins, ranked, facts, true); break;
    case Format::kTable:
      if (!rows.empty()) text = TableText(MakeLayout(TableWidth(), domains, &rows), rows);
      break;
  }
  std::fputs(text.c_str(), stdout);
  if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
    std::fprintf(stderr, "tessik search: writing the output: %s\n", std::strerror(errno));
    return kExitLibrary;
  }
  if (interrupted) return kExitInterrupted;
  const bool failed =
      std::any_of(plugins.begin(), plugins.end(), [](const PluginReport& p) { return p.status != TESSIK_OK; });
  return allLoaded && anyLoaded && answered && !failed ? kExitOk : kExitPluginFailed;
}

}  // namespace tessik_cli
