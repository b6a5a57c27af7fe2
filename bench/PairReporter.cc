// main() of the benchmark program: the usual console output, then one row per
// pair with the ratio and whether its target is met.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>

#include "bench/Pairs.h"

namespace tessik_bench {
namespace {

std::map<std::string, double>& Targets() {
  static std::map<std::string, double> targets;
  return targets;
}

class PairReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      // With repetitions, the median stands for the pair; without, the one run.
      bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
      if ((run.run_type != Run::RT_Iteration && !median) || run.error_occurred) continue;
      std::string name = run.run_name.function_name;
      for (const char* side : {"/ours", "/floor"}) {
        size_t at = name.find(side);
        if (at == std::string::npos) continue;
        double ns = run.GetAdjustedRealTime() / benchmark::GetTimeUnitMultiplier(run.time_unit) * 1e9;
        auto& pair = pairs_[name.substr(0, at)];
        bool& fromMedian = side[1] == 'o' ? pair.oursFromMedian : pair.floorFromMedian;
        if (fromMedian && !median) continue;
        (side[1] == 'o' ? pair.ours : pair.floor) = ns;
        fromMedian = median;
      }
    }
  }

  void Finalize() override {
    ConsoleReporter::Finalize();
    std::printf("\n%-28s %14s %14s %8s %8s  %s\n", "pair", "ours (ns)", "floor (ns)", "ratio", "target",
                "met");
    for (const auto& [name, pair] : pairs_) {
      if (pair.ours <= 0 || pair.floor <= 0) continue;
      double ratio = pair.ours / pair.floor;
      auto target = Targets().find(name);
      if (target == Targets().end()) {
        std::printf("%-28s %14.2f %14.2f %8.3f %8s  %s\n", name.c_str(), pair.ours, pair.floor, ratio, "-",
                    "-");
      } else {
        std::printf("%-28s %14.2f %14.2f %8.3f %8.2f  %s\n", name.c_str(), pair.ours, pair.floor, ratio,
                    target->second, ratio <= target->second ? "yes" : "NO");
      }
    }
    std::fflush(stdout);
  }

 private:
  struct Pair {
    double ours = 0;
    double floor = 0;
    bool oursFromMedian = false;
    bool floorFromMedian = false;
  };
  std::map<std::string, Pair> pairs_;
};

}  // namespace

bool RegisterTarget(const char* pair, double maxRatio) {
  Targets()[pair] = maxRatio;
  return true;
}

}  // namespace tessik_bench

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  tessik_bench::PairReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
