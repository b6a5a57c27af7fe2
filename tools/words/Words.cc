#include "words/Words.h"

#include <cstdio>
#include <string>

#include "WordNetEn.h"
#include "common/Text.h"
#include "search/Search.h"

namespace tessik_cli {
namespace {

using LookUp = int32_t (*)(const TessikChar*, TessikWordList*);

int Print(std::span<char* const> arguments, LookUp lookUp, const char* what) {
  if (arguments.size() != 1 || *arguments[0] == '\0') {
    std::fprintf(stderr, "tessik %s: give one word (tessik %s WORD)\n", what, what);
    return kExitUsage;
  }
  TessikWordList list = nullptr;
  const int32_t status = lookUp(Widen(arguments[0]).c_str(), &list);
  if (status != TESSIK_OK) {
    std::fprintf(stderr, "tessik %s: looking up \"%s\": %s\n", what, arguments[0], DescribeStatus(status).c_str());
    return kExitPluginFailed;
  }
  // The list's layout is the word library's: a count and that many texts.
  const auto* words = static_cast<const WordNetWordList*>(list);
  for (int32_t i = 0; words != nullptr && i < words->count; ++i) std::printf("%s\n", words->words[i]);
  Tessik_ReleaseWordList(list);
  return kExitOk;
}

}  // namespace

int Synonyms(std::span<char* const> arguments) { return Print(arguments, Tessik_GetSynonym, "synonyms"); }
int Stems(std::span<char* const> arguments) { return Print(arguments, Tessik_GetStemming, "stems"); }

}  // namespace tessik_cli
