// The tessik command as the yardstick runs it: a whole process per search,
// its hits read from --format json. Its configuration folder is an empty
// one of the yardstick's, so that without --config it searches the bundled
// samples and never the list of whoever runs it; the cache folder too,
// unless the runs name a list, whose folder sources' indexes lie in the
// cache.
#ifndef TESSIK_BENCH_RANKING_COMMAND_H_
#define TESSIK_BENCH_RANKING_COMMAND_H_

#include <string>
#include <vector>

namespace tessik_ranking {

struct Hit {
  std::string domain, id;
  double score = 0;
  std::string Key() const { return domain + "/" + id; }
};

struct CommandRun {
  int exitCode = -1;       // the command's; -1 when it could not be started
  std::vector<Hit> hits;   // in the command's order
  std::string error;       // why the run failed, or a plugin's error (exit 1)
  double seconds = 0;      // wall clock from start to exit, process start included
  bool Ok() const { return exitCode == 0; }
  bool Refused() const { return exitCode == 2; }  // a command line it does not take
};

class Command {
 public:
  // `home`: an empty folder of the yardstick's, for the configuration and
  // (unless `userCache`) cache folders.
  Command(std::string program, const std::string& home, bool userCache = false);

  // "tessik search OPTIONS --format json -- WORDS". Runs a search; its
  // hits also when a plugin failed (exit 1), none when the output is no
  // search (any other failure).
  CommandRun Search(const std::vector<std::string>& options, const std::vector<std::string>& words) const;
  // True when "tessik help search" names `option`: it tells what the
  // command in hand takes while options are still being added.
  bool Takes(const std::string& option) const;
  const std::string& Program() const { return program_; }

 private:
  std::string program_;
  std::vector<std::pair<std::string, std::string>> environment_;
};

}  // namespace tessik_ranking

#endif  // TESSIK_BENCH_RANKING_COMMAND_H_
