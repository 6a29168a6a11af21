#include "maps/MapKernels.h"
#include "engine/RandomSource.h"
#include "maps/DuoMap.h"
#include "maps/HexMap.h"
#include "maps/TwsqMap.h"
#include "maps/WildCornerMap.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <vector>

namespace zarn {
namespace {

// Each level evaluates its sines with its own vector width (at most 1 ulp from the exact
// value); everything else is the same code. The literal transcriptions in the other tests check
// the running level; here every level the machine runs is held against the baseline.

constexpr double kSineRounding = 1e-13;

void expectNear(Complex got, Complex want, double tolerance, Isa isa) {
    ASSERT_NEAR(got.re, want.re, tolerance) << isaName(isa);
    ASSERT_NEAR(got.im, want.im, tolerance) << isaName(isa);
}

TEST(MapKernels, ActiveTableIsTheRunningLevels) {
    EXPECT_EQ(&mapKernels(), mapKernelsFor(activeIsa()));
    EXPECT_NE(mapKernelsFor(Isa::Baseline), nullptr);
}

TEST(MapKernels, HexSumsAgreeAcrossLevels) {
    RandomSource rnd;
    rnd.SeedFrom(0.31);
    HexMap map;
    map.lambda = {0.3 * rnd.Uniform() - 0.15, 0.15 * rnd.Uniform()};
    map.alpha = {0.2 * rnd.Uniform() - 0.1, 0.2 * rnd.Uniform() - 0.1};
    map.hAlpha = 0.19 * rnd.Uniform() - 0.15;
    map.hEmm = 1.0;
    for (int i = 0; i < HexMap::kDetailOrbits; ++i) {
        map.SetDetailCoefficient(i, {0.6 * rnd.Uniform() - 0.3, 0.6 * rnd.Uniform() - 0.3});
    }
    map.SetSize(100.0); // also forms the images of alpha
    const MapKernels& base = *mapKernelsFor(Isa::Baseline);
    for (int n = 0; n < 200; ++n) {
        const Complex z{2.0 * rnd.Uniform() - 1.0, 2.0 * rnd.Uniform() - 1.0};
        map.detailDepth = 4 + n % 8;
        HexMap plainBase = map;
        const Complex wantPlain = base.hexPlainSum(plainBase, z);
        const Complex wantDetail = base.hexDetailSum(map, z);
        for (Isa isa : runnableIsas()) {
            HexMap plain = map;
            expectNear(mapKernelsFor(isa)->hexPlainSum(plain, z), wantPlain, kSineRounding, isa);
            expectNear(plain.accumulator, plainBase.accumulator, kSineRounding, isa);
            expectNear(mapKernelsFor(isa)->hexDetailSum(map, z), wantDetail, kSineRounding, isa);
        }
    }
}

TEST(MapKernels, TwsqAndCornerAgreeAcrossLevels) {
    RandomSource rnd;
    rnd.SeedFrom(0.47);
    TwsqMap twsq;
    twsq.TwsqRandomCoefficients(rnd);
    WildCornerMap corner(13);
    corner.RandomCornerQuilt(13, rnd);
    const MapKernels& base = *mapKernelsFor(Isa::Baseline);
    for (int n = 0; n < 200; ++n) {
        const Complex z{rnd.Uniform(), rnd.Uniform()};
        const Complex wantTwsq = base.twsqField(twsq, z);
        const Complex wantCorner = base.cornerStep(corner, z);
        // The field grows like cosh(6πy): compare relative to its size.
        const double twsqTolerance =
            kSineRounding * (1.0 + std::fabs(wantTwsq.re) + std::fabs(wantTwsq.im));
        for (Isa isa : runnableIsas()) {
            expectNear(mapKernelsFor(isa)->twsqField(twsq, z), wantTwsq, twsqTolerance, isa);
            expectNear(mapKernelsFor(isa)->cornerStep(corner, z), wantCorner, kSineRounding, isa);
        }
    }
}

TEST(MapKernels, SphereStepAgreesAcrossLevelsAndRefusesAZeroSum) {
    DuoMap map(77.0);
    const MapKernels& base = *mapKernelsFor(Isa::Baseline);
    for (int n = 0; n < 100; ++n) {
        DuoMap want = map;
        ASSERT_TRUE(base.duoAdvance(want));
        for (Isa isa : runnableIsas()) {
            DuoMap got = map;
            ASSERT_TRUE(mapKernelsFor(isa)->duoAdvance(got));
            ASSERT_NEAR(got.sphere.e1, want.sphere.e1, kSineRounding) << isaName(isa);
            ASSERT_NEAR(got.sphere.e2, want.sphere.e2, kSineRounding) << isaName(isa);
            ASSERT_NEAR(got.sphere.e3, want.sphere.e3, kSineRounding) << isaName(isa);
        }
        map = want;
    }
    // With every amplitude zero the sum cannot be normalised: the point is left for the caller
    // to replace.
    for (auto& a : map.amps) {
        a = Multivector{};
    }
    const Multivector before = map.sphere;
    for (Isa isa : runnableIsas()) {
        EXPECT_FALSE(mapKernelsFor(isa)->duoAdvance(map)) << isaName(isa);
        EXPECT_EQ(map.sphere, before);
    }
}

// Every sine is sin 1 (waves (0, 0, 1) from the pole) and the amplitudes alternate between a and
// -a + delta: after each pair a component holds sin 1 · delta, which the per-term clean zeroes
// in components 1, 2, 4 and 6 (7 cancels exactly; the rest keep it). A clean left out of a
// component, or applied to the final sum only, moves the next point by far more than a rounding.
TEST(MapKernels, SphereSumCleansEveryComponentAfterEveryTerm) {
    DuoMap map(77.0);
    map.waves.fill(makeVector(0.0, 0.0, 1.0));
    map.sphere = makeVector(0.0, 0.0, 1.0);
    const Multivector a{0.3, 0.2, -0.25, 0.1, 0.05, -0.07, 0.02, 0.04};
    const Multivector b = (-1.0) * a + Multivector{4e-6, 5e-7, -5e-7, 3e-6, 9e-7, 2e-6, -3e-7, 0};
    Multivector sum;
    for (std::size_t k = 0; k < map.amps.size(); ++k) {
        map.amps[k] = k % 2 == 0 ? a : b;
        sum = clean(sum + std::sin(1.0) * map.amps[k]);
    }
    const auto parts = [](const Multivector& v) {
        return std::array{v.scalar, v.e1, v.e2, v.e3, v.e12, v.e13, v.e23, v.e123};
    };
    const auto want = parts(normalise(norm(sum) * sum));
    for (Isa isa : runnableIsas()) {
        DuoMap got = map;
        ASSERT_TRUE(mapKernelsFor(isa)->duoAdvance(got)) << isaName(isa);
        const auto have = parts(got.sphere);
        for (std::size_t c = 0; c < have.size(); ++c) {
            EXPECT_NEAR(have[c], want[c], kSineRounding) << isaName(isa) << " component " << c;
        }
    }
}

} // namespace
} // namespace zarn
