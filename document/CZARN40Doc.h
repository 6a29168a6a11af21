#pragma once

#include "document/MapFamily.h"
#include "engine/MapExpA.h"
#include "engine/MapSixFourTwelve.h"
#include "engine/MapThreeTwelve.h"
#include "engine/New84.h"
#include "engine/QuiltMap.h"
#include "engine/RandomSource.h"
#include "engine/SqrMap.h"
#include "engine/SqrMapt.h"
#include "maps/DuoMap.h"
#include "maps/HexMap.h"
#include "maps/TwsqMap.h"
#include "maps/WildCornerMap.h"
#include "render/BitmapFill.h"
#include "render/ColorC.h"
#include "render/ColorSetRecord.h"
#include "render/Palette.h"

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

namespace zarn {

class CZARN40Doc;
class DocumentRegistry;

struct PeriodSize {
    int width = 0;
    int height = 0;
};

/** Thrown when a document cannot be built (memory sizing failed, too many documents open). */
class DocumentError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

/**
 * What a document tells the outside world from its worker thread. Implementations must return
 * promptly and never wait for another thread (the GUI posts to its own event loop): a GUI thread
 * that waits in PauseWorker could otherwise deadlock with a worker that waits for it.
 */
class DocumentObserver {
public:
    virtual ~DocumentObserver() = default;
    /** A quilt collapsed onto too few cells and is being replaced; called only when
     *  useRandomSettings is not 1. */
    virtual void quiltConverged(CZARN40Doc& doc) = 0;
};

/** How a document is built. The defaults are the desktop program's. */
struct DocumentOptions {
    /** Seeds every random source and the C library generator from this value instead of the
     *  clock and the current directory, so a run can be repeated exactly. */
    std::optional<std::uint64_t> seed;
    DocumentRegistry* registry = nullptr;
    DocumentObserver* observer = nullptr;
    /** Physical memory to size against; the machine's when empty. */
    std::optional<std::uint64_t> physicalMemory;
    /** Without a worker the caller drives IterateStep itself (tests, benchmarks). */
    bool startWorker = true;
};

/**
 * One open quilt: the family flags and options, every family's map object, the hit grid, the
 * colour set and palette, the counters and the worker thread that iterates the current family.
 *
 * Threads: the worker runs IterateStep between pauses. Every other thread changes or reads the
 * document only between PauseWorker() and ResumeWorker(); PauseWorker returns once the worker is
 * parked between two steps. Fields that a display polls without pausing are atomics.
 */
class CZARN40Doc {
public:
    static constexpr int HINT_REDRAW = 11;
    static constexpr int HINT_REBUILD = 12;
    static constexpr std::uint32_t kDefaultMaxSteps = 60000000;
    static constexpr int kTransientSteps = 3000;
    static constexpr int kNameLength = 300;

    explicit CZARN40Doc(const DocumentOptions& options = {});
    ~CZARN40Doc();
    CZARN40Doc(const CZARN40Doc&) = delete;
    CZARN40Doc& operator=(const CZARN40Doc&) = delete;

    /** Completes File New: the colour set from its history, the worker started, the palette
     *  built. */
    bool OnNewDocument();

    // Pause protocol. Nests; no-ops on the worker thread and when there is no worker.
    void PauseWorker();
    void ResumeWorker();
    bool hasWorker() const { return worker_.joinable(); }
    bool onWorkerThread() const;

    /** The family the step iterates (flags tested ExpA, T, SFT, SquareX, Hex, Oct_Four, TWsq,
     *  Squaret, Duo). */
    MapFamily CurrentFamily() const;
    /** The family auto names are built for (Hex, T, Oct_Four, SFT, SquareX, ExpA, TWsq, Squaret,
     *  Duo). */
    MapFamily AutoNameFamily() const;
    /** The family a new random quilt is drawn for (SFT, T, Oct_Four, Hex, SquareX, ExpA, TWsq,
     *  Squaret, Duo). */
    MapFamily RandomSetupFamily() const;
    /** Clears every family flag (and hexVariant) and sets the one of @p family. */
    void SelectFamily(MapFamily family);

    /** New random coefficients for the current family, a restart and new names. */
    void NewRandomQuilt();
    /** A new random wild-corner quilt with a chosen N (3 to 42) instead of a random one. */
    void NewRandomCornerQuilt(int cornerN);
    void RestartIteration();
    void BuildAutoNames();
    void FoldToTorus();
    void CountDistinctCells();
    /** One iteration. Called by the worker, or by the owner of a document without a worker. */
    void IterateStep();

    /** Rebuilds the grid at @p newSize when it differs, applies the grid-size rule for maxSteps
     *  with @p stepFactor (3,500,000; 9,500,000 for the wild corner) and sets gridSize,
     *  gridSizeReal and gridSizeInverse from the grid. */
    void ChangeGridSize(std::uint32_t newSize, double stepFactor);

    /** Builds the palette from the live colour set and the grid's histogram, under a pause. */
    void RebuildPalette();
    /** Width and height of one period of the current family's picture. */
    PeriodSize PeriodSizeOf() const;
    /** Fills @p bitmap (already sized, normally to PeriodSizeOf()) with the period picture.
     *  Pauses the worker and leaves it paused: the caller resumes it once done. */
    void BuildBitmap(PeriodBitmap& bitmap);
    /** Pauses, builds a bitmap of the period size and resumes. */
    PeriodBitmap RenderPeriod();

    /** True once stepCount has passed maxSteps. */
    bool isFinished() const { return finished.load(std::memory_order_relaxed) != 0; }

    // Worker control.
    std::atomic<int> suspendCount{0};
    std::atomic<std::uint8_t> stopFlag{0};
    std::atomic<std::uint8_t> imageDirty{0};
    std::uint8_t stepBusy = 0;

    // Status bytes.
    std::atomic<std::uint8_t> finished{0};
    std::atomic<std::uint8_t> running{0};
    std::atomic<std::uint8_t> converged{0};

    // Family flags.
    std::uint8_t flagHex = 0;
    std::uint8_t hexVariant = 0;
    std::uint8_t flagSFT = 0;
    std::uint8_t flagOctFour = 0;
    std::uint8_t flagT = 0;
    std::uint8_t flagSquareX = 0;
    std::uint8_t flagExpA = 0;
    std::uint8_t flagDuo = 0;
    std::uint8_t flagTWsq = 0;
    std::uint8_t flagSquaret = 0;

    // Options.
    int useRandomSettings = 1;
    std::uint8_t useDetailedSquare = 1;
    int useDetailedHex = 0;
    int hexKnot = 0;
    std::uint16_t squareDetailDepth = 6;
    int hexDetailDepth = 11;
    std::uint8_t imageOption1 = 0;
    std::uint8_t imageOption2 = 0;
    std::uint8_t imageOption3 = 0;
    std::uint8_t imageOption4 = 1;

    // Iteration counters.
    std::atomic<std::uint32_t> stepCount{0};
    std::uint32_t maxSteps = kDefaultMaxSteps;
    std::atomic<int> distinctCells{0};
    int minDistinctCells = 0;
    double gridSizeReal = 0.0;
    double gridSizeInverse = 0.0;
    int gridSize = 0;
    double torusX = 0.0;
    double torusY = 0.0;
    double pointX = 0.0;
    double pointY = 0.0;
    double rawX = 0.0;
    double rawY = 0.0;
    int cellX = 0;
    int cellY = 0;

    /** Quilts replaced because they collapsed onto too few cells. */
    std::atomic<std::uint32_t> collapsedReplacements{0};
    /** Quilts replaced because a step produced a non-finite or unusable point. */
    std::atomic<std::uint32_t> invalidReplacements{0};

    // Names.
    std::string quiltName;
    std::string sessionName;
    std::string ptesName;
    std::string windowName;
    int nameNumber = 0;
    /** The document's title (what a window caption shows). */
    std::string title;

    // View settings.
    std::uint16_t viewPeriod = 2;
    std::uint8_t quaziView = 0;
    std::uint8_t polyView = 0;
    std::uint8_t polyViewChosen = 0;
    std::uint8_t isWindowsNT = 0;

    int maxDibThird = 0;
    double hexSizeA = 0.0;
    double hexSizeB = 0.0;

private:
    /** Seeds the C library generator before the members below are built when the run is
     *  seeded (the wild-corner map draws its N as it is built). */
    struct EarlySeed {
        explicit EarlySeed(const DocumentOptions& options);
    } earlySeed_;

public:
    // Owned objects, in the order they are built.
    ColorC colorSet;
    SqrMap sqrMap;
    DuoMap duoMap;
    SqrMapt sqrMapt;
    HexMap hexMap;
    MapSixFourTwelve sftMap;
    New84 octFourMap;
    MapThreeTwelve tMap;
    WildCornerMap cornerMap;
    MapExpA expAMap;
    TwsqMap twsqMap;
    ColorSetHistory colorSetHistory;
    QuiltMap QMap;
    RandomSource random;
    Palette palette;

private:
    /** The flag member of @p family; null for Square, which has none. */
    static std::uint8_t CZARN40Doc::*FlagMember(MapFamily family);
    MapFamily FirstFlagSet(const std::array<MapFamily, kFamilyCount - 1>& order) const;
    void SeedCLibrary(unsigned offset);
    void SizeMemory(std::uint64_t physicalBytes);
    void SetUpSquare();
    void SetUpCommon(MapFamily family);
    void SetUpHex();
    void SetUpSquareX(int cornerN);
    void SetUpDuo();
    void StartAt(double x, double y);
    void StepSquare();
    void StoreFolded(double x, double y);
    void StoreUnfolded(double x, double y);
    void WorkerLoop();
    /** Sleeps @p ms milliseconds between steps; on the worker a pause or stop request ends it. */
    void IdleWait(int ms);

    DocumentOptions options_;
    std::thread worker_;
    std::thread::id workerId_;
    mutable std::mutex workerMutex_;
    std::condition_variable wakeWorker_;
    std::condition_variable workerParked_;
    bool parked_ = false;
    bool exited_ = false;
    std::atomic<bool> started_{false};
    bool registered_ = false;
};

/** Pauses a document's worker for the lifetime of the guard. */
class ScopedPause {
public:
    explicit ScopedPause(CZARN40Doc& doc) : doc_(doc) { doc_.PauseWorker(); }
    ~ScopedPause() { doc_.ResumeWorker(); }
    ScopedPause(const ScopedPause&) = delete;
    ScopedPause& operator=(const ScopedPause&) = delete;

private:
    CZARN40Doc& doc_;
};

} // namespace zarn
