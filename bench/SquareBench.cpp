#include "engine/CRandom.h"
#include "engine/MapExpA.h"
#include "engine/New84.h"
#include "engine/RandomSource.h"
#include "engine/SqrMap.h"
#include "engine/SqrMapt.h"

#include <benchmark/benchmark.h>

namespace {

using namespace zarn;

RandomSource seeded(double seed) {
    RandomSource rnd;
    rnd.SeedFrom(seed);
    return rnd;
}

void squareSteps(benchmark::State& state, bool detailed) {
    RandomSource rnd = seeded(0.1025);
    SqrMap m;
    CRandom cRandom(17);
    m.Randomize(rnd, cRandom);
    for (auto _ : state) {
        detailed ? m.StepDetailed() : m.Step();
        benchmark::DoNotOptimize(m.x);
    }
    state.SetItemsProcessed(state.iterations());
}

void BM_SqrMapPlain(benchmark::State& state) {
    squareSteps(state, false);
}
void BM_SqrMapDetailed(benchmark::State& state) {
    squareSteps(state, true);
}

void BM_New84(benchmark::State& state) {
    RandomSource rnd = seeded(0.61);
    New84 m;
    CRandom cRandom(17);
    m.Randomize(rnd, cRandom);
    m.detail = static_cast<std::uint8_t>(state.range(0));
    MapPoint p{m.x, m.y};
    for (auto _ : state) {
        p = m.StepFrom(p.x, p.y);
        benchmark::DoNotOptimize(p);
    }
    state.SetItemsProcessed(state.iterations());
}

void BM_SqrMapt(benchmark::State& state) {
    RandomSource rnd = seeded(0.71);
    SqrMapt m;
    CRandom cRandom(17);
    m.Randomize(rnd, cRandom);
    m.detail = static_cast<std::uint8_t>(state.range(0));
    // Clock: 0 the system's, 1 pinned, 2 simulated.
    if (state.range(1) == 1) {
        m.FixClock(5000);
    } else if (state.range(1) == 2) {
        m.SimulateClock(5000);
    }
    MapPoint p{m.x, m.y};
    for (auto _ : state) {
        p = m.StepFrom(p.x, p.y);
        benchmark::DoNotOptimize(p);
    }
    state.SetItemsProcessed(state.iterations());
}

void BM_MapExpA(benchmark::State& state) {
    RandomSource rnd = seeded(0.333);
    MapExpA m;
    m.Randomize(rnd);
    MapPoint p{0.3, 0.7};
    for (auto _ : state) {
        p = m.StepFrom(p.x, p.y);
        benchmark::DoNotOptimize(p);
    }
    state.SetItemsProcessed(state.iterations());
}

} // namespace

BENCHMARK(BM_SqrMapPlain);
BENCHMARK(BM_SqrMapDetailed);
BENCHMARK(BM_New84)->ArgName("detail")->Arg(0)->Arg(1);
BENCHMARK(BM_SqrMapt)
    ->ArgNames({"detail", "clock"})
    ->Args({0, 0})
    ->Args({0, 2})
    ->Args({1, 0})
    ->Args({1, 1})
    ->Args({1, 2});
BENCHMARK(BM_MapExpA);
