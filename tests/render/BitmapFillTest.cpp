#include "render/BitmapFill.h"

#include "engine/QuiltMap.h"
#include "render/Palette.h"

#include <gtest/gtest.h>

#include <atomic>
#include <limits>
#include <vector>

namespace zarn {
namespace {

/** Every entry a different colour, so a pixel tells which level it was given. */
Palette levelPalette() {
    Palette p;
    for (int i = 0; i < Palette::kEntries; ++i) {
        p[i] = {static_cast<std::uint8_t>(i & 0xFF), static_cast<std::uint8_t>(i >> 8),
                static_cast<std::uint8_t>(0x40), 0};
    }
    return p;
}

int levelOfPixel(std::uint32_t pixel) {
    EXPECT_EQ(pixel >> 24, 0xFFu) << "pixels are opaque";
    return static_cast<int>(((pixel >> 16) & 0xFF) | (((pixel >> 8) & 0xFF) << 8));
}

void setCount(QuiltMap& grid, int row, int column, std::uint32_t count) {
    for (std::uint32_t i = 0; i < count; ++i) {
        grid.AddHit(row, column);
    }
}

/** A grid of side n whose cell (r, c) holds 1 + r * n + c: no two cells alike. */
QuiltMap numberedGrid(int n) {
    QuiltMap grid;
    grid.BuildSize(static_cast<std::uint32_t>(n));
    for (int r = 0; r < n; ++r) {
        for (int c = 0; c < n; ++c) {
            setCount(grid, r, c, static_cast<std::uint32_t>(1 + r * n + c));
        }
    }
    grid.RefreshMax();
    return grid;
}

struct LevelCase {
    const char* label;
    std::uint32_t maxCount;
    std::uint32_t count;
    int level;
};

class LevelTest : public ::testing::TestWithParam<LevelCase> {};

TEST_P(LevelTest, CountMapsToTruncatedLevelWithinThePalette) {
    const LevelCase& p = GetParam();
    EXPECT_EQ(levelOf(p.count, levelScale(p.maxCount)), p.level);
}

INSTANTIATE_TEST_SUITE_P(
    Counts, LevelTest,
    ::testing::Values(LevelCase{"emptyGrid", 0, 0, 0}, LevelCase{"maximumOfThree", 3, 3, 3999},
                      LevelCase{"halfOfTwo", 2, 1, 1999}, LevelCase{"zeroCount", 1000, 0, 0},
                      LevelCase{"justBelowMaximum", 4000, 3999, 3998},
                      LevelCase{"countAboveMaximum", 10, 11, 3999},
                      LevelCase{"emptyGridScaleIsOne", 0, 5, 5},
                      LevelCase{"hugeCount", 1, std::numeric_limits<std::uint32_t>::max(), 3999}),
    [](const auto& info) { return std::string(info.param.label); });

TEST(BitmapFill, EmptyGridPaintsEveryPixelWithEntryZero) {
    QuiltMap grid;
    grid.BuildSize(5);
    const Palette palette = levelPalette();
    PeriodBitmap bitmap(5, 5);
    fillGridBitmap(bitmap, palette, LevelScale(grid.maxCount), grid);
    for (std::uint32_t px : bitmap.pixels) {
        ASSERT_EQ(px, pixelOf(palette[0]));
    }
}

TEST(BitmapFill, PlainGridShowsRowYColumnXWithRowZeroOnTop) {
    const QuiltMap grid = numberedGrid(6);
    const Palette palette = levelPalette();
    PeriodBitmap bitmap(6, 6);
    fillGridBitmap(bitmap, palette, LevelScale(grid.maxCount), grid);
    const double scale = levelScale(grid.maxCount);
    for (int y = 0; y < 6; ++y) {
        for (int x = 0; x < 6; ++x) {
            ASSERT_EQ(levelOfPixel(bitmap.at(x, y)), levelOf(grid.CountAt(y, x), scale))
                << x << "," << y;
        }
    }
    EXPECT_EQ(levelOfPixel(bitmap.at(5, 5)), 3999) << "the densest cell uses the top entry";
}

TEST(BitmapFill, TwsqMirrorsLeftRightAboveAndTopBottomBelow) {
    const int n = 4;
    const QuiltMap grid = numberedGrid(n);
    const Palette palette = levelPalette();
    PeriodBitmap bitmap(n, 2 * n);
    fillTwsqBitmap(bitmap, palette, LevelScale(grid.maxCount), grid);
    const double scale = levelScale(grid.maxCount);

    const int cell03 = levelOf(grid.CountAt(0, 3), scale);
    EXPECT_EQ(levelOfPixel(bitmap.at(0, 0)), cell03);
    EXPECT_EQ(levelOfPixel(bitmap.at(0, 7)), cell03);
    for (int y = 0; y < 2 * n; ++y) {
        const int row = y < n ? y : 2 * n - 1 - y;
        for (int x = 0; x < n; ++x) {
            ASSERT_EQ(levelOfPixel(bitmap.at(x, y)), levelOf(grid.CountAt(row, n - 1 - x), scale))
                << x << "," << y;
        }
    }
}

TEST(BitmapFill, SquareLookupFoldsIndicesPastTheGridBack) {
    QuiltMap grid;
    grid.BuildSize(250);
    setCount(grid, 249, 0, 2);
    setCount(grid, 0, 249, 3);
    EXPECT_EQ(lookupSquareFolded(grid, 250, 0), 2u);
    EXPECT_EQ(lookupSquareFolded(grid, 0, 250), 3u);
    EXPECT_EQ(lookupSquareFolded(grid, 499, 499), 0u);
    EXPECT_EQ(lookupSquareFolded(grid, 249, 499), 2u);
    EXPECT_EQ(lookupSquareFolded(grid, 500, 0), 0u) << "beyond the mirrored period";
    EXPECT_EQ(lookupSquareFolded(grid, -1, 0), 0u);
}

TEST(BitmapFill, SquareLookupFillEqualsThePlainGridWithinThePeriod) {
    const QuiltMap grid = numberedGrid(7);
    const Palette palette = levelPalette();
    PeriodBitmap plain(7, 7);
    PeriodBitmap folded(7, 7);
    fillGridBitmap(plain, palette, LevelScale(grid.maxCount), grid);
    fillSquareLookupBitmap(folded, palette, LevelScale(grid.maxCount), grid);
    EXPECT_EQ(plain.pixels, folded.pixels);
}

TEST(BitmapFill, BitmapLargerThanTheGridShowsEntryZeroOutside) {
    const QuiltMap grid = numberedGrid(3);
    const Palette palette = levelPalette();
    PeriodBitmap bitmap(5, 4);
    fillGridBitmap(bitmap, palette, LevelScale(grid.maxCount), grid);
    EXPECT_EQ(levelOfPixel(bitmap.at(4, 0)), 0);
    EXPECT_EQ(levelOfPixel(bitmap.at(0, 3)), 0);
    EXPECT_EQ(levelOfPixel(bitmap.at(2, 2)), 3999);

    PeriodBitmap twsq(5, 8);
    fillTwsqBitmap(twsq, palette, LevelScale(grid.maxCount), grid);
    EXPECT_EQ(levelOfPixel(twsq.at(4, 0)), 0);
    EXPECT_EQ(levelOfPixel(twsq.at(0, 7)), 0);
}

TEST(BitmapFill, GenericFillPassesColumnThenRowAndCapsLevels) {
    const Palette palette = levelPalette();
    PeriodBitmap bitmap(3, 2);
    fillBitmap(bitmap, palette, LevelScale(10), [](int x, int y) {
        return y == 1 && x == 2 ? std::numeric_limits<std::uint32_t>::max()
                                : static_cast<std::uint32_t>(x + 3 * y);
    });
    EXPECT_EQ(levelOfPixel(bitmap.at(1, 0)), levelOf(1, levelScale(10)));
    EXPECT_EQ(levelOfPixel(bitmap.at(0, 1)), levelOf(3, levelScale(10)));
    EXPECT_EQ(levelOfPixel(bitmap.at(2, 1)), 3999);
}

TEST(BitmapFill, BandsCoverEveryRowOnceAndAFillOnSeveralThreadsEqualsTheFillOnOne) {
    // Row counts that do not divide evenly, and more bands than rows.
    for (const auto& [rows, bands] : {std::pair{10, 3}, std::pair{3, 8}}) {
        std::vector<std::atomic<int>> visits(static_cast<std::size_t>(rows));
        fillInBands(rows, bands, [&](int first, int end) {
            for (int y = first; y < end; ++y) {
                ++visits[static_cast<std::size_t>(y)];
            }
        });
        for (const std::atomic<int>& v : visits) {
            EXPECT_EQ(v.load(), 1) << rows << " rows in " << bands << " bands";
        }
    }
    EXPECT_EQ(fillThreadsFor(250, 250, 8), 1) << "a small picture stays on the calling thread";

    const auto lookup = [](int x, int y) {
        return static_cast<std::uint32_t>((x * 7 + y * 13) % 4000);
    };
    PeriodBitmap one(1031, 257);
    PeriodBitmap several(1031, 257);
    fillBitmap(one, levelPalette(), LevelScale(4000), lookup, 1);
    fillBitmap(several, levelPalette(), LevelScale(4000), lookup, 8);
    EXPECT_TRUE(one.pixels == several.pixels);
}

} // namespace
} // namespace zarn
