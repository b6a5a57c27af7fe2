// The SQLite plugin: searches the FTS5 indexes of a database built by
// tessik-index-sqlite (sqlite/Schema.h), "stemmed" when the query asks for
// stems and "plain" otherwise, ranked by bm25 with the title weighing
// twice. FTS5 matches the normalised words (the kit's tokenizer, which
// normalises the query's words too); a case-sensitive query keeps only the
// documents in which each word appears exactly as written. A domain with a "table"
// property names an FTS5 table of any database instead, and which of its
// columns are what (sqlite/Table.h, TableSearch below). The database is
// opened read-only either way.
#include <sqlite3.h>

#include <algorithm>
#include <memory>
#include <stdexcept>

#include "kit/Engine.h"
#include "kit/Fts5.h"
#include "kit/Fts5Counts.h"
#include "kit/Names.h"
#include "kit/Statistics.h"
#include "kit/Text.h"
#include "sqlite/Schema.h"
#include "sqlite/Table.h"

namespace tessik_plugins {
namespace {

struct Closer {
  void operator()(sqlite3* db) const { sqlite3_close(db); }
  void operator()(sqlite3_stmt* s) const { sqlite3_finalize(s); }
};

// FTS5 quotes a phrase as SQL quotes an identifier.
using sqlite_table::Quoted;

// One term as an FTS5 expression: its word and synonyms under the term's
// column filter.
std::string TermExpression(const Term& term) {
  std::string words = Quoted(term.word);
  for (const std::string& s : term.synonyms) words += " OR " + Quoted(s);
  const char* columns = term.fields == kTitle ? "{title}" : term.fields == kBody ? "{body}" : "{title body}";
  return std::string(columns) + " : (" + words + ")";
}

bool HasExactWord(const std::string& text, const std::string& word) { return HoldsWordAsWritten(text, word); }

// The text of a row's column; NULL gives "".
std::string ColumnText(sqlite3_stmt* statement, int column) {
  const unsigned char* t = sqlite3_column_text(statement, column);
  return t ? std::string(reinterpret_cast<const char*>(t)) : std::string();
}

std::string Trimmed(const std::string& text) {
  const size_t start = text.find_first_not_of(" \t\r\n");
  if (start == std::string::npos) return "";
  return text.substr(start, text.find_last_not_of(" \t\r\n") - start + 1);
}

// Whether `tokens` holds `word`'s tokens, one after the other.
bool HasTokens(const std::vector<std::string>& tokens, const std::vector<std::string>& word) {
  return !word.empty() && std::search(tokens.begin(), tokens.end(), word.begin(), word.end()) != tokens.end();
}

// How often `word`'s tokens follow each other in `tokens`.
uint64_t TokenRuns(const std::vector<std::string>& tokens, const std::vector<std::string>& word) {
  uint64_t count = 0;
  for (size_t i = 0; !word.empty() && i + word.size() <= tokens.size(); ++i)
    count += std::equal(word.begin(), word.end(), tokens.begin() + static_cast<std::ptrdiff_t>(i));
  return count;
}

// An FTS5 table the domain names, with the columns it says are what
// (sqlite/Table.h fills in what it leaves out). FTS5 stems only by its
// tokenizer, which applies to the query as well as the rows: over a table
// whose tokenizer stems, a query that asks for no stems keeps only the rows
// holding its words themselves, as the tokenizer the table's porter wraps
// folds them (case, and accents as its remove_diacritics says): the
// table's own, run by FTS5; over one whose tokenizer does not, a query that
// asks for stems searches its words as given. The query's words reach FTS5
// as written, so the table's tokenizer folds them as it folded the rows.
// Case is checked after the search, as for the plugin's own tables.
// Statistics count the title and text columns; a search that keeps rows
// after FTS5 matched them counts the words it kept them by, as it does.
class TableSearch {
 public:
  TableSearch(sqlite3* db, const std::string& data, const Domain& domain) : db_(db) {
    sqlite_table::Columns wanted;
    wanted.table = Trimmed(domain.Property("table", ""));
    wanted.title = Trimmed(domain.Property("title-column", ""));
    const std::string text = domain.Property("text-columns", "");
    for (size_t start = 0; start <= text.size();) {
      const size_t end = std::min(text.find('\n', start), text.size());
      const std::string column = Trimmed(text.substr(start, end - start));
      if (!column.empty()) wanted.text.push_back(column);
      start = end + 1;
    }
    wanted.id = Trimmed(domain.Property("id-column", ""));
    wanted.url = Trimmed(domain.Property("url-column", ""));
    wanted.category = Trimmed(domain.Property("category-column", ""));
    try {
      columns_ = sqlite_table::Check(db, data, wanted);
      all_ = sqlite_table::ColumnNames(db, columns_.table);
      stems_ = sqlite_table::Stems(db, columns_.table);
      if (stems_) {
        std::vector<std::string> inner = sqlite_table::TokenizerOf(db, columns_.table);
        inner.erase(inner.begin());  // porter: what it wraps
        unstemmed_ = std::make_unique<fts5::Tokenizer>(db, inner);
      }
    } catch (const std::runtime_error& e) {
      throw EngineError(std::string("SQLite: ") + e.what());
    }
  }

  Found Run(const Plan& plan, size_t limit, bool statistics, const std::atomic<bool>& abort) {
    if (statistics) fts5::RegisterCounts(db_);
    Found found = Search(plan, limit, statistics, abort);
    if (statistics && !abort) found.statistics = Count(plan, abort);
    return found;
  }

  // The statistics of the table for the plan's required terms.
  Statistics Count(const Plan& plan, const std::atomic<bool>& abort) {
    const std::string table = sqlite_table::Quoted(columns_.table);
    Statistics statistics;
    fts5::Totals(db_, table, LengthColumns(), statistics);
    const bool filter = plan.caseSensitive || (stems_ && !plan.stemming);
    std::string columns = columns_.title.empty() ? "''" : sqlite_table::Quoted(columns_.title);
    for (const std::string& c : columns_.text) columns += ", " + sqlite_table::Quoted(c);
    for (const Term& term : plan.required) {
      if (abort) return {};
      const std::string expression = Expression(term);
      if (expression.empty()) {
        statistics.df.push_back(0);
      } else if (!filter) {
        statistics.df.push_back(
            fts5::CountRows(db_, "SELECT count(*) FROM " + table + " WHERE " + table + " MATCH ?1", expression));
      } else {
        statistics.df.push_back(
            fts5::CountRows(db_, "SELECT " + columns + " FROM " + table + " WHERE " + table + " MATCH ?1", expression,
                            [&](sqlite3_stmt* row) {
                              bool in = (term.fields & kTitle) && HasWord(ColumnText(row, 0), term, plan.caseSensitive);
                              for (size_t i = 0; !in && (term.fields & kBody) && i < columns_.text.size(); ++i)
                                in = HasWord(ColumnText(row, static_cast<int>(1 + i)), term, plan.caseSensitive);
                              return in;
                            }));
      }
    }
    return statistics;
  }

 private:
  Found Search(const Plan& plan, size_t limit, bool statistics, const std::atomic<bool>& abort) {
    const std::string table = sqlite_table::Quoted(columns_.table);
    std::vector<std::string> positive, negative;
    for (const Term& term : plan.required) {
      std::string expression = Expression(term);
      // A title word over a table without titles: no row has it.
      if (expression.empty() && !plan.any) return {};
      if (!expression.empty()) positive.push_back(std::move(expression));
    }
    if (!plan.required.empty() && positive.empty()) return {};
    for (const Term& term : plan.excluded) {
      std::string expression = Expression(term);
      if (!expression.empty()) negative.push_back(std::move(expression));
    }
    // No row is in a category when the table has no category column.
    if (!plan.categories.empty() && columns_.category.empty()) return {};

    const bool ranked = !positive.empty();
    const size_t texts = columns_.text.size();
    auto column = [&](const std::string& name) {
      return name.empty() ? std::string("''") : sqlite_table::Quoted(name);
    };
    const bool rowid = columns_.id.empty() || Fold(columns_.id) == "rowid";
    std::string sql = "SELECT " + (rowid ? table + ".rowid" : column(columns_.id)) + ", " + column(columns_.title) +
                      ", " + column(columns_.category) + ", " + column(columns_.url) + ", ";
    if (ranked) {
      sql += "bm25(" + table;
      for (const std::string& c : all_) sql += c == columns_.title ? ", 2.0" : ", 1.0";
      sql += ")";
    } else {
      sql += "0";
    }
    for (const std::string& c : columns_.text) sql += ", " + column(c);
    // The passage of each text column around the words it matched, the
    // words between two markers that tell which column matched most.
    if (ranked)
      for (const std::string& c : columns_.text)
        sql += ", snippet(" + table + ", " + std::to_string(IndexOf(c)) + ", char(2), char(3), '...', 20)";
    // Then the row and, ranked, its counts; each term has its word's and
    // its synonyms' phrases, or none when it has no column here.
    const int counted = static_cast<int>(5 + texts + (ranked ? texts : 0));
    if (statistics) {
      sql += ", " + table + ".rowid";
      std::vector<size_t> groups;
      for (const Term& term : plan.required) groups.push_back(Expression(term).empty() ? 0 : 1 + term.synonyms.size());
      if (ranked) sql += ", " + fts5::CountsCall(table, groups, LengthColumns());
    }
    sql += " FROM " + table;
    auto joined = [](const std::vector<std::string>& parts, const char* op) {
      std::string out;
      for (const std::string& p : parts) out += (out.empty() ? "(" : std::string(op) + "(") + p + ")";
      return out;
    };
    std::string match;
    if (ranked) {
      match = joined(positive, plan.any ? " OR " : " AND ");
      if (!negative.empty()) match = "(" + match + ") NOT (" + joined(negative, " OR ") + ")";
      sql += " WHERE " + table + " MATCH ?1";
    } else {
      sql += " WHERE 1";
      if (!negative.empty()) {
        match = joined(negative, " OR ");
        sql += " AND " + table + ".rowid NOT IN (SELECT rowid FROM " + table + " WHERE " + table + " MATCH ?1)";
      }
    }
    if (!plan.categories.empty()) {
      sql += " AND " + column(columns_.category) + " COLLATE NOCASE IN (";
      for (size_t i = 0; i < plan.categories.size(); ++i) sql += (i ? ",?" : "?") + std::to_string(i + 2);
      sql += ")";
    }
    sql += ranked ? " ORDER BY 5, " + table + ".rowid" : " ORDER BY " + table + ".rowid";
    // Rows kept or dropped after the search cannot stop it at the limit.
    const bool exact = plan.caseSensitive;
    const bool filter = ranked && (exact || (stems_ && !plan.stemming));
    if (!filter) sql += " LIMIT " + std::to_string(limit + 1);

    sqlite3_stmt* raw = nullptr;
    if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &raw, nullptr) != SQLITE_OK)
      throw EngineError(std::string("SQLite: ") + sqlite3_errmsg(db_));
    std::unique_ptr<sqlite3_stmt, Closer> statement(raw);
    if (!match.empty()) sqlite3_bind_text(statement.get(), 1, match.c_str(), -1, SQLITE_TRANSIENT);
    for (size_t i = 0; i < plan.categories.size(); ++i)
      sqlite3_bind_text(statement.get(), static_cast<int>(i + 2), plan.categories[i].c_str(), -1, SQLITE_TRANSIENT);

    Found found;
    std::vector<int64_t> rowids;
    double best = 0;
    int step = SQLITE_DONE;
    while (!abort && (step = sqlite3_step(statement.get())) == SQLITE_ROW) {
      sqlite3_stmt* row = statement.get();
      const std::string title = ColumnText(row, 1);
      std::vector<std::string> text;
      for (size_t i = 0; i < texts; ++i) text.push_back(ColumnText(row, static_cast<int>(5 + i)));
      if (filter && !Keep(plan, title, text, exact)) continue;
      if (found.hits.size() == limit) {
        found.more = true;
        break;
      }
      Hit hit;
      hit.score = -sqlite3_column_double(row, 4);  // bm25: lower is better
      best = std::max(best, hit.score);
      hit.id = ColumnText(row, 0);
      hit.title = title;
      hit.category = ColumnText(row, 2);
      std::string passage;
      size_t most = 0;
      for (size_t i = 0; ranked && i < texts; ++i) {
        std::string s = ColumnText(row, static_cast<int>(5 + texts + i));
        const size_t marked = static_cast<size_t>(std::count(s.begin(), s.end(), '\x02'));
        if (marked > most) most = marked, passage = std::move(s);
      }
      if (most > 0) {
        std::erase_if(passage, [](char c) { return c == '\x02' || c == '\x03'; });
        hit.snippet = Snippet(passage, 240);
      } else {
        // Matched in the title only, or not ranked: the start of the text.
        for (const std::string& t : text)
          if (hit.snippet.empty()) hit.snippet = Snippet(t, 160);
      }
      const std::string url = ColumnText(row, 3);
      if (!url.empty()) hit.properties.emplace_back(std::string(kDocumentProperties[1]), url);
      if (statistics) {
        rowids.push_back(sqlite3_column_int64(row, counted));
        if (ranked && fts5::ReadCounts(sqlite3_column_text(row, counted + 1), plan.required.size(), hit) && filter) {
          // Kept by its words: those are what matched.
          for (size_t t = 0; t < plan.required.size(); ++t) {
            const Term& term = plan.required[t];
            uint64_t n = (term.fields & kTitle) && !columns_.title.empty() ? Count(title, term, exact) : 0;
            for (size_t i = 0; (term.fields & kBody) && i < texts; ++i) n = SaturatingAdd(n, Count(text[i], term, exact));
            hit.tf[t] = n;
          }
        }
      }
      found.hits.push_back(std::move(hit));
    }
    if (!abort && step != SQLITE_DONE && step != SQLITE_ROW)
      throw EngineError(std::string("SQLite: ") + sqlite3_errmsg(db_));
    statement.reset();
    for (Hit& hit : found.hits) hit.score = best > 0 ? hit.score / best : 1.0;
    if (statistics && !ranked) fts5::CountByRow(db_, table, LengthColumns(), rowids, found.hits, abort);
    return found;
  }

  // The columns whose tokens make up a row's length: the title and the
  // texts, as numbered in the table.
  std::vector<int> LengthColumns() const {
    std::vector<int> columns;
    if (!columns_.title.empty()) columns.push_back(static_cast<int>(IndexOf(columns_.title)));
    for (const std::string& c : columns_.text) columns.push_back(static_cast<int>(IndexOf(c)));
    return columns;
  }

  // One term as an FTS5 expression over the columns its fields map to;
  // empty when it asks for a title the table does not have.
  std::string Expression(const Term& term) const {
    std::vector<std::string> columns;
    if ((term.fields & kTitle) && !columns_.title.empty()) columns.push_back(columns_.title);
    if (term.fields & kBody) columns.insert(columns.end(), columns_.text.begin(), columns_.text.end());
    if (columns.empty()) return "";
    std::string set = "{";
    for (const std::string& c : columns) set += (set.size() > 1 ? " " : "") + sqlite_table::Quoted(c);
    std::string words = Quoted(term.word);
    for (const std::string& s : term.synonyms) words += " OR " + Quoted(s);
    return set + "} : (" + words + ")";
  }

  size_t IndexOf(const std::string& column) const {
    return static_cast<size_t>(std::find(all_.begin(), all_.end(), column) - all_.begin());
  }

  // Every positive term (for "Or", one) in one of its fields, as written
  // when `exact`, else as a word of its own rather than a stem's.
  bool Keep(const Plan& plan, const std::string& title, const std::vector<std::string>& text, bool exact) const {
    size_t found = 0;
    for (const Term& term : plan.required) {
      bool in = (term.fields & kTitle) && HasWord(title, term, exact);
      for (size_t i = 0; !in && (term.fields & kBody) && i < text.size(); ++i) in = HasWord(text[i], term, exact);
      found += in;
    }
    return plan.any ? found > 0 : found == plan.required.size();
  }

  // A term's word or one of its synonyms among the words of `text`: as
  // written, or as the table's unstemmed tokens.
  bool HasWord(const std::string& text, const Term& term, bool exact) const {
    if (exact) return HasExactWord(text, term.word);
    const std::vector<std::string> tokens = unstemmed_->Tokens(text);
    if (HasTokens(tokens, unstemmed_->Tokens(term.word))) return true;
    for (const std::string& synonym : term.synonyms)
      if (HasTokens(tokens, unstemmed_->Tokens(synonym))) return true;
    return false;
  }

  // How often HasWord finds the term's word or synonyms in `text`.
  uint64_t Count(const std::string& text, const Term& term, bool exact) const {
    if (exact) return CountWordAsWritten(text, term.word);
    const std::vector<std::string> tokens = unstemmed_->Tokens(text);
    uint64_t n = TokenRuns(tokens, unstemmed_->Tokens(term.word));
    for (const std::string& synonym : term.synonyms) n = SaturatingAdd(n, TokenRuns(tokens, unstemmed_->Tokens(synonym)));
    return n;
  }

  sqlite3* db_;
  sqlite_table::Columns columns_;
  std::vector<std::string> all_;
  bool stems_ = false;
  std::unique_ptr<fts5::Tokenizer> unstemmed_;  // of a table that stems
};

using Database = std::unique_ptr<sqlite3, Closer>;

Database OpenDatabase(const std::string& data) {
  if (data.empty()) throw EngineError("no SQLite database configured");
  sqlite3* raw = nullptr;
  const int rc = sqlite3_open_v2(data.c_str(), &raw, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, nullptr);
  Database db(raw);
  if (rc != SQLITE_OK) throw EngineError("SQLite: cannot open " + data + ": " + sqlite3_errstr(rc));
  // Readers starting at once can find each other's lock for an instant (on
  // Windows a reader takes the pending lock on its way to a shared one):
  // each waits a little, as the folder index does, instead of failing.
  sqlite3_busy_timeout(raw, 2000);
  try {
    fts5::Register(db.get());  // for its own tables, and for a table of an index Tessik wrote
  } catch (const std::runtime_error& e) {
    throw EngineError(std::string("SQLite: ") + e.what());
  }
  return db;
}

// A database of another layout would match words its index does not hold
// in the form asked, or lack the digests: it is built again, not searched.
void CheckVersion(sqlite3* db, const std::string& data) {
  sqlite3_stmt* raw = nullptr;
  int version = -1;
  if (sqlite3_prepare_v2(db, sqlite_schema::kGetVersion, -1, &raw, nullptr) == SQLITE_OK &&
      sqlite3_step(raw) == SQLITE_ROW)
    version = sqlite3_column_int(raw, 0);
  sqlite3_finalize(raw);
  if (version == -1) throw EngineError("SQLite: cannot read " + data + ": " + sqlite3_errmsg(db));
  if (version != sqlite_schema::kFormatVersion)
    throw EngineError("SQLite: " + data + " was made by another version of tessik-index-sqlite (its format is " +
                      std::to_string(version) + ", this plugin reads " + std::to_string(sqlite_schema::kFormatVersion) +
                      "); rebuild it with tessik-index-sqlite, or name the FTS5 table to search with the "
                      "\"table\" property");
}

// The columns of "plain" and "stemmed" that make up a document: both.
const std::vector<int> kDocumentColumns = {0, 1};

class SqliteEngine : public Engine {
 public:
  Found Search(const Plan& plan, const Domain& domain, size_t limit, const std::atomic<bool>& abort) override {
    const std::string data = domain.Property("data", "");
    Database db = OpenDatabase(data);
    const bool statistics = WantsStatistics(domain);
    if (domain.properties.count("table") != 0)
      return TableSearch(db.get(), data, domain).Run(plan, limit, statistics, abort);
    CheckVersion(db.get(), data);
    if (statistics) fts5::RegisterCounts(db.get());

    std::vector<std::string> positive, negative;
    for (const Term& term : plan.required) positive.push_back(TermExpression(term));
    for (const Term& term : plan.excluded) negative.push_back(TermExpression(term));
    const char* table = plan.stemming ? "stemmed" : "plain";
    const char* join = plan.any ? " OR " : " AND ";
    auto joined = [](const std::vector<std::string>& parts, const char* op) {
      std::string out;
      for (const std::string& p : parts) out += (out.empty() ? "(" : std::string(op) + "(") + p + ")";
      return out;
    };

    std::string sql, match;
    if (!positive.empty()) {
      match = joined(positive, join);
      if (!negative.empty()) match = "(" + match + ") NOT (" + joined(negative, " OR ") + ")";
      sql = std::string("SELECT d.id, d.category, d.title, d.body, bm25(") + table + ", 2.0, 1.0)";
      // Asked for statistics: the row, its digest and its counts.
      if (statistics) {
        std::vector<size_t> groups;
        for (const Term& term : plan.required) groups.push_back(1 + term.synonyms.size());
        sql += ", d.rowid, d.digest, " + fts5::CountsCall(table, groups, kDocumentColumns);
      }
      sql +=
          std::string(" FROM ") + table + " JOIN docs d ON d.rowid = " + table + ".rowid WHERE " + table + " MATCH ?1";
    } else {
      // Nothing to rank by: every document the filters leave, in id order.
      sql = std::string("SELECT d.id, d.category, d.title, d.body, 0") + (statistics ? ", d.rowid, d.digest" : "") +
            " FROM docs d WHERE 1";
      if (!negative.empty()) {
        match = joined(negative, " OR ");
        sql += std::string(" AND d.rowid NOT IN (SELECT rowid FROM ") + table + " WHERE " + table + " MATCH ?1)";
      }
    }
    if (!plan.categories.empty()) {
      sql += " AND d.category COLLATE NOCASE IN (";
      for (size_t i = 0; i < plan.categories.size(); ++i) sql += (i ? ",?" : "?") + std::to_string(i + 2);
      sql += ")";
    }
    sql += positive.empty() ? " ORDER BY d.id" : " ORDER BY 5, d.id";
    // A case-sensitive query filters after the search, so it cannot stop at
    // the limit inside SQLite. One row more than asked for tells whether
    // the limit cut anything.
    if (!plan.caseSensitive) sql += " LIMIT " + std::to_string(limit + 1);

    sqlite3_stmt* rawStatement = nullptr;
    if (sqlite3_prepare_v2(db.get(), sql.c_str(), -1, &rawStatement, nullptr) != SQLITE_OK)
      throw EngineError(std::string("SQLite: ") + sqlite3_errmsg(db.get()));
    std::unique_ptr<sqlite3_stmt, Closer> statement(rawStatement);
    if (!match.empty()) sqlite3_bind_text(statement.get(), 1, match.c_str(), -1, SQLITE_TRANSIENT);
    for (size_t i = 0; i < plan.categories.size(); ++i)
      sqlite3_bind_text(statement.get(), static_cast<int>(i + 2), plan.categories[i].c_str(), -1, SQLITE_TRANSIENT);

    Found found;
    std::vector<Hit>& hits = found.hits;
    std::vector<int64_t> rowids;
    double best = 0;
    int step = SQLITE_DONE;
    while (!abort && (step = sqlite3_step(statement.get())) == SQLITE_ROW) {
      auto text = [&](int column) {
        const unsigned char* t = sqlite3_column_text(statement.get(), column);
        return t ? std::string(reinterpret_cast<const char*>(t)) : std::string();
      };
      const std::string title = text(2), body = text(3);
      if (plan.caseSensitive && !ExactMatch(plan, title, body)) continue;
      if (hits.size() == limit) {
        found.more = true;
        break;
      }
      Hit hit;
      hit.score = -sqlite3_column_double(statement.get(), 4);  // bm25: lower is better
      best = std::max(best, hit.score);
      hit.id = text(0);
      hit.category = text(1);
      hit.title = title;
      hit.snippet = Snippet(body, 160);
      if (statistics) {
        rowids.push_back(sqlite3_column_int64(statement.get(), 5));
        hit.digest = text(6);
        if (!positive.empty() && fts5::ReadCounts(sqlite3_column_text(statement.get(), 7), plan.required.size(), hit) &&
            plan.caseSensitive) {
          // The words as written, as they matched.
          for (size_t t = 0; t < plan.required.size(); ++t) {
            const Term& term = plan.required[t];
            hit.tf[t] = ((term.fields & kTitle) ? Occurrences(title, term, true) : 0) +
                        ((term.fields & kBody) ? Occurrences(body, term, true) : 0);
          }
        }
      }
      hits.push_back(std::move(hit));
    }
    if (!abort && step != SQLITE_DONE && step != SQLITE_ROW)
      throw EngineError(std::string("SQLite: ") + sqlite3_errmsg(db.get()));
    statement.reset();
    for (Hit& hit : hits) hit.score = best > 0 ? hit.score / best : 1.0;
    if (statistics && positive.empty()) fts5::CountByRow(db.get(), "plain", kDocumentColumns, rowids, hits, abort);
    if (statistics && !abort) found.statistics = Count(db.get(), table, plan, abort);
    return found;
  }

  Statistics CollectionStatistics(const Plan& plan, const Domain& domain, const std::atomic<bool>& abort) override {
    const std::string data = domain.Property("data", "");
    Database db = OpenDatabase(data);
    if (domain.properties.count("table") != 0) {
      TableSearch search(db.get(), data, domain);
      fts5::RegisterCounts(db.get());
      return search.Count(plan, abort);
    }
    CheckVersion(db.get(), data);
    fts5::RegisterCounts(db.get());
    return Count(db.get(), plan.stemming ? "stemmed" : "plain", plan, abort);
  }

 private:
  // The statistics of the plugin's own database for the plan's required
  // terms, searched in `table`.
  static Statistics Count(sqlite3* db, const std::string& table, const Plan& plan, const std::atomic<bool>& abort) {
    Statistics statistics;
    fts5::Totals(db, "plain", kDocumentColumns, statistics);
    for (const Term& term : plan.required) {
      if (abort) return {};
      const std::string expression = TermExpression(term);
      if (!plan.caseSensitive) {
        statistics.df.push_back(
            fts5::CountRows(db, "SELECT count(*) FROM " + table + " WHERE " + table + " MATCH ?1", expression));
        continue;
      }
      // As written: the documents whose fields hold the word itself.
      statistics.df.push_back(
          fts5::CountRows(db, "SELECT title, body FROM plain WHERE plain MATCH ?1", expression, [&](sqlite3_stmt* row) {
            return ((term.fields & kTitle) && HasExactWord(ColumnText(row, 0), term.word)) ||
                   ((term.fields & kBody) && HasExactWord(ColumnText(row, 1), term.word));
          }));
    }
    return statistics;
  }

  // Every positive term's word as written in one of its fields (for "Or",
  // any of them).
  static bool ExactMatch(const Plan& plan, const std::string& title, const std::string& body) {
    size_t found = 0;
    for (const Term& term : plan.required) {
      found += ((term.fields & kTitle) && HasExactWord(title, term.word)) ||
               ((term.fields & kBody) && HasExactWord(body, term.word));
    }
    return plan.any ? found > 0 : found == plan.required.size();
  }
};

}  // namespace

std::unique_ptr<Engine> MakeEngine() { return std::make_unique<SqliteEngine>(); }

}  // namespace tessik_plugins
