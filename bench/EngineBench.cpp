#include "document/CZARN40Doc.h"
#include "engine/QuiltMap.h"
#include "engine/RandomSource.h"

#include <benchmark/benchmark.h>

namespace zarn {
namespace {

void BM_AddHit(benchmark::State& state) {
    QuiltMap grid;
    grid.BuildSize(static_cast<std::uint32_t>(state.range(0)));
    RandomSource rnd;
    rnd.SeedFrom(1.0);
    const int n = static_cast<int>(grid.size);
    std::vector<std::pair<int, int>> cells(4096);
    for (auto& c : cells) {
        c = {static_cast<int>(rnd.Uniform() * n), static_cast<int>(rnd.Uniform() * n)};
    }
    std::size_t i = 0;
    for (auto _ : state) {
        const auto& c = cells[i++ & 4095];
        grid.AddHit(c.first, c.second);
    }
    benchmark::DoNotOptimize(grid.maxCount);
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_AddHit)->Arg(250)->Arg(1000);

void BM_UniformDraw(benchmark::State& state) {
    RandomSource rnd;
    rnd.SeedFrom(3.0);
    for (auto _ : state) {
        benchmark::DoNotOptimize(rnd.Uniform());
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_UniformDraw);

/** The whole driver step (family step, fold, checks, hit) through the document, per family. */
void BM_DocumentStep(benchmark::State& state) {
    DocumentOptions options;
    options.seed = 9;
    options.startWorker = false;
    CZARN40Doc doc(options);
    doc.SelectFamily(kAllFamilies[static_cast<std::size_t>(state.range(0))]);
    doc.NewRandomQuilt();
    doc.SetMaxSteps(4000000000u);
    for (auto _ : state) {
        doc.IterateStep();
    }
    state.SetLabel(std::string(familyName(doc.CurrentFamily())));
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_DocumentStep)->DenseRange(0, kFamilyCount - 1);

} // namespace
} // namespace zarn
