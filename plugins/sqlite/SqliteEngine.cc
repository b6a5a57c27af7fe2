// The SQLite plugin: searches the FTS5 indexes of a database built by
// tessik-index-sqlite (sqlite/Schema.h), "stemmed" when the query asks for
// stems and "plain" otherwise, ranked by bm25 with the title weighing
// twice. FTS5 folds case; a case-sensitive query keeps only the documents
// in which each word appears exactly as written.
#include <sqlite3.h>

#include <algorithm>
#include <memory>

#include "kit/Engine.h"
#include "kit/Text.h"

namespace tessik_plugins {
namespace {

struct Closer {
  void operator()(sqlite3* db) const { sqlite3_close(db); }
  void operator()(sqlite3_stmt* s) const { sqlite3_finalize(s); }
};

std::string Quoted(const std::string& word) {
  std::string out = "\"";
  for (char c : word) out += c == '"' ? std::string("\"\"") : std::string(1, c);
  return out + "\"";
}

// One term as an FTS5 expression: its word and synonyms under the term's
// column filter.
std::string TermExpression(const Term& term) {
  std::string words = Quoted(term.word);
  for (const std::string& s : term.synonyms) words += " OR " + Quoted(s);
  const char* columns = term.fields == kTitle ? "{title}" : term.fields == kBody ? "{body}" : "{title body}";
  return std::string(columns) + " : (" + words + ")";
}

bool HasExactWord(const std::string& text, const std::string& word) {
  const std::vector<std::string> words = Words(text);
  return std::find(words.begin(), words.end(), word) != words.end();
}

class SqliteEngine : public Engine {
 public:
  Found Search(const Plan& plan, const Domain& domain, size_t limit, const std::atomic<bool>& abort) override {
    const std::string data = domain.Property("data", "");
    if (data.empty()) throw EngineError("no SQLite database configured");
    sqlite3* raw = nullptr;
    const int rc = sqlite3_open_v2(data.c_str(), &raw, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, nullptr);
    std::unique_ptr<sqlite3, Closer> db(raw);
    if (rc != SQLITE_OK) throw EngineError("SQLite: cannot open " + data + ": " + sqlite3_errstr(rc));

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
      sql = std::string("SELECT d.id, d.category, d.title, d.body, bm25(") + table + ", 2.0, 1.0) FROM " + table +
            " JOIN docs d ON d.rowid = " + table + ".rowid WHERE " + table + " MATCH ?1";
    } else {
      // Nothing to rank by: every document the filters leave, in id order.
      sql = "SELECT d.id, d.category, d.title, d.body, 0 FROM docs d WHERE 1";
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
      hits.push_back(std::move(hit));
    }
    if (!abort && step != SQLITE_DONE && step != SQLITE_ROW)
      throw EngineError(std::string("SQLite: ") + sqlite3_errmsg(db.get()));
    for (Hit& hit : hits) hit.score = best > 0 ? hit.score / best : 1.0;
    return found;
  }

 private:
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
