// "tessik synonyms WORD" and "tessik stems WORD": the library's word
// look-ups, one word a line.
#ifndef TESSIK_TOOLS_WORDS_WORDS_H_
#define TESSIK_TOOLS_WORDS_WORDS_H_

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace tessik_cli {

int Synonyms(std::span<char* const> arguments);
int Stems(std::span<char* const> arguments);

enum class WordLookUp { kSynonyms, kStems };
// The word library's synonyms or stems of `word`, in its order. Returns
// the library's status.
int32_t LookUpWords(WordLookUp kind, const std::string& word, std::vector<std::string>& out);

}  // namespace tessik_cli

#endif  // TESSIK_TOOLS_WORDS_WORDS_H_
