// How the tests steer the test plugins: the query pointer, which reaches
// plugins unchanged, points to a TestQuery; each plugin keeps a log of its
// calls and leaves its address in the query.
#ifndef TESSIK_TESTS_SEARCH_TESTPROTOCOL_H_
#define TESSIK_TESTS_SEARCH_TESTPROTOCOL_H_

#include <atomic>
#include <cstdint>

#include "tessik/Plugin.h"

namespace testplugin {

constexpr int kSlots = 8;  // plugin slots, fixed per plugin at build time

enum AsyncMode : int {
  kResultsThenEnd = 0,     // from its own thread: `asyncDocs` documents, then the end
  kNothingUntilAbort = 1,  // reports its end only from AbortAsyncSearch
  kEndTwice = 2,           // one document, then the end twice
  kInsideCall = 3,         // reports results and end from inside AsyncSearch itself
  kStress = 4,             // 8 threads report `asyncDocs` numbered one-hit documents each, then one end
  kDetached = 5,           // a detached thread reports one document, its end, then `asyncDocs` more ends;
                           // AsyncSearch returns at once
};

struct PluginLog {
  std::atomic<int> init{0}, finish{0}, sync{0}, abort{0};
  std::atomic<int> ends{0};      // end reports sent, from any thread
  std::atomic<int> detached{0};  // detached reporting threads still running
  std::atomic<uint32_t> lastSessionId{0}, lastParam{0}, lastAsyncParam{0};
  std::atomic<void*> lastHandle{nullptr};
  std::atomic<const void*> lastQuery{nullptr};
  std::atomic<PluginNotify> lastNotify{nullptr};
};

struct TestQuery {
  const TessikChar* documents[kSlots] = {};  // what SyncSearch returns, per slot (null: nothing)
  AsyncMode asyncMode[kSlots] = {};
  int asyncDocs = 1;                             // documents per asynchronous search
  const TessikChar* asyncDocument = nullptr;     // the document reported asynchronously
  int32_t endCode = TESSIK_NOTIFY_PLUGIN_ENDED;  // which end code to report
  // Written by the plugins: where each slot's log is, so tests can read it.
  mutable const PluginLog* logs[kSlots] = {};
};

}  // namespace testplugin

#endif  // TESSIK_TESTS_SEARCH_TESTPROTOCOL_H_
