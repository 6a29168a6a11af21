// The program as a user runs it: a real document, its real worker (and its orbit threads), every
// rule of the driver, timed while a quilt takes a few million more steps. Beside it, in the same
// binary and run, each family's step alone on the same quilt (no transient, collapse test, grid
// or bookkeeping), so that what the worker adds to the step is one ratio of two rows:
//   zarn_bench --benchmark_filter='BM_(EndToEnd|StepAlone)' --benchmark_repetitions=3
// and BM_PauseLatency, how long a pause waits for a running worker to park (on the default grid
// and the largest the dialogs offer).

#include "document/CZARN40Doc.h"
#include "document/Commands.h"
#include "document/Families.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <string>
#include <thread>

namespace {

using namespace zarn;

/** Steps per run: enough for a second or so of the slowest families. */
std::uint32_t stepsFor(MapFamily family) {
    switch (family) {
    case MapFamily::ExpA:
    case MapFamily::Duo:
    case MapFamily::TWsq:
        return 600000;
    default:
        return 4000000;
    }
}

/** A seed whose quilts live through the timed steps without being replaced. */
constexpr std::uint64_t kSeed = 5;

/** Steps a quilt takes before it is timed: past its transient and its early collapse tests. */
constexpr std::uint32_t kWarmUpSteps = 1000000;

/** The quilt of kSeed after kWarmUpSteps steps on one orbit (finished, its worker parked). */
std::unique_ptr<CZARN40Doc> warmedUp(MapFamily family) {
    DocumentOptions options;
    options.seed = kSeed;
    NewQuiltOptions settings;
    settings.family = family;
    settings.maxSteps = kWarmUpSteps - 1;
    auto doc = NewQuilt(options, settings);
    WaitUntilFinished(*doc, {}, std::chrono::milliseconds(1));
    return doc;
}

/** One quilt, warmed up on one orbit and then continued with 1 or 2: both rows time the same
 *  attractor, so their ratio is what the second thread adds (two new quilts of one seed differ
 *  once their orbit counts do, and a family's quilts differ several times over in cost). */
void BM_EndToEnd(benchmark::State& state) {
    const MapFamily family = kAllFamilies[static_cast<std::size_t>(state.range(0))];
    const int orbits = static_cast<int>(state.range(1));
    const std::uint32_t steps = stepsFor(family);
    std::uint64_t taken = 0;
    for (auto _ : state) {
        state.PauseTiming();
        auto doc = warmedUp(family);
        doc->SetOrbitCount(orbits);
        const DocumentSnapshot before = doc->snapshot();
        state.ResumeTiming();
        IterateMore(*doc, steps);
        WaitUntilFinished(*doc, {}, std::chrono::milliseconds(1));
        state.PauseTiming();
        const DocumentSnapshot after = doc->snapshot();
        if (after.collapsedReplacements != before.collapsedReplacements ||
            after.invalidReplacements != before.invalidReplacements) {
            state.SkipWithError("the quilt was replaced while timed");
        }
        taken += after.stepCount - before.stepCount;
        doc.reset();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(taken));
    state.SetLabel(std::string(familyName(family)) + " x" + std::to_string(orbits));
}
BENCHMARK(BM_EndToEnd)
    ->ArgsProduct({benchmark::CreateDenseRange(0, kFamilyCount - 1, 1), {1, 2}})
    ->ArgNames({"family", "orbits"})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1);

void BM_StepAlone(benchmark::State& state) {
    const MapFamily family = kAllFamilies[static_cast<std::size_t>(state.range(0))];
    auto doc = warmedUp(family);
    ScopedPause pause(*doc);
    QuiltState& s = doc->State(pause);
    withFamily(family, [&](auto traits) {
        using Traits = decltype(traits);
        auto& map = Traits::map(s);
        for (auto _ : state) {
            bool count = true;
            Traits::step(s, map, count);
            benchmark::DoNotOptimize(s.torusX);
        }
    });
    state.SetItemsProcessed(state.iterations());
    state.SetLabel(std::string(familyName(family)));
}
BENCHMARK(BM_StepAlone)->DenseRange(0, kFamilyCount - 1)->ArgName("family");

/** A pause requested while the worker runs flat out: the time until it is parked. */
void BM_PauseLatency(benchmark::State& state) {
    DocumentOptions options;
    options.seed = kSeed;
    options.orbits = static_cast<int>(state.range(1));
    NewQuiltOptions settings;
    settings.family = kAllFamilies[static_cast<std::size_t>(state.range(0))];
    settings.gridSize = static_cast<std::uint32_t>(state.range(2));
    settings.maxSteps = 4000000000u;
    auto doc = NewQuilt(options, settings);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        doc->PauseWorker();
        const auto parked = std::chrono::steady_clock::now();
        doc->ResumeWorker();
        state.SetIterationTime(std::chrono::duration<double>(parked - start).count());
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    state.SetLabel(std::string(familyName(settings.family.value())) + " x" +
                   std::to_string(options.orbits) + " grid " + std::to_string(state.range(2)));
}
BENCHMARK(BM_PauseLatency)
    ->ArgsProduct({{0, 6, 9}, {1, 2}, {250, 1000}})
    ->ArgNames({"family", "orbits", "grid"})
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond)
    ->Iterations(200);

/** A picture of a hexagonal quilt on a 1000 grid (3000 x 1732 pixels, on one thread), with its
 *  pixel-to-cell table made anew (kept:0, as every picture was made before the table was kept)
 *  and kept from the previous picture (kept:1, what the idle refresh does from the second on). */
void BM_HexPicture(benchmark::State& state) {
    const bool kept = state.range(0) != 0;
    DocumentOptions options;
    options.seed = kSeed;
    options.orbits = 1;
    NewQuiltOptions settings;
    settings.family = MapFamily::Hex;
    settings.gridSize = 1000;
    settings.maxSteps = kWarmUpSteps - 1;
    auto doc = NewQuilt(options, settings);
    WaitUntilFinished(*doc, {}, std::chrono::milliseconds(1));
    benchmark::DoNotOptimize(doc->RenderPeriod().pixels.data());
    for (auto _ : state) {
        if (!kept) {
            ScopedPause pause(*doc);
            doc->State(pause).hexPixelCells.key.clear();
        }
        benchmark::DoNotOptimize(doc->RenderPeriod().pixels.data());
    }
}
BENCHMARK(BM_HexPicture)->ArgName("kept")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

} // namespace
