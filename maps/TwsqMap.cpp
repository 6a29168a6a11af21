#include "TwsqMap.h"

#include "MapKernels.h"
#include "engine/RandomSource.h"

#include <climits>
#include <cmath>

namespace zarn {

namespace {

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
    return mapKernels().twsqField(*this, point);
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
