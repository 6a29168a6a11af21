#include "maps/DuoMap.h"

#include <benchmark/benchmark.h>

namespace {

void BM_DuoStep(benchmark::State& state) {
    zarn::DuoMap map(4321.0);
    bool countThisHit = true;
    for (auto _ : state) {
        const zarn::DuoPoint p = map.DuoStep(countThisHit);
        benchmark::DoNotOptimize(p);
        benchmark::DoNotOptimize(countThisHit);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_DuoStep);

void BM_DuoSetUp(benchmark::State& state) {
    zarn::DuoMap map(4321.0);
    for (auto _ : state) {
        map.SetUp(500.0);
        benchmark::DoNotOptimize(map.sphere);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_DuoSetUp);

} // namespace
