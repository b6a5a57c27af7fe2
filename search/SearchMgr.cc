// The synchronous side of the search manager: plugins, searches, the merge,
// and the wait for a running asynchronous search.
#include "search/SearchMgr.h"

#include <map>
#include <memory>

#include "ulmo/TextBuffer.h"
#include "ulmo/osdep/OSException.h"
#include "ulmo/osdep/Path.h"

namespace Tessik {

using vel::ulmo::AString;
using vel::ulmo::osdep::MutexLock;

namespace {
WString Name(const char* ascii) { return WString(AString(ascii)); }
}  // namespace

// The wait for a running search happens without the plugin lock, although
// SyncSearch, FinishSearch and AbortAsyncSearch would hold it throughout by
// the lock rules: the worker calls the application back holding no lock, and
// a callback that calls an export on another session takes the plugin lock.
// A waiter holding it would wait for a worker that waits for it. Once the
// session is idle its worker has made its last callback, so the join under
// the lock is short, and only one thread ever joins.
// Test: SessionCallbacks.CrossSessionCallsWhileOthersSearch.
CSearchMgr::IdleLock::IdleLock(CSearchMgr& owner) : owner_(owner) {
  for (;;) {
    owner_.WaitUntilIdle();
    owner_.pluginLock_.Lock();
    try {
      if (owner_.IsIdle()) {
        if (owner_.IsStarted()) owner_.Join();
        return;
      }
    } catch (...) {
      owner_.pluginLock_.Unlock();
      throw;
    }
    // A new search started meanwhile: wait for that one too.
    owner_.pluginLock_.Unlock();
  }
}

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
  auto plugin = std::make_unique<CMainThreadPlugin>(this, path);
  NSString key(PluginName(path));
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
  *outResults = nullptr;
  if (IsCurrentWorker()) return TESSIK_E_SEARCH_RUNNING;  // it would wait for itself
  // Idle from here to the end: starting an asynchronous search needs the plugin lock.
  IdleLock hold(*this);
  {
    MutexLock results(resultsLock_);
    results_.Clear();
    insertPosition_ = 0;
  }
  // The library owns every plugin's buffer once the plugin has returned it,
  // and frees them all however the search ends: a merge that runs out of
  // memory must not leave the later plugins' buffers behind, to be
  // overwritten by the next search. Test: InjectedFailureExports.SyncSearchOutOfMemory.
  struct FreeResults {
    std::map<NSString, CMainThreadPlugin*>& plugins;
    ~FreeResults() {
      for (auto& [name, plugin] : plugins) {
        vel::ulmo::DeleteTextBuffer(plugin->resultText);
        plugin->resultText = nullptr;
      }
    }
  } freeResults{plugins_};
  // Every plugin runs before anything is merged.
  for (auto& [name, plugin] : plugins_) plugin->Search(true, query, searchParam);
  for (auto& [name, plugin] : plugins_) {
    if (plugin->resultText != nullptr) MergeResults(plugin->resultText, WString::LengthOf(plugin->resultText));
  }
  MutexLock results(resultsLock_);
  *outResults = vel::ulmo::CopyToTextBuffer(results_.CStr(), results_.Length());
  return TESSIK_OK;
}

int32_t CSearchMgr::FinishSearch() {
  IdleLock hold(*this);
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
  MergeLocated(document, length, markers::Locate(document, length));
}

void CSearchMgr::MergeLocated(const WChar* document, uint32_t length, markers::Positions at) {
  if (length == 0) return;
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

bool CSearchMgr::IsIdle() {
  MutexLock hold(runCountLock_);
  return idle_;
}

bool CSearchMgr::IsEnding() {
  MutexLock hold(runCountLock_);
  return ending_;
}

void CSearchMgr::WaitUntilIdle() {
  while (!IsIdle()) {
    try {
      endOfSearch_.Wait(kRecheckMs);
    } catch (const vel::ulmo::osdep::OSException&) {
      // More waiters at once than the event can hold, say: the flag is
      // what counts, so look again after a pause.
      Sleep(kRecheckMs);
    }
  }
}

bool CSearchMgr::IsWorkerGone() const { return IsStarted() && HasEnded(); }

void CSearchMgr::WaitForAsyncEnd() {
  // A worker gone before its search ended was ended by the process's exit
  // (on Windows every other thread is gone before the library's teardown):
  // nothing will end the search any more.
  while (!IsIdle() && !IsWorkerGone()) endOfSearch_.Wait(kRecheckMs);
  if (IsStarted()) Join();
}

}  // namespace Tessik
