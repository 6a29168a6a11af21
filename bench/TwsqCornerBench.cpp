#include "engine/CRandom.h"
#include "engine/RandomSource.h"
#include "engine/Torus.h"
#include "maps/TwsqMap.h"
#include "maps/WildCornerMap.h"

#include <benchmark/benchmark.h>

namespace {

using zarn::Complex;

// Each benchmark feeds the result back the way the driver does, so the orbit (and the
// arguments the sines see) is a real one rather than a single repeated point.

void BM_TwsqStep(benchmark::State& state) {
    zarn::RandomSource random;
    random.SeedFrom(0.5);
    zarn::TwsqMap map;
    map.TwsqRandomCoefficients(random);
    Complex point{random.Uniform(), random.Uniform()};
    for (auto _ : state) {
        point = map.TwsqStep(point);
        benchmark::DoNotOptimize(point);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_TwsqStep);

void BM_CornerStep(benchmark::State& state) {
    zarn::RandomSource random;
    random.SeedFrom(0.5);
    zarn::CRandom cRandom(1);
    zarn::WildCornerMap map(cRandom);
    map.RandomCornerQuilt(static_cast<int>(state.range(0)), random);
    map.orbitCount = static_cast<int>(state.range(1));
    Complex point{random.Uniform(), random.Uniform()};
    for (auto _ : state) {
        const Complex raw = map.CornerStep(point);
        point = {zarn::foldToUnit(raw.re), zarn::foldToUnit(raw.im)};
        benchmark::DoNotOptimize(point);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_CornerStep)->Args({13, 11})->Args({42, 11});

} // namespace
