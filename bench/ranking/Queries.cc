#include "ranking/Queries.h"

#include <algorithm>
#include <fstream>
#include <random>
#include <set>
#include <sstream>
#include <stdexcept>

namespace tessik_ranking {

namespace {

bool Letters(const std::string& word) {
  return !word.empty() && std::all_of(word.begin(), word.end(), [](char c) { return c >= 'a' && c <= 'z'; });
}

void Shuffle(std::vector<Query>& queries, std::mt19937_64& random) {
  for (size_t i = queries.size(); i > 1; --i) std::swap(queries[i - 1], queries[random() % i]);
}

}  // namespace

std::vector<Query> MakeQueries(const QuerySetOptions& o, const Reference& reference) {
  std::set<Query> singles, pairs;
  for (const char* part : {"noun", "verb", "adj", "adv"}) {
    const std::string path = o.wordnetDir + "/index." + part;
    std::ifstream in(path);
    if (!in) throw std::runtime_error("cannot read " + path + " (package wordnet-base)");
    std::string line;
    while (std::getline(in, line)) {
      if (line.empty() || line[0] == ' ') continue;  // the licence at the top
      Query words;
      std::istringstream lemma(line.substr(0, line.find(' ')));
      for (std::string word; std::getline(lemma, word, '_');) words.push_back(word);
      if (!std::all_of(words.begin(), words.end(), Letters)) continue;
      if (words.size() == 1) singles.insert(words);
      if (words.size() == 2 && words[0] != words[1]) pairs.insert(words);
    }
  }
  std::mt19937_64 random(o.seed);
  std::vector<Query> orderedSingles(singles.begin(), singles.end()), orderedPairs(pairs.begin(), pairs.end());
  Shuffle(orderedSingles, random);
  Shuffle(orderedPairs, random);

  auto enough = [&](const Query& q) {
    size_t matched = 0;
    for (const std::string& domain : o.domains) matched += reference.Matches(q, domain);
    return matched >= o.minCollections;
  };
  std::vector<Query> chosenPairs;
  for (const Query& q : orderedPairs) {
    if (chosenPairs.size() == o.count / 2) break;
    if (enough(q)) chosenPairs.push_back(q);
  }
  std::vector<Query> chosen;
  for (const Query& q : orderedSingles) {
    if (chosen.size() + chosenPairs.size() == o.count) break;
    if (enough(q)) chosen.push_back(q);
  }
  chosen.insert(chosen.end(), chosenPairs.begin(), chosenPairs.end());
  return chosen;
}

void WriteQueries(const std::string& path, const std::vector<Query>& queries, const std::string& header) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  std::istringstream lines(header);
  for (std::string line; std::getline(lines, line);) out << "# " << line << '\n';
  for (const Query& q : queries) {
    for (size_t i = 0; i < q.size(); ++i) out << (i ? " " : "") << q[i];
    out << '\n';
  }
  if (!out.flush()) throw std::runtime_error("cannot write " + path);
}

std::vector<Query> ReadQueries(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  std::vector<Query> queries;
  for (std::string line; std::getline(in, line);) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream words(line);
    Query q;
    for (std::string w; words >> w;) q.push_back(w);
    if (!q.empty()) queries.push_back(std::move(q));
  }
  return queries;
}

}  // namespace tessik_ranking
