#include "engine/CRandom.h"
#include "engine/QuiltMap.h"
#include "render/BitmapFill.h"
#include "render/ColorC.h"
#include "render/Palette.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>

namespace {

using namespace zarn;

/** A grid with the uneven spread of a real quilt: mostly sparse, with dense curved ridges. */
QuiltMap plausibleGrid(std::uint32_t n) {
    QuiltMap grid;
    grid.BuildSize(n);
    std::uint64_t state = 0x9E3779B97F4A7C15ull;
    const auto uniform = [&state] {
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        return static_cast<double>(state >> 11) * 0x1.0p-53;
    };
    const std::uint64_t hits = 20ull * n * n;
    for (std::uint64_t i = 0; i < hits; ++i) {
        const double t = uniform();
        const double x = uniform();
        // Half the hits crowd near two sine ridges, the rest spread evenly.
        const double y = i % 2 == 0 ? 0.5 + 0.3 * std::sin(6.283185307 * x) + 0.02 * (t - 0.5) : t;
        const double folded = y - std::floor(y);
        grid.AddHit(static_cast<int>(folded * n), static_cast<int>(x * n));
    }
    grid.RefreshMax();
    return grid;
}

ColorC sixColours() {
    static ColorSetHistory history;
    ColorC colors{0.5};
    colors.LoadFromHistory(history);
    colors.SetUseColors34(true);
    colors.SetUseColors56(true);
    CRandom cRandom(1);
    colors.RandomColors(cRandom);
    return colors;
}

void BM_BuildPalette(benchmark::State& state) {
    QuiltMap grid = plausibleGrid(static_cast<std::uint32_t>(state.range(0)));
    const ColorC colors = sixColours();
    Palette palette;
    for (auto _ : state) {
        buildPalette(palette, colors, grid);
        benchmark::DoNotOptimize(palette.entries.data());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0) * state.range(0));
    state.SetLabel("items = grid cells");
}
BENCHMARK(BM_BuildPalette)->Arg(250)->Arg(1000)->Unit(benchmark::kMillisecond);

void BM_FillGridBitmap(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    QuiltMap grid = plausibleGrid(static_cast<std::uint32_t>(n));
    Palette palette;
    buildPalette(palette, sixColours(), grid);
    PeriodBitmap bitmap(n, n);
    for (auto _ : state) {
        grid.RefreshMax();
        fillGridBitmap(bitmap, palette, LevelScale(grid.maxCount), grid);
        benchmark::DoNotOptimize(bitmap.pixels.data());
    }
    state.SetItemsProcessed(state.iterations() * n * n);
    state.SetLabel("items = pixels");
}
BENCHMARK(BM_FillGridBitmap)->Arg(250)->Arg(1000)->Unit(benchmark::kMillisecond);

void BM_FillTwsqBitmap(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    QuiltMap grid = plausibleGrid(static_cast<std::uint32_t>(n));
    Palette palette;
    buildPalette(palette, sixColours(), grid);
    PeriodBitmap bitmap(n, 2 * n);
    for (auto _ : state) {
        grid.RefreshMax();
        fillTwsqBitmap(bitmap, palette, LevelScale(grid.maxCount), grid);
        benchmark::DoNotOptimize(bitmap.pixels.data());
    }
    state.SetItemsProcessed(state.iterations() * 2 * n * n);
    state.SetLabel("items = pixels");
}
BENCHMARK(BM_FillTwsqBitmap)->Arg(250)->Arg(1000)->Unit(benchmark::kMillisecond);

} // namespace
