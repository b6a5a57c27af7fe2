// The local search server: HTTP over one thread of its own, searches on the
// workers of Searches. What may run at once: Run on one thread; Stop and
// Port from any thread.
#ifndef TESSIK_TOOLS_SERVE_SERVER_H_
#define TESSIK_TOOLS_SERVE_SERVER_H_

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "serve/Searches.h"

namespace tessik_serve {

struct ServerOptions {
  std::string host = "127.0.0.1";  // the address to listen on
  uint16_t port = 8400;            // 0: any free port
  std::string token;               // empty: none (a loopback address only)
  std::vector<std::string> hosts;  // Host names that pass besides the listening address (--host)
  std::string cors;                // the one origin CORS headers allow; empty: none
  size_t maxSearches = 4, queue = 32;
  std::chrono::milliseconds timeout{10000};
  size_t maxConnections = 256, maxStreams = 128;
  uint32_t pollMs = 10;
  bool logQueries = false;
  bool stopOnSignals = true;  // SIGINT and SIGTERM stop the server
  std::FILE* log = stderr;    // one line per request; null: none
};

class Server {
 public:
  Server(ServerOptions options, Catalogue catalogue);
  ~Server();
  Server(const Server&) = delete;
  Server& operator=(const Server&) = delete;

  // Warms the sessions (up to the timeout), binds and listens. Returns the
  // port; throws std::runtime_error when the address cannot be taken.
  uint16_t Listen();
  // Serves until Stop or a signal. Returns true when every search ended in
  // time, false when one was still held by a lock another process keeps.
  bool Run();
  // Stops accepting, aborts the running searches (each is answered with
  // what had arrived), and makes Run return. From any thread.
  void Stop();

 private:
  class Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace tessik_serve

#endif  // TESSIK_TOOLS_SERVE_SERVER_H_
