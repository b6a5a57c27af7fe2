// The folder plugin: searches the folder index of a folder (files/Schema.h),
// which tessik-index-files or the tessik command keeps up to date; the
// plugin itself never reads the folder, so a search costs the same however
// large it is. "plain" answers queries, "stemmed" those that ask for stems,
// ranked by bm25 with the title weighing twice; the snippet is FTS5's best
// passage around the matched words. FTS5 folds case; a case-sensitive
// query keeps only the documents in which each word appears as written.
// The index is opened read-only: in WAL mode a search reads the last
// committed state while an update writes. Asked for statistics
// (kit/Statistics.h), it counts through FTS5 (kit/Fts5Counts.h): lengths
// are the tokens of "plain" (the stemmed table tokenizes alike), a term's
// count its matched positions in its fields, its documents those its
// expression matches; a case-sensitive query counts the words as written
// instead, as it matches them. The digest is the files table's.
#include <sqlite3.h>

#include <algorithm>
#include <filesystem>
#include <memory>

#include "files/Indexer.h"
#include "files/Schema.h"
#include "kit/Engine.h"
#include "kit/Fts5Counts.h"
#include "kit/Quote.h"
#include "kit/Statistics.h"
#include "kit/Text.h"

namespace tessik_plugins {
namespace {

struct Closer {
  void operator()(sqlite3* db) const { sqlite3_close(db); }
  void operator()(sqlite3_stmt* s) const { sqlite3_finalize(s); }
};
using StatementPtr = std::unique_ptr<sqlite3_stmt, Closer>;


// One term as an FTS5 expression: its word and synonyms under the term's
// column filter.
std::string TermExpression(const Term& term) {
  std::string words = Quoted(term.word);
  for (const std::string& s : term.synonyms) words += " OR " + Quoted(s);
  const char* columns = term.fields == kTitle ? "{title}" : term.fields == kBody ? "{text}" : "{title text}";
  return std::string(columns) + " : (" + words + ")";
}

std::string Joined(const std::vector<std::string>& parts, const char* op) {
  std::string out;
  for (const std::string& p : parts) out += (out.empty() ? "(" : std::string(op) + "(") + p + ")";
  return out;
}

bool HasExactWord(const std::string& text, const std::string& word) { return HoldsWord(text, word); }

// The phrases of each required term in the MATCH expression, which they
// lead: its word and its synonyms.
std::vector<size_t> PhraseGroups(const Plan& plan) {
  std::vector<size_t> groups;
  for (const Term& term : plan.required) groups.push_back(1 + term.synonyms.size());
  return groups;
}

// The columns of "plain" and "stemmed" that make up a document: both.
const std::vector<int> kDocumentColumns = {0, 1};

// Every positive term's word as written in one of its fields (for "Or",
// any of them).
bool ExactMatch(const Plan& plan, const std::string& title, const std::string& text) {
  size_t found = 0;
  for (const Term& term : plan.required) {
    found += ((term.fields & kTitle) && HasExactWord(title, term.word)) ||
             ((term.fields & kBody) && HasExactWord(text, term.word));
  }
  return plan.any ? found > 0 : found == plan.required.size();
}

// A file URL of the exact bytes of `path` ('/'-separated): everything but
// unreserved characters and the separators percent-encoded.
std::string FileUrl(const std::string& path) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string url = path.empty() || path[0] != '/' ? "file:///" : "file://";
  for (const char ch : path) {
    const auto c = static_cast<unsigned char>(ch);
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
        c == '_' || c == '~' || c == '/' || c == ':') {
      url += ch;
    } else {
      url += '%';
      url += kHex[c >> 4];
      url += kHex[c & 15];
    }
  }
  return url;
}

// The id of a document: its path below the root without the extension.
std::string IdOf(const std::string& rel) {
  const size_t slash = rel.rfind('/');
  const size_t name = slash == std::string::npos ? 0 : slash + 1;
  const size_t dot = rel.rfind('.');
  return CleanText(dot != std::string::npos && dot > name ? rel.substr(0, dot) : rel);
}

std::string Column(sqlite3_stmt* s, int column) {
  const void* data = sqlite3_column_blob(s, column);
  return data ? std::string(static_cast<const char*>(data), sqlite3_column_bytes(s, column)) : std::string();
}

class Index {
 public:
  explicit Index(const std::string& data) : data_(data) {
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::file_status status = fs::status(PathOf(data), ec);
    if (fs::is_directory(status))
      throw EngineError(data + " is a folder; index it with: tessik sources add NAME " + data);
    if (!fs::exists(status)) throw EngineError("no folder index at " + data);
    sqlite3* raw = nullptr;
    const int rc = sqlite3_open_v2(data.c_str(), &raw, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, nullptr);
    db_.reset(raw);
    if (rc != SQLITE_OK) throw EngineError("cannot open the folder index " + data + ": " + sqlite3_errstr(rc));
    sqlite3_busy_timeout(raw, 2000);
    sqlite3_stmt* meta = nullptr;
    if (sqlite3_prepare_v2(raw, folder_schema::kGetMeta, -1, &meta, nullptr) != SQLITE_OK)
      throw EngineError(data + " is no folder index: " + sqlite3_errmsg(raw));
    StatementPtr owned(meta);
    auto get = [&](const char* key) {
      sqlite3_reset(meta);
      sqlite3_bind_text(meta, 1, key, -1, SQLITE_STATIC);
      return sqlite3_step(meta) == SQLITE_ROW ? Column(meta, 0) : std::string();
    };
    if (get("format") != std::to_string(folder::kFormatVersion))
      throw EngineError("the folder index " + data + " was made by another version; run: tessik sources update");
    root_ = get("root");
  }

  StatementPtr Prepare(const std::string& sql) {
    sqlite3_stmt* raw = nullptr;
    if (sqlite3_prepare_v2(db_.get(), sql.c_str(), -1, &raw, nullptr) != SQLITE_OK) Fail();
    return StatementPtr(raw);
  }
  [[noreturn]] void Fail() { throw EngineError("the folder index " + data_ + ": " + sqlite3_errmsg(db_.get())); }
  const std::string& root() const { return root_; }
  sqlite3* db() const { return db_.get(); }

 private:
  std::string data_, root_;
  std::unique_ptr<sqlite3, Closer> db_;
};

class FilesEngine : public Engine {
 public:
  Found Search(const Plan& plan, const Domain& domain, size_t limit, const std::atomic<bool>& abort) override {
    const std::string data = domain.Property("data", "");
    if (data.empty()) throw EngineError("no folder index configured");
    Index index(data);
    const bool statistics = WantsStatistics(domain);
    if (statistics) fts5::RegisterCounts(index.db());
    const std::string digest = statistics ? ", f.digest" : "";

    std::vector<std::string> positive, negative;
    for (const Term& term : plan.required) positive.push_back(TermExpression(term));
    for (const Term& term : plan.excluded) negative.push_back(TermExpression(term));
    const std::string table = plan.stemming ? "stemmed" : "plain";
    // Case-sensitive queries check the words as written in the text.
    const std::string text = plan.caseSensitive ? table + ".text" : "''";

    std::string sql, match;
    if (!positive.empty()) {
      match = Joined(positive, plan.any ? " OR " : " AND ");
      if (!negative.empty()) match = "(" + match + ") NOT (" + Joined(negative, " OR ") + ")";
      sql = "SELECT f.id, f.path, f.category, f.title, f.size, f.modified, f.type, " + text + ", bm25(" + table +
            ", 2.0, 1.0)" + digest + " FROM " + table + " JOIN files f ON f.id = " + table + ".rowid WHERE " + table +
            " MATCH ?1";
    } else {
      // Nothing to rank by: every document the filters leave, by path.
      sql = "SELECT f.id, f.path, f.category, f.title, f.size, f.modified, f.type, '', 0" + digest +
            " FROM files f WHERE f.reason = ''";
      if (!negative.empty()) {
        match = Joined(negative, " OR ");
        sql += " AND f.id NOT IN (SELECT rowid FROM " + table + " WHERE " + table + " MATCH ?1)";
      }
    }
    if (!plan.categories.empty()) {
      sql += " AND f.category COLLATE NOCASE IN (";
      for (size_t i = 0; i < plan.categories.size(); ++i) sql += (i ? ",?" : "?") + std::to_string(i + 2);
      sql += ")";
    }
    // Equal scores keep the order of their paths.
    sql += positive.empty() ? " ORDER BY f.path" : " ORDER BY 9, f.path";
    // A case-sensitive query filters after the search, so it cannot stop at
    // the limit inside SQLite. One row more than asked for tells whether
    // the limit cut anything.
    if (!plan.caseSensitive) sql += " LIMIT " + std::to_string(limit + 1);

    StatementPtr statement = index.Prepare(sql);
    sqlite3_stmt* s = statement.get();
    if (!match.empty()) sqlite3_bind_text(s, 1, match.c_str(), -1, SQLITE_TRANSIENT);
    for (size_t i = 0; i < plan.categories.size(); ++i)
      sqlite3_bind_text(s, static_cast<int>(i + 2), plan.categories[i].c_str(), -1, SQLITE_TRANSIENT);

    Found found;
    std::vector<Hit>& hits = found.hits;
    std::vector<int64_t> rowids;
    double best = 0;
    int step = SQLITE_DONE;
    while (!abort && (step = sqlite3_step(s)) == SQLITE_ROW) {
      Hit hit;
      hit.title = Column(s, 3);
      if (plan.caseSensitive && !ExactMatch(plan, hit.title, Column(s, 7))) continue;
      if (hits.size() == limit) {
        found.more = true;
        break;
      }
      if (statistics) {
        hit.digest = Column(s, 9);
        // The words as written, as they matched.
        if (plan.caseSensitive) {
          const std::string body = Column(s, 7);
          for (const Term& term : plan.required)
            hit.tf.push_back(((term.fields & kTitle) ? Occurrences(hit.title, term, true) : 0) +
                             ((term.fields & kBody) ? Occurrences(body, term, true) : 0));
        }
      }
      rowids.push_back(sqlite3_column_int64(s, 0));
      hit.score = -sqlite3_column_double(s, 8);  // bm25: lower is better
      best = std::max(best, hit.score);
      const std::string rel = Column(s, 1);
      const std::string path = index.root() + (index.root().empty() || index.root().back() == '/' ? "" : "/") + rel;
      hit.id = IdOf(rel);
      hit.category = Column(s, 2);
      hit.properties = {{"path", CleanText(path)},
                        {"url", FileUrl(path)},
                        {"modified", Column(s, 5)},
                        {"size", std::to_string(sqlite3_column_int64(s, 4))},
                        {"type", Column(s, 6)}};
      hits.push_back(std::move(hit));
    }
    if (!abort && step != SQLITE_DONE && step != SQLITE_ROW) index.Fail();
    statement.reset();
    for (Hit& hit : hits) hit.score = best > 0 ? hit.score / best : 1.0;
    Snippets(index, table, match, positive.empty(), statistics ? &plan : nullptr, rowids, hits, abort);
    if (statistics && !abort) found.statistics = Count(index, table, plan, abort);
    return found;
  }

  Statistics CollectionStatistics(const Plan& plan, const Domain& domain, const std::atomic<bool>& abort) override {
    const std::string data = domain.Property("data", "");
    if (data.empty()) throw EngineError("no folder index configured");
    Index index(data);
    fts5::RegisterCounts(index.db());
    return Count(index, plan.stemming ? "stemmed" : "plain", plan, abort);
  }

 private:
  // The snippets of the hits only, once they are chosen: FTS5's passage
  // with the most matched words, or the text's start when nothing ranked.
  // With `counted` (the plan, when statistics are asked), each hit's
  // length and, unless they are counted as written, its terms' counts.
  static void Snippets(Index& index, const std::string& table, const std::string& match, bool unranked,
                       const Plan* counted, const std::vector<int64_t>& rowids, std::vector<Hit>& hits,
                       const std::atomic<bool>& abort) {
    const std::string counts =
        counted ? ", " + fts5::CountsCall(unranked ? "plain" : table, PhraseGroups(*counted), kDocumentColumns) : "";
    StatementPtr statement = unranked
                                 ? index.Prepare("SELECT text, title" + counts + " FROM plain WHERE rowid = ?2")
                                 : index.Prepare("SELECT snippet(" + table + ", 1, '', '', '...', 24), title" + counts +
                                                 " FROM " + table + " WHERE " + table + " MATCH ?1 AND rowid = ?2");
    sqlite3_stmt* s = statement.get();
    if (!unranked) sqlite3_bind_text(s, 1, match.c_str(), -1, SQLITE_TRANSIENT);
    for (size_t i = 0; i < hits.size() && !abort; ++i) {
      sqlite3_reset(s);
      sqlite3_bind_int64(s, 2, rowids[i]);
      if (sqlite3_step(s) != SQLITE_ROW) continue;
      std::string passage = Column(s, 0);
      if (passage.find_first_not_of(" \t\r\n") == std::string::npos) passage = Column(s, 1);
      hits[i].snippet = Snippet(passage, unranked ? 160 : 240);
      if (counted) {
        std::vector<uint64_t> exact = std::move(hits[i].tf);
        if (fts5::ReadCounts(sqlite3_column_text(s, 2), counted->required.size(), hits[i]) && counted->caseSensitive)
          hits[i].tf = std::move(exact);
      }
    }
  }

  // The statistics of the index for the plan's required terms, searched
  // in `table`.
  static Statistics Count(Index& index, const std::string& table, const Plan& plan, const std::atomic<bool>& abort) {
    Statistics statistics;
    fts5::Totals(index.db(), "plain", kDocumentColumns, statistics);
    for (const Term& term : plan.required) {
      if (abort) return {};
      const std::string expression = TermExpression(term);
      if (!plan.caseSensitive) {
        statistics.df.push_back(
            fts5::CountRows(index.db(), "SELECT count(*) FROM " + table + " WHERE " + table + " MATCH ?1", expression));
        continue;
      }
      // As written: the documents whose fields hold the word itself.
      statistics.df.push_back(fts5::CountRows(
          index.db(), "SELECT title, text FROM plain WHERE plain MATCH ?1", expression, [&](sqlite3_stmt* row) {
            return ((term.fields & kTitle) && HasExactWord(Column(row, 0), term.word)) ||
                   ((term.fields & kBody) && HasExactWord(Column(row, 1), term.word));
          }));
    }
    return statistics;
  }
};

}  // namespace

std::unique_ptr<Engine> MakeEngine() { return std::make_unique<FilesEngine>(); }

}  // namespace tessik_plugins
