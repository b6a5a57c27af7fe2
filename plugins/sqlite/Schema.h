// How the SQLite plugin's database is laid out; the indexer and the engine
// must agree on it. The documents sit in one table, as written, each with
// its digest (kit/Digest.h); two FTS5 indexes over its title and text
// (external content) answer the searches: "plain" with the kit's tokenizer
// "tessik" (kit/Fts5.h), which indexes the normalised words
// (kit/Normalise.h), "stemmed" with the porter tokenizer over it. Every
// connection registers the tokenizer before it uses them. The database's
// user_version is kFormatVersion; the plugin refuses another.
#ifndef TESSIK_PLUGINS_SQLITE_SCHEMA_H_
#define TESSIK_PLUGINS_SQLITE_SCHEMA_H_

namespace tessik_plugins::sqlite_schema {

// 3: the words normalised and the digests. Before it there was none (0),
// and 2 was either of them alone (two versions of tessik-index-sqlite);
// the engine asks for a database built again.
inline constexpr int kFormatVersion = 3;
inline constexpr const char* kSetVersion = "PRAGMA user_version = 3";
inline constexpr const char* kGetVersion = "PRAGMA user_version";

inline constexpr const char* kCreate =
    "CREATE TABLE docs(rowid INTEGER PRIMARY KEY, id TEXT UNIQUE NOT NULL, category TEXT NOT NULL,"
    " title TEXT NOT NULL, body TEXT NOT NULL, digest TEXT NOT NULL);"
    "CREATE INDEX docs_category ON docs(category COLLATE NOCASE);"
    "CREATE VIRTUAL TABLE plain USING fts5(title, body, content='docs', content_rowid='rowid',"
    " tokenize='tessik');"
    "CREATE VIRTUAL TABLE stemmed USING fts5(title, body, content='docs', content_rowid='rowid',"
    " tokenize='porter tessik');";

// The first of two documents with one id stays.
inline constexpr const char* kInsert =
    "INSERT OR IGNORE INTO docs(id, category, title, body, digest) VALUES(?1, ?2, ?3, ?4, ?5)";

inline constexpr const char* kFill =
    "INSERT INTO plain(plain) VALUES('rebuild'); INSERT INTO stemmed(stemmed) VALUES('rebuild');"
    "INSERT INTO plain(plain) VALUES('optimize'); INSERT INTO stemmed(stemmed) VALUES('optimize');";

}  // namespace tessik_plugins::sqlite_schema

#endif  // TESSIK_PLUGINS_SQLITE_SCHEMA_H_
