// What the yardstick asks of the operating system beyond standard C++:
// running the tessik command with an environment of its own and reading
// what it prints. One source: ProcessPosix.cc (the yardstick runs on Linux
// only, where the Xapian plugin is).
#ifndef TESSIK_BENCH_RANKING_PLATFORM_PROCESS_H_
#define TESSIK_BENCH_RANKING_PLATFORM_PROCESS_H_

#include <string>
#include <utility>
#include <vector>

namespace tessik_ranking {

struct ProcessResult {
  bool started = false;
  int exitCode = -1;  // 128 + the signal when a signal ended it
  std::string out;    // standard output
};

// Runs `program` with `args`, this process's environment with each of
// `environment` (name, value) set, standard input empty and standard error
// discarded, and waits for it. Safe to call from several threads at once.
ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& args,
                         const std::vector<std::pair<std::string, std::string>>& environment);

}  // namespace tessik_ranking

#endif  // TESSIK_BENCH_RANKING_PLATFORM_PROCESS_H_
