// Hits of a reference plugin and the results documents made of them with the
// library's own hit objects and writer.
#ifndef TESSIK_PLUGINS_KIT_RESULTS_H_
#define TESSIK_PLUGINS_KIT_RESULTS_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "tessik/Char.h"

namespace tessik_plugins {

struct Hit {
  double score = 0;  // normalised into [0, 1] by the engine
  std::string id;
  std::string title;
  std::string snippet;
  std::string category;
  // Further properties the engine knows of the document ("path", "url",
  // "modified", ...), written in this order after those above.
  std::vector<std::pair<std::string, std::string>> properties;
  // What the engine counted of the document when the domain asked for
  // statistics (kit/Statistics.h): its length in tokens and, for each of
  // the plan's required terms in order, its occurrences. `digest`
  // (kit/Digest.h) when the index stores one.
  bool counted = false;
  uint64_t length = 0;
  std::vector<uint64_t> tf;
  std::string digest;
};

// What an engine counted of the whole source when the domain asked for
// statistics: its documents, the sum of their lengths and, for each of the
// plan's required terms in order, the documents holding it.
struct Statistics {
  bool known = false;
  uint64_t documents = 0, length = 0;
  std::vector<uint64_t> df;
};

// What an engine found: the best hits, best first, whether its limit left
// matches out, and the statistics of the source when asked.
struct Found {
  std::vector<Hit> hits;
  bool more = false;
  Statistics statistics;
};

// A results document for hits [begin, end) of `found`, every one with the
// properties "domain", "id", "title", "snippet" and, when it has one,
// "category" (kit/Names.h), "source-rank", its position in `found` from 1,
// and "plugin", the name of the plugin writing it (its configuration's). When the range ends with the last hit and the engine had more,
// that hit also carries "more". When the range starts at the first hit and
// the statistics are known, the statistics entry comes first (also when
// the range holds no hit); `keys` (kit/Statistics.h) name the terms the
// counts are of. With `ends`, the last entry written (the last hit, else
// the statistics entry) carries "answered": the domain's answer ends
// there. Every text is cleaned of what XML cannot carry (CleanText), so
// one odd document never costs the others. Returns a buffer of
// Tessik_Allocate the caller owns, or null when the library could not
// write it.
TessikChar* WriteResults(const Found& found, size_t begin, size_t end, const std::string& domain,
                         const std::vector<std::string>& keys = {}, bool ends = false);

// What a plugin says for one domain of a search: its hits, or, when
// `error` is not empty, that its search failed with `status`. `keys`: as
// for WriteResults.
struct Answer {
  std::string domain;
  Found found;
  std::string error;
  int status = 0;
  std::vector<std::string> keys;
};

// One results document with every answer's hits and error entries (as
// WriteResults and WriteError write them), in order. Ownership as there.
TessikChar* WriteAnswers(const std::vector<Answer>& answers);

// A results document holding one entry that reports a failure instead of a
// hit: score 0 and the properties "domain", "plugin", "error" (what failed,
// in words) and "status" (a status code as decimal text). Applications tell such
// entries by their "error" property; the library merges them like hits, so
// the other plugins' hits still arrive beside them.
TessikChar* WriteError(const std::string& domain, const std::string& message, int status);
// An entry of its own that ends `domain`'s answer (kit/Names.h,
// "answered"), for an answer with no entry to carry it. Ownership as for
// WriteResults.
TessikChar* WriteAnswered(const std::string& domain);

}  // namespace tessik_plugins

#endif  // TESSIK_PLUGINS_KIT_RESULTS_H_
