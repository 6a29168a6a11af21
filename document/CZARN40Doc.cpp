#include "CZARN40Doc.h"

#include "DocumentRegistry.h"
#include "MemorySizing.h"
#include "engine/CRandom.h"
#include "engine/Torus.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>

namespace zarn {

namespace {

void sleepMs(int ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

void setColorFromPalette(ColorC& colors, int k, const PaletteEntry& e) {
    colors.red[k] = e.red;
    colors.green[k] = e.green;
    colors.blue[k] = e.blue;
}

std::string formatName(const char* format, const std::string& arg) {
    char buffer[CZARN40Doc::kNameLength];
    std::snprintf(buffer, sizeof buffer, format, arg.c_str());
    return buffer;
}

} // namespace

namespace {
std::optional<double> derivedSeed(const DocumentOptions& o, int offset) {
    if (!o.seed) {
        return std::nullopt;
    }
    return static_cast<double>(*o.seed) + offset;
}

DuoMap makeDuoMap(const DocumentOptions& o) {
    const std::optional<double> seed = derivedSeed(o, 2);
    return seed ? DuoMap(*seed) : DuoMap();
}
} // namespace

CZARN40Doc::EarlySeed::EarlySeed(const DocumentOptions& options) {
    if (options.seed) {
        cseed(static_cast<unsigned>(*options.seed));
    }
}

CZARN40Doc::CZARN40Doc(const DocumentOptions& options)
    : earlySeed_(options), colorSet(derivedSeed(options, 1)), duoMap(makeDuoMap(options)),
      options_(options) {
    // The maps and the grid are built by their member initialisers; the random sources, the
    // palette and the colours are set up here, in the order the program has always used.
    if (options_.seed) {
        random.SeedFrom(static_cast<double>(*options_.seed));
    } else {
        random.Seed();
    }
    SeedCLibrary(0);
    InitialPalette(palette);

    SeedCLibrary(1);
    colorSet.RandomColors();
    setColorFromPalette(colorSet, 0, palette[0]);
    setColorFromPalette(colorSet, 1, palette[3998]);

    SizeMemory(options_.physicalMemory ? *options_.physicalMemory : physicalMemoryBytes());

    if (options_.seed) {
        sqrMapt.FixClock(static_cast<std::time_t>(*options_.seed));
    }
    hexMap.RandomizeCoefficients(useDetailedHex != 0, random);
    hexMap.SetSize(QMap.size);
    hexSizeA = hexMap.periodWidth;
    hexSizeB = hexMap.periodHeight;
    sqrMap.Randomize(random);
    NewRandomQuilt();
    title = sessionName;

    if (options_.registry) {
        if (!options_.registry->add(this)) {
            throw DocumentError("Too many open documents: close one first.");
        }
        registered_ = true;
    }

    const char* os = std::getenv("OS");
    isWindowsNT = (os != nullptr && std::string(os) == "Windows_NT") ? 1 : 0;

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
            suspendCount.store(1);
            stopFlag.store(1);
        }
        wakeWorker_.notify_all();
        worker_.join();
    }
    if (registered_) {
        options_.registry->remove(this);
    }
}

void CZARN40Doc::SeedCLibrary(unsigned offset) {
    cseed(options_.seed ? static_cast<unsigned>(*options_.seed) + offset
                        : static_cast<unsigned>(std::time(nullptr)));
}

void CZARN40Doc::SizeMemory(std::uint64_t physicalBytes) {
    const MemorySizing sizing =
        computeMemorySizing(static_cast<std::uint32_t>(MaxDibSize()), physicalBytes);
    SetMaxDibSize(static_cast<int>(sizing.dibSize));
    if (!sizing.ok) {
        throw DocumentError(memorySizingMessage(sizing));
    }
    if (!QMap.BuildSize(sizing.gridSize)) {
        throw DocumentError("QMap.BuildSize == false, Memory error");
    }
    maxDibThird = static_cast<int>(sizing.dibThird);
}

bool CZARN40Doc::OnNewDocument() {
    colorSet.LoadFromHistory(colorSetHistory);
    ResumeWorker();
    RebuildPalette();
    return true;
}

void CZARN40Doc::RebuildPalette() {
    ScopedPause pause(*this);
    buildPalette(palette, colorSet, QMap);
}

PeriodSize CZARN40Doc::PeriodSizeOf() const {
    const int n = static_cast<int>(QMap.size);
    if (flagHex || hexVariant) {
        return {static_cast<int>(hexMap.periodWidth), static_cast<int>(hexMap.periodHeight)};
    }
    if (flagSFT) {
        const auto p = sftMap.PeriodFor(n);
        return {p.width, p.height};
    }
    if (flagT) {
        const auto p = tMap.PeriodFor(n);
        return {p.width, p.height};
    }
    if (flagTWsq) {
        return {n, 2 * n};
    }
    return {n, n};
}

void CZARN40Doc::BuildBitmap(PeriodBitmap& bitmap) {
    PauseWorker();
    QMap.RefreshMax();
    const std::uint32_t maxCount = QMap.maxCount;
    const int n = static_cast<int>(QMap.size);
    if (flagSFT) {
        fillBitmap(bitmap, palette, maxCount,
                   [&](int x, int y) { return sftMap.PixelCount(QMap, x, y); });
    } else if (flagT) {
        fillBitmap(bitmap, palette, maxCount,
                   [&](int x, int y) { return tMap.PixelCount(QMap, x, y); });
    } else if (flagHex) {
        const bool knot = hexKnot != 0;
        fillBitmap(bitmap, palette, maxCount, [&](int x, int y) {
            return hexMap.PixelCount(QMap, static_cast<std::uint32_t>(x),
                                     static_cast<std::uint32_t>(y), knot);
        });
    } else if (imageOption1) {
        fillBitmap(bitmap, palette, maxCount,
                   [&](int x, int y) { return LookupSquare(QMap, y, x); });
    } else if (flagTWsq) {
        fillBitmap(bitmap, palette, maxCount, [&](int x, int y) {
            const int row = y < n ? y : 2 * n - 1 - y;
            return countOrZero(QMap, row, n - 1 - x);
        });
    } else {
        fillBitmap(bitmap, palette, maxCount,
                   [&](int x, int y) { return countOrZero(QMap, y, x); });
    }
}

PeriodBitmap CZARN40Doc::RenderPeriod() {
    const PeriodSize size = PeriodSizeOf();
    PeriodBitmap bitmap(size.width, size.height);
    BuildBitmap(bitmap);
    ResumeWorker();
    return bitmap;
}

bool CZARN40Doc::onWorkerThread() const {
    return worker_.joinable() && std::this_thread::get_id() == workerId_;
}

void CZARN40Doc::PauseWorker() {
    if (!worker_.joinable() || onWorkerThread()) {
        return;
    }
    std::unique_lock lock(workerMutex_);
    suspendCount.fetch_add(1);
    wakeWorker_.notify_all(); // cuts short an idle wait of a finished quilt
    workerParked_.wait(lock, [this] { return parked_ || exited_; });
}

void CZARN40Doc::IdleWait(int ms) {
    if (!onWorkerThread()) {
        sleepMs(ms);
        return;
    }
    // On the worker the wait ends early when a pause or the stop is requested, so neither has
    // to sit out the rest of it.
    std::unique_lock lock(workerMutex_);
    wakeWorker_.wait_for(lock, std::chrono::milliseconds(ms),
                         [this] { return stopFlag.load() != 0 || suspendCount.load() != 0; });
}

void CZARN40Doc::ResumeWorker() {
    if (!worker_.joinable() || onWorkerThread()) {
        return;
    }
    {
        std::lock_guard lock(workerMutex_);
        if (suspendCount.load() > 0) {
            suspendCount.fetch_sub(1);
        }
        if (suspendCount.load() != 0) {
            return;
        }
        // The worker is created suspended: the first resume that brings the count to 0 starts it.
        started_.store(true);
    }
    wakeWorker_.notify_all();
}

void CZARN40Doc::WorkerLoop() {
    while (stopFlag.load(std::memory_order_relaxed) == 0) {
        if (suspendCount.load(std::memory_order_relaxed) != 0 ||
            !started_.load(std::memory_order_relaxed)) {
            std::unique_lock lock(workerMutex_);
            parked_ = true;
            workerParked_.notify_all();
            wakeWorker_.wait(lock, [this] {
                return stopFlag.load() != 0 || (started_.load() && suspendCount.load() == 0);
            });
            parked_ = false;
            continue;
        }
        IterateStep();
    }
    std::lock_guard lock(workerMutex_);
    exited_ = true;
    parked_ = true;
    workerParked_.notify_all();
}

std::uint8_t CZARN40Doc::*CZARN40Doc::FlagMember(MapFamily family) {
    switch (family) {
    case MapFamily::Square:
        return nullptr;
    case MapFamily::Oct_Four:
        return &CZARN40Doc::flagOctFour;
    case MapFamily::SFT:
        return &CZARN40Doc::flagSFT;
    case MapFamily::Hex:
        return &CZARN40Doc::flagHex;
    case MapFamily::SquareX:
        return &CZARN40Doc::flagSquareX;
    case MapFamily::T:
        return &CZARN40Doc::flagT;
    case MapFamily::ExpA:
        return &CZARN40Doc::flagExpA;
    case MapFamily::TWsq:
        return &CZARN40Doc::flagTWsq;
    case MapFamily::Squaret:
        return &CZARN40Doc::flagSquaret;
    case MapFamily::Duo:
        return &CZARN40Doc::flagDuo;
    }
    return nullptr;
}

MapFamily CZARN40Doc::FirstFlagSet(const std::array<MapFamily, kFamilyCount - 1>& order) const {
    for (MapFamily family : order) {
        if (this->*FlagMember(family) != 0) {
            return family;
        }
    }
    return MapFamily::Square;
}

MapFamily CZARN40Doc::CurrentFamily() const {
    using enum MapFamily;
    return FirstFlagSet({ExpA, T, SFT, SquareX, Hex, Oct_Four, TWsq, Squaret, Duo});
}

MapFamily CZARN40Doc::AutoNameFamily() const {
    using enum MapFamily;
    return FirstFlagSet({Hex, T, Oct_Four, SFT, SquareX, ExpA, TWsq, Squaret, Duo});
}

MapFamily CZARN40Doc::RandomSetupFamily() const {
    using enum MapFamily;
    return FirstFlagSet({SFT, T, Oct_Four, Hex, SquareX, ExpA, TWsq, Squaret, Duo});
}

void CZARN40Doc::SelectFamily(MapFamily family) {
    for (MapFamily f : kAllFamilies) {
        if (const auto flag = FlagMember(f)) {
            this->*flag = 0;
        }
    }
    hexVariant = 0;
    if (const auto flag = FlagMember(family)) {
        this->*flag = 1;
    }
}

void CZARN40Doc::BuildAutoNames() {
    const double r = random.Uniform();
    nameNumber = static_cast<int>(r * 999999.0);
    char buffer[kNameLength];
    std::snprintf(buffer, sizeof buffer, autoNameFormat(AutoNameFamily()),
                  static_cast<long>(nameNumber));
    quiltName = buffer;
    sessionName = formatName("%s.session", quiltName);
    title = sessionName;
    ptesName = formatName("ptes_%s", quiltName);
    windowName = formatName("window_%s", quiltName);
}

void CZARN40Doc::RestartIteration() {
    ScopedPause pause(*this);
    const std::uint32_t n = QMap.size;
    finished.store(0);
    running.store(1);
    converged.store(0);
    distinctCells.store(0);
    stepCount.store(0);
    minDistinctCells = static_cast<int>((n * n) / 10);
    gridSizeReal = n;
    gridSize = static_cast<int>(n);
    gridSizeInverse = 1.0 / n;
    torusX = random.Uniform();
    torusY = random.Uniform();
    stepBusy = 0;
    QMap.Clear();
}

void CZARN40Doc::StartAt(double x, double y) {
    torusX = pointX = x;
    torusY = pointY = y;
}

void CZARN40Doc::SetUpSquare() {
    sqrMap.Randomize(random);
    const double u1 = random.Uniform();
    const double u2 = random.Uniform();
    StartAt(u1, u2);
    RestartIteration();
    RestartIteration();
}

void CZARN40Doc::SetUpCommon(MapFamily family) {
    switch (family) {
    case MapFamily::SFT:
        sftMap.Randomize(random);
        break;
    case MapFamily::T:
        tMap.Randomize(random);
        break;
    case MapFamily::Oct_Four:
        octFourMap.Randomize(random);
        break;
    case MapFamily::ExpA:
        expAMap.Randomize(random);
        break;
    case MapFamily::TWsq:
        twsqMap.TwsqRandomCoefficients(random);
        break;
    case MapFamily::Squaret:
        sqrMapt.Randomize(random);
        break;
    default:
        break;
    }
    const double u1 = random.Uniform();
    const double u2 = random.Uniform();
    StartAt(u1, u2);
    RestartIteration();
}

void CZARN40Doc::SetUpHex() {
    const HexQuiltStart start =
        hexMap.StartRandomQuilt(useDetailedHex != 0, hexKnot != 0, random, QMap.size);
    rawX = start.raw.re;
    rawY = start.raw.im;
    pointX = start.point.re;
    pointY = start.point.im;
    hexSizeA = hexMap.periodWidth;
    hexSizeB = hexMap.periodHeight;
    RestartIteration();
}

void CZARN40Doc::SetUpSquareX(int cornerN) {
    cornerMap.RandomCornerQuilt(cornerN, random);
    const double u1 = random.Uniform();
    const double u2 = random.Uniform();
    StartAt(u1, u2);
    RestartIteration();
}

void CZARN40Doc::SetUpDuo() {
    duoMap.SetUp(static_cast<double>(QMap.size));
    StartAt(duoMap.sphere.e1, duoMap.sphere.e2);
    duoMap.outX = duoMap.sphere.e1;
    duoMap.outY = duoMap.sphere.e2;
    RestartIteration();
}

void CZARN40Doc::NewRandomQuilt() {
    ScopedPause pause(*this);
    switch (const MapFamily family = RandomSetupFamily()) {
    case MapFamily::Square:
        SetUpSquare();
        break;
    case MapFamily::Hex:
        SetUpHex();
        break;
    case MapFamily::SquareX:
        SetUpSquareX(crand() % 11 + 3);
        break;
    case MapFamily::Duo:
        SetUpDuo();
        break;
    default:
        SetUpCommon(family);
        break;
    }
    BuildAutoNames();
}

void CZARN40Doc::NewRandomCornerQuilt(int cornerN) {
    ScopedPause pause(*this);
    SelectFamily(MapFamily::SquareX);
    SetUpSquareX(cornerN);
    BuildAutoNames();
}

void CZARN40Doc::ChangeGridSize(std::uint32_t newSize, double stepFactor) {
    ScopedPause pause(*this);
    const std::uint32_t oldSize = QMap.size;
    if (newSize != oldSize) {
        QMap.BuildSize(newSize);
        QMap.maxCount = 0;
        QMap.minCount = 0;
        if (oldSize < newSize && oldSize > 100) {
            // Capped below 2^32 - 1: the worker stops only once stepCount exceeds the limit.
            const double steps = (newSize / 100.0) * (newSize / 100.0) * stepFactor;
            maxSteps = steps >= 4e9 ? 4000000000u : static_cast<std::uint32_t>(steps);
        }
    }
    // The step turns points into cells with gridSizeReal: it must follow the grid at once, not
    // only at the next restart, or a resumed worker would count outside the new grid.
    gridSize = static_cast<int>(QMap.size);
    gridSizeReal = QMap.size;
    gridSizeInverse = 1.0 / QMap.size;
}

void CZARN40Doc::FoldToTorus() {
    torusX = foldToUnit(torusX);
    torusY = foldToUnit(torusY);
}

void CZARN40Doc::CountDistinctCells() {
    distinctCells.store(static_cast<int>(QMap.CountNonZero()));
}

void CZARN40Doc::StepSquare() {
    sqrMap.x = pointX;
    sqrMap.y = pointY;
    if (sqrMap.detail == 1) {
        sqrMap.StepDetailed();
    } else {
        sqrMap.Step();
    }
    sqrMap.lastX = sqrMap.x;
    sqrMap.lastY = sqrMap.y;
    rawX = torusX = pointX = sqrMap.x;
    rawY = torusY = pointY = sqrMap.y;
}

/** For the maps that fold their own result. */
void CZARN40Doc::StoreUnfolded(double x, double y) {
    rawX = torusX = pointX = x;
    rawY = torusY = pointY = y;
}

/** For the tiling maps and the wild corner: fold, then go on from the folded point. */
void CZARN40Doc::StoreFolded(double x, double y) {
    rawX = torusX = x;
    rawY = torusY = y;
    FoldToTorus();
    pointX = torusX;
    pointY = torusY;
}

void CZARN40Doc::IterateStep() {
    if (stepBusy == 1) {
        return;
    }
    stepBusy = 1;
    bool countThisHit = true;

    std::uint32_t steps = stepCount.load(std::memory_order_relaxed);
    if (steps > maxSteps) {
        finished.store(1, std::memory_order_relaxed);
        running.store(0, std::memory_order_relaxed);
        stepBusy = 0;
        IdleWait(100);
        return;
    }
    ++steps;
    stepCount.store(steps, std::memory_order_relaxed);
    finished.store(0, std::memory_order_relaxed);
    running.store(1, std::memory_order_relaxed);

    switch (CurrentFamily()) {
    case MapFamily::Square:
        StepSquare();
        break;
    case MapFamily::Oct_Four: {
        const MapPoint r = octFourMap.StepFrom(pointX, pointY);
        StoreUnfolded(r.x, r.y);
        break;
    }
    case MapFamily::Squaret: {
        const MapPoint r = sqrMapt.StepFrom(pointX, pointY);
        StoreUnfolded(r.x, r.y);
        break;
    }
    case MapFamily::ExpA: {
        const MapPoint r = expAMap.StepFrom(pointX, pointY);
        StoreUnfolded(r.x, r.y);
        break;
    }
    case MapFamily::TWsq: {
        const Complex r = twsqMap.TwsqStep({pointX, pointY});
        StoreUnfolded(r.re, r.im);
        break;
    }
    case MapFamily::Duo: {
        const DuoPoint r = duoMap.DuoStep(countThisHit);
        StoreUnfolded(r.x, r.y);
        break;
    }
    case MapFamily::SFT: {
        const Complex r = sftMap.Step({pointX, pointY});
        StoreFolded(r.re, r.im);
        break;
    }
    case MapFamily::T: {
        const Complex r = tMap.Step({pointX, pointY});
        StoreFolded(r.re, r.im);
        break;
    }
    case MapFamily::SquareX: {
        const Complex r = cornerMap.CornerStep({pointX, pointY});
        StoreFolded(r.re, r.im);
        break;
    }
    case MapFamily::Hex:
        if (hexKnot) {
            // Knot mode counts lattice coordinates and goes on from the folded point mapped back
            // into the plane.
            const Complex r = hexMap.KnotStep({pointX, pointY});
            rawX = torusX = r.re;
            rawY = torusY = r.im;
            FoldToTorus();
            rawX = torusX;
            rawY = torusY;
            pointX = torusX + 0.5 * torusY;
            pointY = torusY * hexMap.c30;
        } else {
            const Complex r = hexMap.Step({pointX, pointY});
            rawX = torusX = r.re;
            rawY = torusY = r.im;
            FoldToTorus();
            pointX = rawX;
            pointY = rawY;
        }
        break;
    }

    // A point that left the numbers (NaN, infinity) or the grid would index outside the cells:
    // such a quilt is replaced like a collapsed one.
    const double limit = (gridSizeReal + QuiltMap::kMargin - 1) / gridSizeReal;
    if (!(torusX >= 0.0 && torusX < limit && torusY >= 0.0 && torusY < limit) ||
        !std::isfinite(pointX) || !std::isfinite(pointY)) {
        invalidReplacements.fetch_add(1, std::memory_order_relaxed);
        NewRandomQuilt();
        stepBusy = 0;
        return;
    }

    if (steps > static_cast<std::uint32_t>(kTransientSteps)) {
        cellX = static_cast<int>(torusX * gridSizeReal);
        cellY = static_cast<int>(torusY * gridSizeReal);
        if (steps % 10000 == 0) {
            CountDistinctCells();
            const int distinct = distinctCells.load(std::memory_order_relaxed);
            if (distinct < minDistinctCells && distinct < static_cast<int>(steps / 100)) {
                converged.store(1);
                running.store(0);
                collapsedReplacements.fetch_add(1, std::memory_order_relaxed);
                if (useRandomSettings != 1 && options_.observer) {
                    options_.observer->quiltConverged(*this);
                }
                NewRandomQuilt();
                running.store(1);
                converged.store(0);
            }
            const std::uint32_t now = stepCount.load(std::memory_order_relaxed);
            if (now % 200000 == 0) {
                const int openDocuments =
                    options_.registry ? static_cast<int>(options_.registry->count()) : 0;
                IdleWait(openDocuments + 1);
                imageDirty.store(1);
            }
        }
        if (countThisHit) {
            QMap.AddHit(cellY, cellX);
        }
    }
    stepBusy = 0;
}

} // namespace zarn
