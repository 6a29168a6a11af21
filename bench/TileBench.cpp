#include "engine/MapSixFourTwelve.h"
#include "engine/MapThreeTwelve.h"
#include "engine/QuiltMap.h"
#include "engine/RandomSource.h"
#include "engine/Torus.h"

#include <benchmark/benchmark.h>

#include <cmath>

namespace {

// Iterates like the driver does for these families: step, fold onto the torus, feed the folded
// point back. A non-finite result restarts from a fixed point so the loop measures real steps.
template <typename Map> void iterate(benchmark::State& state, Map& map) {
    zarn::Complex point{0.31, 0.17};
    for (auto _ : state) {
        const zarn::Complex raw = map.Step(point);
        point = {zarn::foldToUnit(raw.re), zarn::foldToUnit(raw.im)};
        if (!std::isfinite(point.re) || !std::isfinite(point.im)) {
            point = {0.31, 0.17};
        }
        benchmark::DoNotOptimize(point);
    }
    state.SetItemsProcessed(state.iterations());
}

void BM_SixFourTwelveStep(benchmark::State& state) {
    zarn::RandomSource random;
    random.SeedFrom(0.271828);
    zarn::MapSixFourTwelve map;
    map.Randomize(random);
    iterate(state, map);
}
BENCHMARK(BM_SixFourTwelveStep);

void BM_ThreeTwelveStep(benchmark::State& state) {
    zarn::RandomSource random;
    random.SeedFrom(0.271828);
    zarn::MapThreeTwelve map;
    map.Randomize(random);
    iterate(state, map);
}
BENCHMARK(BM_ThreeTwelveStep);

void BM_SixFourTwelvePixelLookup(benchmark::State& state) {
    zarn::QuiltMap grid;
    grid.BuildSize(250);
    const zarn::MapSixFourTwelve map;
    const auto period = map.PeriodFor(250);
    int x = 0;
    int y = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(map.PixelCount(grid, x, y));
        if (++x == period.width) {
            x = 0;
            y = (y + 1) % period.height;
        }
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_SixFourTwelvePixelLookup);

} // namespace
