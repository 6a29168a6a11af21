#include "document/DialogApply.h"
#include "document/CZARN40Doc.h"

#include <gtest/gtest.h>

namespace zarn {
namespace {

DocumentOptions quiet() {
    DocumentOptions o;
    o.seed = 21;
    o.startWorker = false;
    return o;
}

TEST(DialogApplyTest, SetQuiltStoresCoefficientsAndRestarts) {
    CZARN40Doc doc(quiet());
    for (int i = 0; i < 4000; ++i) {
        doc.IterateStep();
    }
    doc.useRandomSettings = 0;
    SetQuiltValues v = FillSetQuilt(doc);
    v.lambda = 0.1;
    v.gamma = 0.111; // above the label's 0.11 but within the range the dialog checks
    v.emm = -2;
    v.offset = true;
    v.useDetailed = false;
    ASSERT_EQ(ApplySetQuilt(doc, v), std::nullopt);
    EXPECT_EQ(doc.sqrMap.lambda, 0.1);
    EXPECT_EQ(doc.sqrMap.gamma, 0.111);
    EXPECT_EQ(doc.sqrMap.emm, -2.0);
    EXPECT_EQ(doc.sqrMap.offX, 0.5);
    EXPECT_EQ(doc.sqrMap.offY, 0.5);
    EXPECT_EQ(doc.sqrMap.detail, 0) << "the detail choice must reach the map the step reads";
    EXPECT_EQ(doc.useRandomSettings, 0) << "an unchecked random box leaves the option alone";
    EXPECT_EQ(doc.stepCount.load(), 0u);
}

TEST(DialogApplyTest, RefusedValuesChangeNothing) {
    CZARN40Doc doc(quiet());
    const double lambda = doc.sqrMap.lambda;
    SetQuiltValues v = FillSetQuilt(doc);
    v.lambda = 0.05;
    v.gamma = 0.1112;
    const auto e = ApplySetQuilt(doc, v);
    ASSERT_TRUE(e.has_value());
    EXPECT_NE(e->find("Gamma [-0.05, 0.11]: Please enter a number between -0.05 and 0.1111."),
              std::string::npos)
        << *e;
    EXPECT_EQ(doc.sqrMap.lambda, lambda);

    v = FillSetQuilt(doc);
    v.gridSize = 0;
    EXPECT_TRUE(ApplySetQuilt(doc, v).has_value());
    EXPECT_EQ(doc.QMap.size, 250u);
}

struct GridRuleCase {
    std::uint32_t from;
    std::uint32_t to;
    bool corner;
    std::uint32_t expectedMaxSteps;
};

class GridRuleTest : public ::testing::TestWithParam<GridRuleCase> {};

TEST_P(GridRuleTest, GrowingTheGridRaisesTheStepLimitByTheDialogsFactor) {
    const GridRuleCase c = GetParam();
    CZARN40Doc doc(quiet());
    doc.ChangeGridSize(c.from, 0);
    doc.maxSteps = 60000000;
    std::optional<std::string> error;
    if (c.corner) {
        CornerValues v = FillCornerCoefficients(doc);
        v.map.depth = 11;
        v.gridSize = c.to;
        error = ApplyCornerCoefficients(doc, v);
    } else {
        SetQuiltValues v = FillSetQuilt(doc);
        v.gridSize = c.to;
        v.useNewRandomSettings = false;
        error = ApplySetQuilt(doc, v);
    }
    ASSERT_EQ(error, std::nullopt);
    EXPECT_EQ(doc.QMap.size, c.to);
    EXPECT_EQ(doc.gridSize, static_cast<int>(c.to));
    EXPECT_EQ(doc.maxSteps, c.expectedMaxSteps);
}

INSTANTIATE_TEST_SUITE_P(Cases, GridRuleTest,
                         ::testing::Values(GridRuleCase{250, 400, false, 56000000},
                                           GridRuleCase{250, 400, true, 152000000},
                                           GridRuleCase{100, 400, false, 60000000},
                                           GridRuleCase{400, 250, false, 60000000},
                                           GridRuleCase{250, 250, true, 60000000}));

TEST(DialogApplyTest, GeneralCoifPushesTheTableDepthAndFlagIntoTheMap) {
    CZARN40Doc doc(quiet());
    doc.squareDetailDepth = 4;
    GeneralCoifValues v = PrepareGeneralCoif(doc);
    EXPECT_EQ(doc.sqrMap.depth, 4) << "opening the dialog pushes the document's depth";
    v.coef[2][3] = 0.375;
    v.depth = 5;
    v.emm = 4;
    v.useNewRandomSettings = false;
    ASSERT_EQ(ApplyGeneralCoif(doc, v), std::nullopt);
    EXPECT_EQ(doc.sqrMap.coef[2][3], 0.375);
    EXPECT_EQ(doc.sqrMap.depth, 5);
    EXPECT_EQ(doc.squareDetailDepth, 5);
    EXPECT_EQ(doc.sqrMap.emm, 4.0);

    v.depth = 7;
    EXPECT_TRUE(ApplyGeneralCoif(doc, v).has_value());
    EXPECT_EQ(doc.sqrMap.depth, 5);
}

TEST(DialogApplyTest, NewRandomSettingsReplaceTheTypedCoefficients) {
    CZARN40Doc doc(quiet());
    doc.useRandomSettings = 0;
    GeneralCoifValues v = PrepareGeneralCoif(doc);
    v.coef[0][0] = 0.4;
    v.useNewRandomSettings = true;
    const std::string name = doc.quiltName;
    ASSERT_EQ(ApplyGeneralCoif(doc, v), std::nullopt);
    EXPECT_NE(doc.sqrMap.coef[0][0], 0.4);
    EXPECT_EQ(doc.useRandomSettings, 1);
    EXPECT_NE(doc.quiltName, name);
}

TEST(DialogApplyTest, HexDialogsSelectTheFamilyAndRefreshThePeriod) {
    CZARN40Doc doc(quiet());
    SetHexQuiltValues v = FillSetHexQuilt(doc);
    v.gridSize = 300;
    v.knotEffect = true;
    v.useNewRandomSettings = false;
    v.lambdaReal = 0.1;
    ASSERT_EQ(ApplySetHexQuilt(doc, v), std::nullopt);
    EXPECT_EQ(doc.CurrentFamily(), MapFamily::Hex);
    EXPECT_EQ(doc.hexKnot, 1);
    EXPECT_EQ(doc.hexMap.lambda.re, 0.1);
    EXPECT_DOUBLE_EQ(doc.hexSizeA, 900.0);
    EXPECT_EQ(doc.PeriodSizeOf().width, 900);

    HexDetailValues d = FillHexDetail(doc);
    d.detailDepth = 12;
    EXPECT_TRUE(ApplyHexDetail(doc, d).has_value());
    d.detailDepth = 7;
    d.useDetailedHex = true;
    ASSERT_EQ(ApplyHexDetail(doc, d), std::nullopt);
    EXPECT_EQ(doc.hexDetailDepth, 7);
    EXPECT_EQ(doc.useDetailedHex, 1);
}

TEST(DialogApplyTest, CornerDialogRefusesAGridOfZeroAndBadN) {
    CZARN40Doc doc(quiet());
    CornerValues v = FillCornerCoefficients(doc);
    v.map.depth = 11;
    v.gridSize = 0;
    EXPECT_TRUE(ApplyCornerCoefficients(doc, v).has_value());
    v.gridSize = 250;
    v.map.cornerN = 2;
    EXPECT_TRUE(ApplyCornerCoefficients(doc, v).has_value());
    v.map.cornerN = 42;
    ASSERT_EQ(ApplyCornerCoefficients(doc, v), std::nullopt);
    EXPECT_EQ(doc.cornerMap.cornerN, 42);
}

} // namespace
} // namespace zarn
