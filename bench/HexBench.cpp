#include "engine/CRandom.h"
#include "engine/QuiltMap.h"
#include "engine/RandomSource.h"
#include "engine/Torus.h"
#include "maps/HexMap.h"

#include <benchmark/benchmark.h>

namespace {

using zarn::Complex;
using zarn::HexMap;

struct Quilt {
    HexMap map;
    Complex point;
};

Quilt makeQuilt(bool detail, bool knot) {
    Quilt q;
    zarn::RandomSource random;
    random.SeedFrom(1.0);
    zarn::CRandom cRandom(1);
    q.point = q.map.StartRandomQuilt(detail, knot, random, cRandom, 250.0).point;
    return q;
}

// One iteration is what the driver does per step: the map's step and the carry of the point.
void plainSteps(benchmark::State& state, bool detail) {
    Quilt q = makeQuilt(detail, false);
    for (auto _ : state) {
        q.point = q.map.Step(q.point);
        benchmark::DoNotOptimize(q.point);
    }
    state.SetItemsProcessed(state.iterations());
}

void knotSteps(benchmark::State& state, bool detail) {
    Quilt q = makeQuilt(detail, true);
    for (auto _ : state) {
        const Complex r = q.map.KnotStep(q.point);
        const double u = zarn::foldToUnit(r.re);
        const double v = zarn::foldToUnit(r.im);
        q.point = {u + 0.5 * v, v * q.map.c30};
        benchmark::DoNotOptimize(q.point);
    }
    state.SetItemsProcessed(state.iterations());
}

void BM_HexPlainStep(benchmark::State& state) {
    plainSteps(state, false);
}
void BM_HexKnotStep(benchmark::State& state) {
    knotSteps(state, false);
}
void BM_HexDetailedStep(benchmark::State& state) {
    plainSteps(state, true);
}
void BM_HexDetailedKnotStep(benchmark::State& state) {
    knotSteps(state, true);
}

// The picture's per-pixel cost: one lookup per pixel of the 3N x 2 c30 N period rectangle.
void BM_HexPixelLookup(benchmark::State& state) {
    const bool knot = state.range(0) != 0;
    Quilt q = makeQuilt(false, knot);
    zarn::QuiltMap grid;
    grid.BuildSize(250);
    const auto width = static_cast<std::uint32_t>(q.map.periodWidth);
    const auto height = static_cast<std::uint32_t>(q.map.periodHeight);
    std::uint32_t px = 0, py = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(q.map.PixelCount(grid, px, py, knot));
        if (++px == width) {
            px = 0;
            py = (py + 1) % height;
        }
    }
    state.SetItemsProcessed(state.iterations());
}

} // namespace

BENCHMARK(BM_HexPlainStep);
BENCHMARK(BM_HexKnotStep);
BENCHMARK(BM_HexDetailedStep);
BENCHMARK(BM_HexDetailedKnotStep);
BENCHMARK(BM_HexPixelLookup)->Arg(0)->Arg(1);
