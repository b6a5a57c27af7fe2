// "tessik serve" in a build without the HTTP library (the Windows build,
// until its dependencies bring Boost's headers): says so, and exits 1.
#include <cstdio>

#include "search/Search.h"
#include "serve/Serve.h"

namespace tessik_serve {

const char kServeHelp[] = "Usage: tessik serve [OPTIONS]\n(this build of tessik has no server)\n";

int Serve(std::span<char* const>) {
  std::fprintf(stderr, "tessik serve: this build of tessik has no server\n");
  return tessik_cli::kExitPluginFailed;
}

}  // namespace tessik_serve
