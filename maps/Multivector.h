#pragma once

#include <cmath>

namespace zarn {

/**
 * An element of the Clifford algebra of three-dimensional Euclidean space (e1² = e2² = e3² = 1),
 * stored as its eight components in the fixed order scalar, e1, e2, e3, e12, e13, e23, e123.
 * A vector (x, y, z) is (0, x, y, z, 0, 0, 0, 0). See docs/maps.md, "Dodecahedral sphere map".
 *
 * The sphere map's step uses only the inline operations below (scale, add, clean, norm,
 * normalise); they allocate nothing and have no branches beyond the cleaning threshold.
 */
struct Multivector {
    double scalar = 0.0;
    double e1 = 0.0;
    double e2 = 0.0;
    double e3 = 0.0;
    double e12 = 0.0;
    double e13 = 0.0;
    double e23 = 0.0;
    double e123 = 0.0;

    friend constexpr bool operator==(const Multivector&, const Multivector&) = default;
};

/** Components below this magnitude are taken as rounding noise and set to zero by clean(). */
inline constexpr double kCleanThreshold = 0.000001;
/** What normalise() yields in every component for a multivector of norm 0. */
inline constexpr double kZeroNormMarker = 9999.9999;

constexpr Multivector makeVector(double x, double y, double z) {
    return {0.0, x, y, z, 0.0, 0.0, 0.0, 0.0};
}
constexpr Multivector makeScalar(double s) {
    return {s, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0};
}
/** The e1, e2, e3 components alone. */
constexpr Multivector vectorPart(const Multivector& x) {
    return makeVector(x.e1, x.e2, x.e3);
}

/** The geometric product x·y. Each component sums its eight terms in the order of x's
 *  components, so results are reproducible to the last bit. */
Multivector product(const Multivector& x, const Multivector& y);

/** Scalar and e123 kept; e1, e2, e3, e12, e13, e23 negated. */
constexpr Multivector conjugate(const Multivector& x) {
    return {x.scalar, -x.e1, -x.e2, -x.e3, -x.e12, -x.e13, -x.e23, x.e123};
}

constexpr Multivector scale(double s, const Multivector& x) {
    return {s * x.scalar, s * x.e1,  s * x.e2,  s * x.e3,
            s * x.e12,    s * x.e13, s * x.e23, s * x.e123};
}

constexpr Multivector add(const Multivector& x, const Multivector& y) {
    return {x.scalar + y.scalar, x.e1 + y.e1,   x.e2 + y.e2,   x.e3 + y.e3,
            x.e12 + y.e12,       x.e13 + y.e13, x.e23 + y.e23, x.e123 + y.e123};
}

constexpr Multivector operator+(const Multivector& x, const Multivector& y) {
    return add(x, y);
}
constexpr Multivector operator*(double s, const Multivector& x) {
    return scale(s, x);
}
inline Multivector operator*(const Multivector& x, const Multivector& y) {
    return product(x, y);
}

constexpr double cleanComponent(double v) {
    return (v < kCleanThreshold && v > -kCleanThreshold) ? 0.0 : v;
}

/** Every component of magnitude below kCleanThreshold becomes 0; NaN is kept. */
constexpr Multivector clean(const Multivector& x) {
    return {cleanComponent(x.scalar), cleanComponent(x.e1),  cleanComponent(x.e2),
            cleanComponent(x.e3),     cleanComponent(x.e12), cleanComponent(x.e13),
            cleanComponent(x.e23),    cleanComponent(x.e123)};
}

/** The scalar component of x·conjugate(x), formed with the same terms in the same order as
 *  product() forms it, so norm() never needs the full product. */
constexpr double scalarOfSelfConjugate(const Multivector& x) {
    const Multivector c = conjugate(x);
    return x.scalar * c.scalar + x.e1 * c.e1 + x.e2 * c.e2 + x.e3 * c.e3 - x.e12 * c.e12 -
           x.e13 * c.e13 - x.e23 * c.e23 - x.e123 * c.e123;
}

/** sqrt(|scalar of x·x*|); 0 when that scalar is exactly 0. For a vector this is its length;
 *  for a general element it can vanish although x does not (e1 + e12, for one). */
inline double norm(const Multivector& x) {
    const double s = scalarOfSelfConjugate(x);
    return s == 0.0 ? 0.0 : std::sqrt(std::fabs(s));
}

/** x multiplied by 1/|x|; every component kZeroNormMarker when |x| is 0. */
inline Multivector normalise(const Multivector& x) {
    const double n = norm(x);
    if (n == 0.0) {
        return {kZeroNormMarker, kZeroNormMarker, kZeroNormMarker, kZeroNormMarker,
                kZeroNormMarker, kZeroNormMarker, kZeroNormMarker, kZeroNormMarker};
    }
    return scale(1.0 / n, x);
}

/** The sandwich r·x·r*, formed as (r·x)·r*. */
Multivector turn(const Multivector& r, const Multivector& x);

/**
 * The map's "rotor from u to v" for two vectors: half the angle between them and the unit normal
 * c of their plane, with scalar cos a, e12 = sin a·c.x, e13 = sin a·c.z, e23 = sin a·c.y.
 *
 * That pairing of normal components with bivectors is deliberate: it is not the rotation carrying
 * u onto v, and the map is defined with it. Two guards keep the result finite where the bare
 * formula is not: the cosine is clamped to [-1, 1] (rounding can push it past 1 for nearly equal
 * vectors, and acos would give NaN), and when u × v has length 0 the normal is taken as any unit
 * vector perpendicular to u (for parallel vectors sin a is 0 and the choice is immaterial; for
 * opposite ones it gives a half turn instead of NaN). A zero-length u or v gives the scalar 1.
 */
Multivector rotorFrom(const Multivector& u, const Multivector& v);

} // namespace zarn
