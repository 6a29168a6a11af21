#include "document/CZARN40Doc.h"
#include "document/QuiltOps.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

namespace zarn {
namespace {

using namespace std::chrono_literals;

DocumentOptions threaded(std::uint64_t seed = 5) {
    DocumentOptions o;
    o.seed = seed;
    return o;
}

/** Waits (bounded) until the worker has taken at least @p steps more steps than @p from. */
bool advances(const CZARN40Doc& doc, std::uint32_t from, std::uint32_t steps = 1000) {
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (std::chrono::steady_clock::now() < deadline) {
        const std::uint32_t now = doc.stepCount();
        if (now >= from + steps || now < from) {
            return true;
        }
        std::this_thread::sleep_for(1ms);
    }
    return false;
}

TEST(PauseProtocolTest, WorkerStaysParkedUntilItIsStarted) {
    CZARN40Doc doc(threaded());
    std::this_thread::sleep_for(20ms);
    EXPECT_EQ(doc.stepCount(), 0u) << "a new worker is created suspended";
    { ScopedPause pause(doc); }
    std::this_thread::sleep_for(20ms);
    EXPECT_EQ(doc.stepCount(), 0u) << "a pause and a resume do not start it";
    doc.OnNewDocument();
    EXPECT_TRUE(advances(doc, 0));
}

TEST(PauseProtocolTest, PauseReturnsWithTheWorkerParkedAndNests) {
    CZARN40Doc doc(threaded());
    doc.OnNewDocument();
    ASSERT_TRUE(advances(doc, 0));
    doc.PauseWorker();
    doc.PauseWorker();
    const std::uint32_t frozen = doc.stepCount();
    std::this_thread::sleep_for(10ms);
    EXPECT_EQ(doc.stepCount(), frozen);
    doc.ResumeWorker();
    std::this_thread::sleep_for(10ms);
    EXPECT_EQ(doc.stepCount(), frozen) << "the outer pause still holds";
    EXPECT_EQ(doc.suspendCount(), 1);
    doc.ResumeWorker();
    EXPECT_TRUE(advances(doc, frozen));
    doc.ResumeWorker(); // an unmatched resume must not drive the count negative
    EXPECT_EQ(doc.suspendCount(), 0);
}

TEST(PauseProtocolTest, ChangesUnderPauseNeverRaceTheWorker) {
    // Rebuilding the grid at another size while the worker counts into it would write out of
    // bounds; under the sanitizers this test proves the pause is a real barrier.
    CZARN40Doc doc(threaded());
    doc.OnNewDocument();
    for (int i = 0; i < 300; ++i) {
        ScopedPause pause(doc);
        QuiltState& s = doc.State(pause);
        ChangeGridSize(s, i % 2 ? 40 : 260, 3500000);
        RestartIteration(s);
        s.sqrMap.Randomize(s.random, s.crandom);
    }
    const std::uint32_t before = doc.stepCount();
    EXPECT_TRUE(advances(doc, before));
}

TEST(PauseProtocolTest, PausesFromSeveralThreadsAllHold) {
    CZARN40Doc doc(threaded());
    doc.OnNewDocument();
    std::atomic<bool> failed{false};
    std::vector<std::thread> threads;
    for (int t = 0; t < 3; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 100; ++i) {
                doc.PauseWorker();
                const std::uint32_t frozen = doc.stepCount();
                std::this_thread::yield();
                if (doc.stepCount() != frozen) {
                    failed = true;
                }
                doc.ResumeWorker();
            }
        });
    }
    for (auto& th : threads) {
        th.join();
    }
    EXPECT_FALSE(failed.load());
    EXPECT_EQ(doc.suspendCount(), 0);
}

/** Posts notices to a queue the "GUI" drains later, and pauses from the worker to check that the
 *  protocol is a no-op there. */
class QueueingObserver : public DocumentObserver {
public:
    bool quiltConverged(CZARN40Doc& doc) override {
        const int before = doc.suspendCount();
        doc.PauseWorker();
        pausedOnWorkerChanged |= doc.suspendCount() != before;
        doc.ResumeWorker();
        std::lock_guard lock(mutex);
        ++notices;
        return false;
    }
    std::mutex mutex;
    int notices = 0;
    bool pausedOnWorkerChanged = false;
};

TEST(PauseProtocolTest, ConvergedNoticesNeverDeadlockWithAPausingCaller) {
    QueueingObserver observer;
    DocumentOptions o = threaded();
    o.observer = &observer;
    CZARN40Doc doc(o);
    {
        ScopedPause pause(doc);
        doc.State(pause).useRandomSettings = 0;
    }
    doc.OnNewDocument();
    // Make fixed-point quilts so the worker reports collapses, while this thread keeps pausing it.
    const auto deadline = std::chrono::steady_clock::now() + 20s;
    int seen = 0;
    for (int round = 0; round < 3; ++round) {
        {
            ScopedPause pause(doc);
            SqrMap& m = doc.State(pause).sqrMap;
            m.lambda = m.alpha = m.beta = m.gamma = m.omega = m.offX = m.offY = 0.0;
            m.emm = 1.0;
            m.detail = 0;
            doc.RestartIteration();
        }
        for (;;) {
            {
                ScopedPause pause(doc);
                std::lock_guard lock(observer.mutex);
                seen = observer.notices;
            }
            if (seen > round || std::chrono::steady_clock::now() > deadline) {
                break;
            }
            std::this_thread::sleep_for(1ms);
        }
    }
    EXPECT_GE(seen, 3);
    EXPECT_FALSE(observer.pausedOnWorkerChanged);
}

TEST(PauseProtocolTest, DestructionEndsARunningOrPausedWorker) {
    {
        CZARN40Doc running(threaded());
        running.OnNewDocument();
        std::this_thread::sleep_for(5ms);
    }
    {
        CZARN40Doc paused(threaded());
        paused.OnNewDocument();
        paused.PauseWorker();
    }
    { CZARN40Doc neverStarted(threaded()); }
    SUCCEED();
}

} // namespace
} // namespace zarn
