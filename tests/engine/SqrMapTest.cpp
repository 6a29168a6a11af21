#include "engine/SqrMap.h"
#include "engine/Archive.h"
#include "engine/CRandom.h"
#include "engine/QuiltMap.h"
#include "engine/RandomSource.h"
#include "engine/Torus.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <functional>
#include <limits>
#include <vector>

namespace zarn {
namespace {

constexpr double kT = 6.283185307;
/** The step's sines come from the vector library (at most 1 ulp from the exact value) and the
 *  transcription's from std::sin: over the few dozen terms of a square step, with coefficients
 *  below 0.6, that moves a result by a few 1e-15 at most. A term in the wrong order, a wrong
 *  constant or a wrong index moves it by far more. */
constexpr double kSineRounding = 5e-14;

// --- Literal transcriptions of the square map, kept deliberately naive ------------------------

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

MapPoint naivePlain(const SqrMap& m, double x, double y) {
    const double X1 = kT * x, X2 = X1 + X1, X3 = X2 + X1;
    const double Y1 = kT * y, Y2 = Y1 + Y1, Y3 = Y2 + Y1;
    const double nx = m.lambda * std::sin(X1) + m.alpha * std::sin(X1) * std::cos(Y1) +
                      m.beta * std::sin(X2) + m.gamma * std::sin(X3) * std::cos(Y2) -
                      m.omega * std::sin(Y1) + m.offX + m.emm * x;
    const double ny = m.lambda * std::sin(Y1) + m.alpha * std::sin(Y1) * std::cos(X1) +
                      m.beta * std::sin(Y2) + m.gamma * std::sin(Y3) * std::cos(X2) -
                      m.omega * std::sin(X1) + m.offY + m.emm * y;
    return {naiveFold(nx), naiveFold(ny)};
}

MapPoint naiveDetailed(const SqrMap& m, double x, double y) {
    double ax[6], ay[6];
    ax[0] = kT * x;
    ay[0] = kT * y;
    for (int k = 1; k < 6; ++k) {
        ax[k] = ax[k - 1] + ax[0];
        ay[k] = ay[k - 1] + ay[0];
    }
    double nx = m.emm * x + m.offX;
    double ny = m.emm * y + m.offY;
    for (int i = 0; i < m.depth; ++i) {
        for (int j = 0; j < m.depth; ++j) {
            nx += std::sin(ax[i]) * m.coef[i][j] * std::cos(ay[j]);
            ny += std::sin(ay[i]) * m.coef[i][j] * std::cos(ax[j]);
        }
    }
    return {naiveFold(nx), naiveFold(ny)};
}

SqrMap randomMap(double seed) {
    RandomSource rnd;
    rnd.SeedFrom(seed);
    CRandom cRandom(static_cast<unsigned>(seed * 1000.0));
    SqrMap m;
    m.Randomize(rnd, cRandom);
    return m;
}

MapPoint stepped(SqrMap m, double x, double y, bool detailed) {
    m.x = x;
    m.y = y;
    detailed ? m.StepDetailed() : m.Step();
    return {m.x, m.y};
}

// --- Steps against the transcription ----------------------------------------------------------

struct StepCase {
    double seed;
    bool detailed;
    int depth;
};

class SqrMapStepTest : public ::testing::TestWithParam<StepCase> {};

TEST_P(SqrMapStepTest, StepMatchesFormulaTranscriptionUpToSineRounding) {
    const StepCase p = GetParam();
    SqrMap m = randomMap(p.seed);
    m.depth = static_cast<std::uint16_t>(p.depth);
    for (const double offset : {0.0, 0.5}) {
        m.offX = m.offY = offset;
        RandomSource points;
        points.SeedFrom(p.seed + 0.25);
        for (int n = 0; n < 400; ++n) {
            // Points a little outside the unit square exercise both fold branches.
            const double x = 2.0 * points.Uniform() - 0.5;
            const double y = 2.0 * points.Uniform() - 0.5;
            const MapPoint want = p.detailed ? naiveDetailed(m, x, y) : naivePlain(m, x, y);
            const MapPoint got = stepped(m, x, y, p.detailed);
            ASSERT_NEAR(got.x, want.x, kSineRounding) << "from (" << x << ", " << y << ")";
            ASSERT_NEAR(got.y, want.y, kSineRounding) << "from (" << x << ", " << y << ")";
        }
    }
}

INSTANTIATE_TEST_SUITE_P(FormsAndDepths, SqrMapStepTest,
                         ::testing::Values(StepCase{0.125, false, 6}, StepCase{0.7, false, 6},
                                           StepCase{0.125, true, 3}, StepCase{0.31, true, 4},
                                           StepCase{0.52, true, 5}, StepCase{0.7, true, 6}));

TEST(SqrMapStep, ZeroCoefficientsWithUnitEmmFixEveryPoint) {
    SqrMap m; // construction zeroes every coefficient
    m.emm = 1.0;
    for (const bool detailed : {false, true}) {
        for (const double v : {0.0, 0.1, 0.37, 0.5, 0.99}) {
            const MapPoint p = stepped(m, v, 1.0 - v, detailed);
            EXPECT_EQ(p.x, v);
            EXPECT_EQ(p.y, 1.0 - v);
        }
    }
}

TEST(SqrMapStep, DepthBeyondTableActsAsSixAndSettersClamp) {
    SqrMap m = randomMap(0.9);
    m.depth = 6;
    const MapPoint six = stepped(m, 0.3, 0.8, true);
    m.depth = 40; // set directly, bypassing SetDepth
    const MapPoint forty = stepped(m, 0.3, 0.8, true);
    EXPECT_EQ(forty.x, six.x);
    EXPECT_EQ(forty.y, six.y);

    m.SetDepth(9);
    EXPECT_EQ(m.depth, 6);
    m.SetDepth(0);
    EXPECT_EQ(m.depth, 3);
    m.SetDepth(4);
    EXPECT_EQ(m.depth, 4);
}

// --- Fold ---------------------------------------------------------------------------------------

struct FoldCase {
    double in;
    double out;
};

class SqrMapFoldTest : public ::testing::TestWithParam<FoldCase> {};

TEST_P(SqrMapFoldTest, FoldsEachCoordinateOntoUnitTorus) {
    SqrMap m;
    m.x = GetParam().in;
    m.y = GetParam().in;
    m.Fold();
    EXPECT_EQ(m.x, GetParam().out);
    EXPECT_EQ(m.y, GetParam().out);
}

INSTANTIATE_TEST_SUITE_P(Edges, SqrMapFoldTest,
                         ::testing::Values(FoldCase{1.0, 1.0}, FoldCase{-1.0, 1.0},
                                           FoldCase{0.0, 0.0}, FoldCase{2.25, 0.25},
                                           FoldCase{-0.25, 0.75}, FoldCase{-3.0, 1.0},
                                           FoldCase{0.5, 0.5}));

// --- Symmetry -----------------------------------------------------------------------------------

double torusGap(double a, double b) {
    const double d = a - b;
    return std::fabs(d - std::round(d));
}

using Symmetry = std::function<MapPoint(MapPoint)>;

struct SymmetryCase {
    const char* name;
    Symmetry apply;
    bool plainHasIt; // the plain map's omega term breaks the axis mirrors and the quarter turn
};

const SymmetryCase kSymmetries[] = {
    {"transpose",
     [](MapPoint p) {
         return MapPoint{p.y, p.x};
     },
     true},
    {"inversion",
     [](MapPoint p) {
         return MapPoint{-p.x, -p.y};
     },
     true},
    {"antidiagonal",
     [](MapPoint p) {
         return MapPoint{-p.y, -p.x};
     },
     true},
    {"mirrorX",
     [](MapPoint p) {
         return MapPoint{-p.x, p.y};
     },
     false},
    {"mirrorY",
     [](MapPoint p) {
         return MapPoint{p.x, -p.y};
     },
     false},
    {"quarterTurn",
     [](MapPoint p) {
         return MapPoint{-p.y, p.x};
     },
     false},
};

class SqrMapSymmetryTest : public ::testing::TestWithParam<SymmetryCase> {};

TEST_P(SqrMapSymmetryTest, MapCommutesWithLatticeSymmetry) {
    const SymmetryCase& s = GetParam();
    for (const bool detailed : {false, true}) {
        if (!detailed && !s.plainHasIt) {
            continue;
        }
        for (const double seed : {0.2, 0.45}) {
            SqrMap m = randomMap(seed);
            RandomSource points;
            points.SeedFrom(seed + 0.5);
            for (int n = 0; n < 200; ++n) {
                const MapPoint p{points.Uniform(), points.Uniform()};
                const MapPoint q = s.apply(p);
                const MapPoint imageOfMoved = stepped(m, q.x, q.y, detailed);
                const MapPoint movedImage = s.apply(stepped(m, p.x, p.y, detailed));
                ASSERT_LT(torusGap(imageOfMoved.x, movedImage.x), 1e-9) << s.name;
                ASSERT_LT(torusGap(imageOfMoved.y, movedImage.y), 1e-9) << s.name;
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(SquareGroup, SqrMapSymmetryTest, ::testing::ValuesIn(kSymmetries),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(SqrMapPicture, DetailedQuiltIsSymmetricUnderTransposeAndMirrors) {
    constexpr int kN = 32;
    SqrMap m = randomMap(0.1025);
    QuiltMap grid;
    grid.BuildSize(kN);
    m.x = 0.1234;
    m.y = 0.4321;
    for (int step = 0; step < 600000; ++step) {
        m.StepDetailed();
        if (step >= 3000) {
            grid.AddHit(static_cast<int>(m.y * kN), static_cast<int>(m.x * kN));
        }
    }
    ASSERT_GT(grid.CountNonZero(), static_cast<std::uint32_t>(kN * kN / 2))
        << "the chosen quilt should spread over the grid";

    const auto relativeDifference = [&](auto other) {
        double diff = 0.0, total = 0.0;
        for (int r = 0; r < kN; ++r) {
            for (int c = 0; c < kN; ++c) {
                const auto [r2, c2] = other(r, c);
                diff += std::fabs(double(grid.CountAt(r, c)) - double(grid.CountAt(r2, c2)));
                total += grid.CountAt(r, c);
            }
        }
        return diff / total;
    };
    const auto mirror = [](int k) { return kN - 1 - k; };
    EXPECT_LT(relativeDifference([](int r, int c) { return std::pair{c, r}; }), 0.08);
    EXPECT_LT(relativeDifference([&](int r, int c) { return std::pair{r, mirror(c)}; }), 0.08);
    EXPECT_LT(relativeDifference([&](int r, int c) { return std::pair{mirror(r), c}; }), 0.08);
}

// --- Random draw --------------------------------------------------------------------------------

TEST(SqrMapRandomize, TakesFortyThreeUniformsAndThreeRandsInOrder) {
    RandomSource used, twin;
    used.SeedFrom(0.377);
    twin.SeedFrom(0.377);
    CRandom cRandom(4242);
    SqrMap m;
    m.Randomize(used, cRandom);
    const int nextRand = cRandom();

    CRandom replay(4242);
    const int r1 = replay(), r2 = replay(), r3 = replay(), r4 = replay();
    EXPECT_EQ(nextRand, r4);

    std::vector<double> u(43);
    for (double& v : u) {
        v = twin.Uniform();
    }
    EXPECT_EQ(used.Uniform(), twin.Uniform()) << "exactly 43 uniform draws";

    EXPECT_EQ(m.lambda, 0.4 * u[0] - 0.2);
    EXPECT_EQ(m.alpha, 0.8 * u[1] - 0.4);
    EXPECT_EQ(m.beta, 0.8 * u[2] - 0.6);
    EXPECT_EQ(m.gamma, 0.161 * u[3] - 0.05);
    EXPECT_EQ(m.omega, 0.02 * u[4] - 0.01);
    EXPECT_EQ(m.emm, double(r1 % 3 - r2 % 3));
    EXPECT_EQ(m.x, u[5]);
    EXPECT_EQ(m.y, u[6]);
    EXPECT_EQ(m.offX, r3 % 2 == 0 ? 0.5 : 0.0);
    EXPECT_EQ(m.offY, m.offX);
    for (int i = 0; i < 6; ++i) {
        for (int j = 0; j < 6; ++j) {
            EXPECT_EQ(m.coef[i][j], 0.8 * u[7 + 6 * i + j] - 0.4) << i << "," << j;
        }
    }
}

// --- Record -------------------------------------------------------------------------------------

std::vector<std::uint8_t> store(SqrMap m) {
    std::vector<std::uint8_t> bytes;
    Archive ar(bytes);
    m.SerializeSquare(ar);
    return bytes;
}

void load(SqrMap& m, const std::vector<std::uint8_t>& bytes) {
    Archive ar{std::span<const std::uint8_t>(bytes)};
    m.SerializeSquare(ar);
}

double doubleAt(const std::vector<std::uint8_t>& b, std::size_t offset) {
    double v;
    std::memcpy(&v, b.data() + offset, sizeof v);
    return v;
}

void putDouble(std::vector<std::uint8_t>& b, std::size_t offset, double v) {
    std::memcpy(b.data() + offset, &v, sizeof v);
}

SqrMap distinctiveMap() {
    SqrMap m = randomMap(0.81);
    m.twoPi = 6.25;
    m.depth = 4;
    m.detail = 1;
    return m;
}

TEST(SqrMapRecord, RoundTripRestoresEveryStoredField) {
    const SqrMap original = distinctiveMap();
    const std::vector<std::uint8_t> bytes = store(original);
    ASSERT_EQ(bytes.size(), SqrMap::kRecordSize);
    ASSERT_EQ(bytes.size(), 365u);

    SqrMap loaded;
    loaded.x = 0.75; // not part of the record
    load(loaded, bytes);
    EXPECT_EQ(loaded.lambda, original.lambda);
    EXPECT_EQ(loaded.alpha, original.alpha);
    EXPECT_EQ(loaded.beta, original.beta);
    EXPECT_EQ(loaded.gamma, original.gamma);
    EXPECT_EQ(loaded.omega, original.omega);
    EXPECT_EQ(loaded.emm, original.emm);
    EXPECT_EQ(loaded.offX, original.offX);
    EXPECT_EQ(loaded.offY, original.offY);
    EXPECT_EQ(loaded.twoPi, 6.25);
    EXPECT_EQ(loaded.depth, 4);
    EXPECT_EQ(loaded.detail, 1);
    EXPECT_EQ(loaded.coef, original.coef);
    EXPECT_EQ(loaded.x, 0.75);
}

TEST(SqrMapRecord, LayoutIsFixedWithCoefficientsColumnByColumn) {
    SqrMap m = distinctiveMap();
    const std::vector<std::uint8_t> b = store(m);
    const double named[] = {m.lambda, m.alpha, m.beta, m.gamma, m.omega,
                            m.emm,    m.offX,  m.offY, m.twoPi};
    for (std::size_t k = 0; k < 9; ++k) {
        EXPECT_EQ(doubleAt(b, 8 * k), named[k]) << "field " << k;
    }
    EXPECT_EQ(b[72], 1); // detail
    EXPECT_EQ(b[73], 4); // depth, low byte
    EXPECT_EQ(b[74], 0); // depth, high byte
    EXPECT_EQ(b[75], 1); // detail again
    EXPECT_EQ(b[76], 0); // spare
    for (std::size_t i = 0; i < 6; ++i) {
        for (std::size_t j = 0; j < 6; ++j) {
            EXPECT_EQ(doubleAt(b, 77 + 8 * (i + 6 * j)), m.coef[i][j]) << i << "," << j;
        }
    }
}

TEST(SqrMapRecord, SpareByteIsIgnoredAndRepeatedDetailByteWins) {
    std::vector<std::uint8_t> b = store(distinctiveMap());
    b[76] = 0xAB;
    b[72] = 0;
    SqrMap loaded;
    load(loaded, b);
    EXPECT_EQ(loaded.detail, 1);
    EXPECT_EQ(store(loaded), store(distinctiveMap()));
}

struct BadRecord {
    const char* name;
    std::function<void(std::vector<std::uint8_t>&)> spoil;
};

class SqrMapBadRecordTest : public ::testing::TestWithParam<BadRecord> {};

TEST_P(SqrMapBadRecordTest, RefusedRecordLeavesMapUnchanged) {
    std::vector<std::uint8_t> b = store(distinctiveMap());
    GetParam().spoil(b);
    SqrMap m = randomMap(0.33);
    const std::vector<std::uint8_t> before = store(m);
    EXPECT_THROW(load(m, b), FormatError);
    EXPECT_EQ(store(m), before);
}

const BadRecord kBadRecords[] = {
    {"depthTwo", [](auto& b) { b[73] = 2; }},
    {"depthSeven", [](auto& b) { b[73] = 7; }},
    {"depthHuge", [](auto& b) { b[74] = 0xFF; }},
    {"nanLambda", [](auto& b) { putDouble(b, 0, std::nan("")); }},
    {"infiniteEmm", [](auto& b) { putDouble(b, 40, HUGE_VAL); }},
    {"nanTwoPi", [](auto& b) { putDouble(b, 64, std::nan("")); }},
    {"nanLastCoefficient", [](auto& b) { putDouble(b, 357, std::nan("")); }},
    {"short", [](auto& b) { b.resize(364); }},
};

INSTANTIATE_TEST_SUITE_P(Spoiled, SqrMapBadRecordTest, ::testing::ValuesIn(kBadRecords),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace zarn
