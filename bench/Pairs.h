// Benchmarks come in pairs: "<pair>/ours" measures our code and
// "<pair>/floor" the best the platform can do for the same work, in the same
// run. A pair's target is the largest acceptable ratio of ours to floor in
// time per iteration (for a throughput goal "at least half the floor's rate",
// the target is 2).
#ifndef TESSIK_BENCH_PAIRS_H_
#define TESSIK_BENCH_PAIRS_H_

namespace tessik_bench {

bool RegisterTarget(const char* pair, double maxRatio);

}  // namespace tessik_bench

#define TESSIK_PAIR_TARGET(pair, maxRatio) \
  static const bool pair##_target_registered = ::tessik_bench::RegisterTarget(#pair, maxRatio)

#endif  // TESSIK_BENCH_PAIRS_H_
