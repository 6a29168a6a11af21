#include "HexMap.h"

#include "MapKernels.h"
#include "engine/Archive.h"
#include "engine/CRandom.h"
#include "engine/QuiltMap.h"
#include "engine/RandomSource.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdio>
#include <limits>
#include <string>

namespace zarn {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

constexpr Complex conj(Complex c) {
    return {c.re, -c.im};
}

/** Angle of (x, y) in (0, 2 pi]: the fold's tests are written for that range, so a point on the
 *  positive x axis counts as angle twoPi, not 0. */
double angleOf(double x, double y, double twoPi) {
    double a = std::atan2(y, x);
    if (a <= 0.0) {
        a += twoPi;
    }
    return a;
}

/** A ray from the origin: the cosine and sine of its angle. */
struct Ray {
    double c = 0.0;
    double s = 0.0;
};

/**
 * Which side of @p ray the point (x, y) lies on, without its angle: +1 counter-clockwise of the
 * ray, -1 clockwise, 0 when that is not certain. For a point and a ray in one half-plane (y and
 * the ray's sine of one sign, the angles in (0, pi) or in (-pi, 0)), the side tells how the
 * point's angle compares with the ray's. It counts as certain only when the point is clear of the
 * ray by a trillionth of its size: far more than atan2's rounding and the rounding of angleOf's
 * shift by twoPi, so the comparison of the rounded angle comes out the same.
 */
int sideOf(const Ray& ray, double x, double y) {
    const double size = std::fabs(x) + std::fabs(y);
    const double cross = ray.c * y - ray.s * x; // |(x, y)| sin(angle - ray's angle)
    if (!(size > 1e-300) || !(std::fabs(cross) > 1e-12 * size)) {
        return 0;
    }
    return cross > 0.0 ? 1 : -1;
}

/** The angles the fold's tests compare with, as rays, for the map's own constants. */
struct FoldRays {
    double twoPi = 0.0;
    double piThird = 0.0;
    Ray third;          // piThird
    Ray twoThirds;      // pi - piThird
    Ray minusThird;     // (twoPi - piThird) - twoPi, as angleOf's shift makes it
    Ray minusTwoThirds; // (pi + piThird) - twoPi
};

const FoldRays& defaultFoldRays() {
    static const FoldRays rays = [] {
        const HexMap constants;
        const double pi = constants.pi;
        const double twoPi = constants.twoPi;
        const double piThird = constants.piThird;
        const auto ray = [](double angle) { return Ray{std::cos(angle), std::sin(angle)}; };
        // Both differences are exact: each pair of values lies within a factor of two.
        return FoldRays{twoPi,
                        piThird,
                        ray(piThird),
                        ray(pi - piThird),
                        ray((twoPi - piThird) - twoPi),
                        ray((pi + piThird) - twoPi)};
    }();
    return rays;
}

/** |(x, y)| without overflow: the larger component is factored out before squaring. */
double modulus(double x, double y) {
    const double ax = std::fabs(x);
    const double ay = std::fabs(y);
    if (ax >= ay) {
        if (ax == 0.0) {
            return 0.0;
        }
        const double t = ay / ax;
        return ax * std::sqrt(1.0 + t * t);
    }
    const double t = ax / ay;
    return ay * std::sqrt(1.0 + t * t);
}

std::array<Complex, 3> orbitOf(Complex k, Complex rot) {
    const Complex r1 = rot * k;
    return {k, r1, rot * r1};
}

std::string number(double v) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", v);
    return text;
}

/** A truncated cell or pixel index lies in the n x n counted cells. NaN fails the test, so no
 *  non-finite value is ever converted to an integer. */
bool inGrid(double index, double n) {
    return index >= 0.0 && index < n;
}

} // namespace

HexMap::HexMap() {
    // Every working value, coefficient and table starts at zero from the member initialisers.
    twoPi = 6.283185307;
    pi = 3.1415926535;
    twoPiThird = twoPi / 3.0;
    piSixth = pi / 6.0;
    piThird = pi / 3.0;
    threeOverPi = 3.0 / pi;
    c30 = std::cos(piSixth);
    invC30 = 1.0 / c30;
    twoC30 = 2.0 * c30;
    c30Copy = c30;
    negTwoC30 = -2.0 * c30;
    twoThirds = 2.0 / 3.0;
    oneAndHalf = 1.5;
    detailOn = 0;
    detailDepth = 11;
    knotOn = 0;
    shrinkCentre = {0.5, std::sin(piThird) * 0.5};

    const double root3 = std::sqrt(3.0);
    dualA = {1.0, -1.0 / root3};
    dualB = {0.0, 2.0 / root3};
    rot120 = {std::cos(twoPiThird), std::sin(twoPiThird)};
    rot240 = {rot120.re * rot120.re - rot120.im * rot120.im, 2.0 * rot120.re * rot120.im};

    double angle = piThird;
    for (int j = 0; j < 6; ++j) {
        sectorAngles[j] = angle;
        sectorDirA[j] = {std::cos(-(angle + piSixth)), std::sin(-(angle + piSixth))};
        sectorDirB[j] = {std::cos(-angle), std::sin(-angle)};
        angle += piThird;
    }
    dirMinus30 = {std::cos(-piSixth), std::sin(-piSixth)};
    dirPlus30 = {std::cos(piSixth), std::sin(piSixth)};

    for (int i = 0; i < kDetailOrbits; ++i) {
        const Complex a{static_cast<double>(kDetailA[i]), 0.0};
        const Complex b{static_cast<double>(kDetailB[i]), 0.0};
        FormScratchImages(twoPi * (a * dualA + b * dualB));
        detailWaves[0][i] = detailScratch[0];
        detailWaves[1][i] = detailScratch[1];
        detailWaves[2][i] = detailScratch[3];
        detailWaves[3][i] = detailScratch[2];
        detailWaves[4][i] = detailScratch[4];
        detailWaves[5][i] = detailScratch[5];
    }

    waveAlpha = orbitOf({3.0, 1.0 / root3}, rot120);
    waveAlphaBar = orbitOf({3.0, -1.0 / root3}, rot120);
    waveH = orbitOf({2.0, 0.0}, rot120);
    waveLambda = orbitOf({1.0, -1.0 / root3}, rot120);
}

void HexMap::FormScratchImages(Complex b) {
    // Successive products with rot120, never rot240: the images must match the ones the
    // session files were written with, bit for bit.
    detailScratch[0] = b;
    detailScratch[1] = rot120 * b;
    detailScratch[2] = conj(b);
    detailScratch[3] = rot120 * detailScratch[1];
    detailScratch[4] = rot120 * detailScratch[2];
    detailScratch[5] = rot120 * detailScratch[4];
}

bool HexMap::SetDetailCoefficient(int index, Complex coefficient) {
    if (index < 0 || index >= kDetailOrbits) {
        return false;
    }
    FormScratchImages(coefficient);
    detailCoefs[0][index] = detailScratch[0];
    detailCoefs[1][index] = detailScratch[1];
    detailCoefs[2][index] = detailScratch[3];
    detailCoefs[3][index] = detailScratch[2];
    detailCoefs[4][index] = detailScratch[4];
    detailCoefs[5][index] = detailScratch[5];
    return true;
}

bool HexMap::SetSize(double n) {
    // Above kMaxCellSize the map would write a record that it refuses to read back.
    if (!std::isfinite(n) || n <= 0.0 || n > kMaxCellSize) {
        return false;
    }
    cellSize = n;
    cellSizeInverse = 1.0 / n;
    shrinkCentre = {0.5, std::sin(piThird) * 0.5};

    alphaImages[0] = rot120 * alpha;
    alphaImages[1] = rot120 * alphaImages[0];
    alphaImages[2] = conj(alpha);
    alphaImages[3] = rot120 * alphaImages[2];
    alphaImages[4] = rot120 * alphaImages[3];

    const double c = std::cos(piSixth);
    hexCentres[0] = {0.0, 0.0};
    hexCentres[1] = {3.0 * n, 0.0};
    hexCentres[2] = {1.5 * n, c * n};
    hexCentres[3] = {0.0, 2.0 * c * n};
    hexCentres[4] = {3.0 * n, 2.0 * c * n};
    periodWidth = 3.0 * n;
    periodHeight = c * (2.0 * n);
    return true;
}

void HexMap::RandomizeCoefficients(bool detail, RandomSource& random, CRandom& cRandom) {
    detailOn = detail ? 1 : 0;

    const double u1 = random.Uniform();
    const double u2 = random.Uniform();
    lambda = {0.3 * u2 - 0.15, 0.15 * u1};
    const double u3 = random.Uniform();
    const double u4 = random.Uniform();
    alpha = {0.2 * u4 - 0.1, 0.2 * u3 - 0.1};
    const double u5 = random.Uniform();
    hAlpha = 0.19 * u5 - 0.15;
    const double u6 = random.Uniform();
    const double u7 = random.Uniform();
    mapped = {u7, u6};
    hEmm = (cRandom() % 2 != 0) ? 1.0 : 0.0;

    for (int i = 0; i < kDetailOrbits; ++i) {
        const double order = kDetailOrder[i];
        const double scale = i < 3 ? 1.0 : 1.0 / (order * order);
        const double ua = random.Uniform();
        const double ub = random.Uniform();
        SetDetailCoefficient(i, scale * Complex{0.6 * ub - 0.3, 0.6 * ua - 0.3});
    }
}

HexQuiltStart HexMap::StartRandomQuilt(bool detail, bool knot, RandomSource& random,
                                       CRandom& cRandom, double gridSize) {
    RandomizeCoefficients(detail, random, cRandom);
    const double a = random.Uniform();
    const double b = random.Uniform();
    const Complex start{b, a};
    HexQuiltStart result;
    result.raw = start;
    result.point = knot ? Complex{start.re + start.im / 2.0, start.im * c30} : FoldToSector(start);
    SetSize(gridSize);
    return result;
}

Complex HexMap::PlainSum(Complex z) {
    return mapKernels().hexPlainSum(*this, z);
}

Complex HexMap::DetailSum(Complex z) const {
    return mapKernels().hexDetailSum(*this, z);
}

Complex HexMap::Step(Complex z) {
    point = z;
    mapped = detailOn != 0 ? DetailSum(z) : PlainSum(z);
    return FoldToSector(mapped);
}

Complex HexMap::KnotStep(Complex z) {
    point = z;
    mapped = detailOn != 0 ? DetailSum(z) : PlainSum(z);
    const double v = mapped.im * invC30;
    const double u = mapped.re - v * 0.5;
    return {u, v};
}

Complex HexMap::FoldCore(Complex p, Complex& beforeRotation) const {
    beforeRotation = {kNaN, kNaN};
    // A non-finite coordinate never satisfies the angle tests of the fold.
    if (!std::isfinite(p.re) || !std::isfinite(p.im)) {
        return {kNaN, kNaN};
    }
    // fmod keeps the sign of its argument, so a negative argument leaves the point below its
    // period: left of the rectangle around the origin's hexagon, or below its band.
    const double restQ = std::fmod(p.re + 1.5, 3.0);
    const double restB = std::fmod(p.im + c30, twoC30);
    Complex before;
    Complex folded;
    const bool settled = FoldFrom(restQ - 1.5, restB - c30, before, folded);
    const bool startedBelow = restQ < 0.0 || restB < 0.0;
    if (settled && (!startedBelow || !BeyondFarSide(folded))) {
        beforeRotation = before;
        return folded;
    }
    if (!startedBelow) {
        return {kNaN, kNaN};
    }
    // The exit tests only describe the hexagon from inside that rectangle: a point started
    // below the band can pass them far outside the hexagon. Such a point is folded again from
    // one period up; every other point keeps the fold above.
    const double q = (restQ < 0.0 ? restQ + 3.0 : restQ) - 1.5;
    const double b = (restB < 0.0 ? restB + twoC30 : restB) - c30;
    if (!FoldFrom(q, b, before, folded)) {
        return {kNaN, kNaN};
    }
    beforeRotation = before;
    return folded;
}

bool HexMap::FoldFrom(double q, double b, Complex& beforeRotation, Complex& folded) const {
    // Each pass moves the point one hexagon toward the one at the origin. The shifts are a
    // little longer than 1.5 so that a point on a shared edge cannot bounce between two
    // hexagons for ever.
    //
    // Each test compares an angle from angleOf with a threshold. Where the point lies clearly on
    // one side of the threshold's ray, that side decides the test without the arctangent (see
    // sideOf); otherwise, or for a map whose constants were changed, the angle is measured.
    const FoldRays& defaults = defaultFoldRays();
    const FoldRays* rays =
        twoPi == defaults.twoPi && piThird == defaults.piThird ? &defaults : nullptr;
    bool settled = false;
    double d = 0.0;
    bool measured = false; // d holds the angle of (q, b)
    for (int pass = 0; pass < kMaxFoldPasses && !settled; ++pass) {
        const bool upper = b > 0.0;
        const bool sided = rays != nullptr && b != 0.0;
        // Toward the corner (1, 0) when the angle is below piThird or above twoPi - piThird.
        const int side = sided ? sideOf(upper ? rays->third : rays->minusThird, q, b) : 0;
        bool right = false;
        if (side != 0) {
            right = upper ? side < 0 : side > 0;
            measured = false;
        } else {
            d = angleOf(q, b, twoPi);
            measured = true;
            right = d < piThird || d > twoPi - piThird;
        }
        if (right) {
            const int eSide =
                sided ? sideOf(upper ? rays->twoThirds : rays->minusTwoThirds, q - 1.0, b) : 0;
            bool inside = false;
            if (eSide != 0) {
                inside = upper ? eSide > 0 : eSide < 0;
            } else {
                const double e = angleOf(q - 1.0, b, twoPi);
                inside = upper ? e >= pi - piThird : e <= pi + piThird;
            }
            if (inside) {
                settled = true;
            } else if (upper) {
                b -= c30;
                q -= 1.50012;
            } else {
                b += c30;
                q -= 1.50013;
            }
        } else {
            const int eSide =
                sided ? sideOf(upper ? rays->third : rays->minusThird, q + 1.0, b) : 0;
            bool inside = false;
            if (eSide != 0) {
                inside = upper ? eSide < 0 : eSide > 0;
            } else {
                const double e = angleOf(q + 1.0, b, twoPi);
                inside = upper ? e <= piThird : e >= twoPi - piThird;
            }
            if (inside) {
                settled = true;
            } else if (upper) {
                b -= c30;
                q += 1.500121;
            } else {
                b += c30;
                q += 1.500132;
            }
        }
    }
    if (!settled) {
        return false;
    }

    // The settling pass moved neither q nor b, so an angle it measured is the point's unless
    // the band's edge moves b now.
    const bool beyondBand = b > c30 || b < -c30;
    if (b > c30) {
        b -= (twoC30 - 0.00123);
    } else if (b < -c30) {
        b += (twoC30 - 0.00123);
    }
    beforeRotation = {q, b};
    const double theta = measured && !beyondBand ? d : angleOf(q, b, twoPi);
    const double phi = std::fmod(theta, piThird);
    const double r = modulus(q, b);
    folded = {r * std::cos(phi), r * std::sin(phi)};
    return true;
}

bool HexMap::BeyondFarSide(Complex f) const {
    // The side from (1, 0) to (1/2, c30): both corners give c30 x + y / 2 = c30 exactly.
    return c30 * f.re + 0.5 * f.im > c30;
}

Complex HexMap::FoldToSector(Complex p) {
    Complex before;
    point = FoldCore(p, before);
    mapped = before;
    return point;
}

Complex HexMap::ViewFold(Complex p) const {
    Complex before;
    const Complex f = FoldCore(p, before);
    return {(f.re - 0.5) * 0.96 + 0.5, (f.im - shrinkCentre.im) * 0.96 + shrinkCentre.im};
}

Complex HexMap::KnotViewPoint(double px, double py) const {
    int nearest = 0;
    double best = 100000.0;
    for (int c = 0; c < 5; ++c) {
        const double distance = modulus(px - hexCentres[c].re, py - hexCentres[c].im);
        if (distance < best) {
            best = distance;
            nearest = c;
        }
    }
    const double dx = px - hexCentres[nearest].re;
    const double dy = py - hexCentres[nearest].im;
    const double rho = modulus(dx, dy);

    double theta = std::atan2(dy, dx);
    if (theta < 0.0) {
        theta += twoPi;
    }
    double phi = std::fmod(theta, piThird);
    // Odd sectors are mirrors of even ones. The parity is taken on the real so that a
    // non-finite angle is never converted to an integer.
    if (std::fmod(std::trunc(theta * threeOverPi), 2.0) != 0.0) {
        phi = piSixth + (piSixth - phi);
    }
    const double r = rho * cellSizeInverse;
    const double x = r * std::cos(phi);
    const double y = r * std::sin(phi) * invC30;
    return {x - y * 0.5, y};
}

std::uint32_t HexMap::PixelCount(const QuiltMap& grid, std::uint32_t px, std::uint32_t py,
                                 bool knot) const {
    const std::uint32_t cell = PixelCell(grid, px, py, knot);
    return cell == kNoCell ? 0 : grid.CellData()[cell];
}

std::uint32_t HexMap::PixelCell(const QuiltMap& grid, std::uint32_t px, std::uint32_t py,
                                bool knot) const {
    const double n = grid.size;
    double row = 0.0;
    double column = 0.0;
    if (knot) {
        // Row from u and column from v: the knot picture reads the grid transposed with
        // respect to the driver, which counts row v, column u.
        const Complex uv = KnotViewPoint(px, py);
        row = std::trunc(uv.re * n);
        column = std::trunc(uv.im * n);
    } else {
        const Complex f = ViewFold({px * cellSizeInverse, py * cellSizeInverse});
        column = std::round(f.re * n);
        row = std::round(f.im * n);
    }
    if (!inGrid(row, n) || !inGrid(column, n)) {
        return kNoCell;
    }
    return static_cast<std::uint32_t>(
        grid.IndexOf(static_cast<int>(row), static_cast<int>(column)));
}

std::vector<std::uint64_t> HexMap::ViewKey() const {
    // More than the fold reads today (every constant the map does not change as it steps), so
    // that a new use of one in the fold cannot leave a stale table.
    std::vector<std::uint64_t> key;
    const auto add = [&key](double v) { key.push_back(std::bit_cast<std::uint64_t>(v)); };
    for (const double v :
         {twoPi, pi, twoPiThird, piSixth, piThird, threeOverPi, c30, invC30, twoC30, c30Copy,
          negTwoC30, twoThirds, oneAndHalf, cellSize, cellSizeInverse, periodWidth, periodHeight}) {
        add(v);
    }
    for (const Complex c : {shrinkCentre, rot120, rot240, dualA, dualB}) {
        add(c.re);
        add(c.im);
    }
    for (const Complex c : hexCentres) {
        add(c.re);
        add(c.im);
    }
    return key;
}

void HexMap::PersistRecord(Archive& ar) {
    if (ar.isStoring()) {
        Transfer(ar);
        return;
    }
    ar.requireRemaining(kRecordSize, "hexagonal map record");
    // Load into a copy so that a record refused half-way leaves this map as it was.
    HexMap loaded(*this);
    loaded.Transfer(ar);
    *this = loaded;
}

void HexMap::Transfer(Archive& ar) {
    const bool loading = ar.isLoading();
    auto plain = [&](Complex& c, const char* field) {
        ar.io(c.re, field);
        ar.io(c.im, field);
    };
    // Values the map computes with must be finite; working values and unused tables need not.
    auto finite = [&](Complex& c, const char* field) {
        plain(c, field);
        if (loading) {
            requireFinite(c.re, field);
            requireFinite(c.im, field);
        }
    };
    auto finiteReal = [&](double& v, const char* field) {
        ar.io(v, field);
        if (loading) {
            requireFinite(v, field);
        }
    };
    auto lowByte = [&](std::int32_t& flag, const char* field) {
        auto low = static_cast<std::uint8_t>(static_cast<std::uint32_t>(flag) & 0xFFu);
        ar.io(low, field);
        if (loading) {
            flag =
                static_cast<std::int32_t>((static_cast<std::uint32_t>(flag) & 0xFFFFFF00u) | low);
        }
    };
    auto withinRange = [&](double v, double hi, const char* field) {
        if (loading && !(v >= 0.0 && v <= hi)) {
            Archive::fail(field, number(v) + " is outside 0.." + number(hi));
        }
    };

    plain(point, "hex point");
    plain(mapped, "hex mapped point");
    for (Complex& s : sineValues) {
        plain(s, "hex sine value");
    }
    plain(accumulator, "hex accumulator");
    ar.pad(32, "hex reserved working values");
    finite(rot120, "hex rotation");
    for (Complex& w : waveAlpha) {
        finite(w, "hex alpha wave");
    }
    for (Complex& w : waveAlphaBar) {
        finite(w, "hex conjugate alpha wave");
    }
    finite(waveH[0], "hex H wave");
    finite(waveLambda[0], "hex lambda wave");
    finite(waveLambda[1], "hex lambda wave");
    finite(waveLambda[2], "hex lambda wave");
    finite(waveH[1], "hex H wave");
    finite(waveH[2], "hex H wave");
    for (Complex& a : alphaImages) {
        finite(a, "hex alpha image");
    }

    for (int j = 0; j < 6; ++j) {
        plain(sectorDirA[j], "hex sector direction");
        plain(sectorDirB[j], "hex sector direction");
        ar.io(sectorAngles[j], "hex sector angle");
    }

    plain(dirMinus30, "hex direction -30");
    plain(dirPlus30, "hex direction +30");
    finite(rot120, "hex rotation");
    plain(rot240, "hex rotation 240");
    plain(dualA, "hex dual basis");
    plain(dualB, "hex dual basis");

    for (int i = 0; i < kDetailOrbits; ++i) {
        for (int g = 0; g < 6; ++g) {
            finite(detailCoefs[g][i], "hex detail coefficient");
        }
        for (int g = 0; g < 6; ++g) {
            finite(detailWaves[g][i], "hex detail wave");
        }
    }
    for (Complex& s : detailScratch) {
        plain(s, "hex detail scratch");
    }

    finiteReal(twoPi, "hex twoPi");
    finiteReal(twoPiThird, "hex twoPiThird");
    finiteReal(piSixth, "hex piSixth");
    finiteReal(piThird, "hex piThird");
    finiteReal(c30, "hex c30");
    finiteReal(invC30, "hex invC30");
    finiteReal(threeOverPi, "hex threeOverPi");
    finiteReal(cellSize, "hex cell size");
    withinRange(cellSize, kMaxCellSize, "hex cell size");
    finiteReal(cellSizeInverse, "hex inverse cell size");
    ar.pad(16, "hex reserved");

    ar.io(c30Copy, "hex c30 copy");
    ar.io(negTwoC30, "hex -2 c30");
    finiteReal(twoC30, "hex 2 c30");

    finite(alpha, "hex alpha");
    finite(lambda, "hex lambda");
    finiteReal(hEmm, "hex H_Emm");
    finiteReal(hAlpha, "hex H_alpha");

    lowByte(detailOn, "hex detail flag");
    ar.io(detailDepth, "hex detail depth");
    if (loading && (detailDepth < 0 || detailDepth >= kDetailSlots)) {
        Archive::fail("hex detail depth", std::to_string(detailDepth) + " is outside 0.." +
                                              std::to_string(kDetailSlots - 1));
    }
    lowByte(knotOn, "hex knot flag");

    ar.io(twoThirds, "hex 2/3");
    ar.io(oneAndHalf, "hex 3/2");

    for (int c = 0; c < 5; ++c) {
        finite(hexCentres[c], "hex centre");
    }

    finiteReal(periodWidth, "hex period width");
    withinRange(periodWidth, 3.0 * kMaxCellSize, "hex period width");
    finiteReal(periodHeight, "hex period height");
    withinRange(periodHeight, 2.0 * kMaxCellSize, "hex period height");
    ar.pad(8, "hex reserved words");
}

} // namespace zarn
