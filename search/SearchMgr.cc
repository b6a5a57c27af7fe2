// The synchronous side of the search manager: plugins, searches, the merge.
#include "search/SearchMgr.h"

#include <cstring>
#include <memory>
#include <new>

#include "search/Markers.h"
#include "ulmo/osdep/Path.h"

namespace Tessik {

using vel::ulmo::AString;
using vel::ulmo::osdep::MutexLock;

namespace {
WString Name(const char* ascii) { return WString(AString(ascii)); }
}  // namespace

CSearchMgr::CSearchMgr(const WChar* name)
    : name_(name),
      runCountLock_(Name("CSearchMgr_RunCount")),
      resultsLock_(Name("CSearchMgr_AsyncResults")),
      endOfSearch_(Name("CSearchMgr_AsyncFinished"), false, false),
      pluginLock_(Name("CSearchMgr_PluginMap")) {}

CSearchMgr::~CSearchMgr() {
  // A destructor must not throw; a failing system lock leaves nothing better to do.
  try {
    WaitForAsyncEnd();
    ClearPlugins();
  } catch (...) {
  }
}

WString CSearchMgr::PluginName(const WString& path) {
  uint32_t separator = path.FindLastOf(WString(1, vel::ulmo::osdep::path::Separator()));
  uint32_t dot = path.FindLastOf(WString(1, WChar('.')));
  uint32_t start = separator == WString::npos ? 0 : separator + 1;
  // No dot in the last component (also a dot only in a folder name): the whole component.
  if (dot == WString::npos || (separator != WString::npos && dot < separator)) return path.Substring(start);
  return path.Substring(start, dot - start);
}

int32_t CSearchMgr::LoadPlugin(const WString& path) {
  std::unique_ptr<CMainThreadPlugin> plugin;
  NSString key;
  try {
    plugin = std::make_unique<CMainThreadPlugin>(this, path);
    key = NSString(PluginName(path));
  } catch (const std::bad_alloc&) {
    return TESSIK_E_OUT_OF_MEMORY;
  }
  MutexLock hold(pluginLock_);
  int32_t status = plugin->Load();
  if (status != TESSIK_OK) return status;
  // A name already present keeps its plugin; loading the same name again is no error.
  if (plugins_.emplace(key, plugin.get()).second) plugin.release();
  return TESSIK_OK;
}

int32_t CSearchMgr::LoadPluginByDomain(const WString& domain) {
  WString path = Name("Plugins");
  path.Append(1, vel::ulmo::osdep::path::Separator()).Append(domain);
  return LoadPlugin(path);
}

int32_t CSearchMgr::InitSearch() {
  MutexLock hold(pluginLock_);
  for (auto& [name, plugin] : plugins_) plugin->handle = plugin->initSearch(sessionId_);
  return TESSIK_OK;
}

int32_t CSearchMgr::SyncSearch(const void* query, TessikChar** outResults, uint32_t searchParam) {
  MutexLock hold(pluginLock_);
  WaitForAsyncEnd();
  {
    MutexLock results(resultsLock_);
    results_.Clear();
    insertPosition_ = 0;
  }
  // Every plugin runs before anything is merged.
  for (auto& [name, plugin] : plugins_) plugin->Search(true, query, searchParam);
  WaitForAsyncEnd();
  for (auto& [name, plugin] : plugins_) {
    if (plugin->resultText == nullptr) continue;
    TessikChar* text = plugin->resultText;
    plugin->resultText = nullptr;
    // The library owns the plugin's buffer from here: freed even if the merge fails.
    std::unique_ptr<TessikChar, int32_t (*)(TessikChar*)> owned(text, &Tessik_Release);
    MergeResults(text, WString::LengthOf(text));
  }
  MutexLock results(resultsLock_);
  uint32_t length = results_.Length();
  if (Tessik_Allocate(outResults, length + 1) != TESSIK_OK || *outResults == nullptr) {
    return TESSIK_E_OUT_OF_MEMORY;
  }
  std::memcpy(*outResults, results_.CStr(), sizeof(WChar) * (length + 1));
  return TESSIK_OK;
}

int32_t CSearchMgr::FinishSearch() {
  MutexLock hold(pluginLock_);
  WaitForAsyncEnd();
  for (auto& [name, plugin] : plugins_) plugin->finishSearch(plugin->handle);
  return TESSIK_OK;
}

int32_t CSearchMgr::ClearPlugins() {
  MutexLock hold(pluginLock_);
  for (auto& [name, plugin] : plugins_) delete plugin;  // libraries stay in the cache
  plugins_.clear();
  return TESSIK_OK;
}

void CSearchMgr::MergeResults(const WChar* document, uint32_t length) {
  if (length == 0) return;
  // The markers are looked for before the lock: the document is the
  // caller's and does not change, and reporters wait less.
  const markers::Positions at = markers::Locate(document, length);
  MutexLock hold(resultsLock_);
  if (insertPosition_ == 0) {
    // The first document is taken whole. One without a closing tag (such
    // as the empty list "<Results/>") leaves the position at 0, so the next
    // document with results replaces it instead of being lost.
    results_.Assign(document, length);
    insertPosition_ = at.end == WString::npos ? 0 : at.end;
    return;
  }
  // Later documents give their result elements: from the first "<result "
  // up to the first "</results>". One without both, in that order, gives
  // nothing.
  if (at.end == WString::npos || at.start == WString::npos) return;
  // In before the first document's closing tag; its tail moves up in place.
  results_.Insert(insertPosition_, document + at.start, at.end - at.start);
  insertPosition_ += at.end - at.start;
}

void CSearchMgr::WaitForAsyncEnd() {
  bool idle;
  {
    MutexLock hold(runCountLock_);
    idle = idle_;
  }
  // The event is shared by every session: a wake-up may be another
  // session's, and only joining our own worker makes the wait exact.
  if (!idle) endOfSearch_.Wait();
  if (IsStarted()) Join();
}

}  // namespace Tessik
