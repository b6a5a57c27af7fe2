// The WordNet 3.0 database in its standard files, read in place: each file
// is mapped whole, the sorted index and exception files are searched by
// bisection, and the data files are read at the offsets the index gives.
// Once open, a Database is never changed, so any number of threads may look
// words up in it at once.
#ifndef WORDNETEN_DATABASE_H_
#define WORDNETEN_DATABASE_H_

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "wordnet/MappedFile.h"

namespace wordnet {

enum Pos { kNoun, kVerb, kAdjective, kAdverb, kPosCount };

class Database {
 public:
  // Maps index.<pos>, data.<pos> and <pos>.exc of every part of speech in
  // `folder`; null when one is missing or unreadable.
  static std::unique_ptr<Database> Open(const std::string& folder);

  // The base forms of `word` (already in lemma form: see ToLemma) in `pos`
  // that the index holds: the word itself when it is a lemma, then what the
  // exception list gives or, when it lists nothing, what the suffix rules
  // give. Each once, in that order.
  std::vector<std::string> BaseForms(Pos pos, std::string_view word) const;

  // The lemmas of every part of speech, base forms of `word`; each once.
  std::vector<std::string> Stems(std::string_view word) const;
  // The words of every synset of every base form of `word`, each once
  // (compared as lemmas), without the word itself.
  std::vector<std::string> Synonyms(std::string_view word) const;

  // The index line of `lemma` without its end of line; empty when missing.
  std::string_view FindIndexLine(Pos pos, std::string_view lemma) const;
  // Every lemma of an index file, in file order (for checks of the search).
  std::vector<std::string_view> Lemmas(Pos pos) const;

 private:
  Database() = default;
  // Appends the words of the synset at `offset` in the data file of `pos`.
  void AppendSynsetWords(Pos pos, uint64_t offset, std::vector<std::string>& out) const;

  MappedFile index_[kPosCount];
  MappedFile data_[kPosCount];
  MappedFile exceptions_[kPosCount];
  size_t indexStart_[kPosCount] = {};  // where the licence text at the top of an index file ends
};

// The key a word is looked up by: ASCII letters in lower case, spaces as
// underscores, without leading or trailing blanks.
std::string ToLemma(std::string_view word);
// The form a list hands out: underscores as spaces.
std::string ToText(std::string_view lemma);

// The line of a sorted file whose first field is `key`, or empty. `text`
// must start at a line; lines are ordered by their first field, byte by byte.
std::string_view FindLine(std::string_view text, std::string_view key);

}  // namespace wordnet

#endif  // WORDNETEN_DATABASE_H_
