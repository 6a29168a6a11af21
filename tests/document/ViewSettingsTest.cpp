#include "document/ViewSettings.h"

#include "TestDocuments.h"
#include "document/CZARN40Doc.h"
#include "document/SessionFile.h"
#include "engine/Archive.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <thread>

namespace zarn {
namespace {

using testing_support::driven;
using testing_support::stateOf;

constexpr std::uint64_t kPlentyOfMemory = std::uint64_t{4} << 30;
constexpr std::size_t kViewsOffset = 684;

std::vector<double> spacingsOf(const QuaziMapping& m) {
    std::vector<double> out;
    for (const LineSet& set : m.lineSets) {
        out.push_back(set.spacing);
    }
    return out;
}

TEST(ViewSettingsTest, ANewDocumentHasTheDefaultQuasiCrystalAndNoPolyMapping) {
    CZARN40Doc doc(driven(4));
    const QuiltState& s = stateOf(doc);
    EXPECT_EQ(s.quaziMapping.TileCount(), 4410);
    EXPECT_EQ(s.quaziMapping.patternOffsetX, 300.0);
    EXPECT_EQ(s.quaziMapping.patternOffsetY, 300.0);
    EXPECT_EQ(s.quaziMapping.rhombusScale, 0.5);
    EXPECT_EQ(s.quaziMapping.overlap, 0.02);
    EXPECT_FALSE(s.polyMapping.has_value());
    EXPECT_EQ(s.quaziView + s.polyView + s.polyViewChosen, 0);
    // Seeded documents draw the same line spacings; other seeds others.
    EXPECT_EQ(spacingsOf(stateOf(*std::make_unique<CZARN40Doc>(driven(4))).quaziMapping),
              spacingsOf(s.quaziMapping));
    EXPECT_NE(spacingsOf(stateOf(*std::make_unique<CZARN40Doc>(driven(5))).quaziMapping),
              spacingsOf(s.quaziMapping));
}

TEST(ViewSettingsTest, TogglesKeepTheTwoViewsApartAndTheFirstPolyUseMakesTheDefaultMapping) {
    CZARN40Doc doc(driven());
    ViewChange c = ToggleQuaziView(doc);
    EXPECT_TRUE(c.views.quaziView && c.changed && !c.openPolyProperties);

    c = TogglePolyView(doc);
    EXPECT_TRUE(c.views.polyView && !c.views.quaziView && c.openPolyProperties);
    const PolyMapping& m = *stateOf(doc).polyMapping;
    EXPECT_EQ(m.tiling, 0);
    EXPECT_DOUBLE_EQ(m.UserScale(), 1.0);
    EXPECT_EQ(m.periodOffsetX, 0.25);
    EXPECT_EQ(m.periodOffsetY, 0.25);
    EXPECT_DOUBLE_EQ(m.OverlapCorrection(), 0.04);
    EXPECT_EQ(stateOf(doc).polyViewChosen, 1);

    c = TogglePolyView(doc);
    EXPECT_FALSE(c.views.polyView || c.views.quaziView);
    c = TogglePolyView(doc);
    EXPECT_TRUE(c.views.polyView && !c.openPolyProperties);
    c = ToggleQuaziView(doc);
    EXPECT_TRUE(c.views.quaziView && !c.views.polyView);
}

TEST(ViewSettingsTest, FamiliesWhosePeriodTheViewsDoNotTakeTurnThemOff) {
    CZARN40Doc doc(driven());
    ToggleQuaziView(doc);
    doc.SelectFamily(MapFamily::Hex);
    bool turnedOff = false;
    EXPECT_FALSE(SettleViews(doc, &turnedOff).quaziView);
    EXPECT_TRUE(turnedOff);
    EXPECT_FALSE(ToggleQuaziView(doc).views.quaziView);
    EXPECT_FALSE(TogglePolyView(doc).views.polyView);

    doc.SelectFamily(MapFamily::SquareX);
    TogglePolyView(doc);
    doc.SelectFamily(MapFamily::T);
    EXPECT_EQ(TakeViewGeometry(doc).mode, ViewMode::Tile);
    EXPECT_EQ(stateOf(doc).polyView, 0);
}

TEST(ViewSettingsTest, QuasiCrystalPropertiesStoreTheirValuesAndANewCountRedrawsTheLines) {
    CZARN40Doc doc(driven());
    QuaziPropValues v = FillQuaziProp(doc);
    EXPECT_EQ(v.offsetX, 300);
    EXPECT_EQ(v.lineSetCount, 5);
    v.useQuaziView = true;
    v.offsetX = 420;
    v.scale = 1.25;
    v.overlap = -0.05;
    v.lineSetCount = 7;
    ViewChange change;
    ASSERT_EQ(ApplyQuaziProp(doc, v, &change), std::nullopt);
    EXPECT_TRUE(change.changed && change.views.quaziView);
    const QuaziMapping& m = stateOf(doc).quaziMapping;
    EXPECT_EQ(m.TileCount(), 21 * 441);
    EXPECT_EQ(m.patternOffsetX, 420.0);
    EXPECT_EQ(m.patternOffsetY, 300.0);
    EXPECT_EQ(m.rhombusScale, 1.25);
    EXPECT_EQ(m.overlap, -0.05);

    // The same values again change nothing the window shows.
    ASSERT_EQ(ApplyQuaziProp(doc, v, &change), std::nullopt);
    EXPECT_FALSE(change.changed);
}

struct RefusedCase {
    const char* label;
    std::function<void(QuaziPropValues&, PolyViewValues&)> spoil;
    const char* message;
};

class RefusedViewValuesTest : public ::testing::TestWithParam<RefusedCase> {};

TEST_P(RefusedViewValuesTest, NameTheFieldAndChangeNothing) {
    CZARN40Doc doc(driven());
    QuaziPropValues quazi = FillQuaziProp(doc);
    PolyViewValues poly = FillPolyView(doc);
    quazi.useQuaziView = true;
    poly.usePolyView = true;
    GetParam().spoil(quazi, poly);
    const std::vector<std::uint8_t> before = StoreSession(stateOf(doc));
    const std::vector<double> spacings = spacingsOf(stateOf(doc).quaziMapping);
    std::optional<std::string> e = ValidateQuaziProp(quazi);
    if (e) {
        EXPECT_EQ(ApplyQuaziProp(doc, quazi), e);
    } else {
        e = ApplyPolyView(doc, poly);
        EXPECT_EQ(ValidatePolyView(poly), e);
    }
    ASSERT_TRUE(e.has_value());
    EXPECT_EQ(*e, GetParam().message);
    EXPECT_EQ(StoreSession(stateOf(doc)), before);
    EXPECT_EQ(spacingsOf(stateOf(doc).quaziMapping), spacings);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RefusedViewValuesTest,
    ::testing::Values(
        RefusedCase{"QuaziOffset", [](auto& q, auto&) { q.offsetY = 49; },
                    "Y Offset in pattern: Please enter an integer between 50 and 1200."},
        RefusedCase{"QuaziScale", [](auto& q, auto&) { q.scale = 3.01; },
                    "Scale % for rombi: Please enter a number between 0.05 and 3."},
        RefusedCase{"LineSets", [](auto& q, auto&) { q.lineSetCount = 4; },
                    "Line set count: Please enter an integer between 5 and 42."},
        RefusedCase{"QuaziOverlap", [](auto& q, auto&) { q.overlap = std::nan(""); },
                    "Overlap corection: Please enter a number."},
        RefusedCase{"PolyScale", [](auto&, auto& p) { p.scale = 0.4; },
                    "Scale: Please enter a number between 0.5 and 10."},
        RefusedCase{"PolyOffset", [](auto&, auto& p) { p.offsetX = 0.5; },
                    "X offset for period: Please enter a number between 0.1 and 0.499."},
        RefusedCase{"PolyOverlap", [](auto&, auto& p) { p.overlap = -0.21; },
                    "Overlap corection: Please enter a number between -0.2 and 0.2."},
        RefusedCase{"Tiling", [](auto&, auto& p) { p.tiling = 4; },
                    "Chose View Mapping: tiling 4 is not one of 4.8.8, 4.6.12, 3.3.3.4.4, "
                    "3.12.12, 3.6.3.6."}),
    [](const auto& info) { return std::string(info.param.label); });

TEST(ViewSettingsTest, PolyPropertiesRebuildTheImageOnlyWhenAValueChanged) {
    CZARN40Doc doc(driven());
    PolyViewValues v = FillPolyView(doc);
    v.usePolyView = true;
    ViewChange change;
    ASSERT_EQ(ApplyPolyView(doc, v, &change), std::nullopt);
    EXPECT_TRUE(change.changed);
    bool rebuild = false;
    ViewGeometry view = TakeViewGeometry(doc, &rebuild);
    EXPECT_EQ(view.mode, ViewMode::Poly);
    EXPECT_TRUE(rebuild);
    TakeViewGeometry(doc, &rebuild);
    EXPECT_FALSE(rebuild) << "taking the geometry answers the request";

    ASSERT_EQ(ApplyPolyView(doc, v, &change), std::nullopt);
    EXPECT_FALSE(change.changed);
    TakeViewGeometry(doc, &rebuild);
    EXPECT_FALSE(rebuild);

    v.offsetX = 0.3;
    ASSERT_EQ(ApplyPolyView(doc, v, &change), std::nullopt);
    EXPECT_TRUE(change.changed);
    TakeViewGeometry(doc, &rebuild);
    EXPECT_TRUE(rebuild);

    v.tiling = 3;
    v.scale = 2.0;
    ASSERT_EQ(ApplyPolyView(doc, v, &change), std::nullopt);
    view = TakeViewGeometry(doc, &rebuild);
    EXPECT_TRUE(rebuild);
    EXPECT_EQ(view.poly->tiling, 3);
    EXPECT_DOUBLE_EQ(view.poly->UserScale(), 2.0);
    EXPECT_EQ(view.poly->periodOffsetX, 0.3);
}

TEST(ViewSettingsTest, ChooseViewMappingChecksTheCurrentKind) {
    EXPECT_EQ(NewViewMapChecked(5), 4u);
    EXPECT_EQ(NewViewMapChecked(2), 2u);
    EXPECT_EQ(NewViewMapChecked(4), std::nullopt);
    EXPECT_EQ(NewViewMapChecked(17), 0u);
}

TEST(ViewSettingsTest, TheWorkerAsksForANewPolyImageEvery2400000StepsWhileTheViewIsOn) {
    CZARN40Doc doc(driven(11));
    TogglePolyView(doc);
    bool rebuild = false;
    TakeViewGeometry(doc, &rebuild);
    QuiltState& s = stateOf(doc);
    // A quilt that never collapses: the count reaches the mark without a restart.
    s.useRandomSettings = 1;
    s.minDistinctCells = 0;
    for (std::uint32_t i = 0; i < 2399999; ++i) {
        doc.IterateStep();
    }
    ASSERT_EQ(doc.stepCount(), 2399999u);
    EXPECT_FALSE(s.polyMapping->rebuild);
    doc.IterateStep();
    EXPECT_TRUE(s.polyMapping->rebuild);

    s.polyMapping->rebuild = false;
    s.polyView = 0;
    s.status.stepCount.store(4799999);
    doc.IterateStep();
    EXPECT_FALSE(s.polyMapping->rebuild) << "not while the view is off";
}

TEST(ViewSettingsTest, TheWindowTakesTheRequestWhileTheWorkerRuns) {
    DocumentOptions options;
    options.seed = 21;
    options.physicalMemory = kPlentyOfMemory;
    CZARN40Doc doc(options);
    TogglePolyView(doc);
    TakeViewGeometry(doc);
    doc.SetMaxSteps(2400000);
    doc.OnNewDocument();
    bool requested = false;
    while (!doc.isFinished()) {
        bool rebuild = false;
        const ViewGeometry view = TakeViewGeometry(doc, &rebuild);
        ASSERT_EQ(view.mode, ViewMode::Poly);
        requested = requested || rebuild;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    bool rebuild = false;
    TakeViewGeometry(doc, &rebuild);
    EXPECT_TRUE(requested || rebuild);
}

struct SavedView {
    const char* label;
    std::function<void(CZARN40Doc&)> choose;
    ViewMode mode;
    int tiling;
};

class SavedViewTest : public ::testing::TestWithParam<SavedView> {};

TEST_P(SavedViewTest, ReopensWithTheViewOnThroughTheDefaultMapping) {
    CZARN40Doc doc(driven());
    GetParam().choose(doc);
    const std::vector<std::uint8_t> bytes = StoreSession(stateOf(doc));
    CZARN40Doc reopened(driven(9));
    LoadSession(stateOf(reopened), bytes, kPlentyOfMemory);
    const ViewGeometry view = TakeViewGeometry(reopened);
    EXPECT_EQ(view.mode, GetParam().mode);
    if (view.mode == ViewMode::Poly) {
        EXPECT_EQ(view.poly->tiling, GetParam().tiling);
        EXPECT_DOUBLE_EQ(view.poly->UserScale(), 1.0);
        EXPECT_EQ(view.poly->periodOffsetX, 0.25);
    }
    EXPECT_EQ(StoreSession(stateOf(reopened))[kViewsOffset], bytes[kViewsOffset]);
}

INSTANTIATE_TEST_SUITE_P(Cases, SavedViewTest,
                         ::testing::Values(SavedView{"Tile", [](CZARN40Doc&) {}, ViewMode::Tile, 0},
                                           SavedView{"Quazi",
                                                     [](CZARN40Doc& d) { ToggleQuaziView(d); },
                                                     ViewMode::Quazi, 0},
                                           SavedView{"Poly",
                                                     [](CZARN40Doc& d) {
                                                         PolyViewValues v = FillPolyView(d);
                                                         v.usePolyView = true;
                                                         v.tiling = 5;
                                                         v.scale = 3.0;
                                                         ApplyPolyView(d, v);
                                                     },
                                                     ViewMode::Poly, 5}),
                         [](const auto& info) { return std::string(info.param.label); });

class BadViewWordTest : public ::testing::TestWithParam<std::uint32_t> {};

TEST_P(BadViewWordTest, IsRefusedByName) {
    CZARN40Doc doc(driven());
    std::vector<std::uint8_t> bytes = StoreSession(stateOf(doc));
    const std::uint32_t word = GetParam();
    std::memcpy(bytes.data() + kViewsOffset, &word, sizeof word);
    try {
        LoadSession(stateOf(doc), bytes, kPlentyOfMemory);
        ADD_FAILURE() << "accepted";
    } catch (const FormatError& e) {
        EXPECT_EQ(std::string(e.what()).rfind("views", 0), 0u) << e.what();
    }
}

// Both views on; a bit that names nothing; the poly view without a tiling; kind 4 and 9.
INSTANTIATE_TEST_SUITE_P(Words, BadViewWordTest,
                         ::testing::Values(0x3u, 0x10u, 0x2u, 0x406u, 0x904u, 0x100u));

} // namespace
} // namespace zarn
