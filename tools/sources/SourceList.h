// The user's list of sources: the documents every search runs over. A small
// text file a person can read and edit, one "[NAME]" section per source with
// "key = value" lines, as the plugins' configuration files are written:
//
//   [notes]
//   engine = files
//   path = /home/me/notes
//   exclude = *.tmp
//
// Keys: "engine" (files, xapian or sqlite) and "path" in every section;
// folder sources take "exclude" (repeatable), "max-size", "include-hidden"
// and "index" (where the index lies; by default a folder of the cache named
// after the list and the source); sqlite sources "table", "title", "text"
// (repeatable), "id", "url" and "category" (column names). Paths are
// absolute, or relative to the list's folder.
#ifndef TESSIK_TOOLS_SOURCES_SOURCELIST_H_
#define TESSIK_TOOLS_SOURCES_SOURCELIST_H_

#include <cstdint>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "files/Indexer.h"

namespace tessik_cli {

inline constexpr const char* kEngines[] = {"files", "xapian", "sqlite"};

struct Source {
  std::string name, engine, path;
  // Every other "key = value" line, in order; a key may repeat.
  std::vector<std::pair<std::string, std::string>> options;

  std::vector<std::string> Values(const std::string& key) const;
  std::string Value(const std::string& key, const std::string& fallback = "") const;
};

struct SourceList {
  std::string file;  // where it is read from and written to
  bool exists = false;
  std::vector<Source> sources;

  const Source* Find(const std::string& name) const;
};

// What is wrong with a list or a source, in words: "FILE:LINE: problem"
// for a list that cannot be read.
struct SourceError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// "16M" and the like: a whole number of bytes above 0, with K, M or G as
// powers of 1024. False for anything else.
bool ParseSize(const std::string& text, uint64_t& bytes);

// 1 to 64 ASCII letters, digits, "-" and "_": a name is the domain its
// hits carry and part of its index's folder name.
bool IsSourceName(const std::string& name);

// Reads the list at `file`; a list that is not there is an empty one
// (exists false). Relative paths are made absolute against the list's
// folder. Throws SourceError naming the file (and the line) when it cannot
// be read or is malformed.
SourceList ReadList(const std::string& file);

// The list's text, as WriteList writes it.
std::string ListText(const SourceList& list);

// Writes the list atomically: a temporary file beside it, then a rename, so
// a list is never half written. Makes its folder when missing. Throws
// SourceError.
void WriteList(const SourceList& list);

// Where the list lies when --config names none: $XDG_CONFIG_HOME/tessik
// (else ~/.config/tessik) on Linux, %APPDATA%\tessik on Windows. Throws
// SourceError when neither variable nor a home is set.
std::string DefaultListFile();

// Where a folder source's index lies: its "index" key, else a folder of
// the cache ($XDG_CACHE_HOME/tessik, else ~/.cache/tessik; on Windows
// %LOCALAPPDATA%\tessik) named after the source and the list's path, so
// two lists never share an index.
std::string IndexFile(const SourceList& list, const Source& source);
// True when the index lies in the cache folder that IndexFile gives by
// default: that one is ours to delete.
bool IndexIsOurs(const SourceList& list, const Source& source);

// How a folder source is indexed: its folder, index, excludes, size limit
// and hidden files, as its keys say.
tessik_plugins::folder::IndexOptions IndexOptionsOf(const SourceList& list, const Source& source);

}  // namespace tessik_cli

#endif  // TESSIK_TOOLS_SOURCES_SOURCELIST_H_
