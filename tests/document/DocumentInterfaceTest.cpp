#include "TestDocuments.h"
#include "document/CZARN40Doc.h"
#include "document/Commands.h"
#include "document/DocumentJson.h"
#include "document/DocumentRegistry.h"
#include "document/SessionFile.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <limits>
#include <memory>
#include <mutex>
#include <thread>
#include <variant>
#include <vector>

namespace zarn {
namespace {

using namespace std::chrono_literals;
using testing_support::makeFixedPointQuilt;

/** Records what the worker reports; can hold the converged notice for an answer. */
class RecordingObserver : public DocumentObserver {
public:
    bool answerLater = false;

    bool quiltConverged(CZARN40Doc&) override {
        converged.fetch_add(1);
        notified.set_value();
        return answerLater;
    }
    void quiltReplaced(CZARN40Doc&, ReplaceReason reason) override {
        std::lock_guard lock(mutex);
        reasons.push_back(reason);
    }
    void imageDirty(CZARN40Doc&) override { dirty.fetch_add(1); }
    void finished(CZARN40Doc&) override { finishedCount.fetch_add(1); }

    std::vector<ReplaceReason> replaced() {
        std::lock_guard lock(mutex);
        return reasons;
    }

    std::atomic<int> converged{0};
    std::atomic<int> dirty{0};
    std::atomic<int> finishedCount{0};
    std::promise<void> notified;

private:
    std::mutex mutex;
    std::vector<ReplaceReason> reasons;
};

bool waitFor(const std::function<bool()>& condition, std::chrono::milliseconds limit = 10s) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

std::vector<std::uint8_t> sessionBytes(CZARN40Doc& doc) {
    ScopedPause pause(doc);
    return StoreSession(doc.State(pause));
}

TEST(DocumentInterfaceTest, SeededQuiltIsTheSameWithOtherQuiltsRunningBesideIt) {
    NewQuiltOptions settings;
    settings.maxSteps = 300000;
    settings.family = MapFamily::SquareX;
    DocumentOptions seeded;
    seeded.seed = 41;

    auto alone = NewQuilt(seeded, settings);
    WaitUntilFinished(*alone, {});
    const std::vector<std::uint8_t> expected = sessionBytes(*alone);
    alone.reset();

    // Unseeded neighbours draw colours, coefficients and whole numbers all the while.
    std::vector<std::unique_ptr<CZARN40Doc>> others;
    for (MapFamily f : {MapFamily::Square, MapFamily::SquareX, MapFamily::Hex}) {
        NewQuiltOptions o;
        o.family = f;
        others.push_back(NewQuilt(DocumentOptions{}, o));
    }
    auto beside = NewQuilt(seeded, settings);
    for (int i = 0; i < 20 && !beside->isFinished(); ++i) {
        for (auto& other : others) {
            other->NewRandomQuilt();
            other->BeginEditColors();
        }
        std::this_thread::sleep_for(5ms);
    }
    WaitUntilFinished(*beside, {});
    EXPECT_EQ(sessionBytes(*beside), expected);
}

TEST(DocumentInterfaceTest, SeveralOrbitsGiveTheSameGridWhateverPausesComeBetween) {
    NewQuiltOptions settings;
    settings.maxSteps = 250000;
    settings.family = MapFamily::Hex;
    DocumentOptions options;
    options.seed = 17;
    options.orbits = 3;

    auto quiet = NewQuilt(options, settings);
    WaitUntilFinished(*quiet, {});
    const std::vector<std::uint8_t> expected = sessionBytes(*quiet);
    EXPECT_EQ(quiet->stepCount(), 250001u) << "the limit counts the orbits' steps together";

    auto paused = NewQuilt(options, settings);
    for (int i = 0; i < 200 && !paused->isFinished(); ++i) {
        ScopedPause pause(*paused);
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    WaitUntilFinished(*paused, {});
    EXPECT_EQ(sessionBytes(*paused), expected);

    options.orbits = 1;
    auto single = NewQuilt(options, settings);
    WaitUntilFinished(*single, {});
    EXPECT_NE(sessionBytes(*single), expected);
}

TEST(DocumentInterfaceTest, SeveralOrbitsGiveTheSameGridWhateverTheRoundsLast) {
    // Outside the desktop program the orbits meet in rounds sized by the clock, inside it at
    // every dirty mark; how the steps are grouped must change no orbit's steps.
    NewQuiltOptions settings;
    settings.maxSteps = 4500000;
    DocumentOptions renderer;
    renderer.seed = 23;
    renderer.orbits = 2;
    auto timed = NewQuilt(renderer, settings);
    WaitUntilFinished(*timed, {});

    DocumentRegistry registry;
    DocumentOptions desktop = renderer;
    desktop.registry = &registry;
    auto marked = NewQuilt(desktop, settings);
    WaitUntilFinished(*marked, {});
    const auto grid = [](CZARN40Doc& doc) {
        ScopedPause pause(doc);
        const QuiltMap& map = doc.State(pause).QMap;
        return std::vector<std::uint32_t>(map.CellData(), map.CellData() + map.CellCount());
    };
    EXPECT_EQ(timed->stepCount(), 4500001u);
    EXPECT_EQ(marked->stepCount(), 4500001u);
    EXPECT_EQ(grid(*timed), grid(*marked));
}

TEST(DocumentInterfaceTest, ASeedGivesTheSameQuiltWhateverTheOrbitCount) {
    // The extra orbits draw their start points from a source of their own: the quilt a seed
    // names (its coefficients, names and first start point) is the same on any machine, whatever
    // number of cores sets the default orbit count.
    const auto describe = [](MapFamily family, int orbits) {
        DocumentOptions options;
        options.seed = 23;
        options.orbits = orbits;
        options.startWorker = false;
        NewQuiltOptions settings;
        settings.family = family;
        auto doc = NewQuilt(options, settings);
        doc->NewRandomQuilt(); // a second quilt: the draws after the first agree as well
        ScopedPause pause(*doc);
        const QuiltState& s = doc->State(pause);
        JsonWriter json;
        json.beginObject();
        writeDocumentState(json, s);
        json.value("x", s.torusX).value("y", s.torusY).endObject();
        return json.text();
    };
    for (MapFamily family : kAllFamilies) {
        EXPECT_EQ(describe(family, 3), describe(family, 1)) << familyName(family);
    }
}

TEST(DocumentInterfaceTest, ManyOrbitsFinishTheirQuilt) {
    // With four orbits or more none is past its transient at the first collapse test; the test
    // took the empty grid for a collapse and replaced every quilt, for ever.
    for (const int orbits : {4, 9}) {
        DocumentOptions options;
        options.seed = 5;
        options.orbits = orbits;
        NewQuiltOptions settings;
        settings.maxSteps = 199999;
        auto doc = NewQuilt(options, settings);
        ASSERT_TRUE(waitFor([&] { return doc->isFinished(); }, 60s)) << orbits << " orbits";
        const DocumentSnapshot done = doc->snapshot();
        EXPECT_EQ(done.stepCount, 200000u) << orbits << " orbits";
        EXPECT_LE(done.collapsedReplacements, 1u) << orbits << " orbits";
        EXPECT_GT(done.distinctCells, 0) << orbits << " orbits";
    }
}

/** Records the step count of the first collapse test that fires after it is cleared. */
struct StepAtCollapse : DocumentObserver {
    std::atomic<std::uint32_t> at{0};
    bool quiltConverged(CZARN40Doc& doc) override {
        std::uint32_t none = 0;
        at.compare_exchange_strong(none, doc.stepCount());
        return false;
    }
};

TEST(DocumentInterfaceTest, TheCollapseTestSeesWhatAPauseDidToTheQuilt) {
    // Once a quilt has enough distinct cells the worker stops recounting them at every test (one
    // orbit) or runs past the tests (several); a command under a pause that empties the grid or
    // raises the count the test asks for must still be seen at the next multiple of 10,000.
    for (const int orbits : {1, 2}) {
        for (const bool emptyTheGrid : {true, false}) {
            StepAtCollapse observer;
            DocumentOptions options;
            options.seed = 5;
            options.orbits = orbits;
            options.observer = &observer;
            NewQuiltOptions settings;
            settings.maxSteps = 100000000;
            settings.gridSize = 20;
            auto doc = NewQuilt(options, settings);
            ASSERT_TRUE(waitFor([&] { return doc->stepCount() > 250000; }));
            std::uint32_t pausedAt = 0;
            {
                ScopedPause pause(*doc);
                QuiltState& s = doc->State(pause);
                observer.at.store(0);
                pausedAt = s.status.stepCount.load();
                s.useRandomSettings = 0;
                if (emptyTheGrid) {
                    // A point that stays put, on every orbit, in an emptied grid.
                    makeFixedPointQuilt(s);
                    for (Orbit& orbit : s.orbits) {
                        std::get<SqrMap>(orbit.map) = s.sqrMap;
                    }
                    s.QMap.Clear();
                } else {
                    s.minDistinctCells = std::numeric_limits<int>::max();
                }
            }
            ASSERT_TRUE(waitFor([&] { return observer.at.load() != 0; }));
            EXPECT_EQ(observer.at.load(), (pausedAt / 10000 + 1) * 10000)
                << orbits << " orbits, " << (emptyTheGrid ? "emptied grid" : "raised count");
        }
    }
}

TEST(DocumentInterfaceTest, ConvergedNoticeParksTheWorkerWithoutHoldingUpAPause) {
    RecordingObserver observer;
    observer.answerLater = true;
    DocumentOptions options;
    options.seed = 3;
    options.observer = &observer;
    CZARN40Doc doc(options);
    std::string firstName;
    {
        ScopedPause pause(doc);
        QuiltState& s = doc.State(pause);
        makeFixedPointQuilt(s);
        s.useRandomSettings = 0;
        firstName = s.names.quiltName;
    }
    auto notified = observer.notified.get_future();
    doc.OnNewDocument();
    ASSERT_EQ(notified.wait_for(10s), std::future_status::ready);

    // The notice is up: a pause (the GUI's next command) must not wait for its answer.
    auto paused = std::async(std::launch::async, [&] {
        ScopedPause pause(doc);
        return doc.State(pause).names.quiltName;
    });
    ASSERT_EQ(paused.wait_for(2s), std::future_status::ready) << "pause deadlocked";
    EXPECT_EQ(paused.get(), firstName) << "the quilt is replaced only after the answer";
    EXPECT_TRUE(doc.snapshot().awaitingAnswer);
    EXPECT_EQ(doc.snapshot().state, IterationState::Converged);

    doc.AnswerConvergedNotice();
    ASSERT_TRUE(waitFor([&] { return !observer.replaced().empty(); }));
    EXPECT_EQ(observer.replaced().front(), ReplaceReason::Collapsed);
    const DocumentSnapshot snap = doc.snapshot();
    EXPECT_NE(snap.quiltName, firstName) << "the snapshot shows the replacement's names";
    EXPECT_EQ(snap.collapsedReplacements, 1u);
    EXPECT_FALSE(snap.awaitingAnswer);
}

TEST(DocumentInterfaceTest, ClosingADocumentWhoseNoticeIsUpEndsItsWorker) {
    RecordingObserver observer;
    observer.answerLater = true;
    DocumentOptions options;
    options.seed = 3;
    options.observer = &observer;
    auto doc = std::make_unique<CZARN40Doc>(options);
    {
        ScopedPause pause(*doc);
        makeFixedPointQuilt(doc->State(pause));
        doc->State(pause).useRandomSettings = 0;
    }
    auto notified = observer.notified.get_future();
    doc->OnNewDocument();
    ASSERT_EQ(notified.wait_for(10s), std::future_status::ready);
    auto closed = std::async(std::launch::async, [&] { doc.reset(); });
    EXPECT_EQ(closed.wait_for(2s), std::future_status::ready);
}

TEST(DocumentInterfaceTest, ObserverHearsDirtyImagesAndTheFinishOnce) {
    RecordingObserver observer;
    DocumentOptions options;
    options.seed = 8;
    options.observer = &observer;
    NewQuiltOptions settings;
    settings.maxSteps = 450000;
    auto doc = NewQuilt(options, settings);
    WaitUntilFinished(*doc, {});
    std::this_thread::sleep_for(250ms); // the finished worker idles; it must not repeat itself
    EXPECT_EQ(observer.dirty.load(), 2);
    EXPECT_EQ(observer.finishedCount.load(), 1);
    EXPECT_TRUE(doc->snapshot().imageDirty);
    EXPECT_TRUE(doc->RefreshIfDirty());
    EXPECT_FALSE(doc->snapshot().imageDirty);
    EXPECT_FALSE(doc->RefreshIfDirty());

    IterateMore(*doc, 1000);
    WaitUntilFinished(*doc, {});
    EXPECT_EQ(doc->stepCount(), 451001u);
    EXPECT_TRUE(waitFor([&] { return observer.finishedCount.load() == 2; }));
}

TEST(DocumentInterfaceTest, NewQuiltAppliesTheFamilysStepFactorAndRefusesMisplacedOptions) {
    DocumentOptions options;
    options.seed = 2;
    options.startWorker = false;
    NewQuiltOptions corner;
    corner.family = MapFamily::SquareX;
    corner.gridSize = 400;
    EXPECT_EQ(NewQuilt(options, corner)->maxSteps(), 152000000u);
    NewQuiltOptions square;
    square.gridSize = 400;
    EXPECT_EQ(NewQuilt(options, square)->maxSteps(), 56000000u);
    square.maxSteps = 1000;
    EXPECT_EQ(NewQuilt(options, square)->maxSteps(), 1000u) << "an explicit limit wins";

    NewQuiltOptions knot;
    knot.knot = true;
    EXPECT_THROW(NewQuilt(options, knot), DocumentError);
    NewQuiltOptions colors;
    colors.colorFile = "/nonexistent/folder/x.qcl";
    try {
        NewQuilt(options, colors);
        FAIL() << "a missing colour file must be refused";
    } catch (const DocumentError& e) {
        EXPECT_NE(std::string(e.what()).find("x.qcl"), std::string::npos) << e.what();
    }
}

TEST(DocumentInterfaceTest, IterateMoreRefusesToPassTheLargestLimitAndChangesNothing) {
    DocumentOptions options;
    options.seed = 2;
    options.startWorker = false;
    auto doc = NewQuilt(options, {});
    {
        ScopedPause pause(*doc);
        doc->State(pause).status.stepCount.store(3999999000u);
    }
    const std::uint32_t limit = doc->maxSteps();
    EXPECT_THROW(IterateMore(*doc, 2000), DocumentError);
    EXPECT_EQ(doc->maxSteps(), limit);
    IterateMore(*doc, 1000);
    EXPECT_EQ(doc->maxSteps(), 3999999999u);
}

TEST(DocumentInterfaceTest, ReportedDetailIsWhatTheQuiltIterates) {
    DocumentOptions options;
    options.seed = 6;
    options.startWorker = false;
    auto doc = NewQuilt(options, {});
    ScopedPause pause(*doc);
    const QuiltState& s = doc->State(pause);
    EXPECT_FALSE(s.useDetailedSquare()) << "a new quilt iterates the plain square map";
    EXPECT_EQ(s.sqrMap.detail, 0);
}

} // namespace
} // namespace zarn
