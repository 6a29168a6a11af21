#include "engine/Archive.h"
#include "engine/CRandom.h"
#include "engine/MapExpA.h"
#include "engine/New84.h"
#include "engine/RandomSource.h"
#include "engine/SqrMap.h"
#include "engine/SqrMapt.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

namespace zarn {
namespace {

constexpr double kT = 6.283185307;
/** How far a step may move from its std::sin transcription: the step takes its sines from the
 *  vector library (at most 1 ulp from exact), which shifts a sum of up to 128 small terms by a
 *  few 1e-15 at most. */
constexpr double kSineRounding = 5e-14;

double naiveFold(double v) {
    if (v > 1.0) {
        const double k = std::trunc(v);
        return v - k;
    }
    if (v < 0.0) {
        const double k = 1.0 - std::trunc(v);
        return v + k;
    }
    return v;
}

// Plain square formula with the coefficients given as (lambda, alpha, beta, gamma, omega).
MapPoint naivePlain(const std::array<double, 5>& k, double emm, double off, double x, double y) {
    const double X1 = kT * x, X2 = X1 + X1, X3 = X2 + X1;
    const double Y1 = kT * y, Y2 = Y1 + Y1, Y3 = Y2 + Y1;
    const double nx = k[0] * std::sin(X1) + k[1] * std::sin(X1) * std::cos(Y1) +
                      k[2] * std::sin(X2) + k[3] * std::sin(X3) * std::cos(Y2) -
                      k[4] * std::sin(Y1) + off + emm * x;
    const double ny = k[0] * std::sin(Y1) + k[1] * std::sin(Y1) * std::cos(X1) +
                      k[2] * std::sin(Y2) + k[3] * std::sin(Y3) * std::cos(X2) -
                      k[4] * std::sin(X1) + off + emm * y;
    return {naiveFold(nx), naiveFold(ny)};
}

// Detailed square formula; coef(i, j) for sine order i + 1 in x and cosine order j + 1 in y.
template <typename Coef>
MapPoint naiveDetailed(const Coef& coef, int depth, double emm, double off, double x, double y) {
    double ax[6], ay[6];
    ax[0] = kT * x;
    ay[0] = kT * y;
    for (int k = 1; k < 6; ++k) {
        ax[k] = ax[k - 1] + ax[0];
        ay[k] = ay[k - 1] + ay[0];
    }
    double nx = emm * x + off;
    double ny = emm * y + off;
    for (int i = 0; i < depth; ++i) {
        for (int j = 0; j < depth; ++j) {
            nx += std::sin(ax[i]) * coef(i, j) * std::cos(ay[j]);
            ny += std::sin(ay[i]) * coef(i, j) * std::cos(ax[j]);
        }
    }
    return {naiveFold(nx), naiveFold(ny)};
}

void seedBoth(RandomSource& a, RandomSource& b, double seed) {
    a.SeedFrom(seed);
    b.SeedFrom(seed);
}

std::vector<double> draws(RandomSource& rnd, int n) {
    std::vector<double> u(static_cast<std::size_t>(n));
    for (double& v : u) {
        v = rnd.Uniform();
    }
    return u;
}

std::vector<int> cdraws(unsigned seed, int n) {
    CRandom cRandom(seed);
    std::vector<int> r(static_cast<std::size_t>(n));
    for (int& v : r) {
        v = cRandom();
    }
    return r;
}

// --- Oct_Four -----------------------------------------------------------------------------------

New84 randomOctFour(double seed, std::uint8_t detail) {
    RandomSource rnd;
    rnd.SeedFrom(seed);
    CRandom cRandom(static_cast<unsigned>(seed * 977.0));
    New84 m;
    m.Randomize(rnd, cRandom);
    m.detail = detail;
    return m;
}

class New84FormTest : public ::testing::TestWithParam<std::uint8_t> {};

TEST_P(New84FormTest, BehavesAsSquareMapWithFirstSetOnUnitSquare) {
    New84 oct = randomOctFour(0.61, GetParam());
    SqrMap square = oct; // the first set only
    RandomSource points;
    points.SeedFrom(0.19);
    for (int n = 0; n < 500; ++n) {
        const double x = points.Uniform(), y = points.Uniform();
        square.x = x;
        square.y = y;
        GetParam() ? square.StepDetailed() : square.Step();
        const MapPoint got = oct.StepFrom(x, y);
        ASSERT_EQ(got.x, square.x);
        ASSERT_EQ(got.y, square.y);
        ASSERT_EQ(oct.lastX, got.x);
        ASSERT_EQ(oct.lastY, got.y);
    }
    for (const double corner : {0.0, 1.0}) {
        const MapPoint got = oct.StepFrom(corner, 1.0 - corner);
        square.x = corner;
        square.y = 1.0 - corner;
        GetParam() ? square.StepDetailed() : square.Step();
        EXPECT_EQ(got.x, square.x);
        EXPECT_EQ(got.y, square.y);
    }
}

TEST_P(New84FormTest, UsesSecondSetBeyondRegion) {
    New84 oct = randomOctFour(0.27, GetParam());
    const std::array<double, 5> second = {oct.lambda2, oct.alpha2, oct.beta2, oct.gamma2,
                                          oct.omega2};
    const auto coef2 = [&](int i, int j) { return oct.coef2.at(i, j); };
    // |v| > 0.5 for each of these; negative coordinates take s(w) = -1.
    const MapPoint far[] = {{3.0, 3.0}, {-2.0, 0.5}, {-1.7, -1.9}, {2.6, -0.3}, {0.5, 2.0}};
    for (const MapPoint p : far) {
        const MapPoint want = GetParam()
                                  ? naiveDetailed(coef2, oct.depth, oct.emm, oct.offX, p.x, p.y)
                                  : naivePlain(second, oct.emm, oct.offX, p.x, p.y);
        const MapPoint got = oct.StepFrom(p.x, p.y);
        EXPECT_EQ(got.x, want.x) << p.x << "," << p.y;
        EXPECT_EQ(got.y, want.y) << p.x << "," << p.y;
    }
}

INSTANTIATE_TEST_SUITE_P(PlainAndDetailed, New84FormTest, ::testing::Values(0, 1));

TEST(New84, SecondTableEntriesOutsideItsCountsReadAsZero) {
    New84 oct = randomOctFour(0.44, 1);
    oct.coef2.rows = 3;
    oct.coef2.cols = 1000; // larger than storage: must not be read past
    const auto clipped = [&](int i, int j) { return i < 3 ? oct.coef2.values[i + 6 * j] : 0.0; };
    const MapPoint want = naiveDetailed(clipped, 6, oct.emm, oct.offX, 3.0, -3.0);
    const MapPoint got = oct.StepFrom(3.0, -3.0);
    EXPECT_EQ(got.x, want.x);
    EXPECT_EQ(got.y, want.y);
}

TEST(New84, RandomizeTakesEightyFourUniformsInOrder) {
    RandomSource used, twin;
    seedBoth(used, twin, 0.555);
    CRandom cRandom(99);
    New84 oct;
    oct.regionScale = 0.0;
    oct.Randomize(used, cRandom);
    const int nextRand = cRandom();
    EXPECT_EQ(nextRand, cdraws(99, 4)[3]) << "three C library draws";

    const std::vector<double> u = draws(twin, 84);
    EXPECT_EQ(used.Uniform(), twin.Uniform());
    EXPECT_EQ(oct.coef[5][5], 0.8 * u[42] - 0.4);
    EXPECT_EQ(oct.lambda2, 0.4 * u[43] - 0.2);
    EXPECT_EQ(oct.alpha2, 0.8 * u[44] - 0.4);
    EXPECT_EQ(oct.beta2, 0.8 * u[45] - 0.6);
    EXPECT_EQ(oct.gamma2, 0.161 * u[46] - 0.05);
    EXPECT_EQ(oct.omega2, 0.02 * u[47] - 0.01);
    for (int i = 0; i < 6; ++i) {
        for (int j = 0; j < 6; ++j) {
            EXPECT_EQ(oct.coef2.values[i + 6 * j], 0.8 * u[48 + 6 * i + j] - 0.4);
        }
    }
    EXPECT_EQ(oct.regionScale, 1.0 / (std::sqrt(2.0) + std::sqrt(2.0)));
}

TEST(New84, RandomizeDrawsAndDropsEntriesOutsideSecondTable) {
    RandomSource used, twin;
    seedBoth(used, twin, 0.123);
    New84 oct;
    oct.coef2.rows = 2;
    oct.coef2.values.fill(7.0);
    CRandom cRandom;
    oct.Randomize(used, cRandom);
    draws(twin, 84);
    EXPECT_EQ(used.Uniform(), twin.Uniform()) << "dropped entries still take their draw";
    EXPECT_NE(oct.coef2.values[1 + 6 * 4], 7.0);
    EXPECT_EQ(oct.coef2.values[2 + 6 * 4], 7.0);
}

// --- Squaret ------------------------------------------------------------------------------------

struct BlendCase {
    std::time_t t;
    double blend;
};

class SqrMaptBlendTest : public ::testing::TestWithParam<BlendCase> {};

TEST_P(SqrMaptBlendTest, BlendAdvancesEvery128SecondsAndWraps) {
    EXPECT_EQ(SqrMapt::BlendAt(GetParam().t), GetParam().blend);
    SqrMapt m;
    m.FixClock(GetParam().t);
    m.StepFrom(0.2, 0.3);
    EXPECT_EQ(m.blend, GetParam().blend);
}

INSTANTIATE_TEST_SUITE_P(Times, SqrMaptBlendTest,
                         ::testing::Values(BlendCase{0, 0.0}, BlendCase{127, 0.0},
                                           BlendCase{128, 1.0 / 128}, BlendCase{16383, 127.0 / 128},
                                           BlendCase{16384, 0.0},
                                           BlendCase{16384 + 300, 2.0 / 128}));

SqrMapt randomSquaret(double seed, std::uint8_t detail) {
    RandomSource rnd;
    rnd.SeedFrom(seed);
    CRandom cRandom(static_cast<unsigned>(seed * 1009.0));
    SqrMapt m;
    m.Randomize(rnd, cRandom);
    m.detail = detail;
    return m;
}

class SqrMaptFormTest : public ::testing::TestWithParam<std::uint8_t> {};

TEST_P(SqrMaptFormTest, StepMatchesBlendedFormulaTranscription) {
    SqrMapt m = randomSquaret(0.71, GetParam());
    m.emmA = -1.0;
    m.emmB = -2.0; // B below A: the blend still moves up, by |B - A|
    RandomSource points;
    points.SeedFrom(0.38);
    for (const std::time_t t : {std::time_t{0}, std::time_t{5000}, std::time_t{16383}}) {
        m.FixClock(t);
        const double blend = static_cast<double>((t >> 7) & 127) / 128.0;
        std::array<double, 5> set{};
        for (std::size_t k = 0; k < 5; ++k) {
            set[k] = m.setA[k] + std::fabs(m.setB[k] - m.setA[k]) * blend;
        }
        const double emm = m.emmA + std::fabs(m.emmB - m.emmA) * blend;
        const auto blended = [&](int i, int j) {
            const double a = m.matrixA.values[i + 6 * j];
            return a + std::fabs(a - m.matrixB.values[i + 6 * j]) * blend;
        };
        for (int n = 0; n < 200; ++n) {
            const double x = 1.4 * points.Uniform() - 0.2, y = 1.4 * points.Uniform() - 0.2;
            const MapPoint want = GetParam() ? naiveDetailed(blended, m.depth, emm, m.offX, x, y)
                                             : naivePlain(set, emm, m.offX, x, y);
            const MapPoint got = m.StepFrom(x, y);
            ASSERT_NEAR(got.x, want.x, kSineRounding) << "t=" << t;
            ASSERT_NEAR(got.y, want.y, kSineRounding) << "t=" << t;
            ASSERT_EQ(m.lastX, got.x);
        }
    }
}

TEST_P(SqrMaptFormTest, EqualSetsDoNotDrift) {
    SqrMapt m = randomSquaret(0.29, GetParam());
    m.setB = m.setA;
    m.emmB = m.emmA;
    m.matrixB = m.matrixA;
    m.FixClock(0);
    const MapPoint early = m.StepFrom(0.31, 0.62);
    m.FixClock(9000);
    const MapPoint late = m.StepFrom(0.31, 0.62);
    EXPECT_EQ(early.x, late.x);
    EXPECT_EQ(early.y, late.y);
}

INSTANTIATE_TEST_SUITE_P(PlainAndDetailed, SqrMaptFormTest, ::testing::Values(0, 1));

TEST(SqrMapt, RandomizeTakesEightyFourUniformsAndFiveRandsInOrder) {
    RandomSource used, twin;
    seedBoth(used, twin, 0.901);
    CRandom cRandom(31);
    SqrMapt m;
    m.Randomize(used, cRandom);
    const int nextRand = cRandom();
    const std::vector<int> r = cdraws(31, 6);
    EXPECT_EQ(nextRand, r[5]);

    const std::vector<double> u = draws(twin, 84);
    EXPECT_EQ(used.Uniform(), twin.Uniform());
    const std::array<double, 5> scale = {0.4, 0.8, 0.8, 0.161, 0.02};
    const std::array<double, 5> shift = {0.2, 0.4, 0.6, 0.05, 0.01};
    for (std::size_t k = 0; k < 5; ++k) {
        EXPECT_EQ(m.setA[k], scale[k] * u[k] - shift[k]);
        EXPECT_EQ(m.setB[k], scale[k] * u[5 + k] - shift[k]);
    }
    EXPECT_EQ(m.emmA, double(r[0] % 3 - r[1] % 3));
    EXPECT_EQ(m.emmB, double(r[2] % 3 - r[3] % 3));
    EXPECT_EQ(m.x, u[10]);
    EXPECT_EQ(m.y, u[11]);
    EXPECT_EQ(m.offX, r[4] % 2 == 0 ? 0.5 : 0.0);
    EXPECT_EQ(m.offY, m.offX);
    for (int i = 0; i < 6; ++i) {
        for (int j = 0; j < 6; ++j) {
            const std::size_t k = 12 + 2 * static_cast<std::size_t>(6 * i + j);
            EXPECT_EQ(m.matrixA.at(i, j), 0.8 * u[k] - 0.4);
            EXPECT_EQ(m.matrixB.at(i, j), 0.8 * u[k + 1] - 0.4);
        }
    }
}

struct SimulatedTick {
    std::time_t start;
    int tickStep; // the first step that reads start + 1
    double blendBefore;
    double blendAfter;
};

class SqrMaptSimulatedClock : public ::testing::TestWithParam<SimulatedTick> {};

TEST_P(SqrMaptSimulatedClock, StepKReadsStartPlusKOverStepsPerSecond) {
    constexpr int kPerSecond = SqrMapt::kStepsPerSimulatedSecond;
    const SimulatedTick c = GetParam();
    SqrMapt m = randomSquaret(0.83, 0);
    m.SimulateClock(c.start);
    SqrMapt pinned = m;
    MapPoint p{m.x, m.y};
    for (int k = 0; k < c.tickStep + kPerSecond + 1; ++k) {
        const std::time_t t = c.start + k / kPerSecond;
        const MapPoint next = m.StepFrom(p.x, p.y);
        ASSERT_EQ(m.blend, SqrMapt::BlendAt(t)) << "step " << k;
        if (k % kPerSecond == 0 || k % kPerSecond == kPerSecond - 1) {
            // Near every tick the step is the one a clock pinned at that time gives.
            pinned.FixClock(t);
            const MapPoint want = pinned.StepFrom(p.x, p.y);
            ASSERT_EQ(next.x, want.x) << "step " << k;
            ASSERT_EQ(next.y, want.y) << "step " << k;
        }
        if (k == c.tickStep - 1) {
            EXPECT_EQ(m.blend, c.blendBefore);
        } else if (k == c.tickStep) {
            EXPECT_EQ(m.blend, c.blendAfter);
        }
        p = next;
    }
}

// A clock started at 127 leaves blend 0 after 100,000 steps; every 128 simulated seconds
// (128 x 100,000 steps) add 1/128 to the blend, and it wraps after 16384 of them.
INSTANTIATE_TEST_SUITE_P(Ticks, SqrMaptSimulatedClock,
                         ::testing::Values(SimulatedTick{127, 100000, 0.0, 1.0 / 128},
                                           SimulatedTick{640 - 2, 200000, 4.0 / 128, 5.0 / 128},
                                           SimulatedTick{16383, 100000, 127.0 / 128, 0.0}));

TEST(SqrMapt, SimulatedClockRunsOnAcrossRandomizeAndCopiesAndRestartsWhenSetAgain) {
    constexpr int kPerSecond = SqrMapt::kStepsPerSimulatedSecond;
    SqrMapt m = randomSquaret(0.47, 0);
    m.SimulateClock(127);
    for (int k = 0; k < kPerSecond - 1; ++k) {
        m.StepFrom(0.3, 0.4);
    }
    RandomSource rnd;
    rnd.SeedFrom(0.5);
    CRandom cRandom(5);
    m.Randomize(rnd, cRandom);
    m.detail = 1;
    SqrMapt copy = m;
    for (SqrMapt* map : {&m, &copy}) {
        EXPECT_EQ(map->ClockNow(), 127);
        map->StepFrom(0.3, 0.4);
        EXPECT_EQ(map->blend, 0.0);
        map->StepFrom(0.3, 0.4);
        EXPECT_EQ(map->blend, 1.0 / 128) << "the 100,000th step reads 128";
    }

    // Half-way through a second, a new start counts a whole second from there.
    for (int k = 0; k < kPerSecond / 2; ++k) {
        m.StepFrom(0.3, 0.4);
    }
    m.SimulateClock(383);
    for (int k = 0; k < kPerSecond; ++k) {
        m.StepFrom(0.3, 0.4);
    }
    EXPECT_EQ(m.blend, 2.0 / 128);
    m.StepFrom(0.3, 0.4);
    EXPECT_EQ(m.blend, 3.0 / 128);

    m.FixClock(9000);
    m.StepFrom(0.3, 0.4);
    m.StepFrom(0.3, 0.4);
    EXPECT_EQ(m.ClockNow(), 9000) << "a pinned clock does not advance";
}

// --- ExpA ---------------------------------------------------------------------------------------

struct RotCase {
    MapPoint in;
    MapPoint out;
};

class MapExpARotTest : public ::testing::TestWithParam<RotCase> {};

TEST_P(MapExpARotTest, TurnsShortVectorsByEighthAndLongByQuarter) {
    MapExpA m;
    const MapPoint got = m.Rot(GetParam().in.x, GetParam().in.y);
    EXPECT_NEAR(got.x, GetParam().out.x, 1e-15);
    EXPECT_NEAR(got.y, GetParam().out.y, 1e-15);
    EXPECT_EQ(m.rotA, got.x);
    EXPECT_EQ(m.rotB, got.y);
}

const double kHalfRoot = std::sqrt(0.5);
INSTANTIATE_TEST_SUITE_P(Vectors, MapExpARotTest,
                         ::testing::Values(RotCase{{1, 0}, {kHalfRoot, kHalfRoot}},
                                           RotCase{{0, 1}, {-kHalfRoot, kHalfRoot}},
                                           RotCase{{2, 3}, {-3, 2}}, RotCase{{31, 29}, {-29, 31}},
                                           RotCase{{-3, -2}, {2, -3}}));

TEST(MapExpA, ConstructionBuildsWaveTablesByRotFromFirstColumn) {
    const MapExpA m;
    const double firsts[8][2] = {{1, 0}, {0, 1},   {1, 1},   {2, 3},
                                 {7, 5}, {13, 11}, {17, 23}, {31, 29}};
    const double rt = 1.0 / (2.0 * std::sqrt(2.0));
    const double is2 = 1.0 / std::sqrt(2.0);
    const auto s = [](double w) { return w < 0.0 ? -1.0 : 1.0; };
    const auto rot = [&](double a, double b) {
        const double v = s(b) * rt * (b - 0.5) + s(a) * rt * (a - 0.5);
        return std::fabs(v) > 0.5 ? MapPoint{-b, a} : MapPoint{(a - b) * is2, (a + b) * is2};
    };
    for (std::size_t r = 0; r < 8; ++r) {
        MapPoint w1{firsts[r][0], firsts[r][1]};
        MapPoint w2{firsts[r][0], -firsts[r][1]};
        for (std::size_t c = 0; c < 8; ++c) {
            ASSERT_EQ(m.waveX1[r][c], w1.x) << r << "," << c;
            ASSERT_EQ(m.waveY1[r][c], w1.y) << r << "," << c;
            ASSERT_EQ(m.waveX2[r][c], w2.x) << r << "," << c;
            ASSERT_EQ(m.waveY2[r][c], w2.y) << r << "," << c;
            w1 = rot(w1.x, w1.y);
            w2 = rot(w2.x, w2.y);
        }
    }
    EXPECT_EQ(m.twoPi, 6.283185307);
    EXPECT_EQ(m.quarterPi, 0.785398163375);
    EXPECT_EQ(m.halfPi, 1.57079632675);
    for (const auto* table : {&m.ampX1, &m.ampY1, &m.ampX2, &m.ampY2}) {
        for (const auto& row : *table) {
            for (const double a : row) {
                ASSERT_EQ(a, 0.0);
            }
        }
    }
}

TEST(MapExpA, UnitVectorCyclesBackAfterSevenTurns) {
    // From (1, 0) the test value passes 0.5 within rounding at (-sqrt 1/2, sqrt 1/2), where the
    // left-to-right evaluation keeps it just below 0.5 (an eighth turn), and exceeds it at
    // (-sqrt 1/2, -sqrt 1/2), where the quarter turn skips one eighth. The first wave row is
    // built from this cycle, so a change of evaluation order would show up here.
    MapExpA m;
    std::vector<MapPoint> path{{1.0, 0.0}};
    for (int i = 0; i < 8; ++i) {
        path.push_back(m.Rot(path.back().x, path.back().y));
    }
    const double h = std::sqrt(0.5);
    const MapPoint expected[] = {{1, 0},   {h, h},  {0, 1}, {-h, h}, {-1, 0},
                                 {-h, -h}, {h, -h}, {1, 0}, {h, h}};
    for (std::size_t i = 0; i < path.size(); ++i) {
        EXPECT_NEAR(path[i].x, expected[i].x, 1e-15) << i;
        EXPECT_NEAR(path[i].y, expected[i].y, 1e-15) << i;
    }
    EXPECT_NEAR(m.waveX1[0][7], 1.0, 1e-15);
    EXPECT_NEAR(m.waveY1[0][7], 0.0, 1e-15);
}

TEST(MapExpA, RandomizeTakesSixteenUniformsAndLeavesRowSeven) {
    RandomSource used, twin;
    seedBoth(used, twin, 0.642);
    MapExpA m;
    m.ampX1[7][0] = 0.125;
    m.Randomize(used);
    const std::vector<double> u = draws(twin, 16);
    EXPECT_EQ(used.Uniform(), twin.Uniform());
    EXPECT_EQ(m.cx, u[0]);
    EXPECT_EQ(m.cy, u[1]);
    MapExpA fresh;
    for (std::size_t r = 0; r < 7; ++r) {
        EXPECT_EQ(m.ampX1[r][0], 0.4 * u[2 + 2 * r] - 0.2);
        EXPECT_EQ(m.ampY1[r][0], 0.4 * u[3 + 2 * r] - 0.2);
        EXPECT_EQ(m.ampX2[r][0], m.ampX1[r][0]);
        EXPECT_EQ(m.ampY2[r][0], -m.ampY1[r][0]);
        for (std::size_t c = 0; c + 1 < 8; ++c) {
            const MapPoint t1 = fresh.Rot(m.ampX1[r][c], m.ampY1[r][c]);
            EXPECT_EQ(m.ampX1[r][c + 1], t1.x);
            EXPECT_EQ(m.ampY1[r][c + 1], t1.y);
            const MapPoint t2 = fresh.Rot(m.ampX2[r][c], m.ampY2[r][c]);
            EXPECT_EQ(m.ampX2[r][c + 1], t2.x);
            EXPECT_EQ(m.ampY2[r][c + 1], t2.y);
        }
    }
    EXPECT_EQ(m.ampX1[7][0], 0.125);
    EXPECT_EQ(m.ampX1[7][1], 0.0);
}

MapExpA randomExpA(double seed) {
    RandomSource rnd;
    rnd.SeedFrom(seed);
    MapExpA m;
    m.Randomize(rnd);
    m.ampX1[7].fill(0.03); // row 7 is never drawn; give it weight so the test covers it
    m.ampY2[7].fill(-0.02);
    return m;
}

TEST(MapExpA, StepMatchesWaveSumTranscription) {
    MapExpA m = randomExpA(0.333);
    RandomSource points;
    points.SeedFrom(0.777);
    for (int n = 0; n < 300; ++n) {
        const double x = points.Uniform(), y = points.Uniform();
        const double cx = x - 0.5, cy = y - 0.5;
        double sx = 0.0, sy = 0.0;
        for (int r = 0; r < 8; ++r) {
            for (int c = 0; c < 8; ++c) {
                const double s1 = std::sin(kT * (m.waveY1[r][c] * cy + m.waveX1[r][c] * cx));
                sx += s1 * m.ampX1[r][c];
                sy += s1 * m.ampY1[r][c];
                const double s2 = std::sin(kT * (m.waveY2[r][c] * cy + m.waveX2[r][c] * cx));
                sx += s2 * m.ampX2[r][c];
                sy += s2 * m.ampY2[r][c];
            }
        }
        sx += 0.5;
        sy += 0.5;
        const MapPoint got = m.StepFrom(x, y);
        ASSERT_NEAR(got.x, naiveFold(sx), kSineRounding);
        ASSERT_NEAR(got.y, naiveFold(sy), kSineRounding);
        ASSERT_EQ(m.outX, got.x);
        ASSERT_EQ(m.outY, got.y);
    }
}

TEST(MapExpA, LongWaveRowsCancelInPairs) {
    // Rows 3..7 turn their wave vectors by quarter turns but their small amplitudes by eighth
    // turns, so columns c and c + 4 share a wave and carry opposite amplitudes: only the three
    // short rows shape the picture.
    RandomSource rnd;
    rnd.SeedFrom(0.3);
    MapExpA m;
    m.Randomize(rnd);
    for (std::size_t r = 0; r < 3; ++r) {
        m.ampX1[r].fill(0.0);
        m.ampY1[r].fill(0.0);
        m.ampX2[r].fill(0.0);
        m.ampY2[r].fill(0.0);
    }
    RandomSource points;
    points.SeedFrom(0.5);
    for (int n = 0; n < 200; ++n) {
        const MapPoint p = m.StepFrom(points.Uniform(), points.Uniform());
        ASSERT_NEAR(p.x, 0.5, 1e-14);
        ASSERT_NEAR(p.y, 0.5, 1e-14);
    }
}

TEST(MapExpA, ZeroAmplitudesMapEveryPointToCentre) {
    MapExpA m;
    for (const double v : {0.0, 0.3, 1.0, 7.5}) {
        const MapPoint p = m.StepFrom(v, 1.0 - v);
        EXPECT_EQ(p.x, 0.5);
        EXPECT_EQ(p.y, 0.5);
    }
}

std::vector<std::uint8_t> storeExpA(MapExpA m) {
    std::vector<std::uint8_t> bytes;
    Archive ar(bytes);
    m.SerializeExpA(ar);
    return bytes;
}

void loadExpA(MapExpA& m, const std::vector<std::uint8_t>& bytes) {
    Archive ar{std::span<const std::uint8_t>(bytes)};
    m.SerializeExpA(ar);
}

double doubleAt(const std::vector<std::uint8_t>& b, std::size_t offset) {
    double v;
    std::memcpy(&v, b.data() + offset, sizeof v);
    return v;
}

TEST(MapExpARecord, BlockIs4232BytesAtFixedOffsetsAndRoundTripsIgnoringUndefinedBytes) {
    MapExpA m = randomExpA(0.21);
    m.StepFrom(0.3, 0.6);
    m.foldScratch = {-5, 9};
    const std::vector<std::uint8_t> b = storeExpA(m);
    ASSERT_EQ(b.size(), MapExpA::kRecordSize);
    ASSERT_EQ(b.size(), 4232u);

    EXPECT_EQ(doubleAt(b, 8), m.cx);
    EXPECT_EQ(doubleAt(b, 16), m.cy);
    EXPECT_EQ(doubleAt(b, 24), m.outX);
    EXPECT_EQ(doubleAt(b, 56), m.sumX);
    std::int32_t scratch;
    std::memcpy(&scratch, b.data() + 76, 4);
    EXPECT_EQ(scratch, 9);
    EXPECT_EQ(doubleAt(b, 88), 0.785398163375);
    EXPECT_EQ(doubleAt(b, 120), 6.283185307);
    EXPECT_EQ(doubleAt(b, 136 + 8 * (3 * 8 + 1)), m.waveX1[3][1]);
    EXPECT_EQ(doubleAt(b, 136 + 512 + 8 * 9), m.waveY1[1][1]);
    EXPECT_EQ(doubleAt(b, 136 + 7 * 512 + 8 * 63), m.ampY2[7][7]);

    std::vector<std::uint8_t> spoiled = b; // the type slot and undefined bytes are not read
    for (const std::size_t i : {0u, 3u, 4u, 7u, 80u, 87u}) {
        spoiled[i] = 0xCD;
    }
    MapExpA loaded;
    loadExpA(loaded, spoiled);
    EXPECT_EQ(storeExpA(loaded), b);
    EXPECT_EQ(loaded.ampX1, m.ampX1);
    EXPECT_EQ(loaded.waveY2, m.waveY2);
    EXPECT_EQ(loaded.foldScratch, m.foldScratch);
    EXPECT_EQ(loaded.cosQuarterPi, m.cosQuarterPi);
}

TEST(MapExpARecord, RefusedBlockLeavesMapUnchanged) {
    const MapExpA m = randomExpA(0.8);
    const std::vector<std::uint8_t> good = storeExpA(randomExpA(0.1));
    for (const std::size_t offset :
         {std::size_t{104}, std::size_t{120}, std::size_t{136 + 5 * 512 + 16}}) {
        std::vector<std::uint8_t> b = good;
        const double nan = std::nan("");
        std::memcpy(b.data() + offset, &nan, sizeof nan);
        MapExpA target = m;
        EXPECT_THROW(loadExpA(target, b), FormatError) << offset;
        EXPECT_EQ(storeExpA(target), storeExpA(m));
    }
    std::vector<std::uint8_t> shortBlock = good;
    shortBlock.resize(4231);
    MapExpA target = m;
    EXPECT_THROW(loadExpA(target, shortBlock), FormatError);
    EXPECT_EQ(storeExpA(target), storeExpA(m));
}

} // namespace
} // namespace zarn
