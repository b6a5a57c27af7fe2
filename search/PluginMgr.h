// CPluginMgr: the process-wide cache of loaded plugin libraries. A library is
// loaded once per process, shared by every session and plugin that names it,
// and stays loaded until the library itself is unloaded.
#ifndef TESSIK_SEARCH_PLUGINMGR_H_
#define TESSIK_SEARCH_PLUGINMGR_H_

#include <map>

#include "ulmo/NSString.h"
#include "ulmo/osdep/Mutex.h"
#include "ulmo/osdep/SharedLibrary.h"

namespace Tessik {

class CPluginMgr {
 public:
  static CPluginMgr& Instance();
  virtual ~CPluginMgr();

  // Finds or loads the library at `path` (matched without regard to case).
  // The cache keeps ownership. TESSIK_E_PLUGIN_LOAD_FAILED when it cannot be
  // loaded (nothing is cached). Throws std::bad_alloc.
  int32_t AcquireLibrary(const WString& path, vel::ulmo::osdep::SharedLibrary** outLibrary);

 private:
  CPluginMgr();

  std::map<NSString, vel::ulmo::osdep::SharedLibrary*> libraries_;  // guarded by lock_
  vel::ulmo::osdep::Mutex lock_;
};

}  // namespace Tessik

#endif  // TESSIK_SEARCH_PLUGINMGR_H_
