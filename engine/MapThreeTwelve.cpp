#include "MapThreeTwelve.h"

#include "Archive.h"
#include "QuiltMap.h"
#include "RandomSource.h"

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

} // namespace

MapThreeTwelve::MapThreeTwelve() {
    r = 0.5 / std::cos(piOver12);
    k = std::sin(piOver12) * r;
    eB = k / std::sin(piOver3);
    eA = std::cos(piOver3) * eB;
    rotPlus = {std::cos(piOver3), std::sin(piOver3)};
    rotMinus = {std::cos(-piOver3), std::sin(-piOver3)};

    const double ox = origin.re;
    const double oy = origin.im;
    dodecaCentre = origin;
    dodecaCopyB = {ox + 1.0, oy};
    triCentre = {ox + 0.5, oy + k + eB};
    triCopyB = {ox, oy + 0.5 + eA};
    triCopyC = {ox + 1.0, triCopyB.im};
    height = 0.5 + oy + k + eA + eB;
    dodecaCopyC = {ox + 0.5, height};

    twoK = 2.0 * k;
    yg = eA + k + eB;
    yTop = eA + 0.5 + eB;
    xL = 0.5 - k;
    xR = 0.5 + k;
    xF = 1.0 - k;
    s1 = Slope(yg - k, xL - 0.5);
    s2 = Slope(yg - k, xR - 0.5);
    s3 = Slope(0.5 - yg, xF - xR);
    s4 = Slope(0.5 - yg, k - xL);
}

Complex MapThreeTwelve::ToDodecaB(double x, double y, std::int32_t& kind) const {
    kind = 1;
    return {std::fabs(x - dodecaCopyB.re), std::fabs(y - dodecaCopyB.im)};
}

Complex MapThreeTwelve::ToDodecaC(double x, double y, std::int32_t& kind) const {
    kind = 1;
    return {std::fabs(x - dodecaCopyC.re), std::fabs(y - dodecaCopyC.im)};
}

Complex MapThreeTwelve::ToTriB(double x, double y, std::int32_t& kind) const {
    kind = 0;
    const Complex d{x - triCopyB.re, y - triCopyB.im};
    return d * rotPlus + triCentre;
}

Complex MapThreeTwelve::ToTriC(double x, double y, std::int32_t& kind) const {
    kind = 0;
    const Complex d{x - triCopyC.re, y - triCopyC.im};
    return d * rotMinus + triCentre;
}

Complex MapThreeTwelve::ClassifyInto(Complex p, std::int32_t& kind) const {
    const double h = height;
    const double x = std::fabs(std::fabs(std::fmod(p.re + 1.0, 2.0)) - 1.0);
    const double y = std::fabs(std::fabs(std::fmod(h + p.im, 2.0 * h)) - h);
    const Complex q{x, y};

    if (y >= yTop) {
        return ToDodecaC(x, y, kind);
    }
    if (y <= k) {
        if (x <= half) {
            kind = 1;
            return q;
        }
        return ToDodecaB(x, y, kind);
    }
    if (y >= yg && xL <= x && x <= xR) {
        return ToDodecaC(x, y, kind);
    }
    if (y < half) {
        if (x <= k) {
            kind = 1;
            return q;
        }
        if (x >= xF) {
            return ToDodecaB(x, y, kind);
        }
    }
    if (y < yg) {
        // Beside the canonical triangle: its two slanted edges meet at (0.5, k).
        if (x <= xL) {
            kind = 1;
        } else if (x >= xR) {
            return ToDodecaB(x, y, kind);
        } else if (x > half) {
            if (Slope(y - k, x - half) < s2) {
                return ToDodecaB(x, y, kind);
            }
            kind = 0;
        } else {
            kind = Slope(y - k, x - half) >= s1 ? 1 : 0;
        }
        return q;
    }
    if (y < half) {
        if (xR <= x && x <= xF) {
            return Slope(y - yg, x - xR) < s3 ? ToDodecaB(x, y, kind) : ToDodecaC(x, y, kind);
        }
        if (k <= x && x <= xL) {
            if (Slope(y - yg, x - xL) < s4) {
                return ToDodecaC(x, y, kind);
            }
            kind = 1;
            return q;
        }
        // Every finite x was caught above; only a NaN gets here.
        return q;
    }
    // Upper half: the triangles at the left and right edges are turned onto the canonical one.
    if (x < k) {
        return Slope(y - half, x - k) < s1 ? ToDodecaC(x, y, kind) : ToTriB(x, y, kind);
    }
    if (x >= xF && Slope(y - half, x - xF) < s2) {
        return ToTriC(x, y, kind);
    }
    return ToDodecaC(x, y, kind);
}

Complex MapThreeTwelve::Step(Complex point) {
    const Complex q = Classify(point);
    Complex next;
    if (region == 0) {
        next = icon::Map<3>(triA, triB, q - triCentre, triCentre);
    } else {
        next = icon::Map<12>(dodecaA, dodecaB, q - dodecaCentre, dodecaCentre);
    }
    z = Classify(next);
    return z;
}

void MapThreeTwelve::Randomize(RandomSource& random) {
    const std::array<IconPolynomial*, 4> polynomials = {&triA, &triB, &dodecaA, &dodecaB};
    icon::RandomizePolynomials(polynomials, random);
}

std::uint32_t MapThreeTwelve::PixelCount(const QuiltMap& grid, int x, int y) const {
    const double inverse = 1.0 / grid.size;
    std::int32_t kind = 1;
    return icon::CountUnder(grid, ClassifyInto({x * inverse, y * inverse}, kind));
}

MapThreeTwelve::PeriodSize MapThreeTwelve::PeriodFor(int n) const {
    return {static_cast<int>(std::trunc(n * dodecaCopyB.re)),
            2 * static_cast<int>(std::trunc(n * height))};
}

void MapThreeTwelve::TransferFields(Archive& ar) {
    ioFinite(ar, origin, "3.12.12 map origin");
    ioFinite(ar, triCentre, "3.12.12 map triCentre");
    ioFinite(ar, triCopyB, "3.12.12 map triCopyB");
    ioFinite(ar, triCopyC, "3.12.12 map triCopyC");
    ioFinite(ar, dodecaCentre, "3.12.12 map dodecaCentre");
    ioFinite(ar, dodecaCopyB, "3.12.12 map dodecaCopyB");
    ioFinite(ar, dodecaCopyC, "3.12.12 map dodecaCopyC");
    ioFinite(ar, rotPlus, "3.12.12 map rotPlus");
    ioFinite(ar, rotMinus, "3.12.12 map rotMinus");

    ioFinite(ar, eA, "3.12.12 map e_a");
    ioFinite(ar, eB, "3.12.12 map e_b");
    ioFinite(ar, half, "3.12.12 map half spacing");
    ioFinite(ar, r, "3.12.12 map r");
    ioFinite(ar, piOver3, "3.12.12 map pi/3");
    ioFinite(ar, piOver12, "3.12.12 map pi/12");

    const std::array<IconPolynomial*, 4> polynomials = {&triA, &triB, &dodecaA, &dodecaB};
    for (std::size_t i = 0; i < 4; ++i) {
        for (IconPolynomial* polynomial : polynomials) {
            ioFinite(ar, (*polynomial)[i], "3.12.12 map coefficient");
        }
    }

    // Ten scratch complex values, the first being the map's last result. The step never reads
    // it back, so any value is accepted.
    ar.io(z.re, "3.12.12 map point");
    ar.io(z.im, "3.12.12 map point");
    ar.pad(9 * 16, "3.12.12 map scratch");
    ar.pad(16, "3.12.12 map scratch");
    ar.pad(4 * 16, "3.12.12 map scratch");

    ar.pad(16, "3.12.12 map scratch");
    ioFinite(ar, twoK, "3.12.12 map 2k");
    ioFinite(ar, k, "3.12.12 map k");
    ioFinite(ar, yTop, "3.12.12 map yTop");
    ioFinite(ar, xR, "3.12.12 map xR");
    ioFinite(ar, xL, "3.12.12 map xL");
    ioFinite(ar, yg, "3.12.12 map yg");
    ioFinite(ar, xF, "3.12.12 map xF");
    ioFinite(ar, s1, "3.12.12 map s1");
    ioFinite(ar, s2, "3.12.12 map s2");
    ioFinite(ar, s3, "3.12.12 map s3");
    ioFinite(ar, s4, "3.12.12 map s4");
}

void MapThreeTwelve::Serialize(Archive& ar) {
    if (ar.isStoring()) {
        TransferFields(ar);
        return;
    }
    MapThreeTwelve loaded(*this);
    loaded.TransferFields(ar);
    loaded.height = loaded.dodecaCopyC.im;
    requireInRange(loaded.dodecaCopyB.re, kMinPeriodSize, kMaxPeriodSize,
                   "3.12.12 map period width (dodecaCopyB)");
    requireInRange(loaded.height, kMinPeriodSize, kMaxPeriodSize,
                   "3.12.12 map period height (dodecaCopyC)");
    *this = loaded;
}

} // namespace zarn
