// Boundary buffers: Tessik_Allocate + Tessik_Release of 64 units against the
// plain array allocation they wrap.
#include <benchmark/benchmark.h>

#include "bench/Pairs.h"
#include "tessik/TessikClient.h"

namespace {

void Allocate64_ours(benchmark::State& state) {
  for (auto _ : state) {
    TessikChar* p = nullptr;
    Tessik_Allocate(&p, 64);
    benchmark::DoNotOptimize(p);
    Tessik_Release(p);
  }
}

void Allocate64_floor(benchmark::State& state) {
  for (auto _ : state) {
    TessikChar* p = new TessikChar[64]();
    benchmark::DoNotOptimize(p);
    delete[] p;
  }
}

}  // namespace

BENCHMARK(Allocate64_ours)->Name("Allocate64/ours");
BENCHMARK(Allocate64_floor)->Name("Allocate64/floor");
TESSIK_PAIR_TARGET(Allocate64, 1.25);
