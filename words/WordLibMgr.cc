#include "words/WordLibMgr.h"

#include "tessik/TessikClient.h"
#include "ulmo/osdep/Path.h"

namespace Tessik {

namespace path = vel::ulmo::osdep::path;
using vel::ulmo::osdep::MutexLock;

namespace {

const WChar kLockName[] = TESSIK_TEXT("CWordLibMgr_Library");
const WChar kLibraryName[] = TESSIK_TEXT("WordNetEn");
const WChar kResource[] = TESSIK_TEXT("resource");
const WChar kDictionary[] = TESSIK_TEXT("WordNetDict");

// The kinds of look-up the word library is told, one per entry point.
constexpr int32_t kSynonymKind = 5;
constexpr int32_t kStemmingKind = 2;

template <class Fn>
Fn Entry(const vel::ulmo::osdep::SharedLibrary& library, const char* name) {
  return reinterpret_cast<Fn>(library.GetSymbol(AString(name), true));
}

}  // namespace

CWordLibMgr& CWordLibMgr::Instance() {
  static CWordLibMgr instance;
  return instance;
}

// The lock is not held here: nobody else can reach the manager before the
// static that holds it is made.
CWordLibMgr::CWordLibMgr() : lock_(WString(kLockName)) {
  WString resource = path::CombinePath(vel::ulmo::osdep::GetModuleDirectory(nullptr), WString(kResource));
  // Looked up by bare name as the Windows loader would, not in the resource folder.
  library_.Open(WString(kLibraryName));
  if (!library_.IsLoaded()) return;
  lexisInit_ = Entry<InitFn>(library_, "WordNet_LexisInit");
  lexisClose_ = Entry<CloseFn>(library_, "WordNet_LexisClose");
  getSynonym_ = Entry<LookupFn>(library_, "WordNet_GetSynonym");
  getStemming_ = Entry<LookupFn>(library_, "WordNet_GetStemming");
  releaseWordList_ = Entry<ReleaseFn>(library_, "WordNet_ReleaseWordList");
  if (!lexisInit_ || !lexisClose_ || !getSynonym_ || !getStemming_ || !releaseWordList_) return;
  AString dictionary = path::ToNarrowPath(path::CombinePath(resource, WString(kDictionary)));
  // No retry: a dictionary that does not open leaves the manager unusable
  // for the life of the process.
  initialised_ = lexisInit_(dictionary.CStr()) == 0;
}

CWordLibMgr::~CWordLibMgr() {
  if (!initialised_) return;
  // A destructor must not throw: if the lock cannot be taken, the dictionary
  // is closed all the same.
  bool locked = false;
  try {
    lock_.Lock();
    locked = true;
  } catch (...) {
  }
  lexisClose_();
  library_.Unload();
  if (locked) lock_.Unlock();
}

int32_t CWordLibMgr::GetSynonym(const WChar* word, void** list) { return Look(getSynonym_, kSynonymKind, word, list); }

int32_t CWordLibMgr::GetStemming(const WChar* word, void** list) {
  return Look(getStemming_, kStemmingKind, word, list);
}

int32_t CWordLibMgr::Look(LookupFn lookup, int32_t kind, const WChar* word, void** list) {
  if (word == nullptr || list == nullptr) return TESSIK_E_NULL_ARGUMENT;
  *list = nullptr;
  MutexLock hold(lock_);
  // The word goes over in the environment's character set; characters it
  // lacks arrive as its default character rather than being refused.
  AString text(word);
  if (text.IsEmpty() || !initialised_) return TESSIK_E_WORDLIB_UNAVAILABLE;
  return lookup(text.CStr(), list, kind);
}

int32_t CWordLibMgr::ReleaseWordList(void* list) {
  MutexLock hold(lock_);
  if (!initialised_) return TESSIK_E_WORDLIB_UNAVAILABLE;
  return releaseWordList_(list);
}

}  // namespace Tessik
