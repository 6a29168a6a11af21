#include "render/Palette.h"

#include "engine/Archive.h"
#include "engine/CRandom.h"
#include "engine/QuiltMap.h"
#include "render/ColorC.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

namespace zarn {
namespace {

using Histogram = std::array<double, QuiltMap::kLevels>;

struct Rgb {
    int red;
    int green;
    int blue;
    bool operator==(const Rgb&) const = default;
};

Rgb rgbOf(const PaletteEntry& e) {
    return {e.red, e.green, e.blue};
}

/** The band parabola exactly as the colour-set documentation writes it, for one channel. */
double bandColour(double x0, double x1, double x2, double a, double b, double t) {
    double q0 = std::pow(x0, 2);
    double q2 = std::pow(x2, 2);
    if (q0 == q2) {
        q2 = q2 + 0.01;
    }
    const double mean = (a + b) / 2.0;
    double o = (std::pow(x1, 2) - q2) / (q0 - q2);
    if (o == 0) {
        o = 0.001;
    }
    double u = x0 - x2;
    if (u == 0) {
        u = 0.001;
    }
    double v = x1 - x2;
    if (v == 0) {
        v = 0.001;
    }
    double A = q0 - q2;
    if (A == 0) {
        A = 0.001;
    }
    double w = o * u - v;
    if (w == 0) {
        w = 0.001;
    }
    const double D = (o * (a - b) - (mean - b)) / w;
    const double E = ((a - b) - u * D) / A;
    const double H = a - D * x0 - q0 * E;
    const double c = H + D * t + E * std::pow(t, 2);
    return static_cast<double>(static_cast<long long>(std::trunc(std::fabs(c))) & 255);
}

/** A second, naive band walk: entries the bands write, the rest as in @p start. */
Palette naiveBands(const ColorC& c, const Histogram& hist, Palette start) {
    Palette p = start;
    double P[6];
    for (int k = 0; k < 6; ++k) {
        P[k] = c.percent[k] * 0.01;
    }
    int i = 0;
    double r = 0.0;
    auto band = [&](int a, int b, double s, double x0, double x1, double x2) {
        if (s > x2) {
            return;
        }
        r = s;
        while (i < 3998) {
            r += hist[i];
            p[i].red = static_cast<std::uint8_t>(bandColour(x0, x1, x2, c.red[a], c.red[b], r));
            p[i].green =
                static_cast<std::uint8_t>(bandColour(x0, x1, x2, c.green[a], c.green[b], r));
            p[i].blue = static_cast<std::uint8_t>(bandColour(x0, x1, x2, c.blue[a], c.blue[b], r));
            i = i + 1;
            if (r > x2) {
                break;
            }
        }
    };
    band(0, 1, 0.0, 0.00001, 0.00001 + P[0], 0.00001 + P[0] + P[1]);
    if (c.useColors34) {
        double s = r;
        band(1, 2, s, s, s + P[1], s + P[1] + P[2]);
        s = r;
        band(2, 3, s, s, s + P[2], s + P[2] + P[3]);
    }
    if (c.useColors34 && c.useColors56) {
        double s = r;
        band(3, 4, s, s, s + P[3], s + P[3] + P[4]);
        s = r;
        band(4, 5, s, s, s + P[4], s + P[4] + P[5]);
    }
    return p;
}

Palette sentinelPalette() {
    Palette p;
    for (auto& e : p.entries) {
        e = {1, 2, 3, 9};
    }
    return p;
}

/** A grid with a spread of counts like a young quilt: many empty cells, a long tail. */
QuiltMap plausibleGrid(std::uint32_t n, unsigned seed) {
    QuiltMap g;
    g.BuildSize(n);
    std::mt19937 gen(seed);
    std::uniform_real_distribution<double> u(0.0, 1.0);
    for (int hit = 0; hit < 40000; ++hit) {
        const double x = u(gen);
        const double y = u(gen) * u(gen);
        g.AddHit(static_cast<int>(y * n), static_cast<int>(x * x * n));
    }
    return g;
}

struct ColourSetup {
    ColorSetHistory history;
    ColorC colors{0.25};

    ColourSetup(int use34, int use56) {
        colors.LoadFromHistory(history);
        colors.useColors34 = use34;
        colors.useColors56 = use56;
        colors.red = {250, 10, 128, 0, 77, 200};
        colors.green = {5, 240, 64, 255, 33, 100};
        colors.blue = {0, 120, 255, 90, 180, 1};
        colors.fraction = {0.3, 0.2, 0.15, 0.1, 0.15, 0.1};
        colors.RefreshPercents();
    }
};

struct BandCase {
    const char* label;
    int use34;
    int use56;
    unsigned gridSeed;
};

class PaletteBandsTest : public ::testing::TestWithParam<BandCase> {};

TEST_P(PaletteBandsTest, MatchTheLiteralBandWalkAndEndOnTheLastActiveColour) {
    const BandCase& p = GetParam();
    ColourSetup setup(p.use34, p.use56);
    QuiltMap grid = plausibleGrid(60, p.gridSeed);
    Palette palette = sentinelPalette();

    buildPalette(palette, setup.colors, grid);

    const Palette expected = naiveBands(setup.colors, grid.levelHistogram, sentinelPalette());
    for (int i = 0; i < 3998; ++i) {
        ASSERT_EQ(rgbOf(palette[i]), rgbOf(expected[i])) << "entry " << i;
        ASSERT_EQ(palette[i].tag, 9) << "bands leave the tag alone";
    }
    const int last = p.use34 ? (p.use56 ? 5 : 3) : 1;
    const Rgb lastColour{setup.colors.red[last], setup.colors.green[last], setup.colors.blue[last]};
    EXPECT_EQ(rgbOf(palette[3998]), lastColour);
    EXPECT_EQ(rgbOf(palette[3999]), lastColour);
}

INSTANTIATE_TEST_SUITE_P(Sets, PaletteBandsTest,
                         ::testing::Values(BandCase{"twoColours", 0, 0, 1},
                                           BandCase{"fourColours", 1, 0, 2},
                                           BandCase{"sixColours", 1, 1, 3},
                                           BandCase{"fiveSixFlagAlone", 0, 1, 4}),
                         [](const auto& info) { return std::string(info.param.label); });

TEST(PaletteBands, TwoColoursWriteEveryEntryUpTo3997) {
    ColourSetup setup(0, 0);
    QuiltMap grid = plausibleGrid(60, 7);
    grid.BuildLevelHistogram();
    Palette palette = sentinelPalette();
    FillPaletteBands(palette, setup.colors, grid.levelHistogram);

    // Band 1 spans the whole cumulative range, so entry i is the ramp at the running sum.
    const ColorC& c = setup.colors;
    const double x0 = 0.00001;
    const double x1 = x0 + c.percent[0] * 0.01;
    const double x2 = x1 + c.percent[1] * 0.01;
    double r = 0.0;
    for (int i = 0; i < 3998; ++i) {
        r += grid.levelHistogram[i];
        const Rgb want{static_cast<int>(bandColour(x0, x1, x2, c.red[0], c.red[1], r)),
                       static_cast<int>(bandColour(x0, x1, x2, c.green[0], c.green[1], r)),
                       static_cast<int>(bandColour(x0, x1, x2, c.blue[0], c.blue[1], r))};
        ASSERT_EQ(rgbOf(palette[i]), want) << "entry " << i;
    }
}

struct FlatGridCase {
    const char* label;
    std::uint32_t hitsPerCell;
};

class FlatGridPaletteTest : public ::testing::TestWithParam<FlatGridCase> {};

TEST_P(FlatGridPaletteTest, UsesTheRampStartEverywhereAndLaterBandsWriteNothing) {
    ColourSetup setup(1, 0);
    QuiltMap grid;
    grid.BuildSize(12);
    for (int r = 0; r < 12; ++r) {
        for (int c = 0; c < 12; ++c) {
            for (std::uint32_t h = 0; h < GetParam().hitsPerCell; ++h) {
                grid.AddHit(r, c);
            }
        }
    }
    Palette palette = sentinelPalette();
    buildPalette(palette, setup.colors, grid);

    const ColorC& c = setup.colors;
    const double x0 = 0.00001;
    const double x1 = x0 + c.percent[0] * 0.01;
    const double x2 = x1 + c.percent[1] * 0.01;
    const Rgb start{static_cast<int>(bandColour(x0, x1, x2, c.red[0], c.red[1], 0.0)),
                    static_cast<int>(bandColour(x0, x1, x2, c.green[0], c.green[1], 0.0)),
                    static_cast<int>(bandColour(x0, x1, x2, c.blue[0], c.blue[1], 0.0))};
    for (int i = 0; i < 3998; ++i) {
        ASSERT_EQ(rgbOf(palette[i]), start) << "entry " << i;
    }
    const Rgb colourFour{c.red[3], c.green[3], c.blue[3]};
    EXPECT_EQ(rgbOf(palette[3998]), colourFour);
    EXPECT_EQ(rgbOf(palette[3999]), colourFour);
}

INSTANTIATE_TEST_SUITE_P(Grids, FlatGridPaletteTest,
                         ::testing::Values(FlatGridCase{"empty", 0}, FlatGridCase{"allEqual", 3}),
                         [](const auto& info) { return std::string(info.param.label); });

TEST(PaletteBands, OverflowingParabolaGivesBlackInsteadOfUndefinedConversion) {
    ColourSetup setup(0, 0);
    setup.colors.percent[1] = 1e300;
    Histogram hist{};
    hist[0] = 0.5;
    hist[10] = 0.5;
    Palette palette = sentinelPalette();
    FillPaletteBands(palette, setup.colors, hist);
    for (int i = 0; i < 3998; ++i) {
        ASSERT_EQ(rgbOf(palette[i]), (Rgb{0, 0, 0})) << "entry " << i;
    }
}

TEST(InitialPaletteFill, DrawsRedGreenBlueFromCGeneratorAndTagsAllButTheEnds) {
    CRandom replay(2024);
    std::vector<int> draws;
    for (int i = 0; i < 3999 * 3; ++i) {
        draws.push_back(replay() % 200 + 55);
    }
    CRandom cRandom(2024);
    Palette palette = sentinelPalette();
    InitialPalette(palette, cRandom);
    std::size_t d = 0;
    for (int i = 0; i < 3999; ++i) {
        ASSERT_EQ(palette[i].red, draws[d++]) << i;
        ASSERT_EQ(palette[i].green, draws[d++]) << i;
        ASSERT_EQ(palette[i].blue, draws[d++]) << i;
        ASSERT_EQ(palette[i].tag, i == 0 ? 9 : 1) << i;
    }
    EXPECT_EQ(rgbOf(palette[3999]), (Rgb{1, 2, 3}));
}

TEST(PaletteFile, StoresTheFirst15998BytesEntryByEntry) {
    Palette palette;
    for (int i = 0; i < Palette::kEntries; ++i) {
        palette[i] = {static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(i >> 8),
                      static_cast<std::uint8_t>(i * 7), static_cast<std::uint8_t>(i & 1)};
    }
    std::vector<std::uint8_t> bytes;
    Archive out(bytes);
    palette.serialize(out);
    ASSERT_EQ(bytes.size(), 15998u);
    EXPECT_EQ(bytes[4 * 1234 + 0], palette[1234].red);
    EXPECT_EQ(bytes[4 * 1234 + 1], palette[1234].green);
    EXPECT_EQ(bytes[4 * 1234 + 2], palette[1234].blue);
    EXPECT_EQ(bytes[4 * 1234 + 3], palette[1234].tag);

    Palette loaded = sentinelPalette();
    Archive in{std::span<const std::uint8_t>(bytes)};
    loaded.serialize(in);
    for (int i = 0; i < 3999; ++i) {
        ASSERT_EQ(rgbOf(loaded[i]), rgbOf(palette[i])) << i;
        ASSERT_EQ(loaded[i].tag, palette[i].tag) << i;
    }
    // The last entry is cut short in the file; a load completes it from entry 3998, which the
    // palette build gives the same colour, so a reopened quilt's densest cells look as saved.
    EXPECT_EQ(loaded[3999].red, palette[3999].red);
    EXPECT_EQ(loaded[3999].green, palette[3999].green);
    EXPECT_EQ(loaded[3999].blue, palette[3998].blue);
}

} // namespace
} // namespace zarn
