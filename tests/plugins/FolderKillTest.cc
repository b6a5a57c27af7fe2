// Updates in processes of their own. An update killed at any moment leaves its index consistent as of its last
// committed batch: tessik-index-files runs as a child over a few thousand
// files and is killed at seeded random points; every document the index
// holds is then either the file's old state or its new one, SQLite finds
// nothing wrong, and the next update finishes the job.
#include <signal.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <thread>

#include "files/Indexer.h"
#include "kit/Fts5.h"
#include "tests/common/ProcessTag.h"
#include "tests/common/Watchdog.h"
#include "tests/plugins/PluginHost.h"

namespace fs = std::filesystem;
namespace folder = tessik_plugins::folder;

namespace {

// tessik-index-files's exit status when another update holds the index.
constexpr int kExitBusy = 3;

using Texts = std::map<std::string, std::string>;  // path below the root: the text after the title line

void Lay(const fs::path& root, const Texts& texts) {
  for (const auto& [rel, text] : texts) {
    fs::create_directories((root / rel).parent_path());
    std::ofstream(root / rel, std::ios::binary) << "Title of " << rel << "\n" << text;
  }
}

std::string One(sqlite3* db, const char* sql) {
  sqlite3_stmt* s = nullptr;
  EXPECT_EQ(sqlite3_prepare_v2(db, sql, -1, &s, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
  std::string out = sqlite3_step(s) == SQLITE_ROW ? reinterpret_cast<const char*>(sqlite3_column_text(s, 0)) : "";
  sqlite3_finalize(s);
  return out;
}

// What the index holds, after SQLite's own checks.
Texts Checked(const std::string& index) {
  sqlite3* db = nullptr;
  EXPECT_EQ(sqlite3_open(index.c_str(), &db), SQLITE_OK);
  tessik_plugins::fts5::Register(db);  // the FTS5 tables name it
  EXPECT_EQ(One(db, "PRAGMA integrity_check"), "ok");
  for (const char* check : {"INSERT INTO plain(plain) VALUES('integrity-check')",
                            "INSERT INTO stemmed(stemmed) VALUES('integrity-check')"})
    EXPECT_EQ(sqlite3_exec(db, check, nullptr, nullptr, nullptr), SQLITE_OK) << check << ": " << sqlite3_errmsg(db);
  // Every document's words are in the stemmed index too.
  EXPECT_EQ(One(db, "SELECT count(*) FROM files WHERE reason = ''"), One(db, "SELECT count(*) FROM plain"));
  Texts held;
  sqlite3_stmt* s = nullptr;
  EXPECT_EQ(sqlite3_prepare_v2(db, "SELECT f.path, p.text FROM files f JOIN plain p ON p.rowid = f.id", -1, &s, nullptr),
            SQLITE_OK);
  while (sqlite3_step(s) == SQLITE_ROW)
    held[std::string(static_cast<const char*>(sqlite3_column_blob(s, 0)), sqlite3_column_bytes(s, 0))] =
        reinterpret_cast<const char*>(sqlite3_column_text(s, 1));
  sqlite3_finalize(s);
  sqlite3_close(db);
  return held;
}

TEST(FolderKill, AKilledUpdateLeavesACommittedStateAndTheNextFinishes) {
  Watchdog watchdog(std::chrono::seconds(240), "killed updates");
  const fs::path dir = fs::path(testing::TempDir()) / ("tessik-kill-" + ProcessTag());
  fs::remove_all(dir);
  const fs::path root = dir / "root";
  folder::IndexOptions options;
  options.root = root.string();
  options.index = (dir / "kill.index").string();

  Texts before, after;
  for (int i = 0; i < 3000; ++i) {
    const std::string rel = "d" + std::to_string(i % 40) + "/f" + std::to_string(i) + ".txt";
    before[rel] = "version one of file " + std::to_string(i) + " words\n";
    if (i % 7 == 0) continue;  // deleted
    after[rel] = i % 3 == 0 ? "version two of file " + std::to_string(i) + ", longer than the first\n" : before[rel];
  }
  for (int i = 0; i < 400; ++i) after["new/n" + std::to_string(i) + ".txt"] = "a new file " + std::to_string(i) + "\n";
  Lay(root, before);
  const std::atomic<bool> stop{false};
  folder::Update(options, {}, stop);
  ASSERT_EQ(Checked(options.index), before);
  for (const auto& [rel, text] : before)
    if (after.count(rel) == 0) fs::remove(root / rel);
  Texts changed;
  for (const auto& [rel, text] : after)
    if (before.count(rel) == 0 || before[rel] != text) changed[rel] = text;
  Lay(root, changed);

  // TESSIK_KILL_SEED repeats a run's kill points.
  const char* given = std::getenv("TESSIK_KILL_SEED");
  const unsigned seed = given ? static_cast<unsigned>(std::strtoul(given, nullptr, 10)) : std::random_device{}();
  SCOPED_TRACE("seed " + std::to_string(seed));
  std::mt19937 random(seed);
  int killed = 0;
  for (int round = 0; round < 8; ++round) {
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      std::freopen("/dev/null", "w", stdout);
      execl(TESSIK_INDEX_FILES, TESSIK_INDEX_FILES, "--batch", "40", options.root.c_str(), options.index.c_str(),
            static_cast<char*>(nullptr));
      _exit(127);
    }
    std::this_thread::sleep_for(std::chrono::microseconds(random() % 100000));
    kill(child, SIGKILL);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status) || (WIFEXITED(status) && WEXITSTATUS(status) == 0)) << status;
    killed += WIFSIGNALED(status);
    const Texts held = Checked(options.index);
    for (const auto& [rel, text] : held) {
      const bool old = before.count(rel) && before[rel] == text;
      const bool now = after.count(rel) && after[rel] == text;
      EXPECT_TRUE(old || now) << rel << " holds " << text;
    }
    // A file that did not change is never missing.
    for (const auto& [rel, text] : before) {
      if (after.count(rel) && after[rel] == text) {
        EXPECT_EQ(held.count(rel), 1u) << rel;
      }
    }
  }
  std::printf("killed %d of 8 updates before they finished (seed %u)\n", killed, seed);
  const folder::Summary last = folder::Update(options, {}, stop);
  EXPECT_FALSE(last.stopped);
  EXPECT_EQ(Checked(options.index), after);
  EXPECT_EQ(folder::Inspect(options).state, "ready");
  fs::remove_all(dir);
}

// The writer's lock holds across processes: tessik-index-files, started
// while this process's update waits between its walk and its batches,
// reports the index busy and changes nothing.
TEST(FolderKill, AnUpdateInAnotherProcessMeanwhileIsBusy) {
  Watchdog watchdog(std::chrono::seconds(60), "two updates in two processes");
  const fs::path dir = fs::path(testing::TempDir()) / ("tessik-busy-" + ProcessTag());
  fs::remove_all(dir);
  Lay(dir / "root", {{"a.txt", "alpha\n"}});
  folder::IndexOptions options;
  options.root = (dir / "root").string();
  options.index = (dir / "busy.index").string();
  int status = -1;
  const std::atomic<bool> stop{false};
  const folder::Summary summary = folder::Update(
      options,
      [&](const folder::Progress&) {
        if (status != -1) return;
        const pid_t child = fork();
        if (child == 0) {
          std::freopen("/dev/null", "w", stderr);
          execl(TESSIK_INDEX_FILES, TESSIK_INDEX_FILES, options.root.c_str(), options.index.c_str(),
                static_cast<char*>(nullptr));
          _exit(127);
        }
        waitpid(child, &status, 0);
      },
      stop);
  ASSERT_TRUE(WIFEXITED(status)) << status;
  EXPECT_EQ(WEXITSTATUS(status), kExitBusy);
  EXPECT_EQ(summary.indexed, 1u);
  fs::remove_all(dir);
}

}  // namespace
