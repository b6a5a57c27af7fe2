// An asynchronous search seen from the main thread: the library's callback
// (on the session's worker thread) only queues what it is handed; the main
// thread takes the results documents out as they come, and aborts the search
// when Ctrl-C was pressed.
#ifndef TESSIK_TOOLS_SEARCH_ASYNC_H_
#define TESSIK_TOOLS_SEARCH_ASYNC_H_

#include <chrono>
#include <cstdint>
#include <functional>

#include "tessik/TessikClient.h"

namespace tessik_cli {

struct AsyncOutcome {
  int32_t status = TESSIK_OK;     // of starting the search
  int32_t finalCode = TESSIK_OK;  // the final notification
  bool interrupted = false;
};

// Runs the search and hands every results document to `onResults` on the
// calling thread (the text is freed after it returns), and calls `onTick`
// at least every `tick` while waiting. Returns once the final notification
// has come. One asynchronous search at a time in the process.
AsyncOutcome RunAsyncSearch(uint32_t session, const void* query, uint32_t pollMs,
                            const std::function<void(const TessikChar*)>& onResults,
                            const std::function<void()>& onTick, std::chrono::milliseconds tick);

}  // namespace tessik_cli

#endif  // TESSIK_TOOLS_SEARCH_ASYNC_H_
