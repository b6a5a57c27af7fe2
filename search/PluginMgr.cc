#include "search/PluginMgr.h"

#include <memory>
#include <new>

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
  MutexLock hold(lock_);
  for (auto& [path, library] : libraries_) {
    library->Unload();
    delete library;
  }
}

int32_t CPluginMgr::AcquireLibrary(const WString& path, SharedLibrary** outLibrary) {
  if (outLibrary == nullptr) return TESSIK_E_NULL_ARGUMENT;
  *outLibrary = nullptr;
  MutexLock hold(lock_);
  try {
    NSString key(path);
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
  } catch (const std::bad_alloc&) {
    return TESSIK_E_OUT_OF_MEMORY;
  }
}

}  // namespace Tessik
