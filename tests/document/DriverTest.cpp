#include "TestDocuments.h"
#include "document/CZARN40Doc.h"
#include "engine/Torus.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace zarn {
namespace {

using testing_support::driven;
using testing_support::makeFixedPointQuilt;
using testing_support::stateOf;

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
    const QuiltState& s = stateOf(doc);
    for (int i = 0; i < 3000; ++i) {
        doc.IterateStep();
    }
    EXPECT_EQ(doc.stepCount(), 3000u);
    EXPECT_EQ(s.QMap.TotalHits() + s.QMap.maxCount, 0u);
    doc.IterateStep();
    EXPECT_EQ(s.QMap.maxCount, 1u);
    EXPECT_EQ(s.QMap.CountAt(s.cellY, s.cellX), 1u);
    EXPECT_EQ(s.cellX, static_cast<int>(s.torusX * 250.0));
}

TEST(DriverTest, TakesExactlyMaxStepsPlusOneStepsThenFinishes) {
    CZARN40Doc doc(driven());
    const QuiltState& s = stateOf(doc);
    doc.SetMaxSteps(4000);
    for (int i = 0; i < 4001; ++i) {
        doc.IterateStep();
    }
    EXPECT_EQ(doc.stepCount(), 4001u);
    EXPECT_FALSE(doc.isFinished());
    doc.IterateStep();
    EXPECT_EQ(doc.stepCount(), 4001u);
    EXPECT_TRUE(doc.isFinished());
    EXPECT_EQ(s.status.running.load(), 0);
    EXPECT_EQ(doc.snapshot().state, IterationState::Finished);
    EXPECT_EQ(s.QMap.TotalHits(), 1001u) << "hits are counted from step 3001 on";
}

class CountingObserver : public DocumentObserver {
public:
    bool quiltConverged(CZARN40Doc&) override {
        ++calls;
        return false;
    }
    void quiltReplaced(CZARN40Doc&, ReplaceReason reason) override { last = reason; }
    int calls = 0;
    std::optional<ReplaceReason> last;
};

TEST(DriverTest, AFixedPointQuiltIsReplacedAtStep10000) {
    CountingObserver observer;
    DocumentOptions o = driven();
    o.observer = &observer;
    CZARN40Doc doc(o);
    QuiltState& s = stateOf(doc);
    makeFixedPointQuilt(s);
    const std::string oldName = s.names.quiltName;
    for (int i = 0; i < 9999; ++i) {
        doc.IterateStep();
    }
    EXPECT_EQ(s.status.collapsedReplacements.load(), 0u);
    doc.IterateStep();
    EXPECT_EQ(s.status.collapsedReplacements.load(), 1u);
    EXPECT_EQ(doc.stepCount(), 0u) << "the replacement restarted the iteration";
    EXPECT_NE(s.names.quiltName, oldName);
    EXPECT_EQ(doc.snapshot().quiltName, s.names.quiltName);
    EXPECT_EQ(s.status.imageDirty.load(), 1) << "step count 0 is a multiple of 200000";
    EXPECT_EQ(s.QMap.TotalHits(), 1u) << "the step's hit lands on the fresh grid";
    EXPECT_EQ(s.status.converged.load(), 0);
    EXPECT_EQ(s.status.running.load(), 1);
    EXPECT_EQ(observer.calls, 0) << "random settings replace silently";
    EXPECT_EQ(observer.last, ReplaceReason::Collapsed);

    makeFixedPointQuilt(s);
    s.useRandomSettings = 0;
    for (int i = 0; i < 10000; ++i) {
        doc.IterateStep();
    }
    EXPECT_EQ(observer.calls, 1);
}

TEST(DriverTest, NonFinitePointsNeverReachTheGridAndReplaceTheQuilt) {
    CountingObserver observer;
    DocumentOptions o = driven();
    o.observer = &observer;
    CZARN40Doc doc(o);
    QuiltState& s = stateOf(doc);
    for (int i = 0; i < 5000; ++i) {
        doc.IterateStep();
    }
    const std::uint64_t hits = s.QMap.TotalHits();
    s.sqrMap.emm = std::numeric_limits<double>::quiet_NaN();
    s.sqrMap.detail = 0;
    doc.IterateStep();
    EXPECT_EQ(s.status.invalidReplacements.load(), 1u);
    EXPECT_EQ(observer.last, ReplaceReason::NonFinite);
    EXPECT_EQ(doc.stepCount(), 0u);
    EXPECT_LE(s.QMap.TotalHits(), hits);
    EXPECT_TRUE(std::isfinite(s.sqrMap.emm));
    for (int i = 0; i < 4000; ++i) {
        doc.IterateStep();
    }
    EXPECT_EQ(s.status.invalidReplacements.load(), 1u);
    EXPECT_GT(s.QMap.TotalHits(), 0u);
}

TEST(DriverTest, RestartKeepsTheCurrentPointAndClearsTheGrid) {
    CZARN40Doc doc(driven());
    const QuiltState& s = stateOf(doc);
    for (int i = 0; i < 4000; ++i) {
        doc.IterateStep();
    }
    const double x = s.pointX, y = s.pointY;
    doc.RestartIteration();
    EXPECT_EQ(s.pointX, x);
    EXPECT_EQ(s.pointY, y);
    EXPECT_EQ(doc.stepCount(), 0u);
    EXPECT_EQ(s.QMap.TotalHits(), 0u);
    EXPECT_EQ(s.status.distinctCells.load(), 0);
}

} // namespace
} // namespace zarn
