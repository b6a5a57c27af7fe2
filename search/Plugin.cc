#include "search/Plugin.h"

#include "search/PluginMgr.h"
#include "search/SearchMgr.h"

namespace Tessik {

using vel::ulmo::AString;
using vel::ulmo::osdep::SharedLibrary;

int32_t CPlugin::Load() {
  SharedLibrary* library = nullptr;
  int32_t status = CPluginMgr::Instance().AcquireLibrary(path, &library);
  if (library == nullptr) return status;
  // In this order; the first missing name ends the look-up.
  struct Entry {
    const char* name;
    void** slot;
  } entries[] = {{"InitSearch", reinterpret_cast<void**>(&initSearch)},
                 {"FinishSearch", reinterpret_cast<void**>(&finishSearch)},
                 {"SyncSearch", reinterpret_cast<void**>(&syncSearch)},
                 {"AsyncSearch", reinterpret_cast<void**>(&asyncSearch)},
                 {"AbortAsyncSearch", reinterpret_cast<void**>(&abortAsyncSearch)}};
  for (const Entry& entry : entries) {
    *entry.slot = library->GetSymbol(AString(entry.name), true);
    if (*entry.slot == nullptr) return TESSIK_E_PLUGIN_ENTRY_MISSING;
  }
  return TESSIK_OK;
}

int32_t CMainThreadPlugin::Search(bool synchronous, const void* query, uint32_t searchParam) {
  if (synchronous) {
    if (syncSearch == nullptr) return TESSIK_E_PLUGIN_ENTRY_MISSING;
    return syncSearch(handle, query, &resultText, searchParam);
  }
  if (asyncSearch == nullptr) return TESSIK_E_PLUGIN_ENTRY_MISSING;
  owner->CountOutstandingPlugin();
  owner->ResetEndEvent();
  return asyncSearch(handle, query, &CSearchMgr::PluginNotify, searchParam, asyncParam);
}

}  // namespace Tessik
