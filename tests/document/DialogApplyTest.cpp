#include "document/DialogApply.h"
#include "TestDocuments.h"
#include "document/CZARN40Doc.h"
#include "document/QuiltOps.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <vector>

namespace zarn {
namespace {

using testing_support::stateOf;

DocumentOptions quiet() {
    DocumentOptions o;
    o.seed = 21;
    o.startWorker = false;
    return o;
}

TEST(DialogApplyTest, SetQuiltStoresCoefficientsAndRestarts) {
    CZARN40Doc doc(quiet());
    QuiltState& s = stateOf(doc);
    for (int i = 0; i < 4000; ++i) {
        doc.IterateStep();
    }
    s.useRandomSettings = 0;
    SetQuiltValues v = FillSetQuilt(doc);
    v.lambda = 0.1;
    v.gamma = 0.111; // above the label's 0.11 but within the range the dialog checks
    v.emm = -2;
    v.offset = true;
    v.useDetailed = false;
    ASSERT_EQ(ApplySetQuilt(doc, v), std::nullopt);
    EXPECT_EQ(s.sqrMap.lambda, 0.1);
    EXPECT_EQ(s.sqrMap.gamma, 0.111);
    EXPECT_EQ(s.sqrMap.emm, -2.0);
    EXPECT_EQ(s.sqrMap.offX, 0.5);
    EXPECT_EQ(s.sqrMap.offY, 0.5);
    EXPECT_EQ(s.sqrMap.detail, 0) << "the detail choice must reach the map the step reads";
    EXPECT_EQ(s.useRandomSettings, 0) << "an unchecked random box leaves the option alone";
    EXPECT_EQ(doc.stepCount(), 0u);
}

TEST(DialogApplyTest, RefusedValuesChangeNothing) {
    CZARN40Doc doc(quiet());
    const QuiltState& s = stateOf(doc);
    const double lambda = s.sqrMap.lambda;
    SetQuiltValues v = FillSetQuilt(doc);
    v.lambda = 0.05;
    v.gamma = 0.1112;
    const auto e = ApplySetQuilt(doc, v);
    ASSERT_TRUE(e.has_value());
    EXPECT_NE(e->find("Gamma [-0.05, 0.11]: Please enter a number between -0.05 and 0.1111."),
              std::string::npos)
        << *e;
    EXPECT_EQ(s.sqrMap.lambda, lambda);

    v = FillSetQuilt(doc);
    v.gridSize = 0;
    EXPECT_TRUE(ApplySetQuilt(doc, v).has_value());
    EXPECT_EQ(s.QMap.size, 250u);
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
    ChangeGridSize(stateOf(doc), c.from, 0);
    doc.SetMaxSteps(60000000);
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
    EXPECT_EQ(stateOf(doc).QMap.size, c.to);
    EXPECT_EQ(doc.snapshot().gridSize, c.to);
    EXPECT_EQ(doc.maxSteps(), c.expectedMaxSteps);
}

INSTANTIATE_TEST_SUITE_P(Cases, GridRuleTest,
                         ::testing::Values(GridRuleCase{250, 400, false, 56000000},
                                           GridRuleCase{250, 400, true, 152000000},
                                           GridRuleCase{100, 400, false, 60000000},
                                           GridRuleCase{400, 250, false, 60000000},
                                           GridRuleCase{250, 250, true, 60000000}));

TEST(DialogApplyTest, GeneralCoifStoresTheTableDepthAndFlag) {
    CZARN40Doc doc(quiet());
    const QuiltState& s = stateOf(doc);
    GeneralCoifValues v = FillGeneralCoif(doc);
    EXPECT_EQ(v.depth, 6u);
    v.coef[2][3] = 0.375;
    v.depth = 5;
    v.emm = 4;
    v.useDetailed = true;
    v.useNewRandomSettings = false;
    ASSERT_EQ(ApplyGeneralCoif(doc, v), std::nullopt);
    EXPECT_EQ(s.sqrMap.coef[2][3], 0.375);
    EXPECT_EQ(s.sqrMap.depth, 5);
    EXPECT_EQ(s.sqrMap.detail, 1);
    EXPECT_EQ(s.sqrMap.emm, 4.0);
    EXPECT_EQ(FillDetail(doc).squareDetailDepth, 5u);

    v.depth = 7;
    EXPECT_TRUE(ApplyGeneralCoif(doc, v).has_value());
    EXPECT_EQ(s.sqrMap.depth, 5);
}

TEST(DialogApplyTest, NewRandomSettingsReplaceTheTypedCoefficients) {
    CZARN40Doc doc(quiet());
    QuiltState& s = stateOf(doc);
    s.useRandomSettings = 0;
    GeneralCoifValues v = FillGeneralCoif(doc);
    v.coef[0][0] = 0.4;
    v.useNewRandomSettings = true;
    const std::string name = s.names.quiltName;
    ASSERT_EQ(ApplyGeneralCoif(doc, v), std::nullopt);
    EXPECT_NE(s.sqrMap.coef[0][0], 0.4);
    EXPECT_EQ(s.useRandomSettings, 1);
    EXPECT_NE(s.names.quiltName, name);
}

TEST(DialogApplyTest, HexDialogsSelectTheFamilyAndRefreshThePeriod) {
    CZARN40Doc doc(quiet());
    const QuiltState& s = stateOf(doc);
    SetHexQuiltValues v = FillSetHexQuilt(doc);
    v.gridSize = 300;
    v.knotEffect = true;
    v.useNewRandomSettings = false;
    v.lambdaReal = 0.1;
    ASSERT_EQ(ApplySetHexQuilt(doc, v), std::nullopt);
    EXPECT_EQ(doc.CurrentFamily(), MapFamily::Hex);
    EXPECT_TRUE(s.hexKnot());
    EXPECT_EQ(s.hexMap.lambda.re, 0.1);
    EXPECT_DOUBLE_EQ(s.hexSizeA(), 900.0);
    EXPECT_EQ(doc.PeriodSizeOf().width, 900);

    HexDetailValues d = FillHexDetail(doc);
    d.detailDepth = 12;
    EXPECT_TRUE(ApplyHexDetail(doc, d).has_value());
    d.detailDepth = 7;
    d.useDetailedHex = true;
    ASSERT_EQ(ApplyHexDetail(doc, d), std::nullopt);
    EXPECT_EQ(s.hexDetailDepth(), 7);
    EXPECT_TRUE(s.useDetailedHex());
}

TEST(DialogApplyTest, SetHexQuiltRefusesAFieldOutsideItsRangeByLabel) {
    CZARN40Doc doc(quiet());
    SetHexQuiltValues valid = FillSetHexQuilt(doc);
    valid.lambdaReal = 0.1;
    valid.lambdaImaginary = 0.05;
    valid.alphaReal = -0.05;
    valid.alphaImaginary = 0.02;
    valid.hAlpha = -0.1;
    valid.hEmm = 1;
    valid.gridSize = 200;
    valid.useNewRandomSettings = false;
    const std::vector<std::pair<std::function<void(SetHexQuiltValues&)>, std::string>> refused{
        {[](auto& v) { v.lambdaReal = 0.21; }, "Lamba  Real"},
        {[](auto& v) { v.lambdaImaginary = -0.01; }, "Lamba Imaginary"},
        {[](auto& v) { v.alphaReal = std::nan(""); }, "Alpha Real"},
        {[](auto& v) { v.hAlpha = 0.05; }, "H_alpha"},
        {[](auto& v) { v.hEmm = 2; }, "H_Emm"},
        {[](auto& v) { v.gridSize = 49; }, "Quilt Width / 3"}};
    const Complex before = stateOf(doc).hexMap.lambda;
    for (const auto& [change, label] : refused) {
        SetHexQuiltValues v = valid;
        change(v);
        const auto error = ApplySetHexQuilt(doc, v);
        ASSERT_TRUE(error.has_value()) << label;
        EXPECT_EQ(error->rfind(label, 0), 0u) << *error;
        EXPECT_EQ(stateOf(doc).hexMap.lambda, before);
    }
    ASSERT_FALSE(ApplySetHexQuilt(doc, valid).has_value());
    const HexMap& m = stateOf(doc).hexMap;
    EXPECT_EQ(m.lambda, (Complex{0.1, 0.05}));
    EXPECT_EQ(m.hEmm, 1.0);
    EXPECT_EQ(m.alphaImages[2], (Complex{-0.05, -0.02}));
    EXPECT_EQ(m.periodWidth, 600.0);
    EXPECT_EQ(FillSetHexQuilt(doc).hEmm, 1u);
}

TEST(DialogApplyTest, HexDetailShowsWeightedCoefficientsAndStoresTypedFactors) {
    CZARN40Doc doc(quiet());
    HexDetailValues v = FillHexDetail(doc);
    const HexMap& m = stateOf(doc).hexMap;
    EXPECT_EQ(v.shown[3].re, 9.0 * m.detailCoefs[0][3].re);
    EXPECT_EQ(v.shown[10].im, 49.0 * m.detailCoefs[0][10].im);
    v.gridSize = 300;
    v.useNewRandomSettings = false;
    for (const int depth : {3, 12, 16}) {
        v.detailDepth = depth;
        const auto error = ApplyHexDetail(doc, v);
        ASSERT_TRUE(error.has_value());
        EXPECT_EQ(error->rfind("Hex Detail Depth", 0), 0u);
    }
    v.detailDepth = 5;
    v.shown = {};
    v.shown[10] = {0.3, -0.3};
    ASSERT_FALSE(ApplyHexDetail(doc, v).has_value());
    const double stored = 0.3 * 0.02040816326530612;
    EXPECT_EQ(m.detailCoefs[0][10], (Complex{stored, -stored}));
    EXPECT_EQ(m.detailCoefs[3][10], (Complex{stored, stored}));
    EXPECT_EQ(m.detailDepth, 5);
    EXPECT_EQ(m.cellSize, 300.0);
}

TEST(DialogApplyTest, CornerDialogRefusesAGridOfZeroAndBadN) {
    CZARN40Doc doc(quiet());
    CornerValues v = FillCornerCoefficients(doc);
    v.map.depth = 11;
    v.gridSize = 0;
    EXPECT_TRUE(ApplyCornerCoefficients(doc, v).has_value());
    v.gridSize = 250;
    v.map.cornerN = 2;
    EXPECT_EQ(ApplyCornerCoefficients(doc, v),
              "Corner N Value: Please enter an integer between 3 and 42.");
    v.map.cornerN = 13;
    v.map.depth = 12;
    EXPECT_EQ(ApplyCornerCoefficients(doc, v), "Depth: Please enter an integer between 4 and 11.");
    v.map.depth = 11;
    v.map.shown[7].im = std::nan("");
    EXPECT_EQ(ApplyCornerCoefficients(doc, v), "Coefficient 7: Please enter a number.");
    v.map.shown[7].im = 0.0;
    v.map.cornerN = 42;
    ASSERT_EQ(ApplyCornerCoefficients(doc, v), std::nullopt);
    EXPECT_EQ(stateOf(doc).cornerMap.cornerN, 42);
}

struct ChooseCase {
    const char* name;
    MapFamily family;
    bool randomSettings;
    FamilyDialogs dialogs;
};

class ChooseMapTest : public ::testing::TestWithParam<ChooseCase> {};

TEST_P(ChooseMapTest, SelectsTheFamilyDrawsAndAsksForItsDialogsOnlyWithoutRandomSettings) {
    const ChooseCase c = GetParam();
    CZARN40Doc doc(quiet());
    ChooseMapValues v = FillChooseMap(doc);
    v.family = c.family;
    v.useRandomSettings = c.randomSettings;
    const std::string before = doc.snapshot().quiltName;
    EXPECT_EQ(ApplyChooseMap(doc, v), c.dialogs);
    FinishChooseMap(doc, c.dialogs != FamilyDialogs::None);
    EXPECT_EQ(doc.CurrentFamily(), c.family);
    EXPECT_NE(doc.snapshot().quiltName, before);
    EXPECT_EQ(FillChooseMap(doc).useRandomSettings, c.randomSettings);
}

INSTANTIATE_TEST_SUITE_P(
    Families, ChooseMapTest,
    ::testing::Values(ChooseCase{"SquareRandom", MapFamily::Square, true, FamilyDialogs::None},
                      ChooseCase{"SquareTyped", MapFamily::Square, false, FamilyDialogs::Square},
                      ChooseCase{"HexTyped", MapFamily::Hex, false, FamilyDialogs::Hex},
                      ChooseCase{"CornerTyped", MapFamily::SquareX, false, FamilyDialogs::Corner},
                      ChooseCase{"ExpATyped", MapFamily::ExpA, false, FamilyDialogs::None},
                      ChooseCase{"DuoRandom", MapFamily::Duo, true, FamilyDialogs::None}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(DialogApplyTest, DetailChangesOnlyWhenTheSquareChoiceChanges) {
    CZARN40Doc doc(quiet());
    DetailValues v = FillDetail(doc);
    const std::string name = doc.snapshot().quiltName;
    v.useDetailedHex = !v.useDetailedHex;
    bool changed = true;
    ASSERT_EQ(ApplyDetail(doc, v, &changed), std::nullopt);
    EXPECT_FALSE(changed);
    EXPECT_NE(FillDetail(doc).useDetailedHex, v.useDetailedHex) << "hex alone is not kept";
    EXPECT_EQ(doc.snapshot().quiltName, name);

    v.useDetailedSquare = true;
    v.squareDetailDepth = 4;
    ASSERT_EQ(ApplyDetail(doc, v, &changed), std::nullopt);
    EXPECT_TRUE(changed);
    const DetailValues now = FillDetail(doc);
    EXPECT_TRUE(now.useDetailedSquare);
    EXPECT_EQ(now.squareDetailDepth, 4u);
    EXPECT_EQ(now.useDetailedHex, v.useDetailedHex);
    EXPECT_NE(doc.snapshot().quiltName, name) << "a new quilt was drawn";

    v.squareDetailDepth = 7;
    EXPECT_TRUE(ApplyDetail(doc, v).has_value());
}

TEST(DialogApplyTest, StatusChecksTheLimitButNotTheCountItOnlyShows) {
    CZARN40Doc doc(quiet());
    StatusValues v = FillStatus(doc);
    EXPECT_EQ(v.maxSteps, 60000000u);
    v.stepCount = 3500000000u; // a quilt past a thousand million steps can still be given a limit
    v.maxSteps = 999999;
    EXPECT_TRUE(ApplyStatus(doc, v).has_value());
    v.maxSteps = 3000000000u;
    ASSERT_EQ(ApplyStatus(doc, v), std::nullopt);
    EXPECT_EQ(doc.maxSteps(), 3000000000u);

    ApplyViewPeriod(doc, 0x10003);
    EXPECT_EQ(stateOf(doc).viewPeriod, 3) << "the low 16 bits are stored";
    ApplyViewPeriod(doc, 0);
    EXPECT_EQ(doc.snapshot().viewPeriod, 1) << "a period of 0 shows one";
}

} // namespace
} // namespace zarn
