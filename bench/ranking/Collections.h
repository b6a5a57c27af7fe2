// The collections the command searches, read from what their engines
// search (or, for the bundled samples without a list, from the texts their
// indexers read), so that the reference holds exactly the documents (and
// ids) the command's hits come from.
#ifndef TESSIK_BENCH_RANKING_COLLECTIONS_H_
#define TESSIK_BENCH_RANKING_COLLECTIONS_H_

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "files/Indexer.h"
#include "sources/SourceList.h"

namespace tessik_ranking {

struct Document {
  std::string domain, id, title, text;
  std::string Key() const { return domain + "/" + id; }  // as a hit's domain and id name it
};

// The documents of a folder as the folder index reads them (files/Indexer.h
// ReadDocuments, with `options`), under `domain`, each id the path below
// the folder without the extension, as the files plugin names its hits.
void ReadFolder(const tessik_plugins::folder::IndexOptions& options, const std::string& domain,
                const std::function<void(Document&&)>& each);

// Every document of the bundled samples under `sampleDir` (the build's
// sample/ folder), handed to `each`:
//   glosses   text/glosses.tsv; tessik-index-xapian replaces a document by
//             its id, so the last line of an id stays;
//   manpages  text/manpages.tsv; tessik-index-sqlite inserts or ignores,
//             so the first line of an id stays;
//   quotes    every file of quotes/, made title and text by the folder
//             index's own reading (files/Content.h), its id the path below
//             the folder without the extension (files/Indexer.h); hidden
//             files, binary files and files over the index's size limit
//             are left out, as the index leaves them out.
// Throws std::runtime_error when a collection cannot be read.
void ReadSamples(const std::string& sampleDir, const std::function<void(Document&&)>& each);

// What ReadSources read of a list: the names of the sources read, and those
// left out, each with why.
struct SourcesRead {
  std::vector<std::string> read;
  std::vector<std::pair<std::string, std::string>> leftOut;  // name, why
};

// Every document of the sources of `list` (tools/sources/SourceList.h),
// the bundled samples among them when the list holds them, each under its
// source's name as domain, read from what its engine searches:
//   files   the folder as the folder index reads it (ReadFolder) with the
//           source's excludes, size limit and hidden files; what the
//           folder holds now, so an index not brought up to date (tessik
//           sources update) differs;
//   xapian  a database of tessik-index-xapian: every document's stored
//           id, title and text (xapian/Scheme.h). Others, omindex's, are
//           left out: they store only the start of each text;
//   sqlite  with a table: each row's id column (else its rowid), title
//           column and text columns, as the plugin reads them (columns
//           resolved by sqlite/Table.h); without: a database of
//           tessik-index-sqlite, its documents' id, title and text.
// Throws std::runtime_error when a source that is read cannot be.
SourcesRead ReadSources(const tessik_cli::SourceList& list, const std::function<void(Document&&)>& each);

}  // namespace tessik_ranking

#endif  // TESSIK_BENCH_RANKING_COLLECTIONS_H_
