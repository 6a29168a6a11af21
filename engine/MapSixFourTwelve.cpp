#include "MapSixFourTwelve.h"

#include "Archive.h"
#include "QuiltMap.h"
#include "RandomSource.h"

#include <algorithm>
#include <cmath>
#include <string>

namespace zarn {

namespace {

void ioFinite(Archive& ar, double& v, const char* field) {
    ar.io(v, field);
    if (ar.isLoading()) {
        requireFinite(v, field);
    }
}

void ioFinite(Archive& ar, Complex& c, const char* field) {
    ioFinite(ar, c.re, field);
    ioFinite(ar, c.im, field);
}

// Signed area of the triangle a, b, c (twice over): positive when c lies left of a->b.
double orientation(Complex a, Complex b, Complex c) {
    return (b.re - a.re) * (c.im - a.im) - (b.im - a.im) * (c.re - a.re);
}

// Compared by sign rather than by product: a product of two tiny areas can underflow to 0 and
// would pass as "on the line".
bool onOppositeSidesOrOnLine(double u, double v) {
    return (u <= 0.0 && v >= 0.0) || (u >= 0.0 && v <= 0.0);
}

bool isFinite(Complex c) {
    return std::isfinite(c.re) && std::isfinite(c.im);
}

} // namespace

MapSixFourTwelve::MapSixFourTwelve() {
    rootTwo = std::sqrt(2.0);
    rotCos = std::cos(-piOver6);
    rotSin = std::sin(-piOver6);
    scale = rootTwo;
    SetUpGeometry();
    // The second pass rescales the tiling so that the strip's height is 1 (plus the origin).
    scale = rootTwo / period;
    SetUpGeometry();
    squareOffset = origin;
}

void MapSixFourTwelve::SetUpGeometry() {
    const double ox = origin.re;
    const double oy = origin.im;
    e1 = std::cos(piOver4) * scale;
    e2 = e1 / std::sin(piOver12);
    e3 = std::cos(piOver12) * e2;
    e4 = e1 / std::sin(piOver6);
    e5 = std::cos(piOver6) * e4;

    halfWidth = e1 + e3 + ox;
    dodecaOffset = {halfWidth, oy};
    dodecaCentre = {ox, oy + e5 + e5 + e1 + e3};
    period = dodecaCentre.im;
    hexOffset = {ox, e5 + oy + e1};
    hexCentre = {halfWidth, oy + e5 + e3};
    const double squareX = e1 + (e3 - e1) / 2.0;
    squareCentreA = {squareX, squareX + e5};
    squareCentreB = {e1 + ox + e3, e3 + e5 + (e5 + oy + e1)};

    t1 = e1;
    t2 = e5 + e1 + e5;
    t3 = e1;
    t4 = e4;
    t5 = e5 + e3 + e5;
    t6 = e1 + e3 - e4;
    t7 = e5 + e1;
    t8 = e5 + e3;
}

bool MapSixFourTwelve::SegmentsCross(Complex p1, Complex p2, Complex p3, Complex p4) {
    if (std::max(p1.re, p2.re) < std::min(p3.re, p4.re) ||
        std::max(p3.re, p4.re) < std::min(p1.re, p2.re) ||
        std::max(p1.im, p2.im) < std::min(p3.im, p4.im) ||
        std::max(p3.im, p4.im) < std::min(p1.im, p2.im)) {
        return false;
    }
    return onOppositeSidesOrOnLine(orientation(p3, p4, p1), orientation(p3, p4, p2)) &&
           onOppositeSidesOrOnLine(orientation(p1, p2, p3), orientation(p1, p2, p4));
}

Complex MapSixFourTwelve::ToSquareA(double x, double y, std::int32_t& kind) const {
    kind = 0;
    const double dx = x - squareCentreA.re;
    const double dy = y - squareCentreA.im;
    // The tilted square is turned by -pi/6 onto the axis-aligned one at the origin.
    const double rx = dx * rotCos - dy * rotSin;
    const double ry = dx * rotSin + dy * rotCos;
    return {std::fabs(rx), std::fabs(ry)};
}

Complex MapSixFourTwelve::ToSquareB(double x, double y, std::int32_t& kind) const {
    kind = 0;
    return {std::fabs(x - squareCentreB.re), std::fabs(y - squareCentreB.im)};
}

Complex MapSixFourTwelve::ToHex(double x, double y, std::int32_t& kind) const {
    kind = 1;
    const double h = x - hexCentre.re + hexOffset.re;
    const double v = y - hexCentre.im + hexOffset.im;
    return {std::fabs(h), v};
}

Complex MapSixFourTwelve::ToDodeca(double x, double y, std::int32_t& kind) const {
    kind = 2;
    double h = x - dodecaCentre.re + dodecaOffset.re;
    const double v = y - dodecaCentre.im + dodecaOffset.im;
    if (h > dodecaOffset.re) {
        h = 2.0 * dodecaOffset.re - h;
    }
    return {h, std::fabs(v)};
}

Complex MapSixFourTwelve::ClassifyInto(Complex p, std::int32_t& kind) const {
    const double a = halfWidth;
    // fmod keeps the sign of its first argument; the outer fabs folds the negative side back.
    const double x = std::fabs(std::fabs(std::fmod(a + p.re, 2.0 * a)) - a);
    const double y = std::fabs(std::fabs(std::fmod(p.im + 1.0, 2.0)) - 1.0);
    const Complex q{x, y};

    if (y < t1) {
        kind = x < t3 ? 0 : 2;
        return q;
    }
    if (y > t5) {
        return x > e3 ? ToSquareB(x, y, kind) : ToDodeca(x, y, kind);
    }
    if (y >= t2 && x <= t3) {
        return ToDodeca(x, y, kind);
    }
    if (y <= t7) {
        // Below the tilted square only the hexagon/dodecagon edge separates the kinds.
        kind = SegmentsCross({0.0, hexOffset.im}, q, {e1, e1}, {e4, hexOffset.im}) ? 2 : 1;
        return q;
    }
    if (y >= t8) {
        return !SegmentsCross(hexCentre, q, {t6, t8}, {e3, t5}) ? ToHex(x, y, kind)
                                                                : ToDodeca(x, y, kind);
    }
    // The band between t7 and t8: which edge of the tilted square the ray from its centre leaves
    // by tells the neighbour the point lies in.
    const Complex s = squareCentreA;
    if (SegmentsCross(s, q, {e4, t7}, {e3, e3})) {
        kind = 2;
        return q;
    }
    if (SegmentsCross(s, q, {e3, e3}, {t6, t8})) {
        return ToHex(x, y, kind);
    }
    if (SegmentsCross(s, q, {t6, t8}, {e1, t2})) {
        return ToDodeca(x, y, kind);
    }
    if (SegmentsCross(s, q, {e1, t2}, {e4, t4})) {
        kind = 1;
        return q;
    }
    return ToSquareA(x, y, kind);
}

Complex MapSixFourTwelve::Step(Complex point) {
    const Complex q = Classify(point);
    // The icon map moves z, not the driver's point, so a non-finite z would never recover even
    // after the driver replaces its point: restart the orbit from the classified point instead.
    if (!isFinite(z)) {
        z = q;
    }
    Complex next;
    if (region == 0) {
        next = icon::Map<4>(squareA, squareB, z, squareOffset);
    } else if (region == 1) {
        next = icon::Map<6>(hexA, hexB, z, hexOffset);
    } else {
        next = icon::Map<12>(dodecaA, dodecaB, z, dodecaOffset);
    }
    z = Classify(next);
    return z;
}

namespace icon {

void RandomizePolynomials(std::span<IconPolynomial* const> polynomials, RandomSource& random) {
    for (std::size_t k = 0; k < 4; ++k) {
        for (IconPolynomial* polynomial : polynomials) {
            const double u1 = random.Uniform();
            const double u2 = random.Uniform();
            (*polynomial)[k] = {20.0 * u2 - 10.0, 20.0 * u1 - 10.0};
        }
    }
}

std::uint32_t CountUnder(const QuiltMap& grid, Complex q) {
    const double n = grid.size;
    const double row = std::trunc(q.im * n);
    const double column = std::trunc(q.re * n);
    if (!(row >= 0.0 && row < n && column >= 0.0 && column < n)) {
        return 0;
    }
    return grid.CountAt(static_cast<int>(row), static_cast<int>(column));
}

} // namespace icon

void MapSixFourTwelve::Randomize(RandomSource& random) {
    const std::array<IconPolynomial*, 6> polynomials = {&squareA, &squareB, &hexA,
                                                        &hexB,    &dodecaA, &dodecaB};
    icon::RandomizePolynomials(polynomials, random);
}

std::uint32_t MapSixFourTwelve::PixelCount(const QuiltMap& grid, int x, int y) const {
    const double inverse = 1.0 / grid.size;
    std::int32_t kind = 0;
    return icon::CountUnder(grid, ClassifyInto({x * inverse, y * inverse}, kind));
}

MapSixFourTwelve::PeriodSize MapSixFourTwelve::PeriodFor(int n) const {
    return {2 * static_cast<int>(std::trunc(n * halfWidth)),
            2 * static_cast<int>(std::trunc(n * period))};
}

void MapSixFourTwelve::TransferFields(Archive& ar) {
    ioFinite(ar, origin, "4.6.12 map origin");
    ar.pad(8, "4.6.12 map spare value");
    ioFinite(ar, squareOffset, "4.6.12 map square offset");
    ioFinite(ar, squareCentreA, "4.6.12 map squareCentreA");
    ioFinite(ar, squareCentreB, "4.6.12 map squareCentreB");
    ioFinite(ar, hexOffset, "4.6.12 map hexOffset");
    ioFinite(ar, hexCentre, "4.6.12 map hexCentre");
    ioFinite(ar, dodecaOffset, "4.6.12 map dodecaOffset");
    ioFinite(ar, dodecaCentre, "4.6.12 map dodecaCentre");

    const std::array<IconPolynomial*, 6> polynomials = {&squareA, &squareB, &hexA,
                                                        &hexB,    &dodecaA, &dodecaB};
    for (std::size_t k = 0; k < 4; ++k) {
        for (IconPolynomial* polynomial : polynomials) {
            ioFinite(ar, (*polynomial)[k], "4.6.12 map coefficient");
        }
    }

    ioFinite(ar, rootTwo, "4.6.12 map rootTwo");
    ioFinite(ar, piOver4, "4.6.12 map pi/4");
    ioFinite(ar, piOver12, "4.6.12 map pi/12");
    ioFinite(ar, piOver6, "4.6.12 map pi/6");
    ioFinite(ar, piOver3, "4.6.12 map pi/3");
    ioFinite(ar, e1, "4.6.12 map e1");
    ioFinite(ar, scale, "4.6.12 map scale");
    ioFinite(ar, e5, "4.6.12 map e5");
    ioFinite(ar, e4, "4.6.12 map e4");
    ioFinite(ar, e3, "4.6.12 map e3");
    ioFinite(ar, e2, "4.6.12 map e2");

    // Eleven scratch complex values, the second being the map's point. A non-finite point is
    // accepted: the step restarts such an orbit from the driver's point.
    ar.pad(16, "4.6.12 map scratch");
    ar.io(z.re, "4.6.12 map point");
    ar.io(z.im, "4.6.12 map point");
    ar.pad(9 * 16, "4.6.12 map scratch");
    ar.pad(16, "4.6.12 map scratch");
    ar.pad(3 * 16, "4.6.12 map scratch");
    ioFinite(ar, rotCos, "4.6.12 map rotation");
    ioFinite(ar, rotSin, "4.6.12 map rotation");
    ar.pad(16, "4.6.12 map scratch");

    ar.pad(16, "4.6.12 map scratch");
    ioFinite(ar, t1, "4.6.12 map t1");
    ioFinite(ar, t2, "4.6.12 map t2");
    ioFinite(ar, t3, "4.6.12 map t3");
    ioFinite(ar, t4, "4.6.12 map t4");
    ar.pad(8, "4.6.12 map spare threshold");
    ioFinite(ar, t5, "4.6.12 map t5");
    ioFinite(ar, t6, "4.6.12 map t6");
    // e3 is written twice; the second copy, beside the thresholds, is the one classification
    // reads after a load.
    ioFinite(ar, e3, "4.6.12 map e3 threshold");
    ioFinite(ar, t7, "4.6.12 map t7");
    ioFinite(ar, t8, "4.6.12 map t8");
}

void MapSixFourTwelve::Serialize(Archive& ar) {
    if (ar.isStoring()) {
        TransferFields(ar);
        return;
    }
    MapSixFourTwelve loaded(*this);
    loaded.TransferFields(ar);
    loaded.halfWidth = loaded.dodecaOffset.re;
    loaded.period = loaded.dodecaCentre.im;
    requireInRange(loaded.halfWidth, kMinStripSize, kMaxStripSize,
                   "4.6.12 map strip width (dodecaOffset)");
    requireInRange(loaded.period, kMinStripSize, kMaxStripSize,
                   "4.6.12 map strip height (dodecaCentre)");
    *this = loaded;
}

} // namespace zarn
