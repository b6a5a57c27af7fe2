#include "sqlite/Table.h"

#include <sqlite3.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <fstream>
#include <memory>
#include <stdexcept>

#include "kit/Fts5.h"
#include "kit/Text.h"

namespace tessik_plugins::sqlite_table {
namespace {

struct Closer {
  void operator()(sqlite3* db) const { sqlite3_close(db); }
  void operator()(sqlite3_stmt* s) const { sqlite3_finalize(s); }
};
using Statement = std::unique_ptr<sqlite3_stmt, Closer>;

Statement Prepare(sqlite3* db, const char* sql) {
  sqlite3_stmt* raw = nullptr;
  if (sqlite3_prepare_v2(db, sql, -1, &raw, nullptr) != SQLITE_OK)
    throw std::runtime_error(std::string("SQLite: ") + sqlite3_errmsg(db));
  return Statement(raw);
}

std::string Text(sqlite3_stmt* statement, int column) {
  const unsigned char* text = sqlite3_column_text(statement, column);
  return text != nullptr ? reinterpret_cast<const char*>(text) : "";
}

std::string Listed(const std::vector<std::string>& names) {
  std::string out;
  for (const std::string& name : names) out += (out.empty() ? "" : ", ") + name;
  return out;
}

// The word after "USING" in a CREATE VIRTUAL TABLE statement: the module.
std::string ModuleOf(const std::string& sql) {
  const std::string folded = Fold(sql);
  if (folded.rfind("create virtual table", 0) != 0) return "";
  const size_t using_ = folded.find(" using ");
  if (using_ == std::string::npos) return "";
  size_t start = folded.find_first_not_of(" \t\r\n", using_ + 7);
  if (start == std::string::npos) return "";
  const size_t end = folded.find_first_of(" \t\r\n(", start);
  return folded.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

struct Tables {
  std::vector<std::string> all;   // the ones a user made, FTS5 or not
  std::vector<std::string> fts5;  // of those, the FTS5 ones
  std::vector<std::string> sql;   // beside `all`: how each was made
};

Tables ReadTables(sqlite3* db) {
  Statement statement = Prepare(db, "SELECT name, sql FROM sqlite_master WHERE type = 'table' ORDER BY rowid");
  std::vector<std::pair<std::string, std::string>> rows;
  int step;
  while ((step = sqlite3_step(statement.get())) == SQLITE_ROW)
    rows.emplace_back(Text(statement.get(), 0), Text(statement.get(), 1));
  if (step != SQLITE_DONE) throw std::runtime_error(std::string("SQLite: ") + sqlite3_errmsg(db));
  Tables tables;
  for (const auto& [name, sql] : rows)
    if (ModuleOf(sql) == "fts5") tables.fts5.push_back(name);
  // FTS5 keeps its index in tables of its own beside each of its tables;
  // they are no one's to search.
  auto shadow = [&](const std::string& name) {
    static constexpr std::array<std::string_view, 5> kSuffixes = {"_data", "_idx", "_content", "_docsize", "_config"};
    for (const std::string& fts : tables.fts5)
      for (std::string_view suffix : kSuffixes)
        if (Fold(name) == Fold(fts + std::string(suffix))) return true;
    return false;
  };
  for (const auto& [name, sql] : rows) {
    if (Fold(name).rfind("sqlite_", 0) == 0 || shadow(name)) continue;
    tables.all.push_back(name);
    tables.sql.push_back(sql);
  }
  return tables;
}

// The entry of `names` that is `name` but for case, or none.
const std::string* Find(const std::vector<std::string>& names, const std::string& name) {
  for (const std::string& candidate : names)
    if (Fold(candidate) == Fold(name)) return &candidate;
  return nullptr;
}

}  // namespace


bool IsSqliteFile(const std::string& path) {
  static constexpr char kHeader[16] = {'S', 'Q', 'L', 'i', 't', 'e', ' ', 'f', 'o', 'r', 'm', 'a', 't', ' ', '3', '\0'};
  std::ifstream file(PathOf(path), std::ios::binary);
  char header[16] = {};
  return file.read(header, sizeof header) && std::equal(header, header + 16, kHeader);
}

std::vector<std::string> ColumnNames(sqlite3* db, const std::string& table) {
  Statement statement = Prepare(db, "SELECT name FROM pragma_table_info(?1)");
  sqlite3_bind_text(statement.get(), 1, table.c_str(), -1, SQLITE_TRANSIENT);
  std::vector<std::string> columns;
  int step;
  while ((step = sqlite3_step(statement.get())) == SQLITE_ROW) columns.push_back(Text(statement.get(), 0));
  if (step != SQLITE_DONE) throw std::runtime_error(std::string("SQLite: ") + sqlite3_errmsg(db));
  return columns;
}

namespace {

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v'; }

// A quoted text at `at` of `text` ('...', "...", `...` with the quote
// doubled inside, or [...]): moves `at` past it and gives what it quotes.
// Not a quote: gives nothing and leaves `at`.
bool Unquote(std::string_view text, size_t& at, std::string& out) {
  if (at >= text.size()) return false;
  const char open = text[at];
  const char close = open == '[' ? ']' : open;
  if (open != '\'' && open != '"' && open != '`' && open != '[') return false;
  out.clear();
  for (size_t i = at + 1; i < text.size(); ++i) {
    if (text[i] != close) {
      out += text[i];
    } else if (close != ']' && i + 1 < text.size() && text[i + 1] == close) {
      out += close;
      ++i;
    } else {
      at = i + 1;
      return true;
    }
  }
  at = text.size();  // unterminated: the rest
  return true;
}

// The words of an option's value as FTS5 reads them: barewords and quoted
// texts, separated by white space.
std::vector<std::string> OptionWords(std::string_view value) {
  std::vector<std::string> words;
  for (size_t at = 0; at < value.size();) {
    if (IsSpace(value[at])) {
      ++at;
      continue;
    }
    std::string word;
    if (!Unquote(value, at, word)) {
      const size_t start = at;
      while (at < value.size() && !IsSpace(value[at])) ++at;
      word = std::string(value.substr(start, at - start));
    }
    words.push_back(std::move(word));
  }
  return words;
}

// The arguments of "CREATE VIRTUAL TABLE t USING fts5(a, b, tokenize = '...')",
// split at the commas outside quotes and parentheses.
std::vector<std::string> Arguments(const std::string& sql) {
  std::vector<std::string> arguments;
  const size_t open = sql.find('(');
  if (open == std::string::npos) return arguments;
  std::string current;
  int depth = 0;
  for (size_t at = open + 1; at < sql.size();) {
    const char c = sql[at];
    std::string quoted;
    const size_t start = at;
    if (Unquote(sql, at, quoted)) {
      current += sql.substr(start, at - start);
      continue;
    }
    ++at;
    if (c == '(') ++depth;
    if (c == ')' && depth-- == 0) break;
    if (c == ',' && depth == 0) {
      arguments.push_back(std::move(current));
      current.clear();
      continue;
    }
    current += c;
  }
  arguments.push_back(std::move(current));
  return arguments;
}

}  // namespace

std::vector<std::string> TokenizerOf(sqlite3* db, const std::string& table) {
  const Tables tables = ReadTables(db);
  for (size_t i = 0; i < tables.all.size(); ++i) {
    if (Fold(tables.all[i]) != Fold(table)) continue;
    for (const std::string& argument : Arguments(tables.sql[i])) {
      size_t at = argument.find_first_not_of(" \t\r\n");
      if (at == std::string::npos || Fold(argument.substr(at, 8)) != "tokenize") continue;
      at = argument.find_first_not_of(" \t\r\n", at + 8);
      if (at == std::string::npos || argument[at] != '=') continue;
      at = argument.find_first_not_of(" \t\r\n", at + 1);
      if (at == std::string::npos) return {};
      std::string value;
      if (!Unquote(argument, at, value)) value = argument.substr(at);
      return OptionWords(value);
    }
    return {};
  }
  return {};
}

bool Stems(sqlite3* db, const std::string& table) {
  // The first word names the outermost tokenizer.
  const std::vector<std::string> words = TokenizerOf(db, table);
  return !words.empty() && Fold(words[0]) == "porter";
}

Columns Check(sqlite3* db, const std::string& path, Columns wanted) {
  const Tables tables = ReadTables(db);
  const std::string theTables = tables.all.empty() ? "it has no tables" : "the tables it has: " + Listed(tables.all);
  if (wanted.table.empty()) {
    if (tables.fts5.size() > 1)
      throw std::runtime_error(path + " has several FTS5 tables and none was named (" + Listed(tables.fts5) + ")");
    if (tables.fts5.empty()) throw std::runtime_error(path + " has no FTS5 table (" + theTables + ")");
    wanted.table = tables.fts5.front();
  } else {
    const std::string* table = Find(tables.all, wanted.table);
    if (table == nullptr)
      throw std::runtime_error(path + " has no table named " + wanted.table + " (" + theTables + ")");
    if (Find(tables.fts5, *table) == nullptr)
      throw std::runtime_error(*table + " is not an FTS5 table (" +
                               (tables.fts5.empty() ? path + " has none" : "the FTS5 tables: " + Listed(tables.fts5)) +
                               ")");
    wanted.table = *table;
  }

  const std::vector<std::string> columns = ColumnNames(db, wanted.table);
  auto resolve = [&](std::string& name) {
    if (name.empty()) return;
    const std::string* column = Find(columns, name);
    // The id may be the table's own row number.
    if (column == nullptr && &name == &wanted.id && Fold(name) == "rowid") return;
    if (column == nullptr)
      throw std::runtime_error("no column " + name + " in " + wanted.table + " (its columns: " + Listed(columns) + ")");
    name = *column;
  };
  resolve(wanted.title);
  for (std::string& text : wanted.text) resolve(text);
  resolve(wanted.id);
  resolve(wanted.url);
  resolve(wanted.category);

  auto taken = [&](const std::string& column) {
    return column == wanted.title || column == wanted.id || column == wanted.url || column == wanted.category ||
           std::find(wanted.text.begin(), wanted.text.end(), column) != wanted.text.end();
  };
  if (wanted.title.empty()) {
    // A column named "title", else (when the text is not named either) the
    // first column left, as tables are commonly written: a hit with no
    // title at all would show nothing to tell it by.
    const std::string* title = Find(columns, "title");
    if (title != nullptr && !taken(*title)) {
      wanted.title = *title;
    } else if (wanted.text.empty()) {
      for (const std::string& column : columns) {
        if (taken(column)) continue;
        wanted.title = column;
        break;
      }
      // A table of one column: that one is the text.
      if (std::count_if(columns.begin(), columns.end(), [&](const std::string& c) { return !taken(c); }) == 0)
        wanted.title.clear();
    }
  }
  if (wanted.text.empty()) {
    for (const std::string& column : columns)
      if (!taken(column)) wanted.text.push_back(column);
    if (wanted.text.empty())
      throw std::runtime_error("no column of " + wanted.table +
                               " is left to search as text (its columns: " + Listed(columns) + ")");
  }
  return wanted;
}

Columns Check(const std::string& path, Columns wanted) {
  if (!IsSqliteFile(path))
    throw std::runtime_error(path + " is not an SQLite file" +
                             (std::filesystem::exists(PathOf(path)) ? "" : " (there is no such file)"));
  sqlite3* raw = nullptr;
  const int rc = sqlite3_open_v2(path.c_str(), &raw, SQLITE_OPEN_READONLY, nullptr);
  std::unique_ptr<sqlite3, Closer> db(raw);
  if (rc != SQLITE_OK) throw std::runtime_error("cannot open " + path + ": " + sqlite3_errstr(rc));
  sqlite3_busy_timeout(raw, 2000);  // searches may be reading it at the same moment
  // A table of an index Tessik wrote names the kit's tokenizer, without
  // which SQLite cannot list its columns.
  fts5::Register(db.get());
  return Check(db.get(), path, std::move(wanted));
}

}  // namespace tessik_plugins::sqlite_table
