// "tessik synonyms WORD" and "tessik stems WORD": the library's word
// look-ups, one word a line.
#ifndef TESSIK_TOOLS_WORDS_WORDS_H_
#define TESSIK_TOOLS_WORDS_WORDS_H_

#include <span>

namespace tessik_cli {

int Synonyms(std::span<char* const> arguments);
int Stems(std::span<char* const> arguments);

}  // namespace tessik_cli

#endif  // TESSIK_TOOLS_WORDS_WORDS_H_
