// "tessik search": one search through the plugins, printed.
#ifndef TESSIK_TOOLS_SEARCH_SEARCH_H_
#define TESSIK_TOOLS_SEARCH_SEARCH_H_

#include <span>

namespace tessik_cli {

// Exit statuses of the program (also listed in kSearchHelp).
enum ExitStatus : int {
  kExitOk = 0,
  kExitPluginFailed = 1,  // also: the word look-up failed
  kExitUsage = 2,
  kExitBadQuery = 3,
  kExitLibrary = 4,
  kExitInterrupted = 130,
};

int Search(std::span<char* const> arguments);

}  // namespace tessik_cli

#endif  // TESSIK_TOOLS_SEARCH_SEARCH_H_
