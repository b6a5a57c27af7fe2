// The folder index: an SQLite FTS5 database (files/Schema.h) that holds
// every document of one folder, and the update that brings it in line with
// the folder, reading only what changed. The folder engine searches it; the
// tessik command and tessik-index-files update it.
//
// What becomes a document: every regular file of the folder and its
// subfolders that is not binary (no NUL byte in its first 8 KiB). Text is
// read as UTF-8; as UTF-16 when it starts with a byte order mark; any other
// bytes as Latin-1. HTML and XML lose their markup and give their <title>;
// Markdown gives its first heading; PDF goes through pdftotext when it is
// installed. Anything else gives its first non-empty line as the title,
// else the file name. The category is the first folder level below the root
// ("" at the top); the id the path below the root without its extension.
//
// The walk follows links to files, and links to folders once (a folder
// reached twice, or a link to an ancestor, is skipped). In the excludes '*'
// matches '/' too, and '\' quotes the next character. Paths are stored as
// their bytes ('/'-separated; UTF-8 on Windows), so names that are not
// UTF-8 work. An index kept inside its folder leaves itself out. Files that
// are no document for a lasting reason (binary, too large, not decodable)
// are remembered with it and not read again while they are unchanged.
#ifndef TESSIK_PLUGINS_FILES_INDEXER_H_
#define TESSIK_PLUGINS_FILES_INDEXER_H_

#include <atomic>
#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "files/Content.h"

namespace tessik_plugins::folder {

// An index of another version is rebuilt by Update, and reported as "old
// format" until then, except one of format 2 without digests (the words
// already normalised), which Update gives its digests in place.
// 1: FTS5's unicode61 words. 2: either the words normalised (kit/Normalise.h)
// or the digests. 3: both.
inline constexpr int kFormatVersion = 3;

struct IndexOptions {
  std::string root;                   // the folder (UTF-8)
  std::string index;                  // the index file (UTF-8); its folder is created when missing
  std::vector<std::string> excludes;  // globs ('*', '?', '[...]'), matched against the path below root ('/'-separated) and against each name
  uint64_t maxSize = 16u << 20;       // larger files are skipped
  bool includeHidden = false;         // hidden files/folders (name starts with '.') and .git are skipped unless set
  // A batch is committed when it holds this many files or has read this
  // many bytes, whichever comes first. Each commit costs an FTS5 flush and
  // the pages it wrote; this many keeps that small beside the inserts.
  uint64_t batchFiles = 2000;
  uint64_t batchBytes = 16u << 20;
};

struct Progress {
  uint64_t total = 0;  // files the walk found (not those inside skipped folders)
  uint64_t seen = 0, indexed = 0, unchanged = 0, skipped = 0, removed = 0;
  // Files and folders left out by the options (hidden, .git, excluded):
  // asked for, so not counted as skipped.
  uint64_t leftOut = 0;
  uint64_t bytes = 0;  // read
  double seconds = 0;
};

struct Skip {
  std::string path, reason;  // path for display (UTF-8, invalid bytes U+FFFD)
  bool leftOut = false;      // by the options, not for want of reading it
};

struct Summary : Progress {
  std::vector<Skip> skips;  // every file skipped or failed, and why (a skipped folder is one entry)
  bool stopped = false;     // stop was set: what was committed stays
};

struct Busy : std::runtime_error {  // another writer holds the index
  using std::runtime_error::runtime_error;
};

// Brings the index up to date with the folder. Throws std::runtime_error
// with a clear message (missing folder, a file where a folder is needed,
// index cannot be opened/written), Busy when another Update of the same
// index runs (in any process). Calls onProgress (may be empty) from the
// calling thread now and then (at least after each committed batch, and
// after the walk). Returns early, committed, when stop turns true.
Summary Update(const IndexOptions& options, const std::function<void(const Progress&)>& onProgress,
              const std::atomic<bool>& stop);

struct IndexState {
  bool exists = false;
  uint64_t documents = 0;
  std::string indexedAt;  // ISO 8601 UTC, "" if never
  // "ready", "stale" (the folder changed since), "incomplete" (an update
  // did not finish), "old format", "missing"
  std::string state;
};

// Never writes; "stale" by a quick walk comparing size+mtime.
IndexState Inspect(const IndexOptions& options);

// Every document Update would put in the index for `options`, read as it
// reads them, in path order: each(rel, content), rel the path below the
// root ('/'-separated). Files that are no document are left out as Update
// leaves them out. Never opens the index (options.index only keeps an
// index inside the folder out of the walk). Throws std::runtime_error when
// the root is no folder.
void ReadDocuments(const IndexOptions& options, const std::function<void(const std::string& rel, Content&&)>& each);

// Deletes the index and its companion files; never anything else.
void RemoveIndex(const std::string& index);

// The file beside the index that a running Update holds locked.
std::string LockFileOf(const std::string& index);

}  // namespace tessik_plugins::folder

#endif  // TESSIK_PLUGINS_FILES_INDEXER_H_
