// The statistics of an SQLite FTS5 table (kit/Statistics.h), for the two
// engines over FTS5 (files and sqlite): an auxiliary function that counts,
// for the row a full-text query is on, its length in tokens and the
// instances of each term's phrases, and the table's totals. SQLite 3.40's
// fts5_api, the oldest the plugins are built with (the Windows build's).
#ifndef TESSIK_PLUGINS_KIT_FTS5COUNTS_H_
#define TESSIK_PLUGINS_KIT_FTS5COUNTS_H_

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "kit/Results.h"

struct sqlite3;
struct sqlite3_stmt;

namespace tessik_plugins::fts5 {

// Registers the functions below on `db`. Throws EngineError when SQLite
// offers no FTS5.
void RegisterCounts(sqlite3* db);

// The SQL expression of the counts of the current row of `table` (quoted):
//   tessik_counts(table, 'G', 'C')
// G: how many phrases of the MATCH expression each required term has, in
// order (the terms' phrases lead the expression; a term may have none);
// C: the columns whose tokens make up the document's length. Its value,
// "LENGTH TF1 TF2 ...": the tokens of those columns, and for each term the
// positions at which one of its phrases matched, each position once (a
// stem and a synonym matching one token count it once). Outside a
// full-text query (no phrases) the length is counted by the table's
// tokenizer, since FTS5 gives no column sizes there.
std::string CountsCall(const std::string& table, const std::vector<size_t>& groups, const std::vector<int>& columns);

// Reads a value of tessik_counts into `hit` (counted, length, tf); false,
// leaving it uncounted, when the text is not one for `terms` terms.
bool ReadCounts(const unsigned char* text, size_t terms, Hit& hit);

// Counts hits[i], row rowids[i] of `table` (quoted), by a look-up of its
// own each (lengths only: no term ranked them): for searches that ranked by
// nothing, whose rows no full-text query went through. Stops at `abort`.
void CountByRow(sqlite3* db, const std::string& table, const std::vector<int>& columns,
                const std::vector<int64_t>& rowids, std::vector<Hit>& hits, const std::atomic<bool>& abort);

// The documents of `table` (quoted) and the tokens of `columns` over all
// of them, into `statistics` (known is set). Throws EngineError.
void Totals(sqlite3* db, const std::string& table, const std::vector<int>& columns, Statistics& statistics);

// Runs `sql`, a SELECT with the MATCH expression `match` as ?1: without
// `keep` a count, whose value it returns; with `keep`, rows of which it
// counts those `keep` keeps. Throws EngineError.
uint64_t CountRows(sqlite3* db, const std::string& sql, const std::string& match,
                   const std::function<bool(sqlite3_stmt*)>& keep = {});

}  // namespace tessik_plugins::fts5

#endif  // TESSIK_PLUGINS_KIT_FTS5COUNTS_H_
