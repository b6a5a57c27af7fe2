// CSearchMgr: one session's search manager. It owns the session's plugins,
// calls their entry points, merges their results documents into one, and is
// the session's worker thread for asynchronous searches.
//
// Its locks and its event are machine-wide named objects shared by every
// session of every process: search operations of all sessions serialise on
// the one plugin lock, and an end-of-search signal meant for one session may
// end another's wait, which is why every such wait is followed by joining
// this session's own worker.
//
// Lock order: the plugin lock first; under it the run-count lock or the
// results lock (never both) or the plugin library cache lock. The worker
// takes the results lock, then the run-count lock, never the plugin lock,
// and calls the application's callback while holding one of them.
#ifndef TESSIK_SEARCH_SEARCHMGR_H_
#define TESSIK_SEARCH_SEARCHMGR_H_

#include <cstdint>
#include <map>

#include "client/NSString.h"
#include "search/Plugin.h"
#include "tessik/TessikClient.h"
#include "ulmo/osdep/Mutex.h"
#include "ulmo/osdep/NamedEvent.h"
#include "ulmo/osdep/Thread.h"

namespace Tessik {

class CSearchMgr : public vel::ulmo::osdep::Thread {
 public:
  // A null name is the empty text.
  explicit CSearchMgr(const WChar* name);
  ~CSearchMgr() override;

  int32_t LoadPlugin(const WString& path);
  int32_t LoadPluginByDomain(const WString& domain);
  int32_t InitSearch();
  // On success *outResults is a Tessik_Allocate buffer the caller owns.
  int32_t SyncSearch(const void* query, TessikChar** outResults, uint32_t searchParam);
  int32_t FinishSearch();
  int32_t ClearPlugins();

  // Adds one plugin's results document to the session's results: the first
  // whole, the result elements of later ones before the first's closing tag.
  void MergeResults(const WChar* document, uint32_t length);
  // Waits for a running asynchronous search to end and joins the worker.
  void WaitForAsyncEnd();

  int32_t AsyncSearch(const void* query, SearchCallback callback, uint32_t searchParam, uint32_t pollIntervalMs);
  int32_t AbortAsyncSearch();
  void PluginFinished();
  uint32_t Run() override;

  // The notifier handed to every plugin's "AsyncSearch".
  static void PluginNotify(uint32_t sessionId, int32_t code, const TessikChar* text);

  // Used by the registry and by the plugin objects.
  void SetSessionId(uint32_t id) { sessionId_ = id; }
  uint32_t GetSessionId() const { return sessionId_; }
  void CountOutstandingPlugin();
  void ResetEndEvent() { endOfSearch_.Reset(); }

  // The plugin name a path gives: its last component up to its last ".".
  static WString PluginName(const WString& path);

  // The merged results so far (tests and benchmarks).
  const WString& Results() const { return results_; }

 private:
  // Delivers pending results to the callback; false when there were none.
  bool DeliverPending();

  WString results_;
  uint32_t insertPosition_ = 0;  // where "</results>" stands in results_; 0: nothing taken
  uint32_t outstanding_ = 0;
  uint32_t sessionId_ = 0;
  uint32_t pollInterval_ = 0;
  WString name_;
  bool idle_ = true;
  bool noResults_ = false;
  vel::ulmo::osdep::Mutex runCountLock_;
  vel::ulmo::osdep::Mutex resultsLock_;
  vel::ulmo::osdep::NamedEvent endOfSearch_;
  SearchCallback callback_ = nullptr;
  std::map<NSString, CMainThreadPlugin*> plugins_;
  vel::ulmo::osdep::Mutex pluginLock_;
};

}  // namespace Tessik

#endif  // TESSIK_SEARCH_SEARCHMGR_H_
