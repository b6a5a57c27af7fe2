// Keeping the best 100 of 100,000 hits from 4 sources as they arrive in
// batches of 1,000, each source's statistics first, against copying every
// hit and one std::partial_sort of them all at the end. Each batch is copied
// once and handed to the ranking, as a results document's rows are; the
// ranking scores every hit again from its statistics (re-scoring what came
// before when a source's statistics arrive) and folds duplicates as it goes.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "bench/Pairs.h"
#include "search/Ranking.h"

namespace {

using tessik_cli::Row;

constexpr size_t kSources = 4, kPerSource = 25000, kBatch = 1000, kBest = 100;

struct Arrival {
  std::vector<Row> statistics;              // one per source
  std::vector<std::vector<Row>> batches;    // in the order they arrive
};

const Arrival& Hits() {
  static const Arrival arrival = [] {
    Arrival a;
    std::mt19937 random(3);
    std::vector<std::vector<Row>> sources(kSources);
    for (size_t s = 0; s < kSources; ++s) {
      const std::string domain = "source" + std::to_string(s);
      Row stats;
      stats.domain = domain;
      stats.properties = {{"statistics", "bm25"}, {"bm25-documents", std::to_string(100000 * (s + 1))},
                          {"bm25-average-length", "120"}, {"bm25-df", "river=" + std::to_string(5000 * (s + 1)) +
                                                                          " delta=" + std::to_string(900 * (s + 1))}};
      a.statistics.push_back(std::move(stats));
      for (size_t i = 0; i < kPerSource; ++i) {
        Row hit;
        hit.domain = domain;
        hit.id = "doc" + std::to_string(i);
        hit.title = "Title of document " + std::to_string(i);
        hit.score = 1.0 / static_cast<double>(i + 1);
        hit.properties = {{"path", "/home/user/" + domain + "/doc" + std::to_string(i) + ".txt"},
                          {"source-rank", std::to_string(i + 1)},
                          {"bm25-length", std::to_string(20 + random() % 400)},
                          {"bm25-tf", "river=" + std::to_string(1 + random() % 6) + " delta=" + std::to_string(random() % 3)}};
        sources[s].push_back(std::move(hit));
      }
    }
    for (size_t begin = 0; begin < kPerSource; begin += kBatch) {
      for (size_t s = 0; s < kSources; ++s) {
        a.batches.emplace_back(sources[s].begin() + static_cast<std::ptrdiff_t>(begin),
                               sources[s].begin() + static_cast<std::ptrdiff_t>(std::min(begin + kBatch, kPerSource)));
      }
    }
    return a;
  }();
  return arrival;
}

void KeepBest_ours(benchmark::State& state) {
  const Arrival& arrival = Hits();
  for (auto _ : state) {
    tessik_cli::Ranker ranker(tessik_cli::Merge::kStats, kBest);
    for (size_t b = 0; b < arrival.batches.size(); ++b) {
      if (b < kSources) ranker.AddStatistics(arrival.statistics[b]);
      // The batch as it comes out of a results document: a copy the
      // ranker may keep, as the floor copies every hit.
      std::vector<Row> batch = arrival.batches[b];
      ranker.AddHits(std::move(batch));
    }
    benchmark::DoNotOptimize(ranker.Best());
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * kSources * kPerSource));
}

void KeepBest_floor(benchmark::State& state) {
  const Arrival& arrival = Hits();
  for (auto _ : state) {
    std::vector<Row> all;
    for (const auto& batch : arrival.batches) all.insert(all.end(), batch.begin(), batch.end());
    std::partial_sort(all.begin(), all.begin() + kBest, all.end(),
                      [](const Row& a, const Row& b) { return a.score > b.score; });
    all.resize(kBest);
    benchmark::DoNotOptimize(all);
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * kSources * kPerSource));
}

}  // namespace

TESSIK_PAIR_TARGET(KeepBest, 2.0);
BENCHMARK(KeepBest_ours)->Name("KeepBest/ours")->Unit(benchmark::kMillisecond);
BENCHMARK(KeepBest_floor)->Name("KeepBest/floor")->Unit(benchmark::kMillisecond);
