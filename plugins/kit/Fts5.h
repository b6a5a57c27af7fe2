// FTS5 tokenizers: the one of the indexes Tessik writes (the normaliser's
// tokens, kit/Normalise.h), and those of FTS5 tables someone else wrote,
// run as FTS5 runs them.
#ifndef TESSIK_PLUGINS_KIT_FTS5_H_
#define TESSIK_PLUGINS_KIT_FTS5_H_

#include <sqlite3.h>

#include <string>
#include <string_view>
#include <vector>

namespace tessik_plugins::fts5 {

// The name a table's tokenize option gives it ('tessik', 'porter tessik').
// It hands FTS5 the normaliser's tokens of a text, each with the place of
// the word it came from, so that FTS5 matches in the normalised form while
// the table holds the text as written: snippets show the original. A
// query's words go through it too, so they are normalised as the rows are.
inline constexpr const char* kTokenizer = "tessik";

// Makes the tokenizer known on `db`. FTS5 looks a table's tokenizer up
// when a statement first uses the table, so every connection that reads or
// writes such a table (or only lists its columns) registers it first; one
// that does not gets "no such tokenizer: tessik". Throws
// std::runtime_error when SQLite has no FTS5.
void Register(sqlite3* db);

// A tokenizer FTS5 knows on `db`, made with `words`: its name first, then
// its arguments, as a table's tokenize option lists them ("unicode61",
// "remove_diacritics", "0"); no words is FTS5's default. It gives the
// tokens FTS5 itself makes of a text for that table: how the table folds
// case and accents. Throws std::runtime_error when FTS5 does not know it or
// refuses the arguments.
class Tokenizer {
 public:
  Tokenizer(sqlite3* db, const std::vector<std::string>& words);
  ~Tokenizer();
  Tokenizer(const Tokenizer&) = delete;
  Tokenizer& operator=(const Tokenizer&) = delete;

  std::vector<std::string> Tokens(std::string_view text) const;

 private:
  fts5_tokenizer methods_{};
  Fts5Tokenizer* handle_ = nullptr;
};

}  // namespace tessik_plugins::fts5

#endif  // TESSIK_PLUGINS_KIT_FTS5_H_
