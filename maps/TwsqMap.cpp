#include "TwsqMap.h"

#include "engine/RandomSource.h"

#include <climits>
#include <cmath>

namespace zarn {

namespace {

constexpr double kTwoPi = 2.0 * TwsqMap::kPi;
constexpr double kFourPi = 4.0 * TwsqMap::kPi;
constexpr double kSixPi = 6.0 * TwsqMap::kPi;

/** sin(a + ib) = sin a cosh b + i cos a sinh b. */
inline Complex complexSine(double a, double b) {
    return {std::sin(a) * std::cosh(b), std::cos(a) * std::sinh(b)};
}

/** |x + iy| scaled by the larger part, so that squaring cannot overflow or underflow. */
inline double scaledModulus(double x, double y) {
    double big = std::fabs(x);
    double small = std::fabs(y);
    if (big < small) {
        const double t = big;
        big = small;
        small = t;
    }
    if (big == 0.0) {
        return 0.0;
    }
    const double q = small / big;
    return big * std::sqrt(1.0 + q * q);
}

/** Smith's division: divides by the larger component of the denominator first, which keeps the
 *  intermediate products in range. */
inline Complex smithDivide(Complex num, Complex den) {
    if (std::fabs(den.re) >= std::fabs(den.im)) {
        const double ratio = den.im / den.re;
        const double denom = den.re + den.im * ratio;
        return {(num.re + num.im * ratio) / denom, (num.im - num.re * ratio) / denom};
    }
    const double ratio = den.re / den.im;
    const double denom = den.re * ratio + den.im;
    return {(num.re * ratio + num.im) / denom, (num.im * ratio - num.re) / denom};
}

/** The int nearest to a whole double, saturated: the shift of an absurd value is only a record. */
inline int saturatedInt(double whole) {
    if (whole >= static_cast<double>(INT_MAX)) {
        return INT_MAX;
    }
    if (whole <= static_cast<double>(INT_MIN)) {
        return INT_MIN;
    }
    return static_cast<int>(whole);
}

} // namespace

double TwsqMap::WrapCoordinate(double v, int& shift) {
    if (v > 1.0) {
        const double whole = std::trunc(v);
        shift = saturatedInt(whole);
        return v - whole;
    }
    if (v < 0.0) {
        const double whole = 1.0 - std::trunc(v);
        shift = saturatedInt(whole);
        return v + whole;
    }
    return v;
}

Complex TwsqMap::TwsqField(Complex point) const {
    const double r = scaledModulus(point.re, point.im);
    const double theta = std::atan2(point.im, point.re);
    const Complex unit{std::cos(theta), std::sin(theta)};

    // k·π·r for k = 2, 4, 6: index h stands for the harmonic 2π(h + 1).
    const double scaled[3] = {kTwoPi * r, kFourPi * r, kSixPi * r};
    double xs[3];
    double ys[3];
    Complex mirrored[3];
    for (int h = 0; h < 3; ++h) {
        xs[h] = scaled[h] * unit.re;
        ys[h] = scaled[h] * unit.im;
        mirrored[h] = smithDivide({scaled[h], 0.0}, unit);
    }

    // p[a][b] = s(2π(a+1)x, 2π(b+1)y) and q[a][b] = s(2π(a+1)x, -2π(b+1)y). The eighteen sines
    // are independent, so they are evaluated once as a batch and both passes read them.
    Complex p[3][3];
    Complex q[3][3];
    for (int a = 0; a < 3; ++a) {
        for (int b = 0; b < 3; ++b) {
            p[a][b] = complexSine(xs[a], ys[b]);
            q[a][b] =
                a == b ? complexSine(mirrored[a].re, mirrored[a].im) : complexSine(xs[a], -ys[b]);
        }
    }

    const double c11 = Coef(1, 1);
    const double c12 = Coef(1, 2);
    const double c13 = Coef(1, 3);
    const double c21 = Coef(2, 1);
    const double c22 = Coef(2, 2);
    const double c23 = Coef(2, 3);
    const double c31 = Coef(3, 1);
    const double c32 = Coef(3, 2);
    const double c33 = Coef(3, 3);

    // The two passes add up to c(m,n)[(m+n) s(2πn x, 2πm y) + (m-n) s(2πm x, -2πn y)] per
    // coefficient; their split and order are part of the map's numeric identity.
    Complex first{};
    first += c11 * (p[0][0] + q[0][0]);
    first += c12 * (q[0][1] + 2.0 * p[1][0]);
    first += c13 * (q[0][2] + 3.0 * p[2][0]);
    first += c21 * (p[0][1] + 2.0 * q[1][0]);
    first += (2.0 * c22) * (p[1][1] + q[1][1]);
    first += c23 * (2.0 * q[1][2] + 3.0 * p[2][1]);
    first += c31 * (p[0][2] + 3.0 * q[2][0]);
    first += c32 * (2.0 * p[1][2] + 3.0 * q[2][1]);
    first += (3.0 * c33) * (p[2][2] + q[2][2]);

    Complex second{};
    second += c11 * (p[0][0] - q[0][0]);
    second += c12 * (p[1][0] - 2.0 * q[0][1]);
    second += c13 * (p[2][0] - 3.0 * q[0][2]);
    second += c21 * (2.0 * p[0][1] - q[1][0]);
    second += (2.0 * c22) * (p[1][1] - q[1][1]);
    second += c23 * (2.0 * p[2][1] - 3.0 * q[1][2]);
    second += c31 * (3.0 * p[0][2] - q[2][0]);
    second += c32 * (3.0 * p[1][2] - 2.0 * q[2][1]);
    second += (3.0 * c33) * (p[2][2] - q[2][2]);

    return second + first;
}

Complex TwsqMap::TwsqStep(Complex point) {
    const Complex sum = TwsqField(point);
    twsqRaw.re = WrapCoordinate(sum.re, twsqShiftX);
    twsqRaw.im = WrapCoordinate(sum.im, twsqShiftY);
    twsqPoint = twsqRaw;
    return twsqPoint;
}

void TwsqMap::TwsqRandomCoefficients(RandomSource& random) {
    for (int m = 1; m <= 3; ++m) {
        for (int n = 1; n <= 3; ++n) {
            Coef(m, n) = random.Uniform() * kDrawScale - kDrawOffset;
        }
    }
}

} // namespace zarn
