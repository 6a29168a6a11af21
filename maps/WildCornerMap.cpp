#include "WildCornerMap.h"

#include "MapKernels.h"
#include "engine/Archive.h"
#include "engine/CRandom.h"
#include "engine/RandomSource.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace zarn {

namespace {

/** Table entries per row of harmonics; only the first twelve of each are used. */
constexpr int kTableRowRoom = 14;
/** How far stored angle values may stray from the ones this machine computes for the same N:
 *  another C library may round sin and cos differently in the last place, nothing more. */
constexpr double kAngleTolerance = 1e-9;

constexpr int rowsFor(int n) {
    return n / 2 + 1;
}

/** 1 for the first three harmonics, 1/n_j² after them. */
inline double amplitudeScale(int j) {
    const int n = WildCornerMap::kAmplitudeOrder[static_cast<std::size_t>(j)];
    return j < 3 ? 1.0 : 1.0 / static_cast<double>(n * n);
}

inline double shownWeight(int j) {
    const int n = WildCornerMap::kAmplitudeOrder[static_cast<std::size_t>(j)];
    return static_cast<double>(n * n);
}

inline std::size_t at(int i, int j) {
    return static_cast<std::size_t>(WildCornerMap::kHarmonics * i + j);
}

std::string outside(long long v, int lo, int hi) {
    return std::to_string(v) + " is outside " + std::to_string(lo) + ".." + std::to_string(hi);
}

} // namespace

WildCornerMap::WildCornerMap(CRandom& cRandom)
    : WildCornerMap(cRandom() % kRandomCornerSpan + kMinCornerN) {}

WildCornerMap::WildCornerMap(int n) {
    cornerN = std::clamp(n, kMinCornerN, kMaxCornerN);
    rotationCount = rowsFor(cornerN);
    angleStep = cornerTwoPi / cornerN;
    sinStep = std::sin(angleStep);
    cosStep = std::cos(angleStep);
    rotations.assign(static_cast<std::size_t>(rotationCount + 2), Complex{});
    cornerWaves.assign(static_cast<std::size_t>(kTableRowRoom * rotationCount), Complex{});
    cornerCoefs.assign(static_cast<std::size_t>(kTableRowRoom * rotationCount), Complex{});
}

void WildCornerMap::BuildBasisAndRotations() {
    basisA = {1.0, (1.0 - cosStep) / sinStep};
    basisB = {0.0, 1.0 / sinStep};
    rotations.assign(static_cast<std::size_t>(rotationCount + 2), Complex{});
    for (int i = 0; i < rotationCount; ++i) {
        const double angle = -(static_cast<double>(i + 1) * angleStep);
        rotations[static_cast<std::size_t>(i)] = {std::cos(angle), std::sin(angle)};
    }
}

void WildCornerMap::BuildWaves() {
    cornerWaves.assign(static_cast<std::size_t>(kTableRowRoom * rotationCount), Complex{});
    for (int j = 0; j < kHarmonics; ++j) {
        const auto sj = static_cast<std::size_t>(j);
        // Only the basisA part carries the 2π: the waves are not lattice vectors of the unit
        // square, which is what makes the pattern "wild".
        const Complex wave =
            (cornerTwoPi * kHarmonicA[sj]) * basisA + static_cast<double>(kHarmonicB[sj]) * basisB;
        cornerWaves[at(0, j)] = wave;
        for (int i = 1; i < rotationCount; ++i) {
            cornerWaves[at(i, j)] = rotations[static_cast<std::size_t>(i - 1)] * wave;
        }
    }
}

void WildCornerMap::RotateCoefficientRows(int j) {
    const Complex c = cornerCoefs[at(0, j)];
    for (int i = 1; i < rotationCount; ++i) {
        cornerCoefs[at(i, j)] = rotations[static_cast<std::size_t>(i - 1)] * c;
    }
}

void WildCornerMap::SetCornerN(int n) {
    // Below 3 the basis divides by sin(2π/N) ≈ 0 and the row count goes to zero or below.
    cornerN = std::clamp(n, kMinCornerN, kMaxCornerN);
    angleStep = cornerTwoPi / cornerN;
    sinStep = std::sin(angleStep);
    cosStep = std::cos(angleStep);
    rotationCount = rowsFor(cornerN);
    BuildBasisAndRotations();
    cornerCoefs.resize(static_cast<std::size_t>(kTableRowRoom * rotationCount));
    BuildWaves();
}

void WildCornerMap::SetCornerCoefficient(int j, Complex c) {
    if (j < 0 || j >= kHarmonics) {
        return;
    }
    cornerCoefs[at(0, j)] = amplitudeScale(j) * c;
    RotateCoefficientRows(j);
}

void WildCornerMap::RandomCornerQuilt(int n, RandomSource& random) {
    SetCornerN(n);
    orbitCount = kDefaultDepth;
    for (int j = 0; j < kHarmonics; ++j) {
        const double ua = random.Uniform();
        const double ub = random.Uniform();
        cornerCoefs[at(0, j)] = amplitudeScale(j) * Complex{0.6 * ub - 0.3, 0.6 * ua - 0.3};
    }
    for (int j = 0; j < kHarmonics; ++j) {
        RotateCoefficientRows(j);
    }
}

Complex WildCornerMap::CornerStep(Complex z) const {
    return mapKernels().cornerStep(*this, z);
}

std::size_t WildCornerMap::RecordSize() const {
    const int depth = std::clamp(orbitCount, kMinRecordDepth, kMaxRecordDepth);
    return kRecordHeaderSize +
           16 * static_cast<std::size_t>(rotationCount) * static_cast<std::size_t>(depth);
}

void WildCornerMap::PersistRecord(Archive& ar) {
    if (ar.isStoring()) {
        std::int32_t n = cornerN;
        std::int32_t m = rotationCount;
        // What is written must load again: the record cannot express a depth outside 1..12.
        std::int32_t depth = std::clamp(orbitCount, kMinRecordDepth, kMaxRecordDepth);
        ar.io(n, "wild corner N");
        ar.io(m, "wild corner rows");
        ar.io(depth, "wild corner depth");
        ar.io(sinStep, "wild corner sine");
        ar.io(cosStep, "wild corner cosine");
        ar.io(angleStep, "wild corner angle");
        for (int i = 0; i < m; ++i) {
            for (int j = 0; j < depth; ++j) {
                Complex& c = cornerCoefs[at(i, j)];
                ar.io(c.re, "wild corner coefficient");
                ar.io(c.im, "wild corner coefficient");
            }
        }
        return;
    }

    std::int32_t n = 0;
    std::int32_t m = 0;
    std::int32_t depth = 0;
    ar.io(n, "wild corner N");
    if (n < kMinCornerN || n > kMaxCornerN) {
        Archive::fail("wild corner N", outside(n, kMinCornerN, kMaxCornerN));
    }
    ar.io(m, "wild corner rows");
    if (m != rowsFor(n)) {
        Archive::fail("wild corner rows", std::to_string(m) +
                                              " does not match N = " + std::to_string(n) +
                                              " (expected " + std::to_string(rowsFor(n)) + ")");
    }
    ar.io(depth, "wild corner depth");
    if (depth < kMinRecordDepth || depth > kMaxRecordDepth) {
        Archive::fail("wild corner depth", outside(depth, kMinRecordDepth, kMaxRecordDepth));
    }
    double sine = 0.0;
    double cosine = 0.0;
    double angle = 0.0;
    ar.io(sine, "wild corner sine");
    requireFinite(sine, "wild corner sine");
    ar.io(cosine, "wild corner cosine");
    requireFinite(cosine, "wild corner cosine");
    ar.io(angle, "wild corner angle");
    requireFinite(angle, "wild corner angle");
    // The basis divides by the stored sine; values that do not describe 2π/N would give a basis
    // that is degenerate or unrelated to N.
    if (std::fabs(angle - cornerTwoPi / n) > kAngleTolerance) {
        Archive::fail("wild corner angle", "does not match N = " + std::to_string(n));
    }
    if (std::fabs(sine - std::sin(angle)) > kAngleTolerance ||
        std::fabs(cosine - std::cos(angle)) > kAngleTolerance) {
        Archive::fail("wild corner sine", "sine and cosine do not match the stored angle");
    }

    const std::size_t used = static_cast<std::size_t>(m) * static_cast<std::size_t>(depth);
    ar.requireRemaining(16 * used, "wild corner coefficients");
    std::vector<Complex> coefs(static_cast<std::size_t>(kTableRowRoom * m), Complex{});
    for (int i = 0; i < m; ++i) {
        for (int j = 0; j < depth; ++j) {
            Complex& c = coefs[at(i, j)];
            ar.io(c.re, "wild corner coefficient");
            requireFinite(c.re, "wild corner coefficient");
            ar.io(c.im, "wild corner coefficient");
            requireFinite(c.im, "wild corner coefficient");
        }
    }

    // Everything is checked: only now does the map change.
    cornerN = n;
    rotationCount = m;
    orbitCount = depth;
    sinStep = sine;
    cosStep = cosine;
    angleStep = angle;
    BuildBasisAndRotations();
    BuildWaves();
    cornerCoefs = std::move(coefs);
}

WildCornerMap::DialogValues WildCornerMap::CurrentDialogValues() const {
    DialogValues values;
    values.cornerN = cornerN;
    values.depth = orbitCount;
    for (int j = 0; j < kHarmonics; ++j) {
        values.shown[static_cast<std::size_t>(j)] = cornerCoefs[at(0, j)] * shownWeight(j);
    }
    return values;
}

bool WildCornerMap::UsableDialogValues(const DialogValues& values) {
    if (values.cornerN < kMinCornerN || values.cornerN > kMaxCornerN ||
        values.depth < kMinDialogDepth || values.depth > kMaxDialogDepth) {
        return false;
    }
    for (const Complex& c : values.shown) {
        if (!std::isfinite(c.re) || !std::isfinite(c.im)) {
            return false;
        }
    }
    return true;
}

bool WildCornerMap::ApplyDialogValues(const DialogValues& values) {
    if (!UsableDialogValues(values)) {
        return false;
    }
    SetCornerN(values.cornerN);
    orbitCount = values.depth;
    for (int j = 0; j < kHarmonics; ++j) {
        SetCornerCoefficient(j, values.shown[static_cast<std::size_t>(j)]);
    }
    return true;
}

} // namespace zarn
