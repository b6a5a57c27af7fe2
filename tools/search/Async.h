// An asynchronous search seen from the thread that started it: the
// library's callback (on the session's worker thread) only queues what it
// is handed; the starting thread takes the results documents out as they
// come, and aborts the search when asked to stop.
#ifndef TESSIK_TOOLS_SEARCH_ASYNC_H_
#define TESSIK_TOOLS_SEARCH_ASYNC_H_

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>

#include "tessik/TessikClient.h"

namespace tessik_cli {

struct AsyncOutcome {
  int32_t status = TESSIK_OK;     // of starting the search
  int32_t finalCode = TESSIK_OK;  // the final notification
  bool stopped = false;           // `stop` turned true and the search was aborted
};

// Runs the search and hands every results document to `onResults` on the
// calling thread (the text is freed after it returns), and calls `onTick`
// at least every `tick` while waiting. When `stop` turns true the search is
// aborted within one tick; what arrived until its end is still handed over.
// Returns once the final notification has come. Searches of different
// sessions may run at once, on different threads; one at a time per
// session.
AsyncOutcome RunAsyncSearch(uint32_t session, const void* query, uint32_t pollMs,
                            const std::function<void(const TessikChar*)>& onResults,
                            const std::function<void()>& onTick, std::chrono::milliseconds tick,
                            const std::atomic<bool>& stop);

}  // namespace tessik_cli

#endif  // TESSIK_TOOLS_SEARCH_ASYNC_H_
