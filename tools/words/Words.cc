#include "words/Words.h"

#include <cstdio>
#include <string>
#include <vector>

#include "WordNetEn.h"
#include "common/Text.h"
#include "search/Search.h"

namespace tessik_cli {
namespace {

using LookUp = int32_t (*)(const TessikChar*, TessikWordList*);

int32_t LookUpWith(LookUp lookUp, const std::string& word, std::vector<std::string>& out) {
  out.clear();
  TessikWordList list = nullptr;
  const int32_t status = lookUp(Widen(word).c_str(), &list);
  if (status != TESSIK_OK) return status;
  // The list's layout is the word library's: a count and that many texts.
  const auto* words = static_cast<const WordNetWordList*>(list);
  for (int32_t i = 0; words != nullptr && i < words->count; ++i) out.emplace_back(words->words[i]);
  Tessik_ReleaseWordList(list);
  return TESSIK_OK;
}

int Print(std::span<char* const> arguments, LookUp lookUp, const char* what) {
  if (arguments.size() != 1 || *arguments[0] == '\0') {
    std::fprintf(stderr, "tessik %s: give one word (tessik %s WORD)\n", what, what);
    return kExitUsage;
  }
  std::vector<std::string> words;
  if (const int32_t status = LookUpWith(lookUp, arguments[0], words); status != TESSIK_OK) {
    std::fprintf(stderr, "tessik %s: looking up \"%s\": %s\n", what, arguments[0], DescribeStatus(status).c_str());
    return kExitPluginFailed;
  }
  for (const std::string& w : words) std::printf("%s\n", w.c_str());
  return kExitOk;
}

}  // namespace

int32_t LookUpWords(WordLookUp kind, const std::string& word, std::vector<std::string>& out) {
  return LookUpWith(kind == WordLookUp::kSynonyms ? Tessik_GetSynonym : Tessik_GetStemming, word, out);
}

int Synonyms(std::span<char* const> arguments) { return Print(arguments, Tessik_GetSynonym, "synonyms"); }
int Stems(std::span<char* const> arguments) { return Print(arguments, Tessik_GetStemming, "stems"); }

}  // namespace tessik_cli
