// The exported functions of the word library and its one open database.
#include "wordnet/WordNetEn.h"

#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <shared_mutex>
#include <utility>

#include "wordnet/Database.h"

namespace wordnet {
namespace {

// The lock is made in place and never destroyed: a program that loaded this
// library may close it from its own teardown after this library's teardown
// has run (Windows detaches the library loaded last first, at process exit).
std::shared_mutex& DatabaseLock() {
  alignas(std::shared_mutex) static unsigned char storage[sizeof(std::shared_mutex)];
  static std::shared_mutex* lock = new (storage) std::shared_mutex;
  return *lock;
}

Database* database = nullptr;  // guarded by DatabaseLock(); owned

// Puts `opened` in place of the open database and returns that one, for the
// caller to delete outside the lock.
std::unique_ptr<Database> Replace(std::unique_ptr<Database> opened) {
  std::unique_lock<std::shared_mutex> hold(DatabaseLock());
  return std::unique_ptr<Database>(std::exchange(database, opened.release()));
}

// Closes a database still open when the library goes (unloaded without
// WordNet_LexisClose, or torn down first at exit); later calls find none.
struct CloseAtUnload {
  ~CloseAtUnload() {
    try {
      Replace(nullptr);
    } catch (...) {
    }
  }
} closeAtUnload;

// One block: the list, then its pointers, then the texts they point to, so a
// single free releases everything.
WordList MakeList(const std::vector<std::string>& words) {
  size_t bytes = sizeof(WordNetWordList) + words.size() * sizeof(char*);
  for (const std::string& word : words) bytes += word.size() + 1;
  void* block = std::malloc(bytes);
  if (block == nullptr) throw std::bad_alloc();
  WordList list = static_cast<WordList>(block);
  const char** pointers = reinterpret_cast<const char**>(list + 1);
  char* text = reinterpret_cast<char*>(pointers + words.size());
  for (size_t i = 0; i < words.size(); ++i) {
    std::memcpy(text, words[i].c_str(), words[i].size() + 1);
    pointers[i] = text;
    text += words[i].size() + 1;
  }
  list->count = static_cast<int32_t>(words.size());
  list->words = pointers;
  return list;
}

template <class Lookup>
int32_t Look(const char* word, WordList* list, int32_t kind, int32_t expected, Lookup lookup) {
  if (word == nullptr || list == nullptr) return WORDNET_E_ARGUMENT;
  *list = nullptr;
  if (kind != expected) return WORDNET_E_ARGUMENT;
  try {
    std::vector<std::string> words;
    {
      std::shared_lock<std::shared_mutex> hold(DatabaseLock());
      if (database == nullptr) return WORDNET_E_NOT_OPEN;
      words = lookup(*database, word);
    }
    *list = MakeList(words);
    return WORDNET_OK;
  } catch (const std::bad_alloc&) {
    return WORDNET_E_NO_MEMORY;
  } catch (...) {
    return WORDNET_E_FAILED;
  }
}

}  // namespace
}  // namespace wordnet

using wordnet::Database;

extern "C" {

WORDNETEN_API int32_t WordNet_LexisInit(const char* path) {
  if (path == nullptr) return WORDNET_E_ARGUMENT;
  try {
    // Mapped outside the lock, so look-ups in the old database go on meanwhile.
    std::unique_ptr<Database> opened = Database::Open(path);
    bool ok = opened != nullptr;
    wordnet::Replace(std::move(opened));
    if (!ok) return WORDNET_E_DICTIONARY;
    return WORDNET_OK;
  } catch (const std::bad_alloc&) {
    return WORDNET_E_NO_MEMORY;
  } catch (...) {
    return WORDNET_E_FAILED;
  }
}

WORDNETEN_API int32_t WordNet_LexisClose(void) {
  try {
    wordnet::Replace(nullptr);
    return WORDNET_OK;
  } catch (...) {
    return WORDNET_E_FAILED;
  }
}

WORDNETEN_API int32_t WordNet_GetSynonym(const char* word, WordList* list, int32_t kind) {
  return wordnet::Look(word, list, kind, WORDNET_KIND_SYNONYMS,
                       [](const Database& db, const char* w) { return db.Synonyms(w); });
}

WORDNETEN_API int32_t WordNet_GetStemming(const char* word, WordList* list, int32_t kind) {
  return wordnet::Look(word, list, kind, WORDNET_KIND_STEMS,
                       [](const Database& db, const char* w) { return db.Stems(w); });
}

WORDNETEN_API int32_t WordNet_ReleaseWordList(WordList list) {
  std::free(list);
  return WORDNET_OK;
}

}  // extern "C"
