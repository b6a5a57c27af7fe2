// How the SQLite plugin's database is laid out; the indexer and the engine
// must agree on it. The documents sit in one table; two FTS5 indexes over
// its title and text (external content) answer the searches: "plain" with
// the unicode61 tokenizer, "stemmed" with the porter tokenizer over it.
// Each document keeps its digest (kit/Digest.h). The database's
// user_version is kVersion; the plugin refuses another.
#ifndef TESSIK_PLUGINS_SQLITE_SCHEMA_H_
#define TESSIK_PLUGINS_SQLITE_SCHEMA_H_

namespace tessik_plugins::sqlite_schema {

// 2: the digests. (1 was never written: the first databases had none.)
inline constexpr int kVersion = 2;

inline constexpr const char* kCreate =
    "CREATE TABLE docs(rowid INTEGER PRIMARY KEY, id TEXT UNIQUE NOT NULL, category TEXT NOT NULL,"
    " title TEXT NOT NULL, body TEXT NOT NULL, digest TEXT NOT NULL);"
    "CREATE INDEX docs_category ON docs(category COLLATE NOCASE);"
    "CREATE VIRTUAL TABLE plain USING fts5(title, body, content='docs', content_rowid='rowid',"
    " tokenize='unicode61');"
    "CREATE VIRTUAL TABLE stemmed USING fts5(title, body, content='docs', content_rowid='rowid',"
    " tokenize='porter unicode61');";

// The first of two documents with one id stays.
inline constexpr const char* kInsert =
    "INSERT OR IGNORE INTO docs(id, category, title, body, digest) VALUES(?1, ?2, ?3, ?4, ?5)";

inline constexpr const char* kFill =
    "INSERT INTO plain(plain) VALUES('rebuild'); INSERT INTO stemmed(stemmed) VALUES('rebuild');"
    "INSERT INTO plain(plain) VALUES('optimize'); INSERT INTO stemmed(stemmed) VALUES('optimize');";

}  // namespace tessik_plugins::sqlite_schema

#endif  // TESSIK_PLUGINS_SQLITE_SCHEMA_H_
