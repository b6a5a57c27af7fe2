#include "kit/Fts5Counts.h"

#include <sqlite3.h>

#include <algorithm>
#include <charconv>
#include <memory>
#include <new>
#include <utility>

#include "kit/Engine.h"
#include "kit/Statistics.h"

namespace tessik_plugins::fts5 {
namespace {

struct Finalizer {
  void operator()(sqlite3_stmt* s) const { sqlite3_finalize(s); }
};
using StatementPtr = std::unique_ptr<sqlite3_stmt, Finalizer>;

// Whole numbers separated by spaces; anything else ends the list.
std::vector<int64_t> Numbers(const unsigned char* text) {
  std::vector<int64_t> out;
  if (text == nullptr) return out;
  const char* at = reinterpret_cast<const char*>(text);
  const char* end = at + std::char_traits<char>::length(at);
  while (at < end) {
    while (at < end && *at == ' ') ++at;
    if (at == end) break;
    int64_t value = 0;
    const auto [next, error] = std::from_chars(at, end, value);
    if (error != std::errc()) break;
    out.push_back(value);
    at = next;
  }
  return out;
}

std::string Listed(const std::vector<int64_t>& numbers) {
  std::string out;
  for (const int64_t n : numbers) out += (out.empty() ? "" : " ") + std::to_string(n);
  return out;
}

int CountToken(void* count, int flags, const char*, int, int, int) {
  if ((flags & FTS5_TOKEN_COLOCATED) == 0) ++*static_cast<int64_t*>(count);
  return SQLITE_OK;
}

void CountsFunction(const Fts5ExtensionApi* api, Fts5Context* fts, sqlite3_context* context, int count,
                    sqlite3_value** values) {
  if (count != 2) {
    sqlite3_result_error(context, "tessik_counts(table, groups, columns)", -1);
    return;
  }
  try {
    const std::vector<int64_t> groups = Numbers(sqlite3_value_text(values[0]));
    const std::vector<int64_t> columns = Numbers(sqlite3_value_text(values[1]));
    const int phrases = api->xPhraseCount(fts);
    const int columnCount = api->xColumnCount(fts);
    int64_t length = 0;
    for (const int64_t column : columns) {
      if (column < 0 || column >= columnCount) continue;
      const int c = static_cast<int>(column);
      if (phrases > 0) {
        int size = 0;
        if (api->xColumnSize(fts, c, &size) != SQLITE_OK) {
          sqlite3_result_error(context, "tessik_counts: no column size", -1);
          return;
        }
        length += size;
      } else {
        const char* text = nullptr;
        int bytes = 0;
        if (api->xColumnText(fts, c, &text, &bytes) == SQLITE_OK && text != nullptr && bytes > 0)
          api->xTokenize(fts, text, bytes, &length, CountToken);
      }
    }
    // The term each phrase belongs to.
    std::vector<int> termOf(static_cast<size_t>(std::max(phrases, 0)), -1);
    size_t phrase = 0;
    for (size_t g = 0; g < groups.size(); ++g)
      for (int64_t k = 0; k < groups[g] && phrase < termOf.size(); ++k) termOf[phrase++] = static_cast<int>(g);
    std::vector<std::vector<std::pair<int, int>>> at(groups.size());
    int instances = 0;
    if (phrases > 0 && api->xInstCount(fts, &instances) != SQLITE_OK) instances = 0;
    for (int i = 0; i < instances; ++i) {
      int p = 0, c = 0, offset = 0;
      if (api->xInst(fts, i, &p, &c, &offset) != SQLITE_OK) continue;
      if (p < 0 || static_cast<size_t>(p) >= termOf.size() || termOf[static_cast<size_t>(p)] < 0) continue;
      at[static_cast<size_t>(termOf[static_cast<size_t>(p)])].emplace_back(c, offset);
    }
    std::vector<int64_t> out = {length};
    for (auto& positions : at) {
      std::sort(positions.begin(), positions.end());
      out.push_back(std::unique(positions.begin(), positions.end()) - positions.begin());
    }
    const std::string text = Listed(out);
    sqlite3_result_text(context, text.c_str(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
  } catch (const std::bad_alloc&) {
    sqlite3_result_error_nomem(context);
  } catch (...) {
    sqlite3_result_error(context, "tessik_counts failed", -1);
  }
}

void TotalsFunction(const Fts5ExtensionApi* api, Fts5Context* fts, sqlite3_context* context, int count,
                    sqlite3_value** values) {
  if (count != 1) {
    sqlite3_result_error(context, "tessik_totals(table, columns)", -1);
    return;
  }
  try {
    sqlite3_int64 rows = 0;
    if (api->xRowCount(fts, &rows) != SQLITE_OK) {
      sqlite3_result_error(context, "tessik_totals: no row count", -1);
      return;
    }
    int64_t total = 0;
    const int columnCount = api->xColumnCount(fts);
    for (const int64_t column : Numbers(sqlite3_value_text(values[0]))) {
      if (column < 0 || column >= columnCount) continue;
      sqlite3_int64 tokens = 0;
      if (api->xColumnTotalSize(fts, static_cast<int>(column), &tokens) != SQLITE_OK) {
        sqlite3_result_error(context, "tessik_totals: no column total", -1);
        return;
      }
      total += tokens;
    }
    const std::string text = Listed({rows, total});
    sqlite3_result_text(context, text.c_str(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
  } catch (const std::bad_alloc&) {
    sqlite3_result_error_nomem(context);
  } catch (...) {
    sqlite3_result_error(context, "tessik_totals failed", -1);
  }
}

std::string Columns(const std::vector<int>& columns) {
  std::string out;
  for (const int c : columns) out += (out.empty() ? "" : " ") + std::to_string(c);
  return out;
}

StatementPtr Prepare(sqlite3* db, const std::string& sql) {
  sqlite3_stmt* raw = nullptr;
  if (sqlite3_prepare_v2(db, sql.c_str(), -1, &raw, nullptr) != SQLITE_OK)
    throw EngineError(std::string("SQLite: ") + sqlite3_errmsg(db));
  return StatementPtr(raw);
}

}  // namespace

void RegisterCounts(sqlite3* db) {
  fts5_api* api = nullptr;
  {
    StatementPtr statement = Prepare(db, "SELECT fts5(?1)");
    sqlite3_bind_pointer(statement.get(), 1, &api, "fts5_api_ptr", nullptr);
    sqlite3_step(statement.get());
  }
  if (api == nullptr || api->iVersion < 2) throw EngineError("SQLite: no FTS5 to count with");
  if (api->xCreateFunction(api, "tessik_counts", nullptr, CountsFunction, nullptr) != SQLITE_OK ||
      api->xCreateFunction(api, "tessik_totals", nullptr, TotalsFunction, nullptr) != SQLITE_OK)
    throw EngineError(std::string("SQLite: ") + sqlite3_errmsg(db));
}

std::string CountsCall(const std::string& table, const std::vector<size_t>& groups, const std::vector<int>& columns) {
  std::string g;
  for (const size_t n : groups) g += (g.empty() ? "" : " ") + std::to_string(n);
  return "tessik_counts(" + table + ", '" + g + "', '" + Columns(columns) + "')";
}

bool ReadCounts(const unsigned char* text, size_t terms, Hit& hit) {
  const std::vector<int64_t> numbers = Numbers(text);
  if (numbers.size() != terms + 1) return false;
  for (const int64_t n : numbers)
    if (n < 0) return false;
  hit.counted = true;
  hit.length = static_cast<uint64_t>(numbers[0]);
  hit.tf.assign(numbers.begin() + 1, numbers.end());
  return true;
}

void CountByRow(sqlite3* db, const std::string& table, const std::vector<int>& columns,
                const std::vector<int64_t>& rowids, std::vector<Hit>& hits, const std::atomic<bool>& abort) {
  StatementPtr statement =
      Prepare(db, "SELECT " + CountsCall(table, {}, columns) + " FROM " + table + " WHERE rowid = ?1");
  for (size_t i = 0; i < hits.size() && i < rowids.size() && !abort; ++i) {
    sqlite3_reset(statement.get());
    sqlite3_bind_int64(statement.get(), 1, rowids[i]);
    if (sqlite3_step(statement.get()) == SQLITE_ROW) ReadCounts(sqlite3_column_text(statement.get(), 0), 0, hits[i]);
  }
}

void Totals(sqlite3* db, const std::string& table, const std::vector<int>& columns, Statistics& statistics) {
  StatementPtr statement =
      Prepare(db, "SELECT tessik_totals(" + table + ", '" + Columns(columns) + "') FROM " + table + " LIMIT 1");
  const int step = sqlite3_step(statement.get());
  statistics.known = true;
  statistics.documents = statistics.length = 0;
  if (step == SQLITE_DONE) return;  // no rows at all
  if (step != SQLITE_ROW) throw EngineError(std::string("SQLite: ") + sqlite3_errmsg(db));
  const std::vector<int64_t> numbers = Numbers(sqlite3_column_text(statement.get(), 0));
  if (numbers.size() != 2 || numbers[0] < 0 || numbers[1] < 0) throw EngineError("SQLite: the table's totals");
  statistics.documents = static_cast<uint64_t>(numbers[0]);
  statistics.length = static_cast<uint64_t>(numbers[1]);
}

uint64_t CountRows(sqlite3* db, const std::string& sql, const std::string& match,
                   const std::function<bool(sqlite3_stmt*)>& keep) {
  StatementPtr statement = Prepare(db, sql);
  sqlite3_bind_text(statement.get(), 1, match.c_str(), -1, SQLITE_TRANSIENT);
  uint64_t rows = 0;
  int step;
  while ((step = sqlite3_step(statement.get())) == SQLITE_ROW) {
    if (!keep) return static_cast<uint64_t>(std::max<sqlite3_int64>(sqlite3_column_int64(statement.get(), 0), 0));
    rows += keep(statement.get());
  }
  if (step != SQLITE_DONE) throw EngineError(std::string("SQLite: ") + sqlite3_errmsg(db));
  return rows;
}

}  // namespace tessik_plugins::fts5
