#include "render/PolyMapping.h"
#include "render/QuaziMapping.h"

#include <gtest/gtest.h>

#include <cmath>

namespace zarn {
namespace {

QuaziMapping quaziOf(int sets) {
    RandomSource rng;
    rng.SeedFrom(17.0);
    QuaziMapping m(sets, QuaziMapping::kBaseSpacing, rng);
    m.GenerateTiles();
    return m;
}

double distance(double x0, double y0, double x1, double y1) {
    return std::hypot(x1 - x0, y1 - y0);
}

struct TileCountCase {
    int sets;
    int tiles;
};

class QuaziTileCountTest : public ::testing::TestWithParam<TileCountCase> {};

// Every pair of sets crosses 21 x 21 times; with an even count, opposite sets are parallel and
// cross nowhere (their "crossings" would lie astronomically far out, in rhombi of no area).
TEST_P(QuaziTileCountTest, OneRhombusPerCrossingOfTwoSets) {
    EXPECT_EQ(quaziOf(GetParam().sets).TileCount(), GetParam().tiles);
}

INSTANTIATE_TEST_SUITE_P(Cases, QuaziTileCountTest,
                         ::testing::Values(TileCountCase{5, 4410}, TileCountCase{1, 0},
                                           TileCountCase{2, 0}, TileCountCase{3, 3 * 441},
                                           TileCountCase{6, 12 * 441}));

TEST(QuaziMappingTest, RhombiHaveEdgesOfHalfThePatternScale) {
    QuaziMapping m = quaziOf(5);
    m.SetPatternScale(300 - 2);
    m.PlaceTiles();
    for (const Rhombus& t : m.tiles) {
        ASSERT_NEAR(distance(t.cornerX[0], t.cornerY[0], t.cornerX[1], t.cornerY[1]), 149.0, 1e-6);
        ASSERT_NEAR(distance(t.cornerX[0], t.cornerY[0], t.cornerX[2], t.cornerY[2]), 149.0, 1e-6);
        ASSERT_NEAR(t.cornerX[3] - t.cornerX[0],
                    (t.cornerX[1] - t.cornerX[0]) + (t.cornerX[2] - t.cornerX[0]), 1e-6);
    }
}

TEST(QuaziMappingTest, ScalingAndPlacingAgainDoesNotAccumulate) {
    QuaziMapping m = quaziOf(5);
    m.SetPatternScale(298);
    m.PlaceTiles();
    const std::vector<Rhombus> first = m.tiles;
    m.SetPatternScale(298);
    m.PlaceTiles();
    m.SetPatternScale(40);
    m.SetPatternScale(298);
    m.PlaceTiles();
    for (std::size_t i = 0; i < first.size(); ++i) {
        ASSERT_EQ(m.tiles[i].cornerX, first[i].cornerX);
        ASSERT_EQ(m.tiles[i].cornerY, first[i].cornerY);
    }
}

TEST(QuaziMappingTest, DrawCornerGrowsAboutTheCentreAndIsZeroOutOfRange) {
    QuaziMapping m = quaziOf(5);
    m.SetPatternScale(298);
    m.PlaceTiles();
    const Rhombus& t = m.tiles[100];
    for (int k = 0; k < 3; ++k) {
        const CornerPoint c = m.DrawCorner(100, k);
        EXPECT_EQ(c.x, static_cast<int>(t.centreX + 1.02 * (t.cornerX[k] - t.centreX)));
        EXPECT_EQ(c.y, static_cast<int>(t.centreY + 1.02 * (t.cornerY[k] - t.centreY)));
    }
    EXPECT_EQ(m.DrawCorner(m.TileCount(), 0), CornerPoint{});
    EXPECT_EQ(m.DrawCorner(-1, 0), CornerPoint{});
    EXPECT_EQ(quaziOf(1).DrawCorner(0, 0), CornerPoint{});
}

TEST(PolyMappingTest, OctagonTilingAtScaleOneIs156PixelsSquare) {
    PolyMapping m(0, 0.04);
    m.SetScale(1.0);
    EXPECT_EQ(m.largestPolygon, kOctagon);
    EXPECT_DOUBLE_EQ(m.pixelScale, 125.0);
    EXPECT_EQ(m.ImageWidth(), 156);
    EXPECT_EQ(m.ImageHeight(), 156);
    EXPECT_DOUBLE_EQ(m.UserScale(), 1.0);
}

TEST(PolyMappingTest, QuarterOffsetsShiftATilingOf100PixelsBy75) {
    PolyMapping m(0, 0.04);
    m.SetScale(0.6402); // 125 x 0.6402 pixels a unit: a period of 100 pixels
    m.SetPeriodOffsets(0.25, 0.25);
    ASSERT_EQ(m.ImageWidth(), 100);
    const TilePoint shift = m.PeriodShift();
    EXPECT_EQ(shift.x, 75.0);
    EXPECT_EQ(shift.y, 75.0);
    const std::vector<Triangle> drawn = m.DrawTriangles();
    const Triangle& placed = m.polygons[kSquare].placedTriangles.front();
    // Kinds are drawn in index order: the squares before the octagons.
    const Triangle& firstSquare = drawn.front();
    for (std::size_t k = 0; k < 3; ++k) {
        EXPECT_EQ(firstSquare[k].x, std::round(placed[k].x) + 75.0);
        EXPECT_EQ(firstSquare[k].y, std::round(placed[k].y) + 75.0);
    }
}

TEST(PolyMappingTest, ScalingTwiceIsTheSameAsOnceAndAsksForARebuild) {
    PolyMapping m(2, 0.04);
    m.SetScale(2.5);
    const auto once = m.polygons[kHexagon].placedTriangles;
    m.rebuild = false;
    m.SetScale(7.0);
    m.SetScale(2.5);
    EXPECT_TRUE(m.rebuild);
    for (std::size_t i = 0; i < once.size(); ++i) {
        for (std::size_t k = 0; k < 3; ++k) {
            ASSERT_EQ(m.polygons[kHexagon].placedTriangles[i][k].x, once[i][k].x);
            ASSERT_EQ(m.polygons[kHexagon].placedTriangles[i][k].y, once[i][k].y);
        }
    }
}

TEST(PolyMappingTest, KindsNotOfferedBuildTheDodecagonTiling) {
    const PolyMapping offered(1, 0.04);
    for (int kind : {4, 6, -1}) {
        const PolyMapping other(kind, 0.04);
        EXPECT_EQ(other.unitWidth, offered.unitWidth);
        EXPECT_EQ(other.DrawTriangles().size(), offered.DrawTriangles().size());
        EXPECT_FALSE(isOfferedPolyTiling(kind));
    }
    EXPECT_EQ(polyTilingByName("3.4.6.4"), 2);
    EXPECT_EQ(polyTilingByName("4.4.4"), std::nullopt);
}

} // namespace
} // namespace zarn
