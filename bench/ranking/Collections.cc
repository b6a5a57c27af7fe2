#include "ranking/Collections.h"

#include <sqlite3.h>
#include <xapian.h>

#include <filesystem>
#include <map>
#include <memory>
#include <stdexcept>

#include "files/Indexer.h"
#include "kit/Text.h"
#include "kit/Tsv.h"
#include "sqlite/Table.h"
#include "xapian/Scheme.h"

namespace tessik_ranking {

namespace fs = std::filesystem;
namespace folder = tessik_plugins::folder;
using tessik_plugins::SampleDocument;

namespace {

void ReadTsv(const std::string& path, const std::string& domain, bool lastWins,
             const std::function<void(Document&&)>& each) {
  std::map<std::string, Document> byId;
  tessik_plugins::ReadSampleDocuments(path, [&](const SampleDocument& d) {
    Document doc{domain, d.id, d.title, d.text};
    if (lastWins) byId.insert_or_assign(d.id, std::move(doc));
    else byId.emplace(d.id, std::move(doc));
  });
  for (auto& [id, doc] : byId) each(std::move(doc));
}

using Statement = std::unique_ptr<sqlite3_stmt, decltype(&sqlite3_finalize)>;

std::string ColumnText(sqlite3_stmt* row, int column) {
  const unsigned char* text = sqlite3_column_text(row, column);
  return text != nullptr ? std::string(reinterpret_cast<const char*>(text)) : std::string();
}

// The rows of `sql` (id, title, then text columns), each one document.
void ReadRows(sqlite3* db, const std::string& sql, const std::string& domain, const std::string& where,
              const std::function<void(Document&&)>& each) {
  sqlite3_stmt* raw = nullptr;
  if (sqlite3_prepare_v2(db, sql.c_str(), -1, &raw, nullptr) != SQLITE_OK)
    throw std::runtime_error(where + ": " + sqlite3_errmsg(db));
  const Statement statement(raw, &sqlite3_finalize);
  const int columns = sqlite3_column_count(raw);
  int step = SQLITE_ROW;
  while ((step = sqlite3_step(raw)) == SQLITE_ROW) {
    Document doc{domain, tessik_plugins::CleanText(ColumnText(raw, 0)), ColumnText(raw, 1), ""};
    for (int c = 2; c < columns; ++c) doc.text += (c > 2 ? "\n" : "") + ColumnText(raw, c);
    each(std::move(doc));
  }
  if (step != SQLITE_DONE) throw std::runtime_error(where + ": " + sqlite3_errmsg(db));
}

void ReadSqlite(const tessik_cli::Source& source, const std::function<void(Document&&)>& each) {
  namespace table = tessik_plugins::sqlite_table;
  std::string sql = "SELECT id, title, body FROM docs";  // tessik-index-sqlite's (sqlite/Schema.h)
  if (!source.Values("table").empty()) {
    table::Columns wanted{source.Value("table"), source.Value("title"), source.Values("text"), source.Value("id"), "",
                          ""};
    const table::Columns found = table::Check(source.path, wanted);
    const bool rowid = found.id.empty() || tessik_plugins::Fold(found.id) == "rowid";
    sql = "SELECT " + (rowid ? std::string("rowid") : table::Quoted(found.id)) + ", " +
          (found.title.empty() ? std::string("''") : table::Quoted(found.title));
    for (const std::string& c : found.text) sql += ", " + table::Quoted(c);
    sql += " FROM " + table::Quoted(found.table);
  }
  sqlite3* raw = nullptr;
  const int opened = sqlite3_open_v2(source.path.c_str(), &raw, SQLITE_OPEN_READONLY, nullptr);
  const std::unique_ptr<sqlite3, decltype(&sqlite3_close)> db(raw, &sqlite3_close);
  if (opened != SQLITE_OK) throw std::runtime_error("cannot open " + source.path + ": " + sqlite3_errstr(opened));
  ReadRows(db.get(), sql, source.name, source.path, each);
}

// False when the database is none of tessik-index-xapian's.
bool ReadXapian(const tessik_cli::Source& source, const std::function<void(Document&&)>& each) {
  namespace scheme = tessik_plugins::xapian_scheme;
  const Xapian::Database db(source.path);
  if (db.get_doccount() > 0 && db.get_metadata(scheme::kFormatKey) != scheme::kFormat) return false;
  for (auto it = db.postlist_begin(""); it != db.postlist_end(""); ++it) {
    const scheme::Stored stored = scheme::Parse(db.get_document(*it).get_data());
    each(Document{source.name, stored.id, stored.title, stored.text});
  }
  return true;
}

}  // namespace

void ReadFolder(const folder::IndexOptions& options, const std::string& domain,
                const std::function<void(Document&&)>& each) {
  folder::ReadDocuments(options, [&](const std::string& rel, folder::Content&& content) {
    // '/'-separated, as the index stores it: the yardstick runs on Linux only.
    const size_t slash = rel.rfind('/');
    const size_t base = slash == std::string::npos ? 0 : slash + 1;
    const size_t dot = rel.rfind('.');
    std::string id = tessik_plugins::CleanText(dot != std::string::npos && dot > base ? rel.substr(0, dot) : rel);
    each(Document{domain, std::move(id), std::move(content.title), std::move(content.text)});
  });
}

SourcesRead ReadSources(const tessik_cli::SourceList& list, const std::function<void(Document&&)>& each) {
  SourcesRead read;
  for (const tessik_cli::Source& source : list.sources) {
    if (source.engine == "files") {
      ReadFolder(tessik_cli::IndexOptionsOf(list, source), source.name, each);
    } else if (source.engine == "sqlite") {
      ReadSqlite(source, each);
    } else if (source.engine != "xapian" || !ReadXapian(source, each)) {
      read.leftOut.emplace_back(source.name, source.engine == "xapian"
                                                 ? "a Xapian database of omindex's stores only the start of each "
                                                   "text, not the words its index holds"
                                                 : "no engine " + source.engine);
      continue;
    }
    read.read.push_back(source.name);
  }
  return read;
}

void ReadSamples(const std::string& sampleDir, const std::function<void(Document&&)>& each) {
  const fs::path dir = tessik_plugins::PathOf(sampleDir);
  ReadTsv(tessik_plugins::Utf8Of(dir / "text" / "glosses.tsv"), "glosses", true, each);
  ReadTsv(tessik_plugins::Utf8Of(dir / "text" / "manpages.tsv"), "manpages", false, each);
  folder::IndexOptions quotes;
  quotes.root = tessik_plugins::Utf8Of(dir / "quotes");
  ReadFolder(quotes, "quotes", each);
}

}  // namespace tessik_ranking
