// The folder index over 20,000 small text files. IndexBuild pairs an update
// from scratch (the walk, reading, titles, the comparison with the index and
// the batched commits) with a floor that inserts the same titles and texts
// into the same tables directly, in one transaction: what the update adds to
// the work SQLite must do anyway. IndexNoChange is an update that finds
// nothing to do (its goal: at most 0.5 s). When omindex is on PATH, it is
// timed over the same folder for comparison.
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "bench/CommonWords.h"
#include "bench/Pairs.h"
#include "files/Indexer.h"
#include "files/Schema.h"

TESSIK_PAIR_TARGET(IndexBuild, 1.5);

namespace {

namespace fs = std::filesystem;
namespace folder = tessik_plugins::folder;
namespace schema = tessik_plugins::folder_schema;

constexpr int kFiles = 20000;

struct Corpus {
  fs::path dir, root;
  std::vector<std::string> rels, titles, texts;
  uint64_t bytes = 0;

  Corpus() {
    dir = fs::temp_directory_path() / ("tessik-index-bench-" + std::to_string(std::random_device{}()));
    root = dir / "root";
    std::mt19937 random(7);
    const size_t words = sizeof(tessik_bench::kCommonWords) / sizeof(tessik_bench::kCommonWords[0]);
    for (int i = 0; i < kFiles; ++i) {
      const std::string rel = "topic" + std::to_string(i % 50) + "/note" + std::to_string(i) + ".txt";
      std::string title = "Note " + std::to_string(i) + " on " + tessik_bench::kCommonWords[random() % words];
      std::string text;
      const int length = 40 + static_cast<int>(random() % 80);
      for (int w = 0; w < length; ++w) {
        text += tessik_bench::kCommonWords[random() % words];
        text += w % 12 == 11 ? ".\n" : " ";
      }
      text += "\n";
      fs::create_directories((root / rel).parent_path());
      std::ofstream(root / rel, std::ios::binary) << title << "\n" << text;
      bytes += title.size() + 1 + text.size();
      rels.push_back(rel);
      titles.push_back(std::move(title));
      texts.push_back(std::move(text));
    }
  }
  ~Corpus() {
    std::error_code ec;
    fs::remove_all(dir, ec);
  }
  std::string Index(const char* name) const { return (dir / name).string(); }
};

const Corpus& TheCorpus() {
  static const Corpus corpus;
  return corpus;
}

void Count(benchmark::State& state) {
  state.SetItemsProcessed(state.iterations() * kFiles);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * TheCorpus().bytes));
}

void IndexBuild_floor(benchmark::State& state) {
  const Corpus& corpus = TheCorpus();
  const std::string index = corpus.Index("floor.index");
  for (auto _ : state) {
    folder::RemoveIndex(index);
    sqlite3* db = nullptr;
    sqlite3_open(index.c_str(), &db);
    sqlite3_exec(db, schema::kPragmas, nullptr, nullptr, nullptr);
    sqlite3_exec(db, schema::kWriterPragmas, nullptr, nullptr, nullptr);
    sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
    sqlite3_exec(db, schema::kCreate, nullptr, nullptr, nullptr);
    sqlite3_stmt *file = nullptr, *plain = nullptr, *stemmed = nullptr;
    sqlite3_prepare_v2(db, schema::kInsertFile, -1, &file, nullptr);
    sqlite3_prepare_v2(db, schema::kInsertPlain, -1, &plain, nullptr);
    sqlite3_prepare_v2(db, schema::kInsertStemmed, -1, &stemmed, nullptr);
    for (size_t i = 0; i < corpus.rels.size(); ++i) {
      const std::string& rel = corpus.rels[i];
      sqlite3_bind_null(file, 1);
      sqlite3_bind_blob(file, 2, rel.data(), static_cast<int>(rel.size()), SQLITE_STATIC);
      sqlite3_bind_int64(file, 3, static_cast<int64_t>(corpus.titles[i].size() + corpus.texts[i].size() + 1));
      sqlite3_bind_int64(file, 4, 0);
      sqlite3_bind_text(file, 5, corpus.titles[i].c_str(), -1, SQLITE_STATIC);
      sqlite3_bind_text(file, 6, rel.c_str(), static_cast<int>(rel.find('/')), SQLITE_STATIC);
      sqlite3_bind_text(file, 7, "text/plain", -1, SQLITE_STATIC);
      sqlite3_bind_text(file, 8, "2026-01-01T00:00:00Z", -1, SQLITE_STATIC);
      sqlite3_bind_text(file, 9, "", -1, SQLITE_STATIC);
      sqlite3_step(file);
      sqlite3_reset(file);
      const int64_t id = sqlite3_last_insert_rowid(db);
      for (sqlite3_stmt* fts : {plain, stemmed}) {
        sqlite3_bind_int64(fts, 1, id);
        sqlite3_bind_text(fts, 2, corpus.titles[i].c_str(), -1, SQLITE_STATIC);
        sqlite3_bind_text(fts, 3, corpus.texts[i].c_str(), -1, SQLITE_STATIC);
        sqlite3_step(fts);
        sqlite3_reset(fts);
      }
    }
    sqlite3_finalize(file);
    sqlite3_finalize(plain);
    sqlite3_finalize(stemmed);
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(db);
  }
  Count(state);
}

folder::Summary Update(const std::string& index) {
  folder::IndexOptions options;
  options.root = TheCorpus().root.string();
  options.index = index;
  const std::atomic<bool> stop{false};
  return folder::Update(options, {}, stop);
}

void IndexBuild_ours(benchmark::State& state) {
  const std::string index = TheCorpus().Index("ours.index");
  for (auto _ : state) {
    folder::RemoveIndex(index);
    const folder::Summary summary = Update(index);
    if (summary.indexed != kFiles) state.SkipWithError("not every file was indexed");
  }
  Count(state);
}

void IndexNoChange(benchmark::State& state) {
  const std::string index = TheCorpus().Index("ours.index");
  folder::RemoveIndex(index);
  Update(index);
  for (auto _ : state) {
    const folder::Summary summary = Update(index);
    if (summary.unchanged != kFiles) state.SkipWithError("files counted as changed");
  }
  Count(state);
  state.counters["goal_s"] = 0.5;
}

// Information only: another indexer over the same files.
std::string OnPath(const char* name) {
  const char* path = std::getenv("PATH");
  std::string dirs = path ? path : "";
  for (size_t at = 0; at <= dirs.size();) {
    size_t end = dirs.find(':', at);
    if (end == std::string::npos) end = dirs.size();
    const fs::path candidate = fs::path(dirs.substr(at, end - at)) / name;
    std::error_code ec;
    if (end > at && fs::is_regular_file(candidate, ec)) return candidate.string();
    at = end + 1;
  }
  return "";
}

void IndexOmindex(benchmark::State& state) {
  const std::string omindex = OnPath("omindex");
  if (omindex.empty()) {
    state.SkipWithError("omindex is not on PATH");
    return;
  }
  const Corpus& corpus = TheCorpus();
  const fs::path db = corpus.dir / "omindex.db";
  const std::string command =
      omindex + " --db '" + db.string() + "' --url / '" + corpus.root.string() + "' >/dev/null 2>&1";
  for (auto _ : state) {
    state.PauseTiming();
    fs::remove_all(db);
    state.ResumeTiming();
    if (std::system(command.c_str()) != 0) state.SkipWithError("omindex failed");
  }
  Count(state);
}

}  // namespace

BENCHMARK(IndexBuild_ours)->Name("IndexBuild/ours")->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(IndexBuild_floor)->Name("IndexBuild/floor")->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(IndexNoChange)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
BENCHMARK(IndexOmindex)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);
