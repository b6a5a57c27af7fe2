// The word library's reader (wordnet/Database.h) on a dictionary made of
// arbitrary bytes: its files are the reader's one input from outside, and
// one damaged on disk must still give clean answers.
//
// The input is cut at NUL bytes (the dictionary's files hold none): first
// the words to look up, one a line, then the twelve files in the order
// index, data, exceptions of noun, verb, adjective and adverb; a file
// missing from the input is empty. They are written to a folder of this
// process's own (removed at exit) and opened as a dictionary is.
// Beyond "no crash, no leak": an index line found for a lemma starts with
// that lemma, every base form is in the index, stems come once each, and
// synonyms once each (compared as lemmas) without the word looked up.
#include <stdlib.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/FuzzInput.h"
#include "wordnet/Database.h"

namespace {

using wordnet::Database;
using wordnet::Pos;

const char* const kFiles[] = {"index.noun", "data.noun", "noun.exc", "index.verb", "data.verb", "verb.exc",
                              "index.adj",  "data.adj",  "adj.exc",  "index.adv",  "data.adv",  "adv.exc"};
// Look-ups per input, so that one input of many short lines stays quick.
constexpr size_t kWords = 24;
constexpr size_t kLemmas = 24;

std::string folder;

void RemoveFolder() {
  std::error_code ignored;
  std::filesystem::remove_all(folder, ignored);
}

const std::string& Folder() {
  if (folder.empty()) {
    // Twelve files a run: in memory where the system offers a folder there.
    const char* tmp = std::getenv("TMPDIR");
    std::string base = tmp != nullptr && *tmp != '\0'              ? tmp
                       : std::filesystem::is_directory("/dev/shm") ? "/dev/shm"
                                                                   : "/tmp";
    std::string pattern = base + "/fuzz_dictionary.XXXXXX";
    FUZZ_CHECK(mkdtemp(pattern.data()) != nullptr);
    folder = pattern;
    std::atexit(RemoveFolder);
  }
  return folder;
}

void Write(const std::string& path, std::string_view bytes) {
  FILE* file = std::fopen(path.c_str(), "wb");
  FUZZ_CHECK(file != nullptr);
  FUZZ_CHECK(std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size());
  FUZZ_CHECK(std::fclose(file) == 0);
}

std::vector<std::string_view> Split(std::string_view text, char at) {
  std::vector<std::string_view> parts;
  for (size_t start = 0;;) {
    size_t end = text.find(at, start);
    parts.push_back(text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
    if (end == std::string_view::npos) return parts;
    start = end + 1;
  }
}

void LookUp(const Database& database, std::string_view word) {
  const std::string lemma = wordnet::ToLemma(word);
  for (int pos = 0; pos < wordnet::kPosCount; ++pos) {
    for (const std::string& form : database.BaseForms(static_cast<Pos>(pos), lemma)) {
      FUZZ_CHECK(!database.FindIndexLine(static_cast<Pos>(pos), form).empty());
    }
  }
  std::set<std::string> stems;
  for (const std::string& stem : database.Stems(word)) FUZZ_CHECK(stems.insert(stem).second);
  std::set<std::string> synonyms{lemma};
  for (const std::string& synonym : database.Synonyms(word)) {
    FUZZ_CHECK(synonyms.insert(wordnet::ToLemma(synonym)).second);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<std::string_view> parts = Split({reinterpret_cast<const char*>(data), size}, '\0');
  const std::string& dir = Folder();
  for (size_t i = 0; i < std::size(kFiles); ++i) {
    Write(dir + "/" + kFiles[i], i + 1 < parts.size() ? parts[i + 1] : std::string_view());
  }
  std::unique_ptr<Database> database = Database::Open(dir);
  FUZZ_CHECK(database != nullptr);  // every file is there, whatever it holds

  size_t words = 0;
  for (std::string_view word : Split(parts[0], '\n')) {
    if (++words > kWords) break;
    LookUp(*database, word);
  }
  for (int pos = 0; pos < wordnet::kPosCount; ++pos) {
    size_t lemmas = 0;
    for (std::string_view lemma : database->Lemmas(static_cast<Pos>(pos))) {
      if (++lemmas > kLemmas) break;
      std::string_view line = database->FindIndexLine(static_cast<Pos>(pos), lemma);
      const std::string_view after = line.substr(std::min(lemma.size(), line.size()), 1);
      if (!line.empty()) FUZZ_CHECK(line.starts_with(lemma) && (after.empty() || after == " "));
      LookUp(*database, lemma);
    }
  }
  return 0;
}
