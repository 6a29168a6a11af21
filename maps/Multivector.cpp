#include "Multivector.h"

#include <algorithm>

namespace zarn {

Multivector product(const Multivector& x, const Multivector& y) {
    Multivector r;
    r.scalar = x.scalar * y.scalar + x.e1 * y.e1 + x.e2 * y.e2 + x.e3 * y.e3 - x.e12 * y.e12 -
               x.e13 * y.e13 - x.e23 * y.e23 - x.e123 * y.e123;
    r.e1 = x.scalar * y.e1 + x.e1 * y.scalar - x.e2 * y.e12 - x.e3 * y.e13 + x.e12 * y.e2 +
           x.e13 * y.e3 - x.e23 * y.e123 - x.e123 * y.e23;
    r.e2 = x.scalar * y.e2 + x.e1 * y.e12 + x.e2 * y.scalar - x.e3 * y.e23 - x.e12 * y.e1 +
           x.e13 * y.e123 + x.e23 * y.e3 + x.e123 * y.e13;
    r.e3 = x.scalar * y.e3 + x.e1 * y.e13 + x.e2 * y.e23 + x.e3 * y.scalar - x.e12 * y.e123 -
           x.e13 * y.e1 - x.e23 * y.e2 - x.e123 * y.e12;
    r.e12 = x.scalar * y.e12 + x.e1 * y.e2 - x.e2 * y.e1 + x.e3 * y.e123 + x.e12 * y.scalar -
            x.e13 * y.e23 + x.e23 * y.e13 + x.e123 * y.e3;
    r.e13 = x.scalar * y.e13 + x.e1 * y.e3 - x.e2 * y.e123 - x.e3 * y.e1 + x.e12 * y.e23 +
            x.e13 * y.scalar - x.e23 * y.e12 - x.e123 * y.e2;
    r.e23 = x.scalar * y.e23 + x.e1 * y.e123 + x.e2 * y.e3 - x.e3 * y.e2 - x.e12 * y.e13 +
            x.e13 * y.e12 + x.e23 * y.scalar + x.e123 * y.e1;
    r.e123 = x.scalar * y.e123 + x.e1 * y.e23 - x.e2 * y.e13 + x.e3 * y.e12 + x.e12 * y.e3 -
             x.e13 * y.e2 + x.e23 * y.e1 + x.e123 * y.scalar;
    return r;
}

Multivector turn(const Multivector& r, const Multivector& x) {
    return product(product(r, x), conjugate(r));
}

namespace {

struct Vec3 {
    double x, y, z;
};

double dot3(const Vec3& a, const Vec3& b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}

Vec3 cross3(const Vec3& a, const Vec3& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

double length3(const Vec3& a) {
    return std::sqrt(dot3(a, a));
}

/** A unit vector perpendicular to @p u (u not zero): u crossed with the axis it leans on least. */
Vec3 perpendicularTo(const Vec3& u) {
    const double ax = std::fabs(u.x);
    const double ay = std::fabs(u.y);
    const double az = std::fabs(u.z);
    Vec3 axis{0.0, 0.0, 1.0};
    if (ax <= ay && ax <= az) {
        axis = {1.0, 0.0, 0.0};
    } else if (ay <= az) {
        axis = {0.0, 1.0, 0.0};
    }
    const Vec3 c = cross3(u, axis);
    const double n = length3(c);
    return {c.x / n, c.y / n, c.z / n};
}

} // namespace

Multivector rotorFrom(const Multivector& u, const Multivector& v) {
    const Vec3 a{u.e1, u.e2, u.e3};
    const Vec3 b{v.e1, v.e2, v.e3};
    const double lengths = norm(u) * norm(v);
    if (lengths == 0.0) {
        return makeScalar(1.0);
    }
    const double cosine = std::clamp(dot3(a, b) / lengths, -1.0, 1.0);
    const double half = 0.5 * std::acos(cosine);

    const Vec3 normal = cross3(a, b);
    const double normalLength = length3(normal);
    const Vec3 c = normalLength > 0.0 ? Vec3{normal.x / normalLength, normal.y / normalLength,
                                             normal.z / normalLength}
                                      : perpendicularTo(a);

    const double s = std::sin(half);
    Multivector r;
    r.scalar = std::cos(half);
    r.e12 = s * c.x;
    r.e13 = s * c.z;
    r.e23 = s * c.y;
    return r;
}

} // namespace zarn
