#include "search/PluginMgr.h"

#include <memory>

#include "tessik/TessikClient.h"

namespace Tessik {

using vel::ulmo::osdep::MutexLock;
using vel::ulmo::osdep::SharedLibrary;

namespace {
const WChar kLockName[] = {'C', 'P', 'l', 'u', 'g', 'i', 'n', 'M', 'g', 'r', '_', 'P', 'l', 'u', 'g', 'i', 'n', 0};
}

CPluginMgr& CPluginMgr::Instance() {
  static CPluginMgr instance;
  return instance;
}

CPluginMgr::CPluginMgr() : lock_(WString(kLockName)) {}

CPluginMgr::~CPluginMgr() {
  // At unload, after every session is gone. A destructor must not throw: if
  // the lock cannot be taken, the libraries go all the same.
  bool locked = false;
  try {
    lock_.Lock();
    locked = true;
  } catch (...) {
  }
  for (auto& [path, library] : libraries_) {
    library->Unload();
    delete library;
  }
  libraries_.clear();
  if (locked) lock_.Unlock();
}

int32_t CPluginMgr::AcquireLibrary(const WString& path, SharedLibrary** outLibrary) {
  if (outLibrary == nullptr) return TESSIK_E_NULL_ARGUMENT;
  *outLibrary = nullptr;
  NSString key(path);
  MutexLock hold(lock_);
  auto found = libraries_.find(key);
  if (found != libraries_.end()) {
    *outLibrary = found->second;
    return TESSIK_OK;
  }
  auto library = std::make_unique<SharedLibrary>(path);
  if (!library->IsLoaded()) return TESSIK_E_PLUGIN_LOAD_FAILED;
  libraries_.emplace(key, library.get());
  *outLibrary = library.release();
  return TESSIK_OK;
}

}  // namespace Tessik
