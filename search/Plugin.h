// CPlugin: one plugin library as one session sees it: the five entry points,
// the handle its InitSearch returned for this session, and the result text of
// its last synchronous search until the search manager merges it.
#ifndef TESSIK_SEARCH_PLUGIN_H_
#define TESSIK_SEARCH_PLUGIN_H_

#include <cstdint>

#include "tessik/Plugin.h"
#include "ulmo/StringBase.h"
#include "ulmo/TextBuffer.h"

namespace Tessik {

using vel::ulmo::WChar;
using vel::ulmo::WString;
class CSearchMgr;

class CPlugin {
 public:
  CPlugin(CSearchMgr* owner, const WString& path) : path(path), owner(owner) {}
  // No virtual destructor: plugin objects are made and destroyed only as
  // CMainThreadPlugin, by the search manager that owns them.

  // Gets the library from the cache and looks up the five entry points.
  // TESSIK_E_PLUGIN_ENTRY_MISSING at the first one missing (those found stay).
  int32_t Load();

  // Synchronous: "SyncSearch" into `resultText`. Asynchronous: counts the
  // plugin as outstanding, clears the end-of-search event and starts
  // "AsyncSearch" with the library's notifier.
  virtual int32_t Search(bool synchronous, const void* query, uint32_t searchParam) = 0;

  TessikChar* resultText = nullptr;
  WString path;
  uint32_t asyncParam = 10;
  void* handle = nullptr;
  PluginInitSearch initSearch = nullptr;
  PluginFinishSearch finishSearch = nullptr;
  PluginSyncSearch syncSearch = nullptr;
  PluginAsyncSearch asyncSearch = nullptr;
  PluginAbortAsyncSearch abortAsyncSearch = nullptr;
  CSearchMgr* owner;

 protected:
  // A result text not merged yet (a search that failed half-way) is freed here.
  ~CPlugin() { vel::ulmo::DeleteTextBuffer(resultText); }
};

class CMainThreadPlugin final : public CPlugin {
 public:
  using CPlugin::CPlugin;
  ~CMainThreadPlugin() = default;
  int32_t Search(bool synchronous, const void* query, uint32_t searchParam) override;
};

}  // namespace Tessik

#endif  // TESSIK_SEARCH_PLUGIN_H_
