// tessik-ranking: how close the tessik command's merged top 10 comes to one
// centralised index over everything, for each merge method. See kHelp and
// README.md beside this file.
#include <xapian.h>

#include <algorithm>
#include <atomic>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <nlohmann/json.hpp>
#include <optional>
#include <random>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "kit/Text.h"
#include "ranking/Bm25Weight.h"
#include "ranking/Collections.h"
#include "ranking/Command.h"
#include "ranking/Metrics.h"
#include "ranking/Queries.h"
#include "ranking/Reference.h"

namespace fs = std::filesystem;
using namespace tessik_ranking;

namespace {

const char kHelp[] =
    "usage: tessik-ranking [OPTIONS]\n"
    "\n"
    "Measures how close the merged top 10 of \"tessik search\" comes to one\n"
    "centralised index over the union of the collections searched, for each\n"
    "merge method. Not a test: it prints numbers.\n"
    "\n"
    "The collections: the sources of the list --config names, else of your own\n"
    "list (tessik sources) when there is one, else the bundled samples (quotes,\n"
    "glosses, manpages), the same on every machine. Every command run is given\n"
    "the same list (--config, and --source for each source read).\n"
    "\n"
    "The reference: one Xapian index over every document of the collections.\n"
    "The samples without a list are read from the texts their own indexers read\n"
    "(sample/text/glosses.tsv and manpages.tsv, and the quotes/ folder made title\n"
    "and text by the folder index's own reading). A list's sources are read from\n"
    "what their engine searches: folders as the folder index reads them (with\n"
    "the source's excludes, size limit and hidden files; the folder as it is now,\n"
    "so update its index first), the stored id, title and text of a database of\n"
    "tessik-index-xapian, the rows of an FTS5 table (its id or rowid, title and\n"
    "text columns) or of a database of tessik-index-sqlite. Each document is\n"
    "keyed \"domain/id\" as the command's hits name it.\n"
    "Words: tessik_plugins::Words of the title and of the text, each folded by\n"
    "tessik_plugins::Fold (the plugin kit's own functions), no stemming, title\n"
    "and text counted together; a document's length is its number of words.\n"
    "Score: BM25 with k1 = 1.2, b = 0.75 and\n"
    "  idf(t) = ln(1 + (N - df + 0.5) / (df + 0.5))\n"
    "  score  = sum over the query's words t of\n"
    "           idf(t) * tf * (k1 + 1) / (tf + k1 * (1 - b + b * len / avglen))\n"
    "with N, df and avglen over the whole union; several words are AND (each\n"
    "must match); equal scores in key order. Texts whose folded words are the\n"
    "same (one text filed under two ids) are one document, under the least of\n"
    "their keys, in the reference and in the command's lists alike (a text\n"
    "listed twice there keeps its first place). It is a fair reference: the\n"
    "words are the ones the plugins' kit reads, folded the same way, and one\n"
    "standard BM25 over the statistics of everything is what a single index\n"
    "over all the sources would rank by; a merge can come no closer than that.\n"
    "\n"
    "The queries: WordNet lemmas of ASCII letters, single words and pairs of\n"
    "two different words (half each), that match documents of at least two of\n"
    "the collections in the reference; drawn in an order fixed by --seed, and\n"
    "written to the --save file so that later runs can ask the same set.\n"
    "\n"
    "Each query runs through the command once per method, in its own empty\n"
    "XDG_CONFIG_HOME (and XDG_CACHE_HOME without a list, where the indexes of\n"
    "its folder sources lie):\n"
    "  tessik search --format json --limit 10 --merge METHOD -- WORDS\n"
    "(without --merge while the command has none: that is the method \"plugin\").\n"
    "Per method it prints the means over the queries of:\n"
    "  overlap@10  |reference top 10 & command top 10| / min(10, matches)\n"
    "  NDCG@10     gain 11 - r for the document at reference rank r <= 10, 0 for\n"
    "              any other; DCG = sum of gain / log2(position + 1) over the\n"
    "              command's 10; divided by the DCG of the reference's own order\n"
    "  tau         Kendall's tau-b of the two orders of the documents both top 10s\n"
    "              hold, ties being equal scores; over the queries where that is\n"
    "              defined (two shared documents at least, not all tied)\n"
    "  time        wall clock of one command run, process start and exit included\n"
    "              (mean and median; runs share the cores with --jobs)\n"
    "and the best overlap the returned lists allow: |reference top 10 & every hit\n"
    "any source returned when each is asked for 100| / min(10, matches), from\n"
    "  tessik search --format json --limit 100000 --source-limit 100 -- WORDS\n"
    "(or one run per source with --source S --limit 100 while there is no\n"
    "--source-limit).\n"
    "\n"
    "Options:\n"
    "  --tessik PATH      the command (default: this build's)\n"
    "  --config FILE      the list of sources (default: yours, if you have one)\n"
    "  --sample DIR       the sample documents (default: this build's sample/)\n"
    "  --wordnet DIR      WordNet's index files (default: /usr/share/wordnet)\n"
    "  --queries FILE     run the queries of FILE (one a line) instead of making a set\n"
    "  --save FILE        where the set made is written (default: queries.txt beside\n"
    "                     this program)\n"
    "  --count N          queries to make (300)\n"
    "  --seed N           the seed of their order (20240611)\n"
    "  --methods LIST     merge methods, comma-separated (stats,rrf,minmax,plugin)\n"
    "  --jobs N           command runs at once (2)\n"
    "  --json FILE        also write the numbers, per query too, as JSON\n"
    "\n"
    "Left out: Xapian databases that omindex made. They store only the start of\n"
    "each text (its \"sample\"), not the text whose words the index holds, so the\n"
    "reference cannot read them as their engine does; they are named when run,\n"
    "and the command runs leave them out too (--source for each source read).\n"
    "\n"
    "Exit status: 0 done; 1 it could not run (samples, WordNet, the command);\n"
    "2 a wrong command line.\n";

struct Options {
  std::string tessik = TESSIK_PROGRAM;
  std::string config;
  std::string sample = TESSIK_SAMPLE_DIR;
  std::string wordnet = "/usr/share/wordnet";
  std::string queries, save = TESSIK_RANKING_QUERIES, json;
  size_t count = 300;
  uint64_t seed = 20240611;
  std::vector<std::string> methods = {"stats", "rrf", "minmax", "plugin"};
  size_t jobs = 2;
};

template <typename T>
bool Number(const std::string& text, T& out) {
  auto [at, problem] = std::from_chars(text.data(), text.data() + text.size(), out);
  return problem == std::errc() && at == text.data() + text.size() && !text.empty();
}

// False with `error` set for a wrong command line; `help` when asked.
bool Parse(int argc, char** argv, Options& o, bool& help, std::string& error) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      help = true;
      return true;
    }
    if (i + 1 >= argc) {
      error = arg.rfind("--", 0) == 0 ? arg + " needs a value" : "unexpected " + arg;
      return false;
    }
    const std::string value = argv[++i];
    if (arg == "--tessik") o.tessik = value;
    else if (arg == "--config") o.config = value;
    else if (arg == "--sample") o.sample = value;
    else if (arg == "--wordnet") o.wordnet = value;
    else if (arg == "--queries") o.queries = value;
    else if (arg == "--save") o.save = value;
    else if (arg == "--json") o.json = value;
    else if (arg == "--count" && Number(value, o.count) && o.count > 0) continue;
    else if (arg == "--seed" && Number(value, o.seed)) continue;
    else if (arg == "--jobs" && Number(value, o.jobs) && o.jobs > 0) continue;
    else if (arg == "--methods") {
      o.methods.clear();
      std::istringstream list(value);
      for (std::string m; std::getline(list, m, ',');)
        if (!m.empty() && std::find(o.methods.begin(), o.methods.end(), m) == o.methods.end()) o.methods.push_back(m);
      if (o.methods.empty()) {
        error = "--methods needs at least one method";
        return false;
      }
    } else {
      error = "bad option " + arg + " " + value;
      return false;
    }
  }
  return true;
}

// A folder of the run's own, removed at the end however the run ends.
class Scratch {
 public:
  Scratch() {
    std::random_device device;
    for (int attempt = 0;; ++attempt) {
      path_ = fs::temp_directory_path() / ("tessik-ranking-" + std::to_string(device()));
      if (fs::create_directory(path_)) return;
      if (attempt == 100) throw std::runtime_error("cannot make a folder in " + fs::temp_directory_path().string());
    }
  }
  ~Scratch() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
  }
  Scratch(const Scratch&) = delete;
  Scratch& operator=(const Scratch&) = delete;
  std::string Path(const char* name) const { return tessik_plugins::Utf8Of(path_ / name); }

 private:
  fs::path path_;
};

struct Method {
  std::string name;
  std::vector<std::string> options;  // besides --limit 10
  bool available = true;
  std::string note;
};

// One command run: a query through a method, or one of the runs that make
// the best allowed overlap (method -1).
struct Job {
  size_t query;
  int method;
  std::vector<std::string> options;
  CommandRun run;
};

std::string Joined(const Query& q) {
  std::string s;
  for (const std::string& w : q) s += (s.empty() ? "" : " ") + w;
  return s;
}

void RunAll(std::vector<Job>& jobs, const std::vector<Query>& queries, const Command& command, size_t workers) {
  std::atomic<size_t> next{0}, done{0};
  std::mutex print;
  auto work = [&] {
    for (size_t i; (i = next++) < jobs.size();) {
      jobs[i].run = command.Search(jobs[i].options, queries[jobs[i].query]);
      const size_t finished = ++done;
      if (finished % 250 == 0 || finished == jobs.size()) {
        std::lock_guard<std::mutex> lock(print);
        std::fprintf(stderr, "tessik-ranking: %zu of %zu searches run\n", finished, jobs.size());
      }
    }
  };
  std::vector<std::thread> threads;
  for (size_t t = 0; t < std::min(workers, jobs.size()); ++t) threads.emplace_back(work);
  for (std::thread& t : threads) t.join();
}

// What the runs came to, per query and method.
struct PerMethod {
  std::vector<std::optional<double>> overlap, ndcg, tau;  // none: no reference match, or tau undefined
  std::vector<double> seconds;
  size_t failed = 0, refused = 0, runs = 0;
  std::string firstError;
};

struct Outcome {
  std::vector<PerMethod> methods;
  std::vector<std::vector<Ranked>> references;  // top 10 per query
  std::vector<bool> choosing;                   // more than 10 matches: the top 10 is a choice
  std::vector<std::optional<double>> best;
  size_t bestFailures = 0, unknown = 0, unmatched = 0;
};

Outcome Measure(const std::vector<Job>& jobs, const std::vector<Query>& queries, std::vector<Method>& methods,
                const Reference& reference) {
  Outcome out;
  out.methods.resize(methods.size());
  for (PerMethod& r : out.methods) r.overlap = r.ndcg = r.tau = std::vector<std::optional<double>>(queries.size());
  out.best.resize(queries.size());
  out.choosing.resize(queries.size());
  for (size_t q = 0; q < queries.size(); ++q) {
    bool more = false;
    out.references.push_back(reference.Search(queries[q], 10, &more));
    out.choosing[q] = more;
  }
  std::vector<std::set<std::string>> unions(queries.size());
  std::vector<bool> bestFailed(queries.size(), false);
  for (const Job& job : jobs) {
    std::vector<Ranked> hits;
    for (const Hit& h : job.run.hits) hits.push_back({h.Key(), h.score});
    const std::vector<Ranked> list = reference.CanonicalList(hits, out.unknown);
    if (job.method < 0) {
      for (const Ranked& r : list) unions[job.query].insert(r.key);
      if (!job.run.Ok() && job.run.exitCode != 1) bestFailed[job.query] = true;
      continue;
    }
    PerMethod& r = out.methods[static_cast<size_t>(job.method)];
    ++r.runs;
    r.seconds.push_back(job.run.seconds);
    if (job.run.Refused()) ++r.refused;
    if (!job.run.Ok()) {
      ++r.failed;
      if (r.firstError.empty()) r.firstError = Joined(queries[job.query]) + ": " + job.run.error;
    }
    const std::vector<Ranked>& ref = out.references[job.query];
    if (ref.empty()) continue;
    const QueryScores scores = Compare(ref, list);
    r.overlap[job.query] = scores.overlap;
    r.ndcg[job.query] = scores.ndcg;
    r.tau[job.query] = scores.tau;
  }
  for (size_t q = 0; q < queries.size(); ++q) {
    if (out.references[q].empty()) {
      ++out.unmatched;
      continue;
    }
    out.best[q] = Overlap(TopKeys(out.references[q], 10), std::vector<std::string>(unions[q].begin(), unions[q].end()));
  }
  out.bestFailures = static_cast<size_t>(std::count(bestFailed.begin(), bestFailed.end(), true));
  for (size_t m = 0; m < methods.size(); ++m) {
    const PerMethod& r = out.methods[m];
    if (methods[m].available && r.runs > 0 && r.refused == r.runs) {
      methods[m].available = false;
      methods[m].note = "the command refused --merge " + methods[m].name;
    }
  }
  return out;
}

// The mean of the values present among the queries `only` keeps (all when empty).
struct Summary {
  double value = 0;
  size_t counted = 0;
};
Summary MeanOf(const std::vector<std::optional<double>>& values, const std::vector<bool>& only) {
  std::vector<double> present;
  for (size_t q = 0; q < values.size(); ++q)
    if (values[q] && (only.empty() || only[q])) present.push_back(*values[q]);
  return {Mean(present), present.size()};
}

std::string BestHow(bool hasSourceLimit) {
  return hasSourceLimit ? "--limit 100000 --source-limit 100"
                        : "one run per source, --source S --limit 100 (no --source-limit yet)";
}

// One table of the means over the queries `only` keeps; with times when `timed`.
void Table(const Outcome& out, const std::vector<Method>& methods, const std::vector<bool>& only, bool timed) {
  std::printf("%-8s  %10s  %7s  %6s %9s", "method", "overlap@10", "NDCG@10", "tau", "(queries)");
  if (timed) std::printf("  %13s  %9s  %6s", "ms/query mean", "median", "failed");
  std::printf("\n");
  for (size_t m = 0; m < methods.size(); ++m) {
    const Method& method = methods[m];
    const PerMethod& r = out.methods[m];
    if (!method.available) {
      std::printf("%-8s  (not run: %s)\n", method.name.c_str(), method.note.c_str());
      continue;
    }
    const Summary tau = MeanOf(r.tau, only);
    char counted[32];
    std::snprintf(counted, sizeof counted, "(%zu)", tau.counted);
    std::printf("%-8s  %10.3f  %7.3f  %6.3f %9s", method.name.c_str(), MeanOf(r.overlap, only).value,
                MeanOf(r.ndcg, only).value, tau.value, counted);
    if (timed)
      std::printf("  %13.1f  %9.1f  %6zu%s%s", Mean(r.seconds) * 1000, Median(r.seconds) * 1000, r.failed,
                  method.note.empty() ? "" : "  ", method.note.c_str());
    std::printf("\n");
  }
  std::printf("%-8s  %10.3f  (each source asked for 100: every hit it returned)\n", "best", MeanOf(out.best, only).value);
}

void Report(const Outcome& out, const std::vector<Query>& queries, const std::vector<Method>& methods,
            const Reference& reference, const std::string& queryFile, bool hasSourceLimit) {
  size_t pairs = 0;
  for (const Query& q : queries) pairs += q.size() > 1;
  std::printf("Ranking yardstick: %zu queries (%zu single words, %zu of several) from %s\n", queries.size(),
              queries.size() - pairs, pairs, queryFile.c_str());
  std::string perDomain;
  for (const auto& [domain, count] : reference.PerDomain())
    perDomain += (perDomain.empty() ? "" : ", ") + domain + " " + std::to_string(count);
  std::printf("Reference: BM25 (k1 1.2, b 0.75) over one index of %s: %zu texts (%zu keys share another's text), "
              "%.1f words on average\n",
              perDomain.c_str(), reference.Documents(), reference.Duplicates(), reference.AverageLength());
  if (out.unmatched > 0) std::printf("Queries the reference finds nothing for, left out of the means: %zu\n", out.unmatched);
  std::printf("\nAll queries:\n");
  Table(out, methods, {}, true);
  const size_t choosing = static_cast<size_t>(std::count(out.choosing.begin(), out.choosing.end(), true));
  std::printf("\nThe %zu queries with more than 10 matches, where the top 10 is the merge's choice:\n", choosing);
  Table(out, methods, out.choosing, false);
  std::printf("\n\"best\" is the best overlap@10 the returned lists allow, from %s", BestHow(hasSourceLimit).c_str());
  if (out.bestFailures > 0) std::printf("; %zu queries had a failed run", out.bestFailures);
  std::printf(".\n");
  for (size_t m = 0; m < methods.size(); ++m)
    if (methods[m].available && !out.methods[m].firstError.empty())
      std::printf("%s, first failure: %s\n", methods[m].name.c_str(), out.methods[m].firstError.c_str());
  if (out.unknown > 0) std::printf("warning: %zu hits name no document of the reference (domain/id differ)\n", out.unknown);
}

void WriteJson(const std::string& path, const Outcome& out, const std::vector<Query>& queries,
               const std::vector<Method>& methods, const Reference& reference, const std::string& queryFile,
               bool hasSourceLimit) {
  auto value = [](const std::optional<double>& v) { return v ? nlohmann::json(*v) : nlohmann::json(); };
  nlohmann::json jsonMethods = nlohmann::json::array();
  for (size_t m = 0; m < methods.size(); ++m) {
    const PerMethod& r = out.methods[m];
    nlohmann::json j = {{"method", methods[m].name}, {"available", methods[m].available}, {"note", methods[m].note}};
    if (methods[m].available) {
      for (const auto& [name, only] : {std::pair<const char*, std::vector<bool>>{"all", {}}, {"choosing", out.choosing}}) {
        const Summary overlap = MeanOf(r.overlap, only), tau = MeanOf(r.tau, only);
        j[name] = {{"overlap", overlap.value}, {"ndcg", MeanOf(r.ndcg, only).value}, {"tau", tau.value},
                   {"queries", overlap.counted}, {"tauQueries", tau.counted}};
      }
      j.update({{"timeMeanMs", Mean(r.seconds) * 1000}, {"timeMedianMs", Median(r.seconds) * 1000},
                {"failedRuns", r.failed}});
      if (!r.firstError.empty()) j["firstError"] = r.firstError;
    }
    jsonMethods.push_back(j);
  }
  nlohmann::json perQuery = nlohmann::json::array();
  for (size_t q = 0; q < queries.size(); ++q) {
    nlohmann::json entry = {{"words", Joined(queries[q])}, {"reference", TopKeys(out.references[q], 10)},
                            {"choosing", static_cast<bool>(out.choosing[q])}, {"best", value(out.best[q])}};
    for (size_t m = 0; m < methods.size(); ++m) {
      if (!methods[m].available) continue;
      const PerMethod& r = out.methods[m];
      entry["methods"][methods[m].name] = {{"overlap", value(r.overlap[q])}, {"ndcg", value(r.ndcg[q])},
                                           {"tau", value(r.tau[q])}};
    }
    perQuery.push_back(entry);
  }
  const nlohmann::json json = {
      {"queryFile", queryFile},
      {"queries", queries.size()},
      {"reference",
       {{"texts", reference.Documents()}, {"sharedKeys", reference.Duplicates()},
        {"averageLength", reference.AverageLength()}, {"keysPerDomain", reference.PerDomain()}}},
      {"methods", jsonMethods},
      {"best", {{"all", MeanOf(out.best, {}).value}, {"choosing", MeanOf(out.best, out.choosing).value},
                {"from", BestHow(hasSourceLimit)}, {"queriesWithFailures", out.bestFailures}}},
      {"unknownHits", out.unknown},
      {"unmatchedQueries", out.unmatched},
      {"perQuery", perQuery}};
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file << json.dump(1) << '\n';
  if (!file.flush()) throw std::runtime_error("cannot write " + path);
}

int Run(const Options& o) {
  const auto started = std::chrono::steady_clock::now();
  auto elapsed = [&] { return std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count(); };
  Scratch scratch;

  // The list: the one named, else the user's own when there is one; else
  // the bundled samples, which every machine has.
  tessik_cli::SourceList list;
  if (!o.config.empty()) {
    list = tessik_cli::ReadList(o.config);
    if (!list.exists) throw std::runtime_error("no list of sources at " + o.config);
  } else {
    try {
      list = tessik_cli::ReadList(tessik_cli::DefaultListFile());
    } catch (const tessik_cli::SourceError&) {
      list = {};  // no home to hold one: the samples
    }
  }
  std::vector<Document> documents;
  const auto keep = [&](Document&& d) { documents.push_back(std::move(d)); };
  SourcesRead read;
  std::vector<std::string> listOptions;  // every command run's, before the method's
  if (list.exists) {
    read = ReadSources(list, keep);
    if (read.read.empty()) throw std::runtime_error("no source of " + list.file + " can be read");
    listOptions = {"--config", list.file};
    for (const std::string& name : read.read) listOptions.insert(listOptions.end(), {"--source", name});
    for (const auto& [name, why] : read.leftOut)
      std::fprintf(stderr, "tessik-ranking: source %s left out: %s\n", name.c_str(), why.c_str());
  } else {
    ReadSamples(o.sample, keep);
  }
  const Reference reference(scratch.Path("reference.xapian"), documents);
  documents.clear();
  std::vector<std::string> domains;
  for (const auto& [domain, count] : reference.PerDomain()) domains.push_back(domain);
  std::fprintf(stderr, "tessik-ranking: reference of %zu documents built in %.1f s\n", reference.Documents(), elapsed());

  std::vector<Query> queries;
  std::string queryFile = o.queries;
  if (!o.queries.empty()) {
    queries = ReadQueries(o.queries);
    if (queries.empty()) throw std::runtime_error(o.queries + " holds no query");
  } else {
    QuerySetOptions set;
    set.wordnetDir = o.wordnet;
    set.count = o.count;
    set.seed = o.seed;
    set.domains = domains;
    queries = MakeQueries(set, reference);
    WriteQueries(o.save, queries,
                 "tessik-ranking's queries: WordNet lemmas (" + o.wordnet + ") matching documents of two\n"
                 "collections or more, seed " + std::to_string(o.seed) + ". Rerun: tessik-ranking --queries FILE");
    queryFile = o.save;
  }
  std::fprintf(stderr, "tessik-ranking: %zu queries (%s)\n", queries.size(), queryFile.c_str());

  const Command command(o.tessik, scratch.Path("home"), list.exists);
  if (!command.Takes("--limit")) throw std::runtime_error("cannot run " + o.tessik + " help search");
  const bool hasMerge = command.Takes("--merge"), hasSourceLimit = command.Takes("--source-limit");
  std::vector<Method> methods;
  for (const std::string& name : o.methods) {
    Method m{name, {"--merge", name}, true, ""};
    if (!hasMerge) {
      m.options.clear();
      m.available = name == "plugin";
      m.note = m.available ? "today's merge: the command has no --merge yet" : "the command has no --merge yet";
    }
    methods.push_back(std::move(m));
  }

  std::vector<Job> jobs;
  for (size_t q = 0; q < queries.size(); ++q) {
    auto add = [&](int method, std::vector<std::string> options) {
      options.insert(options.begin(), listOptions.begin(), listOptions.end());
      jobs.push_back({q, method, std::move(options), {}});
    };
    for (size_t m = 0; m < methods.size(); ++m) {
      if (!methods[m].available) continue;
      std::vector<std::string> options = {"--limit", "10"};
      options.insert(options.end(), methods[m].options.begin(), methods[m].options.end());
      add(static_cast<int>(m), options);
    }
    if (hasSourceLimit) {
      add(-1, {"--limit", "100000", "--source-limit", "100"});
    } else {
      for (const std::string& domain : domains) {
        // One source alone: the list's other --source options go.
        std::vector<std::string> one = {"--source", domain, "--limit", "100"};
        if (list.exists) one.insert(one.begin(), {"--config", list.file});
        jobs.push_back({q, -1, std::move(one), {}});
      }
    }
  }
  std::fprintf(stderr, "tessik-ranking: %zu searches, %zu at a time\n", jobs.size(), o.jobs);
  RunAll(jobs, queries, command, o.jobs);

  const Outcome outcome = Measure(jobs, queries, methods, reference);
  if (list.exists) {
    std::printf("Sources: the list %s\n", list.file.c_str());
    for (const auto& [name, why] : read.leftOut) std::printf("Left out: %s (%s)\n", name.c_str(), why.c_str());
  }
  Report(outcome, queries, methods, reference, queryFile, hasSourceLimit);
  std::printf("(%.0f s in all)\n", elapsed());
  if (!o.json.empty()) WriteJson(o.json, outcome, queries, methods, reference, queryFile, hasSourceLimit);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  bool help = false;
  std::string error;
  if (!Parse(argc, argv, options, help, error)) {
    std::fprintf(stderr, "tessik-ranking: %s (see --help)\n", error.c_str());
    return 2;
  }
  if (help) {
    std::fputs(kHelp, stdout);
    return 0;
  }
  try {
    return Run(options);
  } catch (const Xapian::Error& e) {
    std::fprintf(stderr, "tessik-ranking: %s\n", e.get_description().c_str());
  } catch (const std::exception& e) {
    std::fprintf(stderr, "tessik-ranking: %s\n", e.what());
  }
  return 1;
}
