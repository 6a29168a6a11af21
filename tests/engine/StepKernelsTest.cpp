#include "engine/StepKernels.h"
#include "engine/CRandom.h"
#include "engine/Isa.h"
#include "engine/MapExpA.h"
#include "engine/New84.h"
#include "engine/RandomSource.h"
#include "engine/SqrMap.h"
#include "engine/SqrMapt.h"
#include "engine/Torus.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <ctime>
#include <limits>
#include <random>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

namespace zarn {

#if defined(ZARN_X86_ISA_VARIANTS)
// Built per level from InlineSinesCheck.cpp.
namespace isa_v3 {
long inlineSineDifferences(std::uint64_t seed, long perRange, double (&first)[4]);
long plainStepDifferences(const EngineKernels& kernels, std::uint64_t seed);
} // namespace isa_v3
namespace isa_v4 {
long inlineSineDifferences(std::uint64_t seed, long perRange, double (&first)[4]);
long plainStepDifferences(const EngineKernels& kernels, std::uint64_t seed);
} // namespace isa_v4
#endif

namespace {

/** Distance in units of the last place of the exact value (taken from long double). */
double ulpsFrom(double got, long double exact) {
    const double rounded = static_cast<double>(exact);
    const double ulp = std::nextafter(std::fabs(rounded), INFINITY) - std::fabs(rounded);
    return static_cast<double>(std::fabs(static_cast<long double>(got) - exact)) / ulp;
}

TEST(Isa, NamesParseBackAndUnknownTextIsRefused) {
    for (Isa isa : {Isa::Baseline, Isa::V3, Isa::V4}) {
        EXPECT_EQ(parseIsa(isaName(isa)), isa);
    }
    EXPECT_EQ(parseIsa("v3"), Isa::V3);
    EXPECT_EQ(parseIsa("v4"), Isa::V4);
    EXPECT_FALSE(parseIsa("avx2").has_value());
    EXPECT_FALSE(parseIsa("").has_value());
}

TEST(Isa, ActiveLevelIsRunnableAndLevelsAboveTheHostHaveNoTable) {
    EXPECT_LE(activeIsa(), hostIsa());
    const std::vector<Isa> runnable = runnableIsas();
    EXPECT_EQ(runnable.front(), Isa::Baseline);
    for (Isa isa : runnable) {
        EXPECT_NE(engineKernelsFor(isa), nullptr) << isaName(isa);
    }
    EXPECT_EQ(&engineKernels(), engineKernelsFor(activeIsa()));
    ASSERT_NE(engineKernelsFor(Isa::Baseline), nullptr);
    for (Isa isa : {Isa::V3, Isa::V4}) {
        const bool runnable = isaVariantsBuilt() && isa <= hostIsa();
        EXPECT_EQ(engineKernelsFor(isa) != nullptr, runnable) << isaName(isa);
    }
}

// The shorter four-part reduction in the sines leaves out the library's first two error terms,
// as they are always zero below the short reduction's bound: the two products and the two sums
// that start the reduction are exact, and the first two parts add up to a double. Both constant
// sets (the sine and cosine pair's quarter turns and the sine's half turns) across the whole range,
// on both sides of the edges the argument rests on.
TEST(StepKernels, TheFourPartReductionsFirstSumsAreExactBelowItsBound) {
    const auto real = [](std::uint64_t bits) { return std::bit_cast<double>(bits); };
    // Exact when the sum's rounding error (two-sum) is zero.
    const auto sumIsExact = [](double a, double b) {
        const double s = a + b;
        const double v = s - a;
        return (a - (s - v)) + (b - v) == 0.0;
    };
    const auto productIsExact = [](double a, double b) { return std::fma(a, b, -(a * b)) == 0.0; };
    struct Set {
        double inverse;
        double parts[2];
    };
    const Set sets[] = {
        {real(0x3fe45f306dc9c883), {real(0xbff921fb50000000), real(0xbe5110b460000000)}},
        {real(0x3fd45f306dc9c883), {real(0xc00921fb50000000), real(0xbe6110b460000000)}}};
    std::mt19937_64 g(20261209);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    long failures = 0;
    for (const Set& set : sets) {
        EXPECT_TRUE(sumIsExact(set.parts[0], set.parts[1]));
        for (int k = 0; k < 400000; ++k) {
            double d = 0.0;
            switch (k % 3) {
            case 0: // every magnitude up to the bound
                d = std::exp2(-2.0 + unit(g) * (std::log2(1e7) + 2.0));
                break;
            case 1: // both sides of a power of two
                d = std::ldexp(1.0 + (unit(g) - 0.5) * 1e-12, static_cast<int>(g() % 25) - 2);
                break;
            default: // both sides of pi/4 and of 0.5, where the quotient leaves zero
                d = (g() % 2 != 0 ? 0.7853981633974483 : 0.5) * (1.0 + (unit(g) - 0.5) * 1e-12);
                break;
            }
            d = std::min(d, std::nextafter(1e7, 0.0));
            if (g() % 2 != 0) {
                d = -d;
            }
            const double q = std::nearbyint(d * set.inverse);
            const double m = q * set.parts[0];
            const double y = q * set.parts[1];
            const bool exact = productIsExact(q, set.parts[0]) && productIsExact(q, set.parts[1]) &&
                               sumIsExact(d, m) && sumIsExact(d + m, y) &&
                               (d + m) + y == std::fma(q, set.parts[0] + set.parts[1], d);
            if (!exact && failures++ == 0) {
                ADD_FAILURE() << "first sums not exact at " << d;
            }
        }
    }
    EXPECT_EQ(failures, 0);
}

TEST(StepKernels, EveryLevelsSinesAreWithinOneUlpOfTheExactValue) {
    RandomSource rnd;
    rnd.SeedFrom(0.4242);
    std::vector<double> args;
    // The steps' phases stay within a few hundred radians; the far ones check the reduction.
    for (int k = 0; k < 20000; ++k) {
        args.push_back(400.0 * rnd.Uniform() - 200.0);
    }
    for (double v : {0.0, -0.0, 1e-300, 1e-8, 3.141592653589793, 6.283185307, 1e5, -7e7}) {
        args.push_back(v);
    }
    for (Isa isa : runnableIsas()) {
        std::vector<double> s = args;
        // An odd count leaves a partial vector at the end.
        engineKernelsFor(isa)->sines(s.data(), static_cast<int>(s.size()) - 1);
        for (std::size_t k = 0; k + 1 < args.size(); ++k) {
            const long double exact = std::sin(static_cast<long double>(args[k]));
            ASSERT_LE(ulpsFrom(s[k], exact), 1.0) << isaName(isa) << " sin(" << args[k] << ")";
        }
        EXPECT_EQ(s.back(), args.back()) << "the value past the count is left alone";
        EXPECT_TRUE(std::signbit(s[args.size() - 7])) << "sin(-0) keeps its sign";
    }
}

TEST(StepKernels, NonFiniteArgumentsGiveNaNOnEveryLevel) {
    for (Isa isa : runnableIsas()) {
        double v[3] = {std::numeric_limits<double>::infinity(),
                       -std::numeric_limits<double>::infinity(),
                       std::numeric_limits<double>::quiet_NaN()};
        engineKernelsFor(isa)->sines(v, 3);
        for (double s : v) {
            EXPECT_TRUE(std::isnan(s)) << isaName(isa);
        }
    }
}

#if defined(ZARN_X86_ISA_VARIANTS)
TEST(StepKernels, SinesInRegistersAreTheLibrarysBitForBit) {
    using Compare = long (*)(std::uint64_t, long, double(&)[4]);
    using CompareSteps = long (*)(const EngineKernels&, std::uint64_t);
    const std::tuple<Isa, Compare, CompareSteps> levels[] = {
        {Isa::V3, isa_v3::inlineSineDifferences, isa_v3::plainStepDifferences},
        {Isa::V4, isa_v4::inlineSineDifferences, isa_v4::plainStepDifferences}};
    bool compared = false;
    for (const auto& [isa, compare, compareSteps] : levels) {
        if (const EngineKernels* kernels = engineKernelsFor(isa)) {
            double a[4] = {};
            EXPECT_EQ(compare(20261208, 150000, a), 0)
                << isaName(isa) << ", first at " << a[0] << ", " << a[1] << ", " << a[2] << ", "
                << a[3];
            // The plain step: the library's sines summed in the step's order, for any 2π.
            EXPECT_EQ(compareSteps(*kernels, 20261209), 0) << isaName(isa);
            compared = true;
        }
    }
    if (!compared) {
        GTEST_SKIP() << "this machine runs no level above the baseline";
    }
}

#endif

/** Coefficients in the drawing ranges, set directly; emm and the offsets vary with the seed. */
SqrMap randomSquare(double seed) {
    RandomSource rnd;
    rnd.SeedFrom(seed);
    SqrMap m;
    // Scale and shift of each named coefficient's draw, in the drawing order.
    const std::pair<double*, std::pair<double, double>> named[] = {{&m.lambda, {0.4, -0.2}},
                                                                   {&m.alpha, {0.8, -0.4}},
                                                                   {&m.beta, {0.8, -0.6}},
                                                                   {&m.gamma, {0.161, -0.05}},
                                                                   {&m.omega, {0.02, -0.01}}};
    for (const auto& [field, range] : named) {
        *field = range.first * rnd.Uniform() + range.second;
    }
    m.emm = std::floor(5.0 * rnd.Uniform()) - 2.0;
    m.offX = m.offY = rnd.Uniform() < 0.5 ? 0.5 : 0.0;
    for (auto& row : m.coef) {
        for (double& c : row) {
            c = 0.8 * rnd.Uniform() - 0.4;
        }
    }
    return m;
}

/** How far apart two folded coordinates lie on the circle of length 1: a last-bit difference
 *  can fold one result just below 1 and the other just above 0. */
double torusDistance(double a, double b) {
    const double d = std::fabs(a - b);
    return std::min(d, 1.0 - d);
}

TEST(StepKernels, PlainSquareStepAgreesAcrossLevelsUpToSineRounding) {
    const SqrMap m = randomSquare(0.19);
    RandomSource points;
    points.SeedFrom(0.5);
    for (int n = 0; n < 500; ++n) {
        const double x0 = points.Uniform();
        const double y0 = points.Uniform();
        double wantX = x0;
        double wantY = y0;
        engineKernelsFor(Isa::Baseline)
            ->squarePlain(wantX, wantY, m.plainSet(), m.emm, m.offX, m.offY, m.twoPi);
        for (Isa isa : runnableIsas()) {
            double x = x0;
            double y = y0;
            engineKernelsFor(isa)->squarePlain(x, y, m.plainSet(), m.emm, m.offX, m.offY, m.twoPi);
            ASSERT_LT(torusDistance(x, wantX), 5e-14) << isaName(isa);
            ASSERT_LT(torusDistance(y, wantY), 5e-14) << isaName(isa);
        }
    }
}

TEST(StepKernels, PlainSquareFoldsSumsOnAndPastTheEdgesAsFoldToUnitOnEveryLevel) {
    // With every coefficient zero a coordinate's sum is exactly offset + coordinate: sums on 0
    // and 1, on whole numbers either side and far out, each paired with every other in y.
    struct Edge {
        double point;
        double offset;
    };
    // Far below zero the fold's 1 - trunc(v) rounds (2^53 and past), which a fraction plus one
    // would not. Whole sums take one way through the fold, the others (either side of the
    // torus, up to where every double is whole) another.
    const Edge edges[] = {{0.5, 0.5},     {0.5, 1.5},    {0.5, -3.5},          {0.25, -0.25},
                          {0.75, -1.0},   {0.25, 1e300}, {0.5, -0x1p53 - 2.0}, {0.25, -1e300},
                          {0.3, 0.2},     {0.3, -3.0},   {0.5, 1.25},          {0.5, 0x1p51},
                          {0.5, -0x1p51}, {0.1, -0.7}};
    const square::PlainSet zero{};
    const auto bits = [](double v) { return std::bit_cast<std::uint64_t>(v); };
    for (const Edge& ex : edges) {
        for (const Edge& ey : edges) {
            const double wantX = foldToUnit(ex.offset + ex.point);
            const double wantY = foldToUnit(ey.offset + ey.point);
            for (Isa isa : runnableIsas()) {
                double x = ex.point;
                double y = ey.point;
                engineKernelsFor(isa)->squarePlain(x, y, zero, 1.0, ex.offset, ey.offset,
                                                   square::kTwoPi);
                EXPECT_EQ(bits(x), bits(wantX)) << isaName(isa) << " x " << ex.point;
                EXPECT_EQ(bits(y), bits(wantY)) << isaName(isa) << " y " << ey.point;
            }
        }
    }
}

TEST(StepKernels, PlainSquareIsBitForBitTheSameAtV3AndV4) {
    const std::vector<Isa> runnable = runnableIsas();
    if (std::find(runnable.begin(), runnable.end(), Isa::V4) == runnable.end()) {
        GTEST_SKIP() << "this processor has no x86-64-v4";
    }
    // Points of the torus, both sides of where the third order reaches 15 (15 / 6π), past the
    // margin, negative, zeros of both signs and subnormal, for maps of every emm and offset.
    const double third = 15.0 / (3.0 * square::kTwoPi);
    const double special[] = {0.0, -0.0, 5e-324, third, std::nextafter(third, 0.0), 1.19, -0.4};
    RandomSource rnd;
    rnd.SeedFrom(0.73);
    for (const double seed : {0.11, 0.52, 0.87}) {
        const SqrMap m = randomSquare(seed);
        for (int n = 0; n < 400; ++n) {
            const auto draw = [&](int k) {
                return k % 3 == 0 ? special[(n + k) % std::size(special)]
                                  : (k % 3 == 1 ? rnd.Uniform() : 3.0 * rnd.Uniform() - 1.0);
            };
            const double x0 = draw(n);
            const double y0 = draw(n / 3 + 1);
            double point[2][2];
            for (const Isa isa : {Isa::V3, Isa::V4}) {
                double& x = point[isa == Isa::V4][0] = x0;
                double& y = point[isa == Isa::V4][1] = y0;
                engineKernelsFor(isa)->squarePlain(x, y, m.plainSet(), m.emm, m.offX, m.offY,
                                                   m.twoPi);
            }
            ASSERT_EQ(std::memcmp(point[0], point[1], sizeof point[0]), 0)
                << "map " << seed << " at " << x0 << ", " << y0;
        }
    }
}

TEST(StepKernels, DetailedAnglesToTheFifthOrderAreRoundedProductsOfTheFirst) {
    // Each order the last plus the first, as the detailed step's angles; x86-64-v4 takes the
    // third to fifth as products. Every exponent, the subnormals, the triples that tie.
    std::mt19937_64 g(20261209);
    const auto bits = [](double v) { return std::bit_cast<std::uint64_t>(v); };
    for (int n = 0; n < 2000000; ++n) {
        const double first =
            n == 0 ? std::numeric_limits<double>::max() / 4.5 : std::bit_cast<double>(g());
        const double third = (first + first) + first;
        if (std::isfinite(first)) {
            ASSERT_EQ(bits(third), bits(first * 3.0)) << first;
            ASSERT_EQ(bits(third + first), bits(first * 4.0)) << first;
            ASSERT_EQ(bits((third + first) + first), bits(first * 5.0)) << first;
        }
    }
}

TEST(StepKernels, DetailedSquareSumsEveryOrderUpToItsDepthOnEveryLevel) {
    // Each depth runs its own copy of the step; a depth outside 0 to 6 is taken as the nearest.
    const SqrMap square = randomSquare(0.42);
    const double x0 = 0.3137;
    const double y0 = 0.8261;
    for (const int depth : {-3, 0, 1, 2, 3, 4, 5, 6, 7, 99}) {
        const int d = std::clamp(depth, 0, square::kMaxDepth);
        double ax[square::kMaxDepth] = {square.twoPi * x0};
        double ay[square::kMaxDepth] = {square.twoPi * y0};
        for (int k = 1; k < d; ++k) {
            ax[k] = ax[k - 1] + ax[0];
            ay[k] = ay[k - 1] + ay[0];
        }
        double nx = square.emm * x0 + square.offX;
        double ny = square.emm * y0 + square.offY;
        for (int i = 0; i < d; ++i) {
            for (int j = 0; j < d; ++j) {
                nx += std::sin(ax[i]) * square.coef[i][j] * std::cos(ay[j]);
                ny += std::sin(ay[i]) * square.coef[i][j] * std::cos(ax[j]);
            }
        }
        for (Isa isa : runnableIsas()) {
            SqrMap m = square;
            double x = x0;
            double y = y0;
            engineKernelsFor(isa)->squareDetailed(
                x, y, m.coef, depth, m.emm, m.offX, m.offY, m.twoPi,
                {m.angleX, m.angleY, m.sinX, m.cosY, m.sinY, m.cosX});
            ASSERT_LT(torusDistance(x, foldToUnit(nx)), 5e-14)
                << isaName(isa) << " depth " << depth;
            ASSERT_LT(torusDistance(y, foldToUnit(ny)), 5e-14)
                << isaName(isa) << " depth " << depth;
        }
    }
}

TEST(StepKernels, DetailedSquareAndExpAAgreeAcrossLevelsUpToSineRounding) {
    SqrMap square = randomSquare(0.77);
    MapExpA expA;
    RandomSource rnd;
    rnd.SeedFrom(0.6);
    expA.Randomize(rnd);
    for (int n = 0; n < 300; ++n) {
        const double x0 = rnd.Uniform();
        const double y0 = rnd.Uniform();
        const int depth = 3 + n % 4;
        double wantX = x0;
        double wantY = y0;
        engineKernelsFor(Isa::Baseline)
            ->squareDetailed(
                wantX, wantY, square.coef, depth, square.emm, square.offX, square.offY,
                square.twoPi,
                {square.angleX, square.angleY, square.sinX, square.cosY, square.sinY, square.cosX});
        MapExpA baseline = expA;
        const MapPoint wantExpA = engineKernelsFor(Isa::Baseline)->expA(baseline, x0, y0);
        for (Isa isa : runnableIsas()) {
            double x = x0;
            double y = y0;
            engineKernelsFor(isa)->squareDetailed(
                x, y, square.coef, depth, square.emm, square.offX, square.offY, square.twoPi,
                {square.angleX, square.angleY, square.sinX, square.cosY, square.sinY, square.cosX});
            ASSERT_LT(torusDistance(x, wantX), 5e-14) << isaName(isa);
            ASSERT_LT(torusDistance(y, wantY), 5e-14) << isaName(isa);
            // The scratch tables hold the first-order sine and cosine of the last step.
            ASSERT_NEAR(square.sinX[0], std::sin(square.twoPi * x0), 1e-15);
            ASSERT_NEAR(square.cosY[0], std::cos(square.twoPi * y0), 1e-15);

            MapExpA copy = expA;
            const MapPoint got = engineKernelsFor(isa)->expA(copy, x0, y0);
            ASSERT_NEAR(got.x, wantExpA.x, 5e-14) << isaName(isa);
            ASSERT_NEAR(got.y, wantExpA.y, 5e-14) << isaName(isa);
            ASSERT_EQ(copy.outX, got.x);
            ASSERT_EQ(copy.cx, x0 - 0.5);
        }
    }
}

TEST(StepKernels, DetailedSquareIsBitForBitTheSameAtV3AndV4) {
    const std::vector<Isa> runnable = runnableIsas();
    if (std::find(runnable.begin(), runnable.end(), Isa::V4) == runnable.end()) {
        GTEST_SKIP() << "this processor has no x86-64-v4";
    }
    const SqrMap square = randomSquare(0.31);
    RandomSource rnd;
    rnd.SeedFrom(0.9);
    // Points of the torus, a few past it (angles over 15 in some vectors, not in others) and
    // some past the short reduction's bound, at every depth; every third coordinate one where a
    // half of the batch passes 15 and the other does not (15 / 6π and its neighbour), a zero of
    // either sign or a negative point. The angles, sines and cosines the step leaves in its
    // tables must agree too (v4 builds its angles in registers, v3 in memory).
    const double sixth = 15.0 / (6.0 * square::kTwoPi);
    const double special[] = {sixth, std::nextafter(sixth, 1.0), 0.0, -0.0, -0.7, 1.19};
    for (int n = 0; n < 700; ++n) {
        const double scale = n % 7 == 0 ? 4e6 : (n % 5 == 0 ? 2.5 : 1.0);
        const double x0 = n % 3 == 1 ? special[n % std::size(special)] : scale * rnd.Uniform();
        const double y0 = n % 3 == 2 ? special[n / 3 % std::size(special)] : scale * rnd.Uniform();
        const int depth = n % (square::kMaxDepth + 1);
        SqrMap maps[2] = {square, square};
        double point[2][2];
        for (const Isa isa : {Isa::V3, Isa::V4}) {
            SqrMap& m = maps[isa == Isa::V4];
            double& x = point[isa == Isa::V4][0] = x0;
            double& y = point[isa == Isa::V4][1] = y0;
            engineKernelsFor(isa)->squareDetailed(
                x, y, m.coef, depth, m.emm, m.offX, m.offY, m.twoPi,
                {m.angleX, m.angleY, m.sinX, m.cosY, m.sinY, m.cosX});
        }
        ASSERT_EQ(std::memcmp(point[0], point[1], sizeof point[0]), 0)
            << "depth " << depth << " at " << x0 << ", " << y0;
        const auto same = [](const square::Table& a, const square::Table& b) {
            return std::memcmp(a.data(), b.data(), sizeof a) == 0;
        };
        EXPECT_TRUE(same(maps[0].angleX, maps[1].angleX) && same(maps[0].angleY, maps[1].angleY) &&
                    same(maps[0].sinX, maps[1].sinX) && same(maps[0].cosX, maps[1].cosX) &&
                    same(maps[0].sinY, maps[1].sinY) && same(maps[0].cosY, maps[1].cosY))
            << "tables at depth " << depth << " at " << x0 << ", " << y0;
    }
}

/** A grid of side 40 with the ten-cell margin, as the document lays it out. */
struct SpanGrid {
    static constexpr std::uint32_t kSide = 40;
    static constexpr std::size_t kStride = kSide + 10;
    std::vector<std::uint32_t> cells = std::vector<std::uint32_t>(kStride * kStride, 0u);

    /** Where the driver counts the folded point (x, y). */
    static std::size_t cellOf(double x, double y) {
        return static_cast<std::size_t>(static_cast<int>(y * kSide)) * kStride +
               static_cast<std::size_t>(static_cast<int>(x * kSide));
    }

    /** The counts of @p steps steps of map.StepFrom from @p p, taken one by one; @p p ends at
     *  the last point. */
    template <typename Map>
    static std::vector<std::uint32_t> stepByStep(Map& map, MapPoint& p, int steps) {
        std::vector<std::uint32_t> counts(kStride * kStride, 0u);
        for (int k = 0; k < steps; ++k) {
            p = map.StepFrom(p.x, p.y);
            ++counts[cellOf(p.x, p.y)];
        }
        return counts;
    }

    /** Runs @p map through one span of @p steps from @p start and holds its counts and its end
     *  point against @p reference stepped one by one from the same point. */
    template <typename Map>
    static void expectSpanMatchesSteps(Map& map, Map& reference, MapPoint start,
                                       std::uint32_t steps, const std::string& what) {
        const std::atomic<bool> stop{false};
        SpanGrid grid;
        StepSpan span = grid.span(start.x, start.y, steps, stop);
        map.RunSpan(span);
        const std::vector<std::uint32_t> want =
            stepByStep(reference, start, static_cast<int>(steps));
        EXPECT_EQ(span.done, steps) << what;
        EXPECT_EQ(grid.cells, want) << what;
        EXPECT_EQ(span.x, start.x) << what;
        EXPECT_EQ(span.y, start.y) << what;
    }

    StepSpan span(double x, double y, std::uint32_t steps, const std::atomic<bool>& stop) {
        StepSpan s;
        s.cells = cells.data();
        s.stride = kStride;
        s.side = kSide;
        s.cellLimit = (kSide + 9.0) / kSide;
        s.stop = &stop;
        s.steps = steps;
        s.count = true;
        s.x = x;
        s.y = y;
        return s;
    }
};

TEST(StepKernels, SquareSpanCountsWhatTheStepByStepLoopCounts) {
    for (const bool detailed : {false, true}) {
        for (Isa isa : runnableIsas()) {
            SqrMap map = randomSquare(0.31);
            map.detail = detailed ? 1 : 0;
            map.depth = 4;
            const std::atomic<bool> stop{false};
            SpanGrid grid;
            // 1000 steps: several batches of noted cells and a part batch.
            StepSpan span = grid.span(0.25, 0.6, 1000, stop);
            map.RunSpan(span);

            SqrMap one = randomSquare(0.31);
            one.detail = map.detail;
            one.depth = 4;
            std::vector<std::uint32_t> want(grid.cells.size(), 0u);
            std::uint32_t maxCount = 0;
            double x = 0.25;
            double y = 0.6;
            for (int k = 0; k < 1000; ++k) {
                const auto& kernels = *engineKernelsFor(isa);
                if (detailed) {
                    kernels.squareDetailed(
                        x, y, one.coef, 4, one.emm, one.offX, one.offY, one.twoPi,
                        {one.angleX, one.angleY, one.sinX, one.cosY, one.sinY, one.cosX});
                } else {
                    kernels.squarePlain(x, y, one.plainSet(), one.emm, one.offX, one.offY,
                                        one.twoPi);
                }
                maxCount = std::max(maxCount, ++want[SpanGrid::cellOf(x, y)]);
            }
            if (isa != activeIsa()) {
                continue; // RunSpan takes the running level's kernels
            }
            EXPECT_EQ(span.done, 1000u);
            EXPECT_FALSE(span.invalid);
            EXPECT_EQ(grid.cells, want) << (detailed ? "detailed" : "plain");
            EXPECT_EQ(span.maxCount, maxCount);
            EXPECT_EQ(span.x, x);
            EXPECT_EQ(map.x, x);
            EXPECT_EQ(map.lastY, y);
        }
    }
}

TEST(StepKernels, OctFourSpanTakesTheStepsOfStepFrom) {
    RandomSource rnd;
    rnd.SeedFrom(0.42);
    CRandom cRandom;
    New84 drawn;
    drawn.Randomize(rnd, cRandom);
    // A region scale that sends part of the square to the second set.
    drawn.regionScale = 0.9;
    for (const std::uint8_t detail : {std::uint8_t{0}, std::uint8_t{1}}) {
        New84 map = drawn;
        map.detail = detail;
        map.depth = 5;
        New84 one = map;
        SpanGrid::expectSpanMatchesSteps(map, one, {0.2, 0.45}, 2000,
                                         "detail " + std::to_string(detail));
    }
}

TEST(StepKernels, SquaretSpanBlendsBeforeEveryStepAsStepFromDoes) {
    RandomSource rnd;
    rnd.SeedFrom(0.57);
    CRandom cRandom;
    SqrMapt drawn;
    drawn.Randomize(rnd, cRandom);
    for (const std::uint8_t detail : {std::uint8_t{0}, std::uint8_t{1}}) {
        SqrMapt map = drawn;
        map.detail = detail;
        // A simulated clock one step before the blend moves on: the span crosses the change.
        map.SimulateClock((std::time_t{5} << 7) - 1);
        for (std::uint32_t k = 0; k + 1 < SqrMapt::kStepsPerSimulatedSecond; ++k) {
            map.BlendNow();
        }
        SqrMapt one = map;
        SpanGrid::expectSpanMatchesSteps(map, one, {0.3, 0.8}, 500,
                                         "detail " + std::to_string(detail));
        EXPECT_EQ(map.blend, one.blend);
        EXPECT_NE(map.blend, SqrMapt::BlendAt((std::time_t{5} << 7) - 1));

        // New sets at the same simulated time: the next span blends them from its first step.
        SqrMapt redrawn;
        redrawn.Randomize(rnd, cRandom);
        for (SqrMapt* m : {&map, &one}) {
            m->setB = redrawn.setB;
            m->matrixB = redrawn.matrixB;
            m->emmB = redrawn.emmB;
        }
        SpanGrid::expectSpanMatchesSteps(map, one, {0.6, 0.2}, 50,
                                         "new sets, detail " + std::to_string(detail));
    }
}

TEST(StepKernels, SquareSpanStopsOnRequestAndOnAPointOutsideTheGrid) {
    SqrMap map = randomSquare(0.31);
    SpanGrid grid;
    const std::atomic<bool> stop{true};
    StepSpan span = grid.span(0.25, 0.6, 500, stop);
    map.RunSpan(span);
    EXPECT_EQ(span.done, 1u) << "a set stop flag ends the run after the step in progress";
    EXPECT_FALSE(span.invalid);

    const std::atomic<bool> go{false};
    map.lambda = std::numeric_limits<double>::quiet_NaN();
    std::fill(grid.cells.begin(), grid.cells.end(), 0u);
    span = grid.span(0.25, 0.6, 500, go);
    map.RunSpan(span);
    EXPECT_EQ(span.done, 1u);
    EXPECT_TRUE(span.invalid);
    EXPECT_EQ(std::count(grid.cells.begin(), grid.cells.end(), 0u),
              static_cast<std::ptrdiff_t>(grid.cells.size()))
        << "the step that left the grid is not counted";
}

TEST(StepKernels, SquareSpanReportsOnlyCellsNewToTheQuiltAndListsItsFirstHits) {
    SqrMap map = randomSquare(0.31);
    SpanGrid grid;
    std::vector<std::uint8_t> touched(grid.cells.size());
    // Cells another orbit found first, and the margin, which never counts.
    for (std::size_t at = 0; at < touched.size(); at += 3) {
        touched[at] = 1;
    }
    std::vector<std::uint32_t> firstHits(grid.cells.size());
    const std::atomic<bool> stop{false};
    StepSpan span = grid.span(0.25, 0.6, 3000, stop);
    span.touched = touched.data();
    span.firstHits = firstHits.data();
    span.firstHitRoom = static_cast<std::uint32_t>(firstHits.size());
    map.RunSpan(span);
    std::uint32_t fresh = 0;
    std::uint32_t hit = 0;
    for (std::size_t at = 0; at < grid.cells.size(); ++at) {
        const bool counted =
            at / SpanGrid::kStride < SpanGrid::kSide && at % SpanGrid::kStride < SpanGrid::kSide;
        hit += grid.cells[at] != 0 ? 1 : 0;
        if (grid.cells[at] != 0 && counted && at % 3 != 0) {
            ++fresh;
        }
        if (grid.cells[at] != 0 && counted) {
            EXPECT_EQ(touched[at], 1) << "every counted cell raises its flag";
        }
    }
    EXPECT_GT(fresh, 100u);
    EXPECT_EQ(span.newCells, fresh);
    // Every cell hit, margin included, is listed once: adding the grid in takes the list.
    ASSERT_EQ(span.firstHitCount, hit);
    std::vector<std::uint32_t> listed;
    for (std::uint32_t n = 0; n < hit; ++n) {
        const std::uint32_t at = firstHits[n] & ~kMarginHit;
        const bool counted =
            at / SpanGrid::kStride < SpanGrid::kSide && at % SpanGrid::kStride < SpanGrid::kSide;
        EXPECT_NE(grid.cells[at], 0u);
        EXPECT_EQ((firstHits[n] & kMarginHit) == 0, counted) << "margin cells are marked";
        listed.push_back(at);
    }
    std::sort(listed.begin(), listed.end());
    EXPECT_EQ(std::adjacent_find(listed.begin(), listed.end()), listed.end());

    // A list without room goes on counting, which tells that it is incomplete.
    SpanGrid again;
    std::vector<std::uint8_t> none(again.cells.size());
    StepSpan cramped = again.span(0.25, 0.6, 3000, stop);
    cramped.touched = none.data();
    cramped.firstHits = firstHits.data();
    cramped.firstHitRoom = 10;
    map = randomSquare(0.31);
    map.RunSpan(cramped);
    EXPECT_EQ(cramped.firstHitCount, hit);
}

} // namespace
} // namespace zarn
