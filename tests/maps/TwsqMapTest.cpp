#include "maps/TwsqMap.h"

#include "engine/RandomSource.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <vector>

namespace zarn {
namespace {

constexpr double kPi = 3.141592653589793;

Complex naiveSine(double a, double b) {
    return {std::sin(a) * std::cosh(b), std::cos(a) * std::sinh(b)};
}

// F written per coefficient in Cartesian form; the map evaluates it in polar form in two passes.
// Returns F and a bound on |F| that the rounding of either evaluation is relative to.
std::pair<Complex, double> naiveField(const TwsqMap& map, double x, double y) {
    Complex f{};
    double bound = 1e-300;
    for (int m = 1; m <= 3; ++m) {
        for (int n = 1; n <= 3; ++n) {
            const Complex direct = naiveSine(2 * kPi * n * x, 2 * kPi * m * y);
            const Complex mirror = naiveSine(2 * kPi * m * x, -2 * kPi * n * y);
            f += map.Coef(m, n) * (double(m + n) * direct + double(m - n) * mirror);
            bound += std::fabs(map.Coef(m, n)) * 6 * std::cosh(6 * kPi * std::fabs(y));
        }
    }
    return {f, bound};
}

double naiveWrap(double v) {
    return v > 1 ? v - std::trunc(v) : v < 0 ? v + 1 - std::trunc(v) : v;
}

// Distance on the unit circle: a value that rounds across a whole number wraps to the other end.
double circularDistance(double a, double b) {
    const double d = std::fabs(a - b);
    return std::min(d, std::fabs(1.0 - d));
}

std::vector<TwsqMap> coefficientSets() {
    std::vector<TwsqMap> maps(5);
    RandomSource random;
    random.SeedFrom(0.4711);
    for (int k = 0; k < 4; ++k) {
        maps[k].TwsqRandomCoefficients(random);
    }
    for (int i = 0; i < 9; ++i) { // the edges of the range, alternating in sign
        maps[4].twsqCoefs[i] = (i % 2 ? -1.0 : 1.0) / 36.0;
    }
    return maps;
}

TEST(TwsqMap, StepIsTheWrappedPerCoefficientFormula) {
    for (TwsqMap map : coefficientSets()) {
        for (int i = 0; i <= 30; ++i) {
            for (int k = 0; k <= 30; ++k) {
                const Complex p{i / 30.0, k / 30.0};
                const auto [want, bound] = naiveField(map, p.re, p.im);
                const double tol = 1e-12 * bound;
                const Complex field = map.TwsqField(p);
                ASSERT_NEAR(field.re, want.re, tol) << p.re << ", " << p.im;
                ASSERT_NEAR(field.im, want.im, tol) << p.re << ", " << p.im;
                const Complex got = map.TwsqStep(p);
                ASSERT_LE(circularDistance(got.re, naiveWrap(want.re)), tol + 1e-15);
                ASSERT_LE(circularDistance(got.im, naiveWrap(want.im)), tol + 1e-15);
                ASSERT_TRUE(got.re >= 0 && got.re <= 1 && got.im >= 0 && got.im <= 1);
                ASSERT_EQ(map.twsqPoint, got);
                ASSERT_EQ(map.twsqRaw, got);
            }
        }
    }
}

TEST(TwsqMap, ZeroCoefficientsOrTheOriginGiveTheOrigin) {
    TwsqMap zero;
    EXPECT_EQ(zero.TwsqStep({0.3, 0.9}), (Complex{0.0, 0.0}));
    for (TwsqMap map : coefficientSets()) {
        EXPECT_EQ(map.TwsqStep({0.0, 0.0}), (Complex{0.0, 0.0}));
    }
}

struct WrapCase {
    double in;
    double out;
    int shift;
};
constexpr int kKept = -12345; // the shift is left as it was

class TwsqWrap : public ::testing::TestWithParam<WrapCase> {};

TEST_P(TwsqWrap, FoldsLikeTheTorusAndRecordsTheShift) {
    int shift = kKept;
    EXPECT_EQ(TwsqMap::WrapCoordinate(GetParam().in, shift), GetParam().out);
    EXPECT_EQ(shift, GetParam().shift);
}

// Beyond the int range the point still wraps and the shift saturates instead of overflowing.
INSTANTIATE_TEST_SUITE_P(Cases, TwsqWrap,
                         ::testing::Values(WrapCase{1.0, 1.0, kKept}, WrapCase{-1.0, 1.0, 2},
                                           WrapCase{0.0, 0.0, kKept}, WrapCase{2.25, 0.25, 2},
                                           WrapCase{-0.25, 0.75, 1}, WrapCase{-3.0, 1.0, 4},
                                           WrapCase{1.0e300, 0.0, INT_MAX},
                                           WrapCase{-1.0e300, 0.0, INT_MAX}));

TEST(TwsqMap, RandomCoefficientsAreNineDrawsInRowOrderScaledToAThirtySixth) {
    RandomSource random;
    random.SeedFrom(0.918);
    RandomSource replay = random;
    TwsqMap map;
    map.TwsqRandomCoefficients(random);
    for (int m = 1; m <= 3; ++m) {
        for (int n = 1; n <= 3; ++n) {
            EXPECT_EQ(map.Coef(m, n),
                      replay.Uniform() * 0.05555555555555555 - 0.027777777777777776);
            EXPECT_TRUE(map.Coef(m, n) >= -1.0 / 36 && map.Coef(m, n) < 1.0 / 36);
        }
    }
    EXPECT_EQ(random.Uniform(), replay.Uniform()) << "exactly nine draws";
}

} // namespace
} // namespace zarn
