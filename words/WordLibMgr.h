// CWordLibMgr: the process's one link to the outside word library WordNetEn.
// It loads the library by its bare name on first use, opens the dictionary
// beside the executable (resource/WordNetDict) and hands every look-up to
// it under one machine-wide lock, so no two calls into the word library ever
// overlap, in this process or any other.
#ifndef TESSIK_WORDS_WORDLIBMGR_H_
#define TESSIK_WORDS_WORDLIBMGR_H_

#include <cstdint>

#include "ulmo/StringBase.h"
#include "ulmo/osdep/Mutex.h"
#include "ulmo/osdep/SharedLibrary.h"

namespace Tessik {

using vel::ulmo::AString;
using vel::ulmo::WChar;
using vel::ulmo::WString;

class CWordLibMgr {
 public:
  // Made by the first caller, whatever its arguments; destroyed at unload,
  // when it closes the dictionary.
  static CWordLibMgr& Instance();
  virtual ~CWordLibMgr();
  CWordLibMgr(const CWordLibMgr&) = delete;
  CWordLibMgr& operator=(const CWordLibMgr&) = delete;

  // TESSIK_E_NULL_ARGUMENT for a null `word` or `list` (nothing touched);
  // otherwise *list is null until the word library fills it.
  // TESSIK_E_WORDLIB_UNAVAILABLE when the word library is not initialised or
  // the word is empty in 8-bit form; else the word library's own result.
  // Throws what the text conversion or the lock throws (the lock is released).
  int32_t GetSynonym(const WChar* word, void** list);
  int32_t GetStemming(const WChar* word, void** list);
  // The word library's result for `list` (null too), or
  // TESSIK_E_WORDLIB_UNAVAILABLE when it is not initialised.
  int32_t ReleaseWordList(void* list);

 private:
  using InitFn = int32_t (*)(const char* dictionary);
  using CloseFn = int32_t (*)();
  using LookupFn = int32_t (*)(const char* word, void** list, int32_t kind);
  using ReleaseFn = int32_t (*)(void* list);

  CWordLibMgr();
  int32_t Look(LookupFn lookup, int32_t kind, const WChar* word, void** list);

  // Set during construction, read-only afterwards.
  InitFn lexisInit_ = nullptr;
  CloseFn lexisClose_ = nullptr;
  LookupFn getSynonym_ = nullptr;
  LookupFn getStemming_ = nullptr;
  ReleaseFn releaseWordList_ = nullptr;
  vel::ulmo::osdep::SharedLibrary library_;
  vel::ulmo::osdep::Mutex lock_;
  bool initialised_ = false;  // guarded by lock_ (written only while the manager is made)
};

}  // namespace Tessik

#endif  // TESSIK_WORDS_WORDLIBMGR_H_
