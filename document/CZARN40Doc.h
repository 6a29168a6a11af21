#pragma once

#include "document/MapFamily.h"
#include "document/QuiltState.h"
#include "render/BitmapFill.h"
#include "render/ColorC.h"
#include "render/LevelScale.h"
#include "render/QuiltScore.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace zarn {

class CZARN40Doc;
class DocumentRegistry;
class ScopedPause;

/** Thrown when a document cannot be built or a command cannot be carried out; the message says
 *  why in words a user can act on. */
class DocumentError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

/** Why the worker replaced a quilt with a new random one. */
enum class ReplaceReason {
    /** Fewer distinct cells than a tenth of the grid and a hundredth of the steps. */
    Collapsed,
    /** A step produced a non-finite point or one outside the grid. */
    NonFinite,
};

/**
 * What a document tells the outside world. Every call comes from the document's worker thread
 * (or from the thread that drives a worker-less document) and must return promptly without
 * waiting for another thread: a GUI posts the news to its own event loop.
 */
class DocumentObserver {
public:
    virtual ~DocumentObserver() = default;

    /**
     * The quilt collapsed and useRandomSettings is not 1, so the user is to be told before it is
     * replaced. Return true to show the notice and answer later with
     * CZARN40Doc::AnswerConvergedNotice(): the worker then parks (counting as paused, so a GUI
     * thread that asks for a pause meanwhile is not kept waiting) and replaces the quilt once
     * the answer has come and no pause is held. Return false to have it replaced at once.
     */
    virtual bool quiltConverged(CZARN40Doc& /*doc*/) { return false; }
    /** The worker replaced the quilt with a new random one (new coefficients and names). */
    virtual void quiltReplaced(CZARN40Doc& /*doc*/, ReplaceReason /*reason*/) {}
    /** The picture should be refreshed (every 200,000 steps). */
    virtual void imageDirty(CZARN40Doc& /*doc*/) {}
    /** The quilt has taken all its steps; called once each time it reaches its limit. */
    virtual void finished(CZARN40Doc& /*doc*/) {}
};

/** How a document is built. The defaults are the desktop program's. */
struct DocumentOptions {
    /** Seeds every random source and the C library generator from this value instead of the
     *  clock and the current directory, so a run can be repeated exactly. */
    std::optional<std::uint64_t> seed;
    /** The desktop program's list of open documents. With one, the worker sleeps (open
     *  documents + 1) ms at every dirty mark to make room for the others; without, it does not. */
    DocumentRegistry* registry = nullptr;
    DocumentObserver* observer = nullptr;
    /** Physical memory to size against; the machine's when empty. */
    std::optional<std::uint64_t> physicalMemory;
    /** Without a worker the caller drives IterateStep itself (tests, benchmarks). */
    bool startWorker = true;
    /** Orbits of the quilt iterated at once, each on a thread of its own and all counted into
     *  the one grid (1 to kMaxOrbits). The same seed and the same count give the same grid
     *  whatever the scheduler does; 1 is the driver's single orbit. */
    int orbits = 1;
};

/** Where the iteration stands. */
enum class IterationState {
    /** Taking steps. */
    Running,
    /** Past maxSteps: idle until the limit is raised or the quilt restarted. */
    Finished,
    /** A collapsed quilt is being replaced (or waits for its notice to be answered). */
    Converged,
};

/**
 * What a window shows without pausing the worker: a copy of the counters, the status, the
 * names and the family, consistent as of the last change made under a pause or by the worker.
 */
struct DocumentSnapshot {
    std::uint32_t stepCount = 0;
    std::uint32_t maxSteps = 0;
    /** The largest count in the grid, as of the last block of steps. */
    std::uint32_t maxCount = 0;
    int distinctCells = 0;
    IterationState state = IterationState::Running;
    bool imageDirty = false;
    /** A converged-quilt notice waits for AnswerConvergedNotice(). */
    bool awaitingAnswer = false;
    std::uint32_t collapsedReplacements = 0;
    std::uint32_t invalidReplacements = 0;
    MapFamily family = MapFamily::Square;
    std::uint32_t gridSize = 0;
    int viewPeriod = 1;
    std::string quiltName;
    std::string sessionName;
    std::string ptesName;
    std::string windowName;
    std::string title;

    bool finished() const { return state == IterationState::Finished; }
};

/**
 * One open quilt (its state is a QuiltState) and the worker thread that iterates it.
 *
 * Thread contract. The worker runs steps between pauses. Other threads
 *  - read the snapshot() at any time;
 *  - call the operations below, each of which pauses the worker itself and leaves it as it
 *    found it (running, or still paused when the caller holds a ScopedPause of its own);
 *  - or hold a ScopedPause and reach the state through State(pause).
 * A pause returns once the worker is parked between two steps; pauses nest; on the worker
 * itself (observer calls) they do nothing. The observer hears from the worker.
 */
class CZARN40Doc {
public:
    static constexpr int HINT_REDRAW = 11;
    static constexpr int HINT_REBUILD = 12;
    static constexpr std::uint32_t kDefaultMaxSteps = QuiltStatus::kDefaultMaxSteps;
    static constexpr int kTransientSteps = 3000;
    static constexpr int kNameLength = QuiltState::kNameLength;
    static constexpr int kMaxOrbits = 64;

    /** Builds the document: maps, grid sized from memory, colours, a random square quilt; the
     *  worker is created parked. Throws DocumentError (memory sizing, too many documents). */
    explicit CZARN40Doc(const DocumentOptions& options = {});
    ~CZARN40Doc();
    CZARN40Doc(const CZARN40Doc&) = delete;
    CZARN40Doc& operator=(const CZARN40Doc&) = delete;

    /** Completes File New: the colour set from its history, the worker started, the palette
     *  built. */
    bool OnNewDocument();
    /** Starts the worker of a document that has not run yet (one opened from a session file);
     *  OnNewDocument does so for a new quilt. Does nothing once it runs. */
    void StartWorker();

    // ---- What a window polls -------------------------------------------------------------

    DocumentSnapshot snapshot() const;
    /** Waits at most @p timeout for the quilt to take its last step; true once it has. Returns
     *  as soon as the worker finishes, so a caller that waits this way loses no time to polling. */
    bool AwaitFinished(std::chrono::milliseconds timeout) const;
    std::uint32_t stepCount() const;
    std::uint32_t maxSteps() const;
    bool isFinished() const;
    MapFamily CurrentFamily() const;

    // ---- Commands (each pauses the worker itself) ----------------------------------------

    /** New random coefficients for the current family, a restart and new names. */
    void NewRandomQuilt();
    /** A new random wild-corner quilt with a chosen N (3 to 42) instead of a random one. */
    void NewRandomCornerQuilt(int cornerN);
    /** Makes @p family current (its coefficients stay; call NewRandomQuilt to draw new ones). */
    void SelectFamily(MapFamily family);
    void RestartIteration();
    /** The step limit: steps are taken while stepCount <= maxSteps. A finished quilt resumes
     *  when the limit is raised past its count. */
    void SetMaxSteps(std::uint32_t steps);
    /** Periods shown across and down (the view shows at least one). */
    void SetViewPeriod(std::uint16_t periods);
    /**
     * Rebuilds the grid at @p newSize when it differs and applies the grid-size rule for
     * maxSteps with the current family's step factor (3,500,000; 9,500,000 for the wild corner):
     * growing a grid above 100 cells sets maxSteps = (new / 100)^2 x factor.
     */
    void ChangeGridSize(std::uint32_t newSize);
    /** Recounts the distinct cells (the worker does so every 10,000 steps). */
    void CountDistinctCells();
    /** Orbits iterated at once (1 to kMaxOrbits, clamped); takes effect at the next restart or
     *  new quilt. */
    void SetOrbitCount(int orbits);
    int orbitCount() const;

    /** Builds the palette from the live colour set and the grid's histogram. */
    void RebuildPalette();
    /** The idle refresh: when the worker is not held paused and the image is dirty, rebuilds
     *  the palette and clears the mark. Returns whether it did. */
    bool RefreshIfDirty();
    /** Clears the dirty mark (after the views were refreshed by other means). */
    void ClearImageDirty();

    /** Width and height of one period of the current family's picture. */
    PeriodSize PeriodSizeOf() const;
    /** Fills @p bitmap (already sized, normally to PeriodSizeOf()) with the period picture,
     *  coloured on the level scale @p scale (see PictureColoursOn). */
    void BuildBitmap(PeriodBitmap& bitmap, LevelScaleKind scale = LevelScaleKind::Classic);
    /** A bitmap of the period size, filled. */
    PeriodBitmap RenderPeriod(LevelScaleKind scale = LevelScaleKind::Classic);
    /** How much of a picture the grid makes on @p scale, as it stands. */
    QuiltScore Score(LevelScaleKind scale);

    /** "Set Image Colors", first half: colours 1 and 2 from the palette's ends, the set from its
     *  history; returns a copy for the dialog to edit. */
    ColorC BeginEditColors();
    /** "Set Image Colors" ended with OK: the edited set becomes the document's, is committed to
     *  the history and the palette is rebuilt. */
    void ApplyEditedColors(const ColorC& edited);

    /** Answers the converged-quilt notice (see DocumentObserver::quiltConverged). */
    void AnswerConvergedNotice();

    /** Sets the title (what a window caption shows). */
    void SetTitle(const std::string& title);

    // ---- The pause protocol and direct access --------------------------------------------

    /** Pause protocol. Nests; does nothing on the worker thread. Prefer ScopedPause. */
    void PauseWorker() const;
    void ResumeWorker() const;
    bool hasWorker() const { return worker_.joinable(); }
    bool onWorkerThread() const;
    /** Pauses outstanding (for the idle refresh, which leaves a held document alone). */
    int suspendCount() const { return suspendCount_.load(); }

    /** The quilt's state, for code that holds a pause of this document. */
    QuiltState& State(const ScopedPause& pause);
    const QuiltState& State(const ScopedPause& pause) const;

    /** One iteration. Called by the worker, or by the owner of a document without a worker. */
    void IterateStep();

    const DocumentOptions& options() const { return options_; }

private:
    friend class ScopedPause;

    enum class Collapse { None, Replaced, Stop };
    struct OrbitCrew;
    /** One orbit's share of the open round of several orbits; a cache line each, as every
     *  orbit's thread writes its own. */
    struct alignas(64) RoundSlot {
        std::uint32_t quota = 0;
        std::uint32_t done = 0;
        std::uint32_t newCells = 0;
        bool invalid = false;
    };
    /** What an open round was planned for: any change ends it. */
    struct RoundKey {
        std::uint32_t restarts = 0;
        std::uint32_t mapGeneration = 0;
        std::uint32_t gridSize = 0;
        MapFamily family = MapFamily::Square;
        int orbitCount = 0;
        bool operator==(const RoundKey&) const = default;
    };

    void SizeMemory(std::uint64_t physicalBytes);
    void WorkerLoop();
    /** Runs up to @p budget steps; stops early at the limit, a pause or a stop request. */
    void RunSteps(std::uint32_t budget);
    template <typename Traits> void RunBlock(std::uint32_t budget);
    /** Several orbits: rounds of 10,000 steps in all, shared out among the orbits in a fixed
     *  way, with the driver's tests between rounds. */
    template <typename Traits> void RunRounds();
    /** The distinct cells the collapse test at @p steps looks at. */
    int DistinctCells(std::uint32_t steps);
    /** Sizes the next settled round outside the desktop program from how long the last one,
     *  of roundPlanned_ steps, @p took. */
    void SizeLongRound(std::chrono::duration<double> took);
    /** Gives every orbit its quota of the round that starts at @p steps. */
    void PlanRound(std::uint32_t steps, std::uint32_t limit, int orbits);
    /** Takes orbit @p k's share of the open round (on its own thread). */
    template <typename Traits> void RunOrbit(int k);
    template <typename Traits> static void OrbitThunk(CZARN40Doc& doc, int k) {
        doc.RunOrbit<Traits>(k);
    }
    void EnsureCrew(int helpers);
    void StopCrew();
    void CrewLoop(int k);
    /** A family step left the numbers or the grid: the quilt is replaced. */
    void ReplaceInvalid();
    /** The collapse test of every 10,000th step, with the grid's @p distinct cells. */
    Collapse CheckCollapse(std::uint32_t steps, int distinct);
    /** Every 200,000 steps: lets others run, marks the image dirty, tells the observer. */
    void MarkDirty();
    /** The step found the limit passed: marks the quilt finished (telling the observer once)
     *  and idles 100 ms. */
    void EnterFinished();
    /** Sleeps @p ms milliseconds between steps; on the worker a pause or stop request ends it. */
    void IdleWait(int ms);
    /** Parks the worker until the converged notice is answered and no pause is held; false
     *  when the document is being closed. */
    bool AwaitAnswer();
    /** Copies the names, title, family, grid size and view period into the snapshot's store.
     *  Runs where the worker cannot change them: on the worker, or while it is parked. */
    void Publish() const;
    bool interrupted() const { return interrupt_.load(std::memory_order_relaxed); }
    /** Recomputes interrupt_; the caller holds workerMutex_. */
    void UpdateInterrupt() const;

    DocumentOptions options_;
    QuiltState state_;

    std::thread worker_;
    std::thread::id workerId_;
    mutable std::mutex workerMutex_;
    mutable std::condition_variable wakeWorker_;
    mutable std::condition_variable workerParked_;
    mutable std::atomic<int> suspendCount_{0};
    std::atomic<bool> stopFlag_{false};
    /** stop requested, a pause outstanding or not started yet: the one flag the step loop
     *  tests between steps. */
    mutable std::atomic<bool> interrupt_{true};
    /** Pauses taken so far; the worker's last count of distinct cells holds while it stays. */
    mutable std::atomic<std::uint64_t> pauses_{0};
    int distinctKnown_ = 0;
    std::uint64_t distinctPauses_ = 0;
    bool parked_ = false;
    bool exited_ = false;
    bool started_ = false;
    bool answered_ = false;
    std::atomic<bool> awaitingAnswer_{false};
    bool registered_ = false;

    std::unique_ptr<OrbitCrew> crew_;
    std::vector<RoundSlot> slots_;
    bool roundOpen_ = false;
    /** The open round runs past collapse tests (they could not fire when it was planned). */
    bool roundSettled_ = false;
    /** Steps in all of the open round, as planned. */
    std::uint64_t roundPlanned_ = 0;
    /** Dirty marks' worth of steps in a settled round outside the desktop program, adapted to
     *  the orbits' speed (0 until a round has been timed). */
    std::uint32_t longRoundMarks_ = 0;
    RoundKey roundKey_;
    /** Non-zero cells of the grid while several orbits run (kept as hits land). */
    std::uint32_t liveDistinct_ = 0;
    /** While several orbits run, each counts into a grid of its own (nothing shared in the step),
     *  added into the document's grid before the worker parks or stops. */
    std::vector<std::vector<std::uint32_t>> orbitGrids_;
    /** Per orbit: the cells its grid counted for the first time since it was last added in, so
     *  that adding in (which a pause waits for) takes the cells hit rather than the whole grid.
     *  Past kFirstHitShare of the cells a list stops growing and the whole grid is added. */
    struct FirstHits {
        std::vector<std::uint32_t> cells;
        std::uint32_t count = 0;
    };
    std::vector<FirstHits> firstHits_;
    /** Per cell: already hit, by the grid or by some orbit (what the distinct count needs). The
     *  orbits share it through std::atomic_ref; between rounds the worker alone writes it. */
    std::unique_ptr<std::uint8_t[]> touched_;
    std::size_t touchedCells_ = 0;
    /** Adds the orbits' grids into the document's and clears them; the grid's maximum follows. */
    void MergeOrbitGrids();
    /** Forgets what the orbits counted (the quilt was restarted meanwhile). */
    void DiscardOrbitGrids();

    struct Published {
        QuiltNames names;
        std::string title;
        MapFamily family = MapFamily::Square;
        std::uint32_t gridSize = 0;
        int viewPeriod = 1;
    };
    mutable std::mutex publishedMutex_;
    mutable Published published_;
};

/** Pauses a document's worker for the lifetime of the guard; the token that State() asks for. */
class ScopedPause {
public:
    explicit ScopedPause(const CZARN40Doc& doc) : doc_(doc) { doc_.PauseWorker(); }
    ~ScopedPause() { doc_.ResumeWorker(); }
    ScopedPause(const ScopedPause&) = delete;
    ScopedPause& operator=(const ScopedPause&) = delete;

    const CZARN40Doc& document() const { return doc_; }

private:
    const CZARN40Doc& doc_;
};

} // namespace zarn
