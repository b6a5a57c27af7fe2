// main() of the benchmark program: the usual console output, then one row per
// pair with the ratio, the floor's throughput where it counts bytes (so ratios
// from different machines can be compared) and whether the target is met.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>

#include "bench/Pairs.h"

namespace benchmark::internal {
// Exported by the benchmark library but not declared in its header: the colour
// and table options its own console reporter takes from --benchmark_color
// (default "auto": colour only on a terminal) and the other output flags.
ConsoleReporter::OutputOptions GetOutputOptions(bool force_no_color);
}  // namespace benchmark::internal

namespace tessik_bench {
namespace {

std::map<std::string, double>& Targets() {
  static std::map<std::string, double> targets;
  return targets;
}

class PairReporter : public benchmark::ConsoleReporter {
 public:
  // A reporter of our own gets no options from the flags unless given them,
  // and would colour output that goes to a file. Counters stay in columns.
  PairReporter()
      : ConsoleReporter(static_cast<OutputOptions>(benchmark::internal::GetOutputOptions(false) | OO_Tabular)) {}

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
        if (side[1] == 'f') pair.floorBytes = BytesPerIteration(run);
      }
    }
  }

  void Finalize() override {
    ConsoleReporter::Finalize();
    std::printf("\n%-28s %14s %14s %8s %10s %8s  %s\n", "pair", "ours (ns)", "floor (ns)", "ratio", "floor GB/s",
                "target", "met");
    for (const auto& [name, pair] : pairs_) {
      if (pair.ours <= 0 || pair.floor <= 0) continue;
      double ratio = pair.ours / pair.floor;
      char rate[32] = "-";
      if (pair.floorBytes > 0) std::snprintf(rate, sizeof rate, "%.2f", pair.floorBytes / pair.floor);  // B/ns = GB/s
      auto target = Targets().find(name);
      if (target == Targets().end()) {
        std::printf("%-28s %14.2f %14.2f %8.3f %10s %8s  %s\n", name.c_str(), pair.ours, pair.floor, ratio, rate, "-",
                    "-");
      } else {
        std::printf("%-28s %14.2f %14.2f %8.3f %10s %8.2f  %s\n", name.c_str(), pair.ours, pair.floor, ratio, rate,
                    target->second, ratio <= target->second ? "yes" : "NO");
      }
    }
    std::fflush(stdout);
  }

 private:
  // Bytes one iteration handles, from SetBytesProcessed; 0 when not counted.
  // The library keeps only the rate, per second of CPU time (of real time
  // under UseRealTime, which no floor that counts bytes uses).
  static double BytesPerIteration(const Run& run) {
    auto counter = run.counters.find("bytes_per_second");
    if (counter == run.counters.end()) return 0;
    return counter->second.value * run.GetAdjustedCPUTime() / benchmark::GetTimeUnitMultiplier(run.time_unit);
  }

  struct Pair {
    double ours = 0;
    double floor = 0;
    double floorBytes = 0;  // per iteration
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
