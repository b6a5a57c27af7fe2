// An FTS5 table of someone else's SQLite database, searched in place: which
// table it is and which of its columns hold the title, the text, the id, the
// url and the category. The tessik command checks a source with it when the
// source is added, and the SQLite plugin reads the table with it on every
// search, so both see one reading of the file.
#ifndef TESSIK_PLUGINS_SQLITE_TABLE_H_
#define TESSIK_PLUGINS_SQLITE_TABLE_H_

#include <string>
#include <vector>

#include "kit/Quote.h"

struct sqlite3;

namespace tessik_plugins::sqlite_table {

struct Columns {
  std::string table, title;
  std::vector<std::string> text;
  std::string id, url, category;
};

// Opens `path` read-only and checks `wanted` against it. Fills in `table`
// when empty and the file holds exactly one FTS5 table; fills in title/text
// when none was named (title: a column named "title" if any; text: every
// other column that is not id/url/category). Names match without case and
// come back as the file spells them. Throws std::runtime_error with a clear
// message that names what the file does contain: not an SQLite file; no
// table named T (the tables it has: ...); T is not an FTS5 table (the FTS5
// tables: ...); no column C in T (its columns: ...); several FTS5 tables
// and none named (...).
Columns Check(const std::string& path, Columns wanted);

// Whether `path` begins with the 16 bytes every SQLite database begins with.
bool IsSqliteFile(const std::string& path);

// The same over a database already open (`path` only for the messages).
Columns Check(sqlite3* db, const std::string& path, Columns wanted);

// The columns of `table` in their order. Throws std::runtime_error when
// SQLite cannot read them.
std::vector<std::string> ColumnNames(sqlite3* db, const std::string& table);

// The words of the tokenize option `table` was made with, as FTS5 reads
// them: {"porter", "unicode61", "remove_diacritics", "0"} of tokenize =
// "porter unicode61 remove_diacritics 0"; none when it gives none (FTS5's
// default, unicode61). Throws std::runtime_error when SQLite cannot read
// the schema.
std::vector<std::string> TokenizerOf(sqlite3* db, const std::string& table);

// Whether the tokenizer `table` was made with stems its words (porter):
// the query's words are then stemmed too, whatever the query asks.
bool Stems(sqlite3* db, const std::string& table);

// Identifiers are quoted by the kit's one rule.
using tessik_plugins::Quoted;

}  // namespace tessik_plugins::sqlite_table

#endif  // TESSIK_PLUGINS_SQLITE_TABLE_H_
