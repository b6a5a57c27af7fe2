// "tessik serve": the local search server, from the command line.
#ifndef TESSIK_TOOLS_SERVE_SERVE_H_
#define TESSIK_TOOLS_SERVE_SERVE_H_

#include <span>

namespace tessik_serve {

int Serve(std::span<char* const> arguments);

extern const char kServeHelp[];

}  // namespace tessik_serve

#endif  // TESSIK_TOOLS_SERVE_SERVE_H_
