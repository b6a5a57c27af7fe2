/* WordNetEn: synonyms and base forms of English words over the WordNet 3.0
 * lexical database, as a plain C interface.
 *
 * One database is open per process: WordNet_LexisInit opens it, every
 * look-up reads it (any number of threads at once), WordNet_LexisClose
 * closes it. Words are 8-bit NUL-terminated texts; they are matched without
 * regard to ASCII case, and spaces and underscores count as the same
 * character ("Motor Vehicle" finds motor_vehicle). Words in a list come back
 * with spaces, in the database's own case. */
#ifndef WORDNETEN_WORDNETEN_H_
#define WORDNETEN_WORDNETEN_H_

#include <stdint.h>

#if defined(_WIN32)
#if defined(WORDNETEN_BUILDING)
#define WORDNETEN_API __declspec(dllexport)
#else
#define WORDNETEN_API __declspec(dllimport)
#endif
#else
#define WORDNETEN_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* A list of words handed out by a look-up. `words` holds `count` texts, each
 * NUL-terminated. The list is one block owned by the library: read it, then
 * give it back with WordNet_ReleaseWordList. */
typedef struct WordNetWordList {
  int32_t count;
  const char* const* words;
} WordNetWordList;

typedef WordNetWordList* WordList;

/* The kind of a look-up; each look-up function accepts only its own. */
enum { WORDNET_KIND_STEMS = 2, WORDNET_KIND_SYNONYMS = 5 };

/* Results. 0 is success; failures are negative. */
enum {
  WORDNET_OK = 0,
  WORDNET_E_ARGUMENT = -1,   /* a null pointer, or the wrong kind */
  WORDNET_E_NOT_OPEN = -2,   /* no database is open */
  WORDNET_E_DICTIONARY = -3, /* the folder, or one of its files, is missing or unreadable */
  WORDNET_E_NO_MEMORY = -4,
  WORDNET_E_FAILED = -5
};

/* Opens the database in the folder `path` (index.*, data.* and *.exc of
 * WordNet 3.0) in place of any open one. On failure no database is open. */
WORDNETEN_API int32_t WordNet_LexisInit(const char* path);
/* Closes the open database; 0 also when none was open. */
WORDNETEN_API int32_t WordNet_LexisClose(void);
/* The words of every synset of `word` in every part of speech, its base
 * forms included, each once, leaving the word itself out: nouns first, then
 * verbs, adjectives and adverbs, each in the database's sense order. An
 * unknown word gives an empty list. `kind` must be WORDNET_KIND_SYNONYMS.
 * *list is null unless the result is WORDNET_OK. */
WORDNETEN_API int32_t WordNet_GetSynonym(const char* word, WordList* list, int32_t kind);
/* The base forms of `word` found in the database (the word itself when it is
 * one), through the exception lists or else the suffix rules of each part of
 * speech, each once. `kind` must be WORDNET_KIND_STEMS. */
WORDNETEN_API int32_t WordNet_GetStemming(const char* word, WordList* list, int32_t kind);
/* Frees a list of the two above; a null list is nothing to free (0). */
WORDNETEN_API int32_t WordNet_ReleaseWordList(WordList list);

#ifdef __cplusplus
}
#endif

#endif /* WORDNETEN_WORDNETEN_H_ */
