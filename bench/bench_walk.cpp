// SPDX-License-Identifier: GPL-3.0-or-later
// What reading a placed drawing costs beside changing it: the read-only walk
// and the SXF explosion plan against the explosion itself, on one generated
// SXF drawing (15 figures of 50 members, 10000 placements).
#include <benchmark/benchmark.h>

#include "jww/sxf_explode.h"
#include "jww/sxf_plan.h"
#include "jww/walk.h"
#include "tools/sample_drawings.h"

using namespace jww;

namespace {

const TJwwData& Drawing() {
  static const TJwwData doc = tools::MakeSxfBenchDrawing(15, 50, 10000, 1);
  return doc;
}

void BM_WalkPlacedDrawing(benchmark::State& state) {
  const TJwwData& doc = Drawing();
  int64_t entities = 0;
  for (auto _ : state) {
    double sum = 0;
    const WalkSummary s =
        WalkPlacedDrawing(doc, [&](const PlacedEntity& e) { sum += e.placement->tx; });
    benchmark::DoNotOptimize(sum);
    entities += s.entities;
  }
  state.counters["entities/s"] =
      benchmark::Counter(static_cast<double>(entities), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_WalkPlacedDrawing)->Unit(benchmark::kMillisecond);

void BM_PlanSxfExplosion(benchmark::State& state) {
  const TJwwData& doc = Drawing();
  for (auto _ : state) benchmark::DoNotOptimize(PlanSxfExplosion(doc).copies);
}
BENCHMARK(BM_PlanSxfExplosion)->Unit(benchmark::kMillisecond);

void BM_DataTransJWWSameDrawing(benchmark::State& state) {
  for (auto _ : state) {
    state.PauseTiming();
    TJwwData doc = Drawing();
    state.ResumeTiming();
    benchmark::DoNotOptimize(DataTransJWW(doc).copies);
  }
}
BENCHMARK(BM_DataTransJWWSameDrawing)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
