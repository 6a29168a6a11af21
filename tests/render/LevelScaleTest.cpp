#include "render/LevelScale.h"
#include "engine/CRandom.h"
#include "engine/QuiltMap.h"
#include "render/ColorC.h"
#include "render/ColorPresets.h"
#include "render/ColorSetRecord.h"
#include "render/Palette.h"
#include "render/QuiltScore.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <set>
#include <tuple>

namespace zarn {
namespace {

constexpr int kTop = QuiltMap::kLevels - 1;

QuiltMap gridOf(std::uint32_t n, std::uint32_t count) {
    QuiltMap grid;
    grid.BuildSize(n);
    for (std::uint32_t r = 0; r < n; ++r) {
        for (std::uint32_t c = 0; c < n; ++c) {
            grid.Cell(static_cast<int>(r), static_cast<int>(c)) = count;
        }
    }
    grid.RefreshMax();
    return grid;
}

/** Counts drawn from a long-tailed law, so that many counts share a classic level. */
QuiltMap tailedGrid(std::uint32_t n, unsigned seed) {
    QuiltMap grid;
    grid.BuildSize(n);
    std::mt19937 rng(seed);
    std::exponential_distribution<double> tail(0.002);
    for (std::uint32_t r = 0; r < n; ++r) {
        for (std::uint32_t c = 0; c < n; ++c) {
            grid.Cell(static_cast<int>(r), static_cast<int>(c)) =
                static_cast<std::uint32_t>(tail(rng) * tail(rng) / 50.0);
        }
    }
    grid.RefreshMax();
    return grid;
}

class EveryScale : public ::testing::TestWithParam<LevelScaleKind> {};

INSTANTIATE_TEST_SUITE_P(LevelScale, EveryScale, ::testing::ValuesIn(kLevelScaleKinds),
                         [](const auto& info) { return std::string(levelScaleName(info.param)); });

TEST_P(EveryScale, AnAllEqualGridPutsEveryCellOnTheTopLevel) {
    const QuiltMap grid = gridOf(20, 37);
    const LevelScale scale(GetParam(), grid);
    EXPECT_EQ(scale.level(37), kTop);
    EXPECT_EQ(scale.level(0), 0);
    const LevelHistogram shares = scale.histogram(grid);
    // The classic histogram has always put the largest count one level down.
    const int expected = GetParam() == LevelScaleKind::Classic ? kTop - 1 : kTop;
    EXPECT_DOUBLE_EQ(shares[static_cast<std::size_t>(expected)], 1.0);
}

TEST_P(EveryScale, CountsAboveTheTopAndAnEmptyGridStayInsideThePalette) {
    QuiltMap grid = tailedGrid(40, 3);
    const LevelScale scale(GetParam(), grid);
    EXPECT_EQ(scale.level(scale.topCount()), kTop);
    EXPECT_EQ(scale.level(scale.topCount() + 1), kTop);
    EXPECT_EQ(scale.level(4000000000u), kTop);

    const QuiltMap empty = gridOf(10, 0);
    const LevelScale none(GetParam(), empty);
    EXPECT_EQ(none.level(0), 0);
    EXPECT_EQ(none.level(5), GetParam() == LevelScaleKind::Logarithmic ? kTop : 5);
}

TEST(LevelScaleTest, ClassicIsTheBitmapAndHistogramArithmeticByteForByte) {
    for (const unsigned seed : {1u, 2u}) {
        QuiltMap grid = tailedGrid(60, seed);
        ASSERT_GT(grid.maxCount, 3999u) << "counts must share levels for the test to bite";
        const LevelScale scale(LevelScaleKind::Classic, grid);
        const double factor = levelScale(grid.maxCount);
        grid.ForEachCount([&](std::uint32_t c) { ASSERT_EQ(scale.level(c), levelOf(c, factor)); });
        const LevelHistogram shares = scale.histogram(grid);
        grid.BuildLevelHistogram();
        EXPECT_EQ(std::memcmp(shares.data(), grid.levelHistogram.data(), sizeof shares), 0);

        ColorC colors(5.0);
        colors.useColors34 = 1;
        colors.percent = {20, 20, 30, 30, 0, 0};
        Palette stored;
        Palette scaled;
        buildPalette(stored, colors, grid);
        buildPalette(scaled, colors, grid, scale);
        EXPECT_EQ(std::memcmp(&stored, &scaled, sizeof stored), 0);
    }
}

TEST(LevelScaleTest, OneHotCellNoLongerFlattensTheRobustAndLogarithmicScales) {
    // A quilt whose orbit spends most of its time in one cell.
    QuiltMap grid = tailedGrid(100, 5);
    grid.Cell(50, 50) = 100000000;
    grid.RefreshMax();

    const LevelScale classic(LevelScaleKind::Classic, grid);
    EXPECT_EQ(classic.level(3000), 0);
    const LevelScale robust(LevelScaleKind::Robust, grid);
    EXPECT_LT(robust.topCount(), 100000000u);
    EXPECT_EQ(robust.level(robust.topCount() / 2),
              static_cast<int>((robust.topCount() / 2) * (3999.0 / robust.topCount())));
    EXPECT_EQ(robust.level(100000000), kTop) << "clamped at the top level";
    const LevelScale log(LevelScaleKind::Logarithmic, grid);
    EXPECT_EQ(log.level(3), static_cast<int>(3999.0 * std::log(4.0) / std::log1p(1e8)));
    // Beyond the lookup table the level is computed.
    EXPECT_EQ(log.level(5000000), static_cast<int>(3999.0 * std::log1p(5e6) / std::log1p(1e8)));

    EXPECT_TRUE(scoreLevelShares(classic.histogram(grid)).flat());
    EXPECT_FALSE(scoreLevelShares(robust.histogram(grid)).flat());
    EXPECT_FALSE(scoreLevelShares(log.histogram(grid)).flat());
}

TEST(LevelScaleTest, TheRobustTopIsTheNearestRankPercentileOfTheHitCells) {
    QuiltMap grid;
    grid.BuildSize(100);
    // 2000 hit cells holding 1..2000, the rest empty: the 99.9th percentile is count 1998.
    for (int i = 0; i < 2000; ++i) {
        grid.Cell(i / 100, i % 100) = static_cast<std::uint32_t>(i + 1);
    }
    grid.RefreshMax();
    EXPECT_EQ(LevelScale(LevelScaleKind::Robust, grid).topCount(), 1998u);
}

TEST(LevelScaleTest, NamesReadBackAndUnknownOnesAreRefused) {
    for (const LevelScaleKind kind : kLevelScaleKinds) {
        EXPECT_EQ(parseLevelScale(levelScaleName(kind)), kind);
    }
    EXPECT_EQ(parseLevelScale("LOGARITHMIC"), LevelScaleKind::Logarithmic);
    EXPECT_FALSE(parseLevelScale("linear").has_value());
}

TEST(QuiltScoreTest, ABlankPictureIsFlatAndASpreadOneIsNot) {
    LevelHistogram blank{};
    blank[0] = 1.0;
    const QuiltScore none = scoreLevelShares(blank);
    EXPECT_EQ(none.value, 0.0);
    EXPECT_TRUE(none.flat());
    EXPECT_TRUE(scoreLevelShares(LevelHistogram{}).flat());

    const QuiltMap rich = tailedGrid(80, 9);
    const QuiltScore score =
        scoreLevelShares(LevelScale(LevelScaleKind::Logarithmic, rich).histogram(rich));
    EXPECT_GT(score.entropyBits, 4.0);
    EXPECT_GT(score.offBackground, 0.5);
    EXPECT_FALSE(score.flat());
}

TEST(QuiltScoreTest, LevelCodesReadBackThroughAPicture) {
    const Palette codes = levelCodePalette();
    PeriodBitmap picture(4, 1);
    picture.at(0, 0) = pixelOf(codes[0]);
    picture.at(1, 0) = pixelOf(codes[3999]);
    picture.at(2, 0) = pixelOf(codes[3999]);
    picture.at(3, 0) = pixelOf(codes[257]);
    const LevelHistogram shares = levelSharesOfCodes(picture);
    EXPECT_DOUBLE_EQ(shares[0], 0.25);
    EXPECT_DOUBLE_EQ(shares[3999], 0.5);
    EXPECT_DOUBLE_EQ(shares[257], 0.25);
}

TEST(ColorPresetsTest, EveryShippedPresetPassesTheColourFileReader) {
    const std::vector<ColorPreset> presets = listColorPresets({ZARN_PRESETS_TEST_DIR});
    EXPECT_GE(presets.size(), 12u);
    std::set<std::string> names;
    for (const ColorPreset& preset : presets) {
        SCOPED_TRACE(preset.name);
        ColorSetRecord record;
        const ColorFileResult read = readColorFileRecord(preset.path.string(), record);
        ASSERT_TRUE(read) << read.error;
        EXPECT_EQ(std::string(record.name.data()), preset.name);
        EXPECT_TRUE(names.insert(preset.name).second);
        // Every active colour has room: a share well above the idle one.
        for (int k = 0; k < ColorSetRecord::kColors; ++k) {
            const bool active =
                k < 2 || (k < 4 ? record.useColors34 != 0 : record.useColors56 != 0);
            if (active) {
                EXPECT_GT(record.fraction[static_cast<std::size_t>(k)], 0.05) << k;
            }
        }
    }
}

class ColorsUsed : public ::testing::TestWithParam<int> {};

INSTANTIATE_TEST_SUITE_P(ColorPresets, ColorsUsed, ::testing::Range(2, 7));

TEST_P(ColorsUsed, ARandomSetShowsExactlyThatManyColoursEachWithRoom) {
    const int used = GetParam();
    CRandom crandom(11);
    ColorC colors(11.0);
    ColorSetHistory history;
    colors.LoadFromHistory(history);
    RandomColorsUsing(colors, crandom, used);
    const ColorSetRecord record = colors.makeRecord(0, -1);
    EXPECT_EQ(checkColorFileRecord(record), "");
    std::set<std::tuple<int, int, int>> shown;
    double sum = 0.0;
    for (int k = 0; k < ColorC::kColors; ++k) {
        if (colors.isActive(k)) {
            shown.emplace(colors.red[k], colors.green[k], colors.blue[k]);
            EXPECT_GT(colors.fraction[k], 0.03) << k;
            EXPECT_NEAR(colors.percent[k], colors.fraction[k] * 100.0, 1e-9);
            sum += colors.fraction[k];
        }
    }
    EXPECT_NEAR(sum, 1.0, 1e-9);
    // Random channels could repeat a colour by chance; with this seed they do not.
    EXPECT_EQ(static_cast<int>(shown.size()), used);
}

} // namespace
} // namespace zarn
