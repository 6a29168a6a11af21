#include "maps/DuoMap.h"
#include "maps/Multivector.h"

#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <cmath>

namespace zarn {
namespace {

// ---- A second, naive algebra: blades as bit masks (e1 = 1, e2 = 2, e3 = 4). ----

constexpr std::array<int, 8> kMask = {0, 1, 2, 4, 3, 5, 6, 7}; // component order -> blade

std::array<double, 8> components(const Multivector& m) {
    return {m.scalar, m.e1, m.e2, m.e3, m.e12, m.e13, m.e23, m.e123};
}

Multivector fromComponents(const std::array<double, 8>& c) {
    return {c[0], c[1], c[2], c[3], c[4], c[5], c[6], c[7]};
}

int componentOf(int mask) {
    for (int i = 0; i < 8; ++i) {
        if (kMask[i] == mask) {
            return i;
        }
    }
    return -1;
}

// Sign of reordering blade a·b into canonical order; every basis vector squares to +1.
double bladeSign(int a, int b) {
    int swaps = 0;
    for (a >>= 1; a != 0; a >>= 1) {
        swaps += std::popcount(static_cast<unsigned>(a & b));
    }
    return (swaps & 1) ? -1.0 : 1.0;
}

Multivector naiveProduct(const Multivector& x, const Multivector& y) {
    const auto a = components(x);
    const auto b = components(y);
    std::array<double, 8> r{};
    for (int i = 0; i < 8; ++i) {
        for (int j = 0; j < 8; ++j) {
            r[componentOf(kMask[i] ^ kMask[j])] += bladeSign(kMask[i], kMask[j]) * a[i] * b[j];
        }
    }
    return fromComponents(r);
}

Multivector blade(int component, double value = 1.0) {
    std::array<double, 8> c{};
    c[component] = value;
    return fromComponents(c);
}

enum Component { S, E1, E2, E3, E12, E13, E23, E123 };

struct BladeProduct {
    Component left, right, result;
    double sign;
};

class MultivectorBladeProduct : public ::testing::TestWithParam<BladeProduct> {};

TEST_P(MultivectorBladeProduct, MatchesTheTabulatedExample) {
    const BladeProduct p = GetParam();
    EXPECT_EQ(product(blade(p.left), blade(p.right)), blade(p.result, p.sign));
}

INSTANTIATE_TEST_SUITE_P(
    Table, MultivectorBladeProduct,
    ::testing::Values(BladeProduct{E1, E2, E12, 1.0}, BladeProduct{E2, E1, E12, -1.0},
                      BladeProduct{E1, E12, E2, 1.0}, BladeProduct{E2, E13, E123, -1.0},
                      BladeProduct{E1, E23, E123, 1.0}, BladeProduct{E12, E12, S, -1.0},
                      BladeProduct{E123, E123, S, -1.0}, BladeProduct{E3, E3, S, 1.0}));

TEST(Multivector, ProductMatchesNaiveBladeAlgebraBitForBit) {
    for (int i = 0; i < 8; ++i) {
        for (int j = 0; j < 8; ++j) {
            EXPECT_EQ(product(blade(i), blade(j)), naiveProduct(blade(i), blade(j)))
                << i << " x " << j;
        }
    }
    RandomSource rng;
    rng.SeedFrom(7.25);
    for (int n = 0; n < 200; ++n) {
        std::array<double, 8> a{}, b{};
        for (int i = 0; i < 8; ++i) {
            a[i] = 4.0 * rng.Uniform() - 2.0;
            b[i] = 4.0 * rng.Uniform() - 2.0;
        }
        EXPECT_EQ(product(fromComponents(a), fromComponents(b)),
                  naiveProduct(fromComponents(a), fromComponents(b)));
    }
}

TEST(Multivector, NormUsesTheScalarOfTheConjugateProduct) {
    const Multivector x{0.5, -1.0, 2.0, 0.25, 3.0, -0.5, 1.5, 0.75};
    const double s = naiveProduct(x, conjugate(x)).scalar;
    EXPECT_EQ(norm(x), std::sqrt(std::fabs(s)));
    EXPECT_EQ(norm(makeVector(3.0, 4.0, 12.0)), 13.0);
    // Mixed signature: nonzero but of norm 0, so normalising gives the marker.
    const Multivector nullElement{0.0, 1.0, 0.0, 0.0, 1.0, 0.0, 0.0, 0.0};
    EXPECT_EQ(norm(nullElement), 0.0);
    EXPECT_EQ(normalise(nullElement).e2, kZeroNormMarker);
    EXPECT_EQ(normalise(Multivector{}).e123, kZeroNormMarker);
}

TEST(Multivector, CleanZeroesOnlyComponentsBelowTheThreshold) {
    const Multivector c =
        clean({0.000001, -0.000001, 0.00000099, -0.00000099, 1.0, -2.0, 0.0, std::nan("")});
    EXPECT_EQ(c.scalar, 0.000001);
    EXPECT_EQ(c.e1, -0.000001);
    EXPECT_EQ(c.e2, 0.0);
    EXPECT_EQ(c.e3, 0.0);
    EXPECT_EQ(c.e12, 1.0);
    EXPECT_TRUE(std::isnan(c.e123));
}

Multivector naiveRotor(const Multivector& u, const Multivector& v) {
    const double dot = u.e1 * v.e1 + u.e2 * v.e2 + u.e3 * v.e3;
    const double a = 0.5 * std::acos(dot / (norm(u) * norm(v)));
    const double cx = u.e2 * v.e3 - u.e3 * v.e2;
    const double cy = u.e3 * v.e1 - u.e1 * v.e3;
    const double cz = u.e1 * v.e2 - u.e2 * v.e1;
    const double len = std::sqrt(cx * cx + cy * cy + cz * cz);
    Multivector r;
    r.scalar = std::cos(a);
    r.e12 = std::sin(a) * (cx / len);
    r.e13 = std::sin(a) * (cz / len);
    r.e23 = std::sin(a) * (cy / len);
    return r;
}

TEST(Multivector, RotorKeepsItsCrossedBivectorAssignment) {
    const Multivector u = makeVector(0.3, -0.2, 0.9);
    const Multivector v = makeVector(-0.5, 0.7, 0.1);
    EXPECT_EQ(rotorFrom(u, v), naiveRotor(u, v));

    // The rotor from e1 to e2 turns in the e1e3 plane, so e1 does not go to e2.
    const Multivector r = rotorFrom(makeVector(1, 0, 0), makeVector(0, 1, 0));
    EXPECT_EQ(r.e12, 0.0);
    EXPECT_NEAR(r.e13, std::sin(std::acos(0.0) / 2.0), 1e-15);
    const Multivector turned = turn(r, makeVector(1, 0, 0));
    EXPECT_NEAR(turned.e2, 0.0, 1e-15);
    EXPECT_NEAR(std::fabs(turned.e3), 1.0, 1e-15);
}

TEST(Multivector, RotorStaysFiniteForEqualAndOppositeVectors) {
    // For this vector u·u / |u|² rounds to 1.0000000000000002, whose acos is NaN.
    const Multivector u = makeVector(-0.73, 0.69, 0.53);
    EXPECT_EQ(rotorFrom(u, u), makeScalar(1.0));

    const Multivector half = rotorFrom(u, scale(-1.0, u));
    for (double c : components(half)) {
        EXPECT_TRUE(std::isfinite(c));
    }
    EXPECT_NEAR(norm(half), 1.0, 1e-15);
    EXPECT_EQ(rotorFrom(Multivector{}, u), makeScalar(1.0));
}

// ---- The sphere map. ----

constexpr double kSeed = 1234567.0 / 3.0;

// Literal transcription of SetUp's random part, drawing from its own source.
struct NaiveSetUp {
    std::array<Multivector, 3> w, a;
    Multivector p;
};

NaiveSetUp naiveSetUp(const DuoMap& shape, RandomSource& rng) {
    NaiveSetUp out;
    for (int b = 0; b < 3; ++b) {
        Multivector wb;
        for (int i = 0; i < 12; ++i) {
            for (int j = 0; j < 5; ++j) {
                wb = wb + (6 * rng.Uniform() - 3) * shape.faces[i].vertices[j];
            }
        }
        out.w[b] = clean(makeVector(wb.e1, wb.e2, wb.e3));
        const double u1 = rng.Uniform(), u2 = rng.Uniform(), u3 = rng.Uniform();
        out.a[b] =
            clean(normalise({0, 0.4 * u1 - 0.2, 0.4 * u2 - 0.2, 0.4 * u3 - 0.2, 0, 0, 0, 0}));
    }
    const double u1 = rng.Uniform(), u2 = rng.Uniform(), u3 = rng.Uniform();
    out.p = normalise(makeVector(0.4 * u1 - 0.2, 0.4 * u2 - 0.2, 0.4 * u3 - 0.2));
    return out;
}

TEST(DuoMap, SetUpDrawsInTheStatedOrderAndBuildsTheTurnedTables) {
    DuoMap map(kSeed);
    RandomSource rng;
    rng.SeedFrom(kSeed);
    const NaiveSetUp expected = naiveSetUp(map, rng);

    EXPECT_EQ(map.faces[0].placement, makeScalar(1.0));
    for (int i = 0; i < 12; ++i) {
        const DuoFace& f = map.faces[i];
        Multivector p = makeScalar(1.0);
        if (i > 0) {
            const Multivector q = rotorFrom(map.faces[0].centre, f.centre);
            const Multivector moved = q * map.faces[0].vertices[0] * conjugate(q);
            p = rotorFrom(makeVector(moved.e1, moved.e2, moved.e3), f.vertices[0]) * q;
        }
        ASSERT_EQ(f.placement, clean(p)) << "face " << i;
        for (int j = 0; j < 5; ++j) {
            const Multivector r =
                j == 0 ? makeScalar(1.0) : rotorFrom(f.vertices[0], f.vertices[j]);
            const Multivector g = clean(r * clean(p));
            ASSERT_EQ(f.turns[j], g);
            for (int b = 0; b < 3; ++b) {
                const int k = 60 * b + 5 * i + j;
                ASSERT_EQ(map.waves[k], g * expected.w[b] * conjugate(g)) << k;
                ASSERT_EQ(map.amps[k], g * expected.a[b] * conjugate(g)) << k;
            }
        }
    }
    EXPECT_EQ(map.sphere, expected.p);
    // Exactly 63 × 3 + 3 = 192 draws: both sources are now in step.
    EXPECT_EQ(DuoMap::kSetUpDraws, 192);
    EXPECT_EQ(map.duoRandom.Uniform(), rng.Uniform());
    EXPECT_EQ(map.duoRandom.stageState, rng.stageState);
}

TEST(DuoMap, FaceElevenHasTwoEqualTurns) {
    const DuoMap map(kSeed);
    EXPECT_EQ(map.faces[11].centre, makeVector(0, 0, -1));
    EXPECT_EQ(map.faces[3].vertices[4], makeVector(0.872678, -0.356822, -0.333333));
    EXPECT_EQ(map.faces[11].turns[2], map.faces[11].turns[3]);
    EXPECT_EQ(map.waves[60 + 55 + 2], map.waves[60 + 55 + 3]);
}

// Literal transcription of one step with general multivector arithmetic.
constexpr double kSineRounding = 1e-13;
struct NaiveStep {
    Multivector p;
    bool counted;
    double x, y;
};

NaiveStep naiveStep(const DuoMap& m, Multivector p) {
    Multivector f;
    for (int k = 0; k < 180; ++k) {
        const Multivector& w = m.waves[k];
        const double s = std::sin(w.e2 * p.e2 + p.e1 * w.e1 + w.e3 * p.e3);
        f = clean(f + s * m.amps[k]);
    }
    const double n = norm(f);
    p = normalise(n * f);
    const Multivector h = 0.5 * p;
    return {p, p.e3 >= 0, h.e1 + 0.5, h.e2 + 0.5};
}

TEST(DuoMap, StepMatchesLiteralTranscriptionFromManyStarts) {
    DuoMap map(kSeed);
    RandomSource starts;
    starts.SeedFrom(99.5);
    for (int n = 0; n < 300; ++n) {
        if (n % 30 == 0) {
            map.SetUp(500.0);
        }
        if (n % 3 == 0) {
            map.sphere = normalise(makeVector(2 * starts.Uniform() - 1, 2 * starts.Uniform() - 1,
                                              2 * starts.Uniform() - 1));
        }
        const NaiveStep expected = naiveStep(map, map.sphere);
        bool counted = !expected.counted;
        const DuoPoint got = map.DuoStep(counted);
        // The step's sines come from the vector library (at most 1 ulp from exact): a unit
        // vector built from 180 terms moves by a few 1e-15 at most.
        const std::array<double, 8> want = components(expected.p);
        const std::array<double, 8> have = components(map.sphere);
        for (std::size_t c = 0; c < want.size(); ++c) {
            ASSERT_NEAR(have[c], want[c], kSineRounding) << n << " component " << c;
        }
        ASSERT_EQ(counted, expected.counted);
        ASSERT_NEAR(got.x, expected.x, kSineRounding);
        ASSERT_NEAR(got.y, expected.y, kSineRounding);
        EXPECT_EQ(map.outX, got.x);
        EXPECT_EQ(map.outY, got.y);
    }
}

// Every amplitude set to @p a and every wave to (0, 0, 1), so that from the pole the sum is
// 180·sin(1)·a and the next point is a's direction.
DuoMap mapHeadingFor(const Multivector& a) {
    DuoMap map(kSeed);
    map.amps.fill(a);
    map.waves.fill(makeVector(0, 0, 1));
    map.sphere = makeVector(0, 0, 1);
    return map;
}

TEST(DuoMap, HemisphereFlagCountsTheEquatorButNotBelowIt) {
    DuoMap below = mapHeadingFor(makeVector(0.6, 0.0, -0.8));
    bool counted = true;
    below.DuoStep(counted);
    EXPECT_FALSE(counted);
    EXPECT_LT(below.sphere.e3, 0.0);

    DuoMap equator = mapHeadingFor(makeVector(1.0, 0.0, 0.0));
    counted = false;
    const DuoPoint rim = equator.DuoStep(counted);
    EXPECT_TRUE(counted);
    EXPECT_EQ(rim.x, 1.0); // the grid's margin column absorbs it
    EXPECT_EQ(rim.y, 0.5);
}

TEST(DuoMap, ZeroOrNanSumReplacesThePointWithThreeDraws) {
    for (double amp : {0.0, std::nan("")}) {
        DuoMap map = mapHeadingFor(makeVector(amp, amp, amp));
        RandomSource twin = map.duoRandom;
        const double u1 = twin.Uniform(), u2 = twin.Uniform(), u3 = twin.Uniform();
        bool counted = true;
        map.DuoStep(counted);
        EXPECT_EQ(map.sphere,
                  normalise(makeVector(0.4 * u1 - 0.2, 0.4 * u2 - 0.2, 0.4 * u3 - 0.2)));
        EXPECT_EQ(map.duoRandom.Uniform(), twin.Uniform());
    }
}

TEST(DuoMap, DegenerateRandomPointFallsBackToThePoleInsteadOfTheMarker) {
    EXPECT_EQ(DuoMap::PlacePoint(Multivector{}, 0.5, 0.5, 0.5), makeVector(0, 0, 1));
    EXPECT_EQ(DuoMap::PlacePoint(Multivector{}, 1.0, 0.5, 0.5), makeVector(1, 0, 0));
}

TEST(DuoMap, SeededRunsAreReproducibleAndStayOnTheUnitDisc) {
    DuoMap first(kSeed);
    DuoMap second(1.0);
    for (int n = 0; n < 50; ++n) {
        bool ignored = true;
        second.DuoStep(ignored);
    }
    second.SeedRandom(kSeed);
    second.SetUp(500.0);
    EXPECT_EQ(second.sphere, first.sphere);

    int below = 0;
    for (int n = 0; n < 20000; ++n) {
        bool a = true, b = true;
        const DuoPoint p = first.DuoStep(a);
        const DuoPoint q = second.DuoStep(b);
        ASSERT_EQ(p.x, q.x);
        ASSERT_EQ(p.y, q.y);
        ASSERT_EQ(a, b);
        ASSERT_TRUE(p.x >= 0.0 && p.x <= 1.0 && p.y >= 0.0 && p.y <= 1.0) << n;
        ASSERT_NEAR(norm(first.sphere), 1.0, 1e-12);
        below += a ? 0 : 1;
    }
    EXPECT_GT(below, 0);
}

TEST(DuoMap, RadialWeightsForTheDefaultGrid) {
    const DuoMap map(kSeed);
    const std::vector<double>& w = map.radialWeights;
    ASSERT_EQ(w.size(), 500u);
    EXPECT_EQ(w[0], 3.1415265 / (500.0 * std::fabs(std::acos(0.004) - std::acos(0.0))));
    EXPECT_NEAR(w[0], 1.570759, 1e-6);
    EXPECT_NEAR(w[249], 0.070223, 1e-6);
    for (std::size_t r = 250; r < 500; ++r) {
        ASSERT_EQ(w[r], 1.0);
    }
}

class OddGridRadialWeights : public ::testing::TestWithParam<double> {};

TEST_P(OddGridRadialWeights, LastFallingWeightTakesItsNeighboursValue) {
    const double n = GetParam();
    std::vector<double> w;
    DuoMap::BuildRadialWeights(w, n);
    const std::size_t falling = static_cast<std::size_t>(n / 2) + 1;
    ASSERT_EQ(w.size(), 2 * falling);
    for (double v : w) {
        ASSERT_TRUE(std::isfinite(v));
    }
    EXPECT_EQ(w[falling - 1], falling > 1 ? w[falling - 2] : 1.0);
    EXPECT_EQ(w[falling], 1.0);
}

INSTANTIATE_TEST_SUITE_P(Sizes, OddGridRadialWeights, ::testing::Values(1.0, 3.0, 7.0, 501.0));

TEST(DuoMap, RadialWeightLookupNeverReadsPastTheTable) {
    const DuoMap map(kSeed);
    EXPECT_EQ(map.RadialWeight(250, 250, 500), map.radialWeights[0]);
    EXPECT_EQ(map.RadialWeight(253, 246, 500), map.radialWeights[5]);
    EXPECT_EQ(map.RadialWeight(0, 0, 500), 1.0);
    // A bitmap larger than the grid the weights were built for.
    EXPECT_EQ(map.RadialWeight(0, 0, 4000), 1.0);
    EXPECT_EQ(DuoMap::RadialWeightAt({}, 3, 3, 8), 1.0);
    std::vector<double> none;
    DuoMap::BuildRadialWeights(none, 0.0);
    EXPECT_TRUE(none.empty());
}

} // namespace
} // namespace zarn
