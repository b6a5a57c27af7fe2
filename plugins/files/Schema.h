// How a folder index is laid out; the indexer (Indexer.cc) and the folder
// engine (FilesEngine.cc) must agree on it, and kFormatVersion (Indexer.h)
// changes with it.
//
//   meta     key/value facts of the index: "format", "root" (the folder as
//            indexed, '/'-separated bytes), "indexed-at" (ISO 8601 UTC of
//            the last finished update), "complete" ("1" when the last update
//            finished, "0" while one runs or after one was cut short) and
//            "options" (the walk's options, for display).
//   files    one row a document: the path below the root as raw bytes
//            ('/'-separated; on Windows UTF-8), the size and modification
//            time the update compares, and what a hit shows of it. A file
//            that is no document for a lasting reason (binary, too large,
//            not decodable) has a row with that reason and no text, so an
//            update need not read it again while it is unchanged. "digest"
//            is the document's (kit/Digest.h), "" for such a row.
//   plain    FTS5 over title and text with the unicode61 tokenizer; it holds
//            the text itself, which serves snippets and case-sensitive checks.
//   stemmed  FTS5 over the same columns with the porter tokenizer, its
//            content read from "plain", for queries that ask for stems.
// files.id is the rowid of both FTS5 tables. Every change of a document
// touches the three in one transaction.
#ifndef TESSIK_PLUGINS_FILES_SCHEMA_H_
#define TESSIK_PLUGINS_FILES_SCHEMA_H_

namespace tessik_plugins::folder_schema {

inline constexpr const char* kCreate =
    "CREATE TABLE meta(key TEXT PRIMARY KEY, value TEXT NOT NULL) WITHOUT ROWID;"
    "CREATE TABLE files(id INTEGER PRIMARY KEY, path BLOB UNIQUE NOT NULL, size INTEGER NOT NULL,"
    " mtime INTEGER NOT NULL, title TEXT NOT NULL, category TEXT NOT NULL, type TEXT NOT NULL,"
    " modified TEXT NOT NULL, reason TEXT NOT NULL DEFAULT '', digest TEXT NOT NULL DEFAULT '');"
    "CREATE INDEX files_category ON files(category COLLATE NOCASE);"
    "CREATE VIRTUAL TABLE plain USING fts5(title, text, tokenize='unicode61');"
    "CREATE VIRTUAL TABLE stemmed USING fts5(title, text, content='plain', content_rowid='rowid',"
    " tokenize='porter unicode61');";

// Every connection: WAL, so that searches read the last committed state
// while an update writes, and a commit costs no sync of its own.
inline constexpr const char* kPragmas = "PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL;";

// A writer's: checkpoints (each one a sync) every 64 MiB of changes rather
// than every 4 MiB, so that most batches commit without one (closing
// checkpoints the rest), and a page cache that holds the FTS5 segments a
// batch merges into instead of reading them back.
inline constexpr const char* kWriterPragmas = "PRAGMA wal_autocheckpoint=16384; PRAGMA cache_size=-65536;";

inline constexpr const char* kSetMeta = "INSERT OR REPLACE INTO meta(key, value) VALUES(?1, ?2)";
inline constexpr const char* kGetMeta = "SELECT value FROM meta WHERE key = ?1";

inline constexpr const char* kInsertFile =
    "INSERT INTO files(id, path, size, mtime, title, category, type, modified, reason, digest)"
    " VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10)";
inline constexpr const char* kInsertPlain = "INSERT INTO plain(rowid, title, text) VALUES(?1, ?2, ?3)";
inline constexpr const char* kInsertStemmed = "INSERT INTO stemmed(rowid, title, text) VALUES(?1, ?2, ?3)";

// Removing a document: the stemmed index is told the words it had (read
// from "plain") before "plain" forgets them.
inline constexpr const char* kDeleteStemmed =
    "INSERT INTO stemmed(stemmed, rowid, title, text) SELECT 'delete', rowid, title, text FROM plain WHERE rowid = ?1";
inline constexpr const char* kDeletePlain = "DELETE FROM plain WHERE rowid = ?1";
inline constexpr const char* kDeleteFile = "DELETE FROM files WHERE id = ?1";

inline constexpr const char* kListFiles = "SELECT id, path, size, mtime, reason FROM files";

// Format 1 had no digests: an update adds the column and fills it from the
// text "plain" holds, reading no file again.
inline constexpr const char* kAddDigest = "ALTER TABLE files ADD COLUMN digest TEXT NOT NULL DEFAULT ''";
inline constexpr const char* kListTexts = "SELECT rowid, title, text FROM plain";
inline constexpr const char* kSetDigest = "UPDATE files SET digest = ?2 WHERE id = ?1";

}  // namespace tessik_plugins::folder_schema

#endif  // TESSIK_PLUGINS_FILES_SCHEMA_H_
