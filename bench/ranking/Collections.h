// The sample collections as their plugins index them, read from the same
// source texts their indexers read, so that the reference holds exactly the
// documents (and ids) the command's hits come from.
#ifndef TESSIK_BENCH_RANKING_COLLECTIONS_H_
#define TESSIK_BENCH_RANKING_COLLECTIONS_H_

#include <functional>
#include <string>

namespace tessik_ranking {

struct Document {
  std::string domain, id, title, text;
  std::string Key() const { return domain + "/" + id; }  // as a hit's domain and id name it
};

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

}  // namespace tessik_ranking

#endif  // TESSIK_BENCH_RANKING_COLLECTIONS_H_
