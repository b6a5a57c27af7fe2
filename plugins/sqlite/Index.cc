// tessik-index-sqlite: builds the SQLite plugin's database from sample
// documents. Usage: tessik-index-sqlite DOCUMENTS.tsv DATABASE
// The database is built beside DATABASE and moved into place when complete.
#include <sqlite3.h>

#include <cstdio>
#include <filesystem>
#include <stdexcept>
#include <string>

#include "kit/Digest.h"
#include "kit/Tsv.h"
#include "sqlite/Schema.h"

using namespace tessik_plugins;
namespace schema = tessik_plugins::sqlite_schema;

namespace {

void Check(sqlite3* db, int rc, const char* what) {
  if (rc != SQLITE_OK && rc != SQLITE_DONE && rc != SQLITE_ROW)
    throw std::runtime_error(std::string(what) + ": " + sqlite3_errmsg(db));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s DOCUMENTS.tsv DATABASE\n", argv[0]);
    return 2;
  }
  const std::string target = argv[2];
  const std::string building = target + ".building";
  std::filesystem::remove(building);
  sqlite3* db = nullptr;
  sqlite3_stmt* insert = nullptr;
  int status = 1;
  try {
    Check(db, sqlite3_open(building.c_str(), &db), "open");
    Check(db, sqlite3_exec(db, "PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF; BEGIN;", nullptr, nullptr, nullptr),
          "begin");
    Check(db, sqlite3_exec(db, schema::kCreate, nullptr, nullptr, nullptr), "create");
    const std::string version = "PRAGMA user_version = " + std::to_string(schema::kVersion);
    Check(db, sqlite3_exec(db, version.c_str(), nullptr, nullptr, nullptr), "version");
    Check(db, sqlite3_prepare_v2(db, schema::kInsert, -1, &insert, nullptr), "prepare");
    const size_t added = ReadSampleDocuments(argv[1], [&](const SampleDocument& d) {
      const std::string* values[] = {&d.id, &d.category, &d.title, &d.text};
      for (int i = 0; i < 4; ++i)
        sqlite3_bind_text(insert, i + 1, values[i]->data(), static_cast<int>(values[i]->size()), SQLITE_STATIC);
      const std::string digest = Digest(d.title, d.text);
      sqlite3_bind_text(insert, 5, digest.data(), static_cast<int>(digest.size()), SQLITE_TRANSIENT);
      Check(db, sqlite3_step(insert), "insert");
      sqlite3_reset(insert);
    });
    Check(db, sqlite3_exec(db, schema::kFill, nullptr, nullptr, nullptr), "index");
    Check(db, sqlite3_exec(db, "COMMIT; VACUUM;", nullptr, nullptr, nullptr), "commit");
    sqlite3_finalize(insert);
    insert = nullptr;
    sqlite3_close(db);
    db = nullptr;
    std::filesystem::rename(building, target);
    std::printf("%s: %zu documents\n", target.c_str(), added);
    status = 0;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s: %s\n", argv[0], e.what());
  }
  sqlite3_finalize(insert);
  sqlite3_close(db);
  return status;
}
