#include "CZARN40Doc.h"

#include "DocumentRegistry.h"
#include "Families.h"
#include "MemorySizing.h"
#include "PictureColours.h"
#include "QuiltOps.h"
#include "ViewSettings.h"
#include "engine/Torus.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <ctime>
#include <random>
#include <utility>

namespace zarn {

namespace {

/** Steps between two looks at the pause and stop requests besides the per-step flag test; the
 *  worker publishes the grid's maximum once per block. */
constexpr std::uint32_t kBlockSteps = 4096;
/** Steps between two requests for a new poly image while the poly view is on. */
constexpr std::uint32_t kPolyRebuildSteps = 2400000;

void setColorFromPalette(ColorC& colors, int k, const PaletteEntry& e) {
    colors.red[k] = e.red;
    colors.green[k] = e.green;
    colors.blue[k] = e.blue;
}

/** SplitMix64: spreads a seed over all bits, so that nearby seeds start far apart. */
std::uint64_t mixSeed(std::uint64_t x) {
    x += 0x9E3779B97F4A7C15ull;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    return x ^ (x >> 31);
}

/** An orbit lists the cells it hits first up to this share of the grid (see FirstHits). */
constexpr std::size_t kFirstHitShare = 8;

/** The extra orbits' source is seeded from a whole number below this. */
constexpr std::uint64_t kOrbitSeedRange = 1000000007;

/** Squaret's coefficients cycle every 16384 seconds of its clock. */
constexpr std::uint64_t kSquaretClockCycle = 16384;

/** Steps in all between two looks at the collapse test: the round of several orbits. */
constexpr std::uint32_t kRoundSteps = 10000;
/** Steps between two returns to the worker loop, where the orbits' counts are added in. */
constexpr std::uint32_t kStepsPerCall = 256 * kRoundSteps;
/** Steps in all between two dirty marks (the display redraws the quilt). */
constexpr std::uint32_t kDirtySteps = 200000;
/** The first settled round of several orbits outside the desktop program, where no display
 *  waits for the dirty marks; later ones are sized to last about kLongRoundSeconds, from one to
 *  kLongestRoundMarks dirty marks' worth of steps. Every size is a multiple of kDirtySteps, and
 *  so of kRoundSteps: a round that ended between two collapse tests would split the steps up
 *  to the next among the orbits differently. */
constexpr std::uint32_t kLongRoundSteps = 10 * kDirtySteps;
constexpr std::uint32_t kLongestRoundMarks = 160;
constexpr double kLongRoundSeconds = 0.25;

/**
 * Waits until @p value differs from @p old: spins for a short while first, since the next round
 * is usually a fraction of a millisecond away and waking a sleeping thread can take longer than
 * that, then sleeps on the atomic.
 */
/** A span from the point of @p p, counting into @p cells (laid out as @p grid's cells); the
 *  caller sets how many steps, whether they count, and the rest. */
template <typename P>
StepSpan spanFrom(const P& p, const QuiltMap& grid, std::uint32_t* cells, double cellLimit,
                  const std::atomic<bool>& stop) {
    StepSpan span;
    span.cells = cells;
    span.stride = grid.IndexOf(1, 0);
    span.side = grid.size;
    span.cellLimit = cellLimit;
    span.stop = &stop;
    span.x = p.pointX;
    span.y = p.pointY;
    span.cellX = p.cellX;
    span.cellY = p.cellY;
    return span;
}

template <typename T> T awaitChange(const std::atomic<T>& value, T old) {
    const auto spinUntil = std::chrono::steady_clock::now() + std::chrono::microseconds(50);
    for (int i = 0;; ++i) {
        const T now = value.load(std::memory_order_acquire);
        if (now != old) {
            return now;
        }
        if ((i & 63) == 63 && std::chrono::steady_clock::now() > spinUntil) {
            break;
        }
#if defined(__x86_64__) || defined(__i386__)
        __builtin_ia32_pause();
#endif
    }
    for (;;) {
        value.wait(old, std::memory_order_acquire);
        const T now = value.load(std::memory_order_acquire);
        if (now != old) {
            return now;
        }
    }
}

} // namespace

/** The threads of the orbits besides the worker's own; each waits for a round to be opened. */
struct CZARN40Doc::OrbitCrew {
    std::vector<std::thread> threads;
    /** Raised to start a pass over the open round (or to let the threads see quit). */
    std::atomic<std::uint64_t> generation{0};
    /** Threads still working on the current pass. */
    std::atomic<int> pending{0};
    std::atomic<bool> quit{false};
    /** The pass each thread runs: the family's RunOrbit. */
    std::atomic<void (*)(CZARN40Doc&, int)> run{nullptr};
};

CZARN40Doc::CZARN40Doc(const DocumentOptions& options) : options_(options), state_(options.seed) {
    // The maps and the grid are built by the state's member initialisers; the random sources,
    // the palette and the colours are set up here, in the order the program has always used.
    QuiltState& s = state_;
    const auto seedCLibrary = [&](unsigned offset) {
        s.crandom.seed(options_.seed ? static_cast<unsigned>(*options_.seed) + offset
                                     : static_cast<unsigned>(std::time(nullptr)));
    };
    if (options_.seed) {
        s.random.SeedFrom(static_cast<double>(*options_.seed));
        s.orbitRandom.SeedFrom(static_cast<double>(mixSeed(*options_.seed) % kOrbitSeedRange) +
                               1.0);
    } else {
        s.random.Seed(s.crandom);
        s.orbitRandom.SeedFrom(static_cast<double>(std::random_device{}() % kOrbitSeedRange) + 1.0);
    }
    seedCLibrary(0);
    InitialPalette(s.palette, s.crandom);

    seedCLibrary(1);
    s.colorSet.RandomColors(s.crandom);
    setColorFromPalette(s.colorSet, 0, s.palette[0]);
    setColorFromPalette(s.colorSet, 1, s.palette[3998]);

    SizeMemory(options_.physicalMemory ? *options_.physicalMemory : physicalMemoryBytes());
    s.orbitCount = std::clamp(options_.orbits, 1, kMaxOrbits);

    if (options_.seed) {
        // A seeded Squaret quilt drifts on a clock of its own that starts where the seed says.
        s.sqrMapt.SimulateClock(
            static_cast<std::time_t>(mixSeed(*options_.seed) % kSquaretClockCycle));
    }
    s.hexMap.RandomizeCoefficients(s.useDetailedHex(), s.random, s.crandom);
    s.hexMap.SetSize(s.QMap.size);
    s.sqrMap.Randomize(s.random, s.crandom);
    zarn::NewRandomQuilt(s);

    if (options_.registry) {
        if (!options_.registry->add(this)) {
            throw DocumentError("An invalid argument was encountered.");
        }
        registered_ = true;
    }

    const char* os = std::getenv("OS");
    s.isWindowsNT = (os != nullptr && std::string(os) == "Windows_NT") ? 1 : 0;
    s.quaziMapping = NewQuaziMapping(QuaziMapping::kDefaultSetCount, options_.seed, s.crandom);
    Publish();

    if (options_.startWorker) {
        std::lock_guard lock(workerMutex_);
        worker_ = std::thread([this] { WorkerLoop(); });
        workerId_ = worker_.get_id();
    }
}

CZARN40Doc::~CZARN40Doc() {
    if (worker_.joinable()) {
        {
            std::lock_guard lock(workerMutex_);
            suspendCount_.store(1);
            stopFlag_.store(true);
            UpdateInterrupt();
        }
        wakeWorker_.notify_all();
        worker_.join();
    }
    StopCrew();
    if (registered_) {
        options_.registry->remove(this);
    }
}

void CZARN40Doc::SizeMemory(std::uint64_t physicalBytes) {
    const MemorySizing sizing =
        computeMemorySizing(static_cast<std::uint32_t>(MaxDibSize()), physicalBytes);
    SetMaxDibSize(static_cast<int>(sizing.dibSize));
    if (!sizing.ok) {
        throw DocumentError(memorySizingMessage(sizing));
    }
    if (!state_.QMap.BuildSize(sizing.gridSize)) {
        throw DocumentError("QMap.BuildSize == false, Memory error");
    }
    state_.maxDibThird = static_cast<int>(sizing.dibThird);
}

bool CZARN40Doc::OnNewDocument() {
    {
        ScopedPause pause(*this);
        state_.colorSet.LoadFromHistory(state_.colorSetHistory);
        buildPalette(state_.palette, state_.colorSet, state_.QMap);
    }
    StartWorker();
    return true;
}

void CZARN40Doc::StartWorker() {
    if (!worker_.joinable()) {
        return;
    }
    {
        std::lock_guard lock(workerMutex_);
        if (started_) {
            return;
        }
        started_ = true;
        UpdateInterrupt();
    }
    wakeWorker_.notify_all();
}

// ---- Snapshot -------------------------------------------------------------------------------

void CZARN40Doc::Publish() const {
    std::lock_guard lock(publishedMutex_);
    published_.names = state_.names;
    published_.title = state_.title;
    published_.family = state_.family;
    published_.gridSize = state_.QMap.size;
    published_.viewPeriod = state_.viewPeriod;
}

bool CZARN40Doc::AwaitFinished(std::chrono::milliseconds timeout) const {
    std::unique_lock lock(workerMutex_);
    return workerParked_.wait_for(lock, timeout, [this] {
        const QuiltStatus& st = state_.status;
        return st.finished.load() != 0 && st.converged.load() == 0;
    });
}

DocumentSnapshot CZARN40Doc::snapshot() const {
    const QuiltStatus& st = state_.status;
    DocumentSnapshot snap;
    snap.stepCount = st.stepCount.load(std::memory_order_relaxed);
    snap.maxSteps = st.maxSteps.load(std::memory_order_relaxed);
    snap.maxCount = st.maxCount.load(std::memory_order_relaxed);
    snap.distinctCells = st.distinctCells.load(std::memory_order_relaxed);
    if (st.converged.load(std::memory_order_relaxed) != 0) {
        snap.state = IterationState::Converged;
    } else if (st.finished.load(std::memory_order_relaxed) != 0) {
        snap.state = IterationState::Finished;
    }
    snap.imageDirty = st.imageDirty.load(std::memory_order_relaxed) != 0;
    snap.awaitingAnswer = awaitingAnswer_.load();
    snap.collapsedReplacements = st.collapsedReplacements.load(std::memory_order_relaxed);
    snap.invalidReplacements = st.invalidReplacements.load(std::memory_order_relaxed);
    std::lock_guard lock(publishedMutex_);
    snap.family = published_.family;
    snap.gridSize = published_.gridSize;
    snap.viewPeriod = std::max<int>(published_.viewPeriod, 1);
    snap.quiltName = published_.names.quiltName;
    snap.sessionName = published_.names.sessionName;
    snap.ptesName = published_.names.ptesName;
    snap.windowName = published_.names.windowName;
    snap.title = published_.title;
    return snap;
}

std::uint32_t CZARN40Doc::stepCount() const {
    return state_.status.stepCount.load(std::memory_order_relaxed);
}

std::uint32_t CZARN40Doc::maxSteps() const {
    return state_.status.maxSteps.load(std::memory_order_relaxed);
}

bool CZARN40Doc::isFinished() const {
    return state_.status.finished.load(std::memory_order_relaxed) != 0;
}

MapFamily CZARN40Doc::CurrentFamily() const {
    std::lock_guard lock(publishedMutex_);
    return published_.family;
}

// ---- Commands -------------------------------------------------------------------------------

void CZARN40Doc::NewRandomQuilt() {
    ScopedPause pause(*this);
    zarn::NewRandomQuilt(state_);
}

void CZARN40Doc::NewRandomCornerQuilt(int cornerN) {
    ScopedPause pause(*this);
    zarn::NewRandomCornerQuilt(state_, cornerN);
}

void CZARN40Doc::SelectFamily(MapFamily family) {
    ScopedPause pause(*this);
    state_.family = family;
}

void CZARN40Doc::RestartIteration() {
    ScopedPause pause(*this);
    zarn::RestartIteration(state_);
}

void CZARN40Doc::SetMaxSteps(std::uint32_t steps) {
    ScopedPause pause(*this);
    state_.status.maxSteps.store(steps);
}

void CZARN40Doc::SetViewPeriod(std::uint16_t periods) {
    ScopedPause pause(*this);
    state_.viewPeriod = periods;
}

void CZARN40Doc::ChangeGridSize(std::uint32_t newSize) {
    ScopedPause pause(*this);
    zarn::ChangeGridSize(state_, newSize, StepFactor(state_.family));
}

void CZARN40Doc::CountDistinctCells() {
    ScopedPause pause(*this);
    zarn::CountDistinctCells(state_);
}

void CZARN40Doc::SetOrbitCount(int orbits) {
    ScopedPause pause(*this);
    state_.orbitCount = std::clamp(orbits, 1, kMaxOrbits);
}

int CZARN40Doc::orbitCount() const {
    ScopedPause pause(*this);
    return state_.orbitCount;
}

void CZARN40Doc::RebuildPalette() {
    ScopedPause pause(*this);
    buildPalette(state_.palette, state_.colorSet, state_.QMap);
}

bool CZARN40Doc::RefreshIfDirty() {
    if (suspendCount() != 0 || state_.status.imageDirty.load() == 0) {
        return false;
    }
    RebuildPalette();
    state_.status.imageDirty.store(0);
    return true;
}

void CZARN40Doc::ClearImageDirty() {
    state_.status.imageDirty.store(0);
}

PeriodSize CZARN40Doc::PeriodSizeOf() const {
    ScopedPause pause(*this);
    return withFamily(state_.family,
                      [&](auto traits) { return decltype(traits)::periodSize(state_); });
}

void CZARN40Doc::BuildBitmap(PeriodBitmap& bitmap, LevelScaleKind scale) {
    ScopedPause pause(*this);
    PictureColours colours = PictureColoursOn(state_, scale);
    // The orbits' threads wait while the picture is coloured: it may take their cores.
    colours.fillThreads = state_.orbitCount;
    withFamily(state_.family,
               [&](auto traits) { decltype(traits)::fill(state_, bitmap, colours); });
}

PeriodBitmap CZARN40Doc::RenderPeriod(LevelScaleKind scale) {
    ScopedPause pause(*this);
    const PeriodSize size = PeriodSizeOf();
    PeriodBitmap bitmap(size.width, size.height);
    BuildBitmap(bitmap, scale);
    return bitmap;
}

QuiltScore CZARN40Doc::Score(LevelScaleKind scale) {
    ScopedPause pause(*this);
    return ScoreQuilt(state_, scale);
}

ColorC CZARN40Doc::BeginEditColors() {
    ScopedPause pause(*this);
    QuiltState& s = state_;
    setColorFromPalette(s.colorSet, 0, s.palette[0]);
    setColorFromPalette(s.colorSet, 1, s.palette[3998]);
    s.colorSet.LoadFromHistory(s.colorSetHistory);
    return s.colorSet;
}

void CZARN40Doc::ApplyEditedColors(const ColorC& edited) {
    ScopedPause pause(*this);
    QuiltState& s = state_;
    // The edited copy points at this document's history; the live set keeps its own source.
    RandomSource rng = s.colorSet.rng;
    s.colorSet = edited;
    s.colorSet.rng = rng;
    s.colorSet.history = &s.colorSetHistory;
    s.colorSet.CommitToHistory();
    buildPalette(s.palette, s.colorSet, s.QMap);
}

void CZARN40Doc::SetTitle(const std::string& title) {
    ScopedPause pause(*this);
    state_.title = title;
}

void CZARN40Doc::AnswerConvergedNotice() {
    {
        std::lock_guard lock(workerMutex_);
        answered_ = true;
    }
    wakeWorker_.notify_all();
}

// ---- Pause protocol -------------------------------------------------------------------------

QuiltState& CZARN40Doc::State(const ScopedPause& pause) {
    (void)pause;
    return state_;
}

const QuiltState& CZARN40Doc::State(const ScopedPause& pause) const {
    (void)pause;
    return state_;
}

bool CZARN40Doc::onWorkerThread() const {
    return worker_.joinable() && std::this_thread::get_id() == workerId_;
}

void CZARN40Doc::UpdateInterrupt() const {
    interrupt_.store(stopFlag_.load() || suspendCount_.load() != 0 || !started_);
}

void CZARN40Doc::PauseWorker() const {
    if (onWorkerThread()) {
        return;
    }
    std::unique_lock lock(workerMutex_);
    suspendCount_.fetch_add(1);
    pauses_.fetch_add(1);
    if (!worker_.joinable()) {
        return;
    }
    UpdateInterrupt();
    wakeWorker_.notify_all(); // cuts short an idle wait
    workerParked_.wait(lock, [this] { return parked_ || exited_; });
}

void CZARN40Doc::ResumeWorker() const {
    if (onWorkerThread()) {
        return;
    }
    {
        std::lock_guard lock(workerMutex_);
        // A resume without a pause changes nothing; above all it must not read the state, which
        // the worker may be writing.
        if (suspendCount_.load() == 0) {
            return;
        }
        suspendCount_.fetch_sub(1);
        if (suspendCount_.load() != 0) {
            return;
        }
        // The worker is still parked: what the paused caller changed is published before it
        // can move again.
        Publish();
        UpdateInterrupt();
    }
    wakeWorker_.notify_all();
}

void CZARN40Doc::IdleWait(int ms) {
    if (!onWorkerThread()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
        return;
    }
    // On the worker the wait ends early when a pause or the stop is requested, so neither has
    // to sit out the rest of it.
    std::unique_lock lock(workerMutex_);
    wakeWorker_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return interrupted(); });
}

bool CZARN40Doc::AwaitAnswer() {
    std::unique_lock lock(workerMutex_);
    answered_ = false;
    awaitingAnswer_.store(true);
    parked_ = true;
    workerParked_.notify_all();
    wakeWorker_.wait(
        lock, [this] { return stopFlag_.load() || (answered_ && suspendCount_.load() == 0); });
    parked_ = false;
    awaitingAnswer_.store(false);
    return !stopFlag_.load();
}

void CZARN40Doc::WorkerLoop() {
    for (;;) {
        if (interrupted()) {
            std::unique_lock lock(workerMutex_);
            if (stopFlag_.load()) {
                break;
            }
            if (suspendCount_.load() != 0 || !started_) {
                parked_ = true;
                workerParked_.notify_all();
                wakeWorker_.wait(lock, [this] {
                    return stopFlag_.load() || (started_ && suspendCount_.load() == 0);
                });
                parked_ = false;
                continue;
            }
        }
        RunSteps(kBlockSteps);
    }
    std::lock_guard lock(workerMutex_);
    exited_ = true;
    parked_ = true;
    workerParked_.notify_all();
}

// ---- The step ------------------------------------------------------------------------------

void CZARN40Doc::IterateStep() {
    RunSteps(1);
}

void CZARN40Doc::RunSteps(std::uint32_t budget) {
    withFamily(state_.family, [&](auto traits) {
        if (state_.orbitCount > 1 && budget > 1) {
            RunRounds<decltype(traits)>();
        } else {
            RunBlock<decltype(traits)>(budget);
        }
    });
}

template <typename Traits> void CZARN40Doc::RunBlock(std::uint32_t budget) {
    QuiltState& s = state_;
    QuiltStatus& st = s.status;
    const std::uint32_t limit = st.maxSteps.load(std::memory_order_relaxed);
    std::uint32_t steps = st.stepCount.load(std::memory_order_relaxed);
    if (steps > limit) {
        EnterFinished();
        return;
    }
    st.finished.store(0, std::memory_order_relaxed);
    st.running.store(1, std::memory_order_relaxed);

    const std::uint32_t side = s.QMap.size;
    const double n = side;
    // A point outside the cells and their margin would index outside the grid.
    const double cellLimit = (n + QuiltMap::kMargin - 1) / n;
    for (std::uint32_t i = 0; i < budget; ++i) {
        if (steps > limit) {
            break;
        }
        if constexpr (requires(StepSpan & span) { Traits::runSpan(s, Traits::map(s), span); }) {
            // The steps up to the next one that has something to decide (a collapse test, the
            // end of the transient, the limit) run as one span in the step code of the running
            // machine; the deciding step itself goes through the loop below.
            const auto transient = static_cast<std::uint32_t>(kTransientSteps);
            std::uint64_t last = std::min<std::uint64_t>(limit, std::uint64_t{steps} + budget - i);
            last = std::min<std::uint64_t>(last, (steps / kRoundSteps + 1) * kRoundSteps - 1);
            if (steps < transient) {
                last = std::min<std::uint64_t>(last, transient);
            }
            if (last > steps) {
                StepSpan span = spanFrom(s, s.QMap, s.QMap.CellData(), cellLimit, interrupt_);
                span.steps = static_cast<std::uint32_t>(last - steps);
                span.count = steps >= transient;
                span.maxCount = s.QMap.maxCount;
                Traits::runSpan(s, Traits::map(s), span);
                s.QMap.maxCount = span.maxCount;
                s.cellX = span.cellX;
                s.cellY = span.cellY;
                steps += span.done;
                i += span.done - 1;
                st.stepCount.store(steps, std::memory_order_relaxed);
                if (span.invalid) {
                    ReplaceInvalid();
                    return;
                }
                if (span.done < span.steps) {
                    break; // interrupted
                }
                continue;
            }
        }
        ++steps;
        st.stepCount.store(steps, std::memory_order_relaxed);
        bool countThisHit = true;
        Traits::step(s, Traits::map(s), countThisHit);

        // A point that left the numbers (NaN, infinity) or the grid: such a quilt is replaced
        // like a collapsed one.
        if (!(s.torusX >= 0.0 && s.torusX < cellLimit && s.torusY >= 0.0 && s.torusY < cellLimit) ||
            !std::isfinite(s.pointX) || !std::isfinite(s.pointY)) {
            ReplaceInvalid();
            return;
        }

        if (steps > static_cast<std::uint32_t>(kTransientSteps)) {
            s.cellX = static_cast<int>(s.torusX * n);
            s.cellY = static_cast<int>(s.torusY * n);
            if (steps % 10000 == 0) {
                const Collapse collapse = CheckCollapse(steps, DistinctCells(steps));
                if (collapse == Collapse::Stop) {
                    return;
                }
                const std::uint32_t now = st.stepCount.load(std::memory_order_relaxed);
                if (now % kDirtySteps == 0) {
                    MarkDirty();
                    if (now % kPolyRebuildSteps == 0 && s.polyView != 0 && s.polyMapping) {
                        s.polyMapping->rebuild = true;
                    }
                }
                if (collapse == Collapse::Replaced) {
                    // The hit of this step still goes into the new quilt's cleared grid, as long
                    // as the grid kept its size while a notice was up.
                    if (countThisHit && s.QMap.size == side) {
                        s.QMap.AddHit(s.cellY, s.cellX);
                    }
                    break;
                }
            }
            if (countThisHit) {
                s.QMap.AddHit(s.cellY, s.cellX);
            }
        }
        if (interrupted()) {
            break;
        }
    }
    st.maxCount.store(s.QMap.maxCount, std::memory_order_relaxed);
}

int CZARN40Doc::DistinctCells(std::uint32_t steps) {
    // Once the grid has as many distinct cells as the collapse test asks for, the test cannot
    // fire again until something changes the grid from outside the worker, which takes a pause,
    // or the worker replaces the quilt. Until then the count is only refreshed at the dirty
    // marks, for the display, and the grid is not scanned every 10,000 steps.
    const std::uint64_t pauses = pauses_.load();
    if (distinctPauses_ != pauses || distinctKnown_ < state_.minDistinctCells ||
        steps % kDirtySteps == 0) {
        distinctKnown_ = static_cast<int>(state_.QMap.CountNonZero());
        distinctPauses_ = pauses;
    }
    return distinctKnown_;
}

void CZARN40Doc::EnterFinished() {
    QuiltStatus& st = state_.status;
    if (st.finished.load(std::memory_order_relaxed) == 0) {
        {
            // Under the lock, so that a waiter cannot test the flag and then miss the notice.
            std::lock_guard lock(workerMutex_);
            st.finished.store(1);
            st.running.store(0);
        }
        workerParked_.notify_all();
        st.maxCount.store(state_.QMap.maxCount);
        if (options_.observer) {
            options_.observer->finished(*this);
        }
    }
    IdleWait(100);
}

void CZARN40Doc::ReplaceInvalid() {
    distinctKnown_ = 0;
    state_.status.invalidReplacements.fetch_add(1, std::memory_order_relaxed);
    zarn::NewRandomQuilt(state_);
    Publish();
    if (options_.observer) {
        options_.observer->quiltReplaced(*this, ReplaceReason::NonFinite);
    }
}

CZARN40Doc::Collapse CZARN40Doc::CheckCollapse(std::uint32_t steps, int distinct) {
    QuiltState& s = state_;
    QuiltStatus& st = s.status;
    st.distinctCells.store(distinct);
    if (!(distinct < s.minDistinctCells && distinct < static_cast<int>(steps / 100))) {
        return Collapse::None;
    }
    st.converged.store(1);
    st.running.store(0);
    st.collapsedReplacements.fetch_add(1, std::memory_order_relaxed);
    DocumentObserver* observer = options_.observer;
    // Only a worker can wait for the answer; a caller driving the steps itself gets the
    // replacement at once.
    const bool ask = s.useRandomSettings != 1 && observer != nullptr &&
                     observer->quiltConverged(*this) && onWorkerThread();
    if (ask && !AwaitAnswer()) {
        return Collapse::Stop;
    }
    zarn::NewRandomQuilt(s);
    distinctKnown_ = 0;
    st.running.store(1);
    st.converged.store(0);
    Publish();
    if (observer) {
        observer->quiltReplaced(*this, ReplaceReason::Collapsed);
    }
    return Collapse::Replaced;
}

void CZARN40Doc::MarkDirty() {
    // The short sleep makes room for the desktop program's user-interface thread and the
    // workers of its other documents. A document outside the program (the renderer, a test)
    // has neither to make room for, and would only lose the time.
    if (options_.registry != nullptr) {
        IdleWait(static_cast<int>(options_.registry->count()) + 1);
    }
    state_.status.imageDirty.store(1);
    if (options_.observer) {
        options_.observer->imageDirty(*this);
    }
}

// ---- Several orbits -------------------------------------------------------------------------

void CZARN40Doc::EnsureCrew(int helpers) {
    if (crew_ && static_cast<int>(crew_->threads.size()) == helpers) {
        return;
    }
    StopCrew();
    crew_ = std::make_unique<OrbitCrew>();
    for (int k = 1; k <= helpers; ++k) {
        crew_->threads.emplace_back([this, k] { CrewLoop(k); });
    }
}

void CZARN40Doc::StopCrew() {
    if (!crew_) {
        return;
    }
    crew_->quit.store(true);
    crew_->generation.fetch_add(1, std::memory_order_release);
    crew_->generation.notify_all();
    for (std::thread& t : crew_->threads) {
        t.join();
    }
    crew_.reset();
}

void CZARN40Doc::CrewLoop(int k) {
    OrbitCrew& crew = *crew_;
    std::uint64_t seen = 0;
    for (;;) {
        seen = awaitChange(crew.generation, seen);
        if (crew.quit.load()) {
            return;
        }
        crew.run.load()(*this, k);
        if (crew.pending.fetch_sub(1, std::memory_order_acq_rel) == 1) {
            crew.pending.notify_all();
        }
    }
}

template <typename Traits> void CZARN40Doc::RunOrbit(int k) {
    QuiltState& s = state_;
    RoundSlot& slot = slots_[static_cast<std::size_t>(k)];
    const std::uint32_t side = s.QMap.size;
    const double n = side;
    const double cellLimit = (n + QuiltMap::kMargin - 1) / n;
    std::uint32_t* const grid = orbitGrids_[static_cast<std::size_t>(k)].data();
    FirstHits& firstHits = firstHits_[static_cast<std::size_t>(k)];
    const auto run = [&](auto& orbit, typename Traits::Map& map, std::uint32_t& orbitSteps) {
        std::uint32_t done = slot.done;
        std::uint32_t newCells = 0;
        for (; done < slot.quota; ++done) {
            if (interrupted()) {
                break;
            }
            if constexpr (requires(StepSpan & span) { Traits::runSpan(orbit, map, span); }) {
                // The rest of the orbit's share, or up to the end of its transient, as one span
                // (see RunBlock).
                const auto transient = static_cast<std::uint32_t>(kTransientSteps);
                std::uint32_t length = slot.quota - done;
                if (orbitSteps < transient) {
                    length = std::min(length, transient - orbitSteps);
                }
                StepSpan span = spanFrom(orbit, s.QMap, grid, cellLimit, interrupt_);
                span.touched = touched_.get();
                span.firstHits = firstHits.cells.data();
                span.firstHitRoom = static_cast<std::uint32_t>(firstHits.cells.size());
                span.firstHitCount = firstHits.count;
                span.steps = length;
                span.count = orbitSteps >= transient;
                Traits::runSpan(orbit, map, span);
                firstHits.count = span.firstHitCount;
                orbit.cellX = span.cellX;
                orbit.cellY = span.cellY;
                newCells += span.newCells;
                done += span.done - 1;
                orbitSteps += span.done;
                if (span.invalid) {
                    --orbitSteps; // the step that left is not one of the orbit's
                    slot.invalid = true;
                    ++done;
                    break;
                }
                continue;
            }
            bool countThisHit = true;
            Traits::step(orbit, map, countThisHit);
            if (!(orbit.torusX >= 0.0 && orbit.torusX < cellLimit && orbit.torusY >= 0.0 &&
                  orbit.torusY < cellLimit) ||
                !std::isfinite(orbit.pointX) || !std::isfinite(orbit.pointY)) {
                slot.invalid = true;
                ++done;
                break;
            }
            ++orbitSteps;
            if (orbitSteps > static_cast<std::uint32_t>(kTransientSteps) && countThisHit) {
                orbit.cellX = static_cast<int>(orbit.torusX * n);
                orbit.cellY = static_cast<int>(orbit.torusY * n);
                // Each orbit counts into its own grid, so no cache line is shared in the step;
                // counts commute, so the sum is the same whatever order the hits come in. Only
                // an orbit's first hit of a cell looks at the shared flags, for the distinct
                // count.
                const std::size_t at = s.QMap.IndexOf(orbit.cellY, orbit.cellX);
                if (grid[at]++ == 0) {
                    const bool counted = static_cast<std::uint32_t>(orbit.cellX) < side &&
                                         static_cast<std::uint32_t>(orbit.cellY) < side;
                    noteFirstHit(firstHits.cells.data(),
                                 static_cast<std::uint32_t>(firstHits.cells.size()),
                                 firstHits.count, at, counted);
                    if (counted &&
                        std::atomic_ref<std::uint8_t>(touched_[at])
                                .load(std::memory_order_relaxed) == 0 &&
                        std::atomic_ref<std::uint8_t>(touched_[at])
                                .exchange(1, std::memory_order_relaxed) == 0) {
                        ++newCells;
                    }
                }
            }
        }
        slot.done = done;
        slot.newCells += newCells;
    };
    if (k == 0) {
        run(s, Traits::map(s), s.leadSteps);
    } else {
        Orbit& orbit = s.orbits[static_cast<std::size_t>(k - 1)];
        run(orbit, std::get<typename Traits::Map>(orbit.map), orbit.steps);
    }
}

void CZARN40Doc::PlanRound(std::uint32_t steps, std::uint32_t limit, int orbits) {
    // A round ends at the next multiple of 10,000 steps (or at the limit), where the collapse
    // test looks at the grid; orbit k takes a fixed share of it, so the same seed and count give
    // the same grid. Once the quilt has as many distinct cells as the test asks for, the test can
    // no longer fire (the count only grows while the orbits run): the rounds up to the next dirty
    // mark then run as one, the orbits meet twenty times less often, and each orbit takes exactly
    // the steps the single rounds would have given it. Outside the desktop program nothing
    // redraws at the dirty marks: the first such round runs up to every tenth, and later ones
    // are sized to last about a quarter of a second (SizeLongRound). The orbits' speeds differ a
    // little from stretch to stretch, and the faster waits less often for the slower.
    const auto n = static_cast<std::uint32_t>(orbits);
    for (int k = 0; k < orbits; ++k) {
        slots_[static_cast<std::size_t>(k)] = RoundSlot{};
    }
    const std::uint64_t stop = std::uint64_t{limit} + 1;
    const bool settled = std::cmp_greater_equal(liveDistinct_, state_.minDistinctCells);
    roundSettled_ = settled;
    const std::uint64_t span =
        !settled ? kRoundSteps
                 : (options_.registry != nullptr
                        ? kDirtySteps
                        : (longRoundMarks_ != 0 ? std::uint64_t{longRoundMarks_} * kDirtySteps
                                                : kLongRoundSteps));
    const std::uint64_t end = std::min<std::uint64_t>((steps / span + 1) * span, stop);
    roundPlanned_ = end - steps;
    for (std::uint64_t at = steps; at < end;) {
        const std::uint64_t roundEnd =
            std::min<std::uint64_t>((at / kRoundSteps + 1) * kRoundSteps, end);
        const auto total = static_cast<std::uint32_t>(roundEnd - at);
        for (std::uint32_t k = 0; k < n; ++k) {
            slots_[k].quota += total / n + (k < total % n ? 1u : 0u);
        }
        at = roundEnd;
    }
}

void CZARN40Doc::SizeLongRound(std::chrono::duration<double> took) {
    // How the steps are grouped into rounds changes no orbit's steps (each takes its fixed share
    // of every 10,000), so the size may follow the clock: long enough that the orbits seldom
    // wait for each other, short enough that the step count (a progress bar) moves.
    if (roundPlanned_ < kDirtySteps || took.count() <= 0.0) {
        return;
    }
    const double wanted = static_cast<double>(roundPlanned_) * (kLongRoundSeconds / took.count());
    longRoundMarks_ = static_cast<std::uint32_t>(
        std::clamp(std::floor(wanted / kDirtySteps), 1.0, double{kLongestRoundMarks}));
}

template <typename Traits> void CZARN40Doc::RunRounds() {
    QuiltState& s = state_;
    QuiltStatus& st = s.status;
    const int orbits = s.orbitCount;
    if (s.orbits.size() != static_cast<std::size_t>(orbits - 1) ||
        s.orbitsGeneration != s.mapGeneration) {
        PrepareOrbits(s);
    }
    const RoundKey key{s.restarts, s.mapGeneration, s.QMap.size, s.family, orbits};
    if (roundOpen_ && !(key == roundKey_)) {
        roundOpen_ = false;
    }
    EnsureCrew(orbits - 1);
    slots_.resize(static_cast<std::size_t>(orbits));

    // The orbits' grids are empty here (added in before every return); the flags and the
    // distinct count start from the grid as any command may have left it.
    // A pause that arrives meanwhile waits for this, so it is one pass over the grid.
    const std::size_t cells = s.QMap.CellCount();
    orbitGrids_.resize(static_cast<std::size_t>(orbits));
    firstHits_.resize(static_cast<std::size_t>(orbits));
    for (std::size_t k = 0; k < orbitGrids_.size(); ++k) {
        if (orbitGrids_[k].size() != cells) {
            orbitGrids_[k].assign(cells, 0);
            firstHits_[k].cells.assign(cells / kFirstHitShare, 0);
        }
        firstHits_[k].count = 0;
    }
    if (touchedCells_ != cells) {
        touched_ = std::make_unique<std::uint8_t[]>(cells);
        touchedCells_ = cells;
    }
    // The flags are written plainly (the orbits are parked), a row at a time: whole vectors.
    const std::uint32_t* counts = s.QMap.CellData();
    const std::size_t stride = s.QMap.IndexOf(1, 0);
    const std::uint32_t side = s.QMap.size;
    std::uint8_t* const flags = touched_.get();
    std::uint32_t distinct = 0;
    for (std::size_t start = 0, row = 0; start < cells; start += stride, ++row) {
        const std::size_t length = std::min(stride, cells - start);
        const std::size_t counted = row < side ? std::min<std::size_t>(side, length) : 0;
        std::uint32_t inRow = 0;
        for (std::size_t c = 0; c < length; ++c) {
            const std::uint8_t hit = counts[start + c] != 0 ? 1 : 0;
            flags[start + c] = hit;
            inRow += (c < counted) ? hit : 0u;
        }
        distinct += inRow;
    }
    liveDistinct_ = distinct;
    // A round planned past the collapse tests assumed the test could not fire. A command under a
    // pause may have emptied the grid or raised the count the test asks for: the round is then
    // planned afresh from where the orbits stand, with its tests.
    if (roundOpen_ && roundSettled_ && std::cmp_less(liveDistinct_, s.minDistinctCells)) {
        roundOpen_ = false;
    }
    const std::uint32_t restartsAtEntry = s.restarts;
    struct AddIn {
        CZARN40Doc& doc;
        std::uint32_t restarts;
        ~AddIn() {
            if (doc.state_.restarts == restarts) {
                doc.MergeOrbitGrids();
            } else {
                doc.DiscardOrbitGrids();
            }
        }
    } addIn{*this, restartsAtEntry};

    for (std::uint32_t ran = 0; ran < kStepsPerCall && !interrupted();) {
        const std::uint32_t limit = st.maxSteps.load(std::memory_order_relaxed);
        const std::uint32_t steps = st.stepCount.load(std::memory_order_relaxed);
        // A settled round planned here is timed from start to end, to size the next one.
        const bool timed = !roundOpen_;
        if (!roundOpen_) {
            if (steps > limit) {
                EnterFinished();
                return;
            }
            PlanRound(steps, limit, orbits);
            roundOpen_ = true;
            roundKey_ = key;
        }
        const auto began = std::chrono::steady_clock::now();
        st.finished.store(0, std::memory_order_relaxed);
        st.running.store(1, std::memory_order_relaxed);

        std::uint32_t doneBefore = 0;
        for (const RoundSlot& slot : slots_) {
            doneBefore += slot.done;
        }
        OrbitCrew& crew = *crew_;
        crew.run.store(&OrbitThunk<Traits>);
        crew.pending.store(orbits - 1, std::memory_order_relaxed);
        crew.generation.fetch_add(1, std::memory_order_release);
        crew.generation.notify_all();
        RunOrbit<Traits>(0);
        for (int left = crew.pending.load(std::memory_order_acquire); left != 0;) {
            left = awaitChange(crew.pending, left);
        }

        std::uint32_t doneAfter = 0;
        bool complete = true;
        bool invalid = false;
        for (RoundSlot& slot : slots_) {
            doneAfter += slot.done;
            complete = complete && slot.done == slot.quota;
            invalid = invalid || slot.invalid;
            liveDistinct_ += slot.newCells;
            slot.newCells = 0;
        }
        const std::uint32_t now = steps + (doneAfter - doneBefore);
        ran += doneAfter - doneBefore;
        st.stepCount.store(now, std::memory_order_relaxed);
        if (invalid) {
            roundOpen_ = false;
            ReplaceInvalid();
            return;
        }
        if (!complete) {
            return; // interrupted: the round goes on where each orbit stopped
        }
        roundOpen_ = false;
        if (timed && roundSettled_ && options_.registry == nullptr) {
            SizeLongRound(std::chrono::duration<double>(std::chrono::steady_clock::now() - began));
        }
        // The test waits until every orbit counts: with four orbits or more, none is past its
        // transient at 10,000 steps, and an empty grid would be taken for a collapse (forever).
        const auto counting = [&] {
            const auto past = [](std::uint32_t orbitSteps) {
                return orbitSteps > static_cast<std::uint32_t>(kTransientSteps);
            };
            return past(s.leadSteps) && std::all_of(s.orbits.begin(), s.orbits.end(),
                                                    [&](const Orbit& o) { return past(o.steps); });
        };
        if (now % kRoundSteps == 0 && counting()) {
            const auto distinct = static_cast<int>(liveDistinct_);
            if (distinct < s.minDistinctCells && distinct < static_cast<int>(now / 100)) {
                // A notice may keep the worker parked: the grid it shows is the whole one.
                MergeOrbitGrids();
            }
            if (CheckCollapse(now, distinct) == Collapse::Stop) {
                return;
            }
            const std::uint32_t after = st.stepCount.load(std::memory_order_relaxed);
            if (after % kDirtySteps == 0) {
                MarkDirty();
            }
            if (after != now) {
                return; // replaced: the new quilt's orbits start afresh
            }
        }
    }
}

void CZARN40Doc::MergeOrbitGrids() {
    QuiltState& s = state_;
    QuiltMap& map = s.QMap;
    std::uint32_t* counts = map.CellData();
    const std::size_t cells = map.CellCount();
    bool wholeGrids = false;
    for (std::size_t k = 0; k < orbitGrids_.size(); ++k) {
        std::vector<std::uint32_t>& grid = orbitGrids_[k];
        FirstHits& firstHits = firstHits_[k];
        if (grid.size() != cells) {
            continue;
        }
        std::uint32_t* add = grid.data();
        if (firstHits.count <= firstHits.cells.size()) {
            // Only the cells this orbit hit; the grid's counts only grow here, so its largest
            // is the larger of what it was and what these cells now hold.
            std::uint32_t largest = map.maxCount;
            for (std::uint32_t n = 0; n < firstHits.count; ++n) {
                const std::uint32_t listed = firstHits.cells[n];
                const std::size_t at = listed & ~kMarginHit;
                counts[at] += add[at];
                add[at] = 0;
                largest = std::max(largest, (listed & kMarginHit) != 0 ? 0u : counts[at]);
            }
            map.maxCount = largest;
        } else {
            // Without a branch per cell the compiler adds whole vectors at a time.
            for (std::size_t i = 0; i < cells; ++i) {
                counts[i] += add[i];
            }
            std::fill(grid.begin(), grid.end(), 0u);
            wholeGrids = true;
        }
        firstHits.count = 0;
    }
    if (wholeGrids) {
        map.RefreshMax();
    }
    s.status.maxCount.store(map.maxCount, std::memory_order_relaxed);
}

void CZARN40Doc::DiscardOrbitGrids() {
    for (std::size_t k = 0; k < orbitGrids_.size(); ++k) {
        std::vector<std::uint32_t>& grid = orbitGrids_[k];
        FirstHits& firstHits = firstHits_[k];
        if (firstHits.count <= firstHits.cells.size()) {
            for (std::uint32_t n = 0; n < firstHits.count; ++n) {
                grid[firstHits.cells[n] & ~kMarginHit] = 0;
            }
        } else {
            std::fill(grid.begin(), grid.end(), 0u);
        }
        firstHits.count = 0;
    }
}

} // namespace zarn
