// The program as a user runs it: a real document, its real worker (and its orbit threads), every
// rule of the driver, timed from the start of a quilt to its last step. Beside it, in the same
// binary and run, each family's step alone on the same state (no transient, collapse test, grid
// or bookkeeping), so that what the worker adds to the step is one ratio of two rows:
//   zarn_bench --benchmark_filter='BM_(EndToEnd|StepAlone)' --benchmark_repetitions=3
// and BM_PauseLatency, how long a pause waits for a running worker to park.

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

/** A seed whose quilt of @p family lives through the run without being replaced. */
constexpr std::uint64_t kSeed = 5;

void BM_EndToEnd(benchmark::State& state) {
    const MapFamily family = kAllFamilies[static_cast<std::size_t>(state.range(0))];
    const int orbits = static_cast<int>(state.range(1));
    const std::uint32_t steps = stepsFor(family);
    std::uint64_t taken = 0;
    for (auto _ : state) {
        DocumentOptions options;
        options.seed = kSeed;
        options.orbits = orbits;
        NewQuiltOptions settings;
        settings.family = family;
        settings.maxSteps = steps - 1;
        auto doc = NewQuilt(options, settings);
        WaitUntilFinished(*doc, {}, std::chrono::milliseconds(1));
        taken += doc->stepCount();
        state.PauseTiming();
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
    DocumentOptions options;
    options.seed = kSeed;
    options.startWorker = false;
    NewQuiltOptions settings;
    settings.family = family;
    auto doc = NewQuilt(options, settings);
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
                   std::to_string(options.orbits));
}
BENCHMARK(BM_PauseLatency)
    ->ArgsProduct({{0, 6, 9}, {1, 2}})
    ->ArgNames({"family", "orbits"})
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond)
    ->Iterations(200);

} // namespace
