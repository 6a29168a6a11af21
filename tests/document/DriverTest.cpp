#include "document/CZARN40Doc.h"
#include "engine/Torus.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace zarn {
namespace {

DocumentOptions driven(std::uint64_t seed = 3) {
    DocumentOptions o;
    o.seed = seed;
    o.startWorker = false;
    return o;
}

/** Turns the square map into the identity: every point is a fixed point. */
void makeFixedPointQuilt(CZARN40Doc& doc) {
    SqrMap& m = doc.sqrMap;
    m.lambda = m.alpha = m.beta = m.gamma = m.omega = 0.0;
    m.offX = m.offY = 0.0;
    m.emm = 1.0;
    m.detail = 0;
    for (auto& row : m.coef) {
        row.fill(0.0);
    }
}

TEST(DriverTest, FoldToTorusFoldsIntoTheClosedUnitSquare) {
    EXPECT_DOUBLE_EQ(foldToUnit(2.25), 0.25);
    EXPECT_DOUBLE_EQ(foldToUnit(-0.25), 0.75);
    EXPECT_EQ(foldToUnit(-3.0), 1.0);
    EXPECT_EQ(foldToUnit(1.0), 1.0);
    EXPECT_EQ(foldToUnit(-1.0), 1.0);
    EXPECT_EQ(foldToUnit(0.0), 0.0);
}

TEST(DriverTest, TransientStepsAddNoHitsAndStep3001AddsTheFirst) {
    CZARN40Doc doc(driven());
    for (int i = 0; i < 3000; ++i) {
        doc.IterateStep();
    }
    EXPECT_EQ(doc.stepCount.load(), 3000u);
    EXPECT_EQ(doc.QMap.TotalHits() + doc.QMap.maxCount, 0u);
    doc.IterateStep();
    EXPECT_EQ(doc.QMap.maxCount, 1u);
    EXPECT_EQ(doc.QMap.CountAt(doc.cellY, doc.cellX), 1u);
    EXPECT_EQ(doc.cellX, static_cast<int>(doc.torusX * 250.0));
}

TEST(DriverTest, TakesExactlyMaxStepsPlusOneStepsThenFinishes) {
    CZARN40Doc doc(driven());
    doc.maxSteps = 4000;
    for (int i = 0; i < 4001; ++i) {
        doc.IterateStep();
    }
    EXPECT_EQ(doc.stepCount.load(), 4001u);
    EXPECT_EQ(doc.finished.load(), 0);
    doc.IterateStep();
    EXPECT_EQ(doc.stepCount.load(), 4001u);
    EXPECT_EQ(doc.finished.load(), 1);
    EXPECT_EQ(doc.running.load(), 0);
    EXPECT_EQ(doc.QMap.TotalHits(), 1001u) << "hits are counted from step 3001 on";
}

class CountingObserver : public DocumentObserver {
public:
    void quiltConverged(CZARN40Doc&) override { ++calls; }
    int calls = 0;
};

TEST(DriverTest, AFixedPointQuiltIsReplacedAtStep10000) {
    CountingObserver observer;
    DocumentOptions o = driven();
    o.observer = &observer;
    CZARN40Doc doc(o);
    makeFixedPointQuilt(doc);
    const std::string oldName = doc.quiltName;
    for (int i = 0; i < 9999; ++i) {
        doc.IterateStep();
    }
    EXPECT_EQ(doc.collapsedReplacements.load(), 0u);
    doc.IterateStep();
    EXPECT_EQ(doc.collapsedReplacements.load(), 1u);
    EXPECT_EQ(doc.stepCount.load(), 0u) << "the replacement restarted the iteration";
    EXPECT_NE(doc.quiltName, oldName);
    EXPECT_EQ(doc.imageDirty.load(), 1) << "step count 0 is a multiple of 200000";
    EXPECT_EQ(doc.QMap.TotalHits(), 1u) << "the step's hit lands on the fresh grid";
    EXPECT_EQ(doc.converged.load(), 0);
    EXPECT_EQ(doc.running.load(), 1);
    EXPECT_EQ(observer.calls, 0) << "random settings replace silently";

    makeFixedPointQuilt(doc);
    doc.useRandomSettings = 0;
    for (int i = 0; i < 10000; ++i) {
        doc.IterateStep();
    }
    EXPECT_EQ(observer.calls, 1);
}

TEST(DriverTest, NonFinitePointsNeverReachTheGridAndReplaceTheQuilt) {
    CZARN40Doc doc(driven());
    for (int i = 0; i < 5000; ++i) {
        doc.IterateStep();
    }
    const std::uint64_t hits = doc.QMap.TotalHits();
    doc.sqrMap.emm = std::numeric_limits<double>::quiet_NaN();
    doc.sqrMap.detail = 0;
    doc.useDetailedSquare = 0;
    doc.IterateStep();
    EXPECT_EQ(doc.invalidReplacements.load(), 1u);
    EXPECT_EQ(doc.stepCount.load(), 0u);
    EXPECT_LE(doc.QMap.TotalHits(), hits);
    EXPECT_TRUE(std::isfinite(doc.sqrMap.emm));
    for (int i = 0; i < 4000; ++i) {
        doc.IterateStep();
    }
    EXPECT_EQ(doc.invalidReplacements.load(), 1u);
    EXPECT_GT(doc.QMap.TotalHits(), 0u);
}

TEST(DriverTest, RestartKeepsTheCurrentPointAndClearsTheGrid) {
    CZARN40Doc doc(driven());
    for (int i = 0; i < 4000; ++i) {
        doc.IterateStep();
    }
    const double x = doc.pointX, y = doc.pointY;
    doc.RestartIteration();
    EXPECT_EQ(doc.pointX, x);
    EXPECT_EQ(doc.pointY, y);
    EXPECT_EQ(doc.stepCount.load(), 0u);
    EXPECT_EQ(doc.QMap.TotalHits(), 0u);
    EXPECT_EQ(doc.distinctCells.load(), 0);
}

} // namespace
} // namespace zarn
