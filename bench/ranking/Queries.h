// The query set: WordNet lemmas, single words and pairs, that documents of
// at least two collections match, so that every query makes the merge
// choose between sources. Made the same way every time from the same
// WordNet and seed, and kept in a file so that later runs can ask the same.
#ifndef TESSIK_BENCH_RANKING_QUERIES_H_
#define TESSIK_BENCH_RANKING_QUERIES_H_

#include <cstdint>
#include <string>
#include <vector>

#include "ranking/Reference.h"

namespace tessik_ranking {

using Query = std::vector<std::string>;  // its words; every one must match

struct QuerySetOptions {
  std::string wordnetDir = "/usr/share/wordnet";
  size_t count = 300;          // half of them pairs, when there are that many
  uint64_t seed = 20240611;
  size_t minCollections = 2;
  std::vector<std::string> domains;  // the collections to count
};

// The lemmas of WordNet's index.noun, .verb, .adj and .adv that are one
// word or two different words of ASCII letters only (so that no engine's
// own reading of digits, hyphens or apostrophes decides a match), sorted,
// then put in an order drawn from the seed (Fisher-Yates over the raw
// output of std::mt19937_64, whose sequence the C++ standard fixes), and
// kept in that order while they match documents of enough collections.
// Single words first, then pairs. Throws std::runtime_error when WordNet
// cannot be read.
std::vector<Query> MakeQueries(const QuerySetOptions& options, const Reference& reference);

// The file: a comment header, then one query a line, its words separated by
// one space. Reading skips empty lines and lines starting with '#'.
void WriteQueries(const std::string& path, const std::vector<Query>& queries, const std::string& header);
std::vector<Query> ReadQueries(const std::string& path);

}  // namespace tessik_ranking

#endif  // TESSIK_BENCH_RANKING_QUERIES_H_
