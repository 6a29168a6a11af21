#pragma once

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>

namespace zarn {

class Archive;
class CRandom;
class RandomSource;

/** A point handed to or returned by a map's step. */
struct MapPoint {
    double x = 0.0;
    double y = 0.0;
};

/**
 * A 6 x 6 table of doubles stored flat, column by column (entry (i, j) at i + 6j), with a row
 * and a column count. Entries outside the counts read as 0 and ignore writes, so a count that
 * was set too large can never reach past the 36 stored values.
 */
struct FlatMatrix {
    static constexpr std::uint32_t kSide = 6;

    std::array<double, kSide * kSide> values{};
    std::uint32_t rows = kSide;
    std::uint32_t cols = kSide;

    bool contains(int i, int j) const {
        const auto ui = static_cast<std::uint32_t>(i);
        const auto uj = static_cast<std::uint32_t>(j);
        return ui < rows && uj < cols && ui < kSide && uj < kSide;
    }
    double at(int i, int j) const { return contains(i, j) ? values[index(i, j)] : 0.0; }
    void set(int i, int j, double v) {
        if (contains(i, j)) {
            values[index(i, j)] = v;
        }
    }

private:
    static std::size_t index(int i, int j) {
        return static_cast<std::size_t>(i) + kSide * static_cast<std::size_t>(j);
    }
};

/** Kernels shared by the square-lattice maps (SqrMap, New84, SqrMapt). See docs/maps.md,
 *  "Square". They leave the result unfolded; every caller folds. */
namespace square {

inline constexpr double kTwoPi = 6.283185307;
inline constexpr int kMaxDepth = 6;
inline constexpr int kMinDialogDepth = 3;
inline constexpr int kTableSize = 14;
using Table = std::array<double, kTableSize>;

/** The five named coefficients of the plain map, in their drawing order. */
struct PlainSet {
    double lambda = 0.0;
    double alpha = 0.0;
    double beta = 0.0;
    double gamma = 0.0;
    double omega = 0.0;
};

/** One plain step of (x, y). Every term is taken from the point before the step; the sum runs
 *  left to right in the order the formula is written. */
inline void plainStep(double& x, double& y, const PlainSet& k, double emm, double offX, double offY,
                      double twoPi) {
    const double x1 = twoPi * x;
    const double x2 = x1 + x1;
    const double x3 = x2 + x1;
    const double y1 = twoPi * y;
    const double y2 = y1 + y1;
    const double y3 = y2 + y1;

    // Independent evaluations, kept together so they can later be vectorised.
    const std::array<double, 6> sineArg = {x1, x2, x3, y1, y2, y3};
    const std::array<double, 4> cosineArg = {x1, x2, y1, y2};
    std::array<double, 6> s{};
    std::array<double, 4> c{};
    for (std::size_t i = 0; i < s.size(); ++i) {
        s[i] = std::sin(sineArg[i]);
    }
    for (std::size_t i = 0; i < c.size(); ++i) {
        c[i] = std::cos(cosineArg[i]);
    }
    const double sinX1 = s[0], sinX2 = s[1], sinX3 = s[2];
    const double sinY1 = s[3], sinY2 = s[4], sinY3 = s[5];
    const double cosX1 = c[0], cosX2 = c[1], cosY1 = c[2], cosY2 = c[3];

    const double nx = k.lambda * sinX1 + k.alpha * sinX1 * cosY1 + k.beta * sinX2 +
                      k.gamma * sinX3 * cosY2 - k.omega * sinY1 + offX + emm * x;
    const double ny = k.lambda * sinY1 + k.alpha * sinY1 * cosX1 + k.beta * sinY2 +
                      k.gamma * sinY3 * cosX2 - k.omega * sinX1 + offY + emm * y;
    x = nx;
    y = ny;
}

/** Scratch tables of the detailed step; entry k holds order k + 1. */
struct DetailTables {
    Table& angleX;
    Table& angleY;
    Table& sinX;
    Table& cosY;
    Table& sinY;
    Table& cosX;
};

/**
 * One detailed step of (x, y): emm * p + offset + the double Fourier sum up to @p depth, whose
 * coefficient (i, j) is coefAt(i, j). Higher-order angles come from repeated addition of the
 * first-order angle, not multiplication; the x and y sums are built interleaved. A depth above
 * the 6 x 6 table is treated as 6.
 */
template <typename CoefAt>
inline void detailedStep(double& x, double& y, const CoefAt& coefAt, int depth, double emm,
                         double offX, double offY, double twoPi, const DetailTables& t) {
    const int d = std::clamp(depth, 0, kMaxDepth);
    t.angleX[0] = twoPi * x;
    t.angleY[0] = twoPi * y;
    for (int k = 1; k < d; ++k) {
        t.angleX[k] = t.angleX[k - 1] + t.angleX[0];
        t.angleY[k] = t.angleY[k - 1] + t.angleY[0];
    }
    const int filled = std::max(d, 1);
    for (int k = 0; k < filled; ++k) {
        t.sinX[k] = std::sin(t.angleX[k]);
        t.cosX[k] = std::cos(t.angleX[k]);
        t.sinY[k] = std::sin(t.angleY[k]);
        t.cosY[k] = std::cos(t.angleY[k]);
    }

    double nx = emm * x + offX;
    double ny = emm * y + offY;
    for (int i = 0; i < d; ++i) {
        for (int j = 0; j < d; ++j) {
            const double c = coefAt(i, j);
            nx += t.sinX[i] * c * t.cosY[j];
            ny += t.sinY[i] * c * t.cosX[j];
        }
    }
    x = nx;
    y = ny;
}

/** Clamps a requested detail depth into what the 6 x 6 tables and the dialogs accept. */
inline std::uint16_t clampDepth(int d) {
    return static_cast<std::uint16_t>(std::clamp(d, kMinDialogDepth, kMaxDepth));
}

} // namespace square

/**
 * The square family: a trigonometric polynomial with the symmetry of the square lattice, iterated
 * on the unit torus, in a plain form (five named coefficients) and a detailed form (a 6 x 6
 * Fourier sum). See docs/maps.md, "Square".
 *
 * The driver copies its point into x, y, calls StepDetailed() when detail is 1 and Step()
 * otherwise, and reads the folded result back from x, y. Everything else is called while the
 * worker is paused.
 */
class SqrMap {
public:
    static constexpr std::size_t kRecordSize = 365;

    SqrMap() = default;

    /** One plain step on (x, y), then Fold(). */
    void Step();
    /** One detailed step on (x, y) up to `depth`, then Fold(). */
    void StepDetailed();
    /** Folds x and y onto the unit torus, each by itself (1.0 stays, -1.0 becomes 1.0). */
    void Fold();
    /** Draws the named coefficients, emm, a start point, the offsets and the 6 x 6 table:
     *  43 draws of @p rnd and three of @p cRandom. */
    void Randomize(RandomSource& rnd, CRandom& cRandom);
    /** Sets the detail depth, clamped into 3..6. */
    void SetDepth(int d) { depth = square::clampDepth(d); }

    /** Stores or loads the 365-byte session record. A load that fails (short record, depth
     *  outside 3..6, a non-finite value) throws FormatError and leaves the map unchanged. */
    void SerializeSquare(Archive& ar);

    square::PlainSet plainSet() const { return {lambda, alpha, beta, gamma, omega}; }

    double x = 0.0;
    double y = 0.0;
    double lastX = 0.0;
    double lastY = 0.0;
    /** coef[i][j] multiplies sin((i+1) t x) cos((j+1) t y). */
    std::array<std::array<double, 6>, 6> coef{};
    square::Table angleX{};
    square::Table angleY{};
    square::Table sinX{};
    square::Table cosY{};
    square::Table sinY{};
    square::Table cosX{};
    double lambda = 0.0;
    double alpha = 0.0;
    double beta = 0.0;
    double gamma = 0.0;
    double omega = 0.0;
    double offX = 0.0;
    double offY = 0.0;
    /** Linear factor of both forms; a whole number from -2 to 2 when drawn. */
    double emm = 0.0;
    std::uint16_t depth = square::kMaxDepth;
    std::uint8_t detail = 0;
    double twoPi = square::kTwoPi;

protected:
    square::DetailTables tables() { return {angleX, angleY, sinX, cosY, sinY, cosX}; }

private:
    void transferRecord(Archive& ar);
};

} // namespace zarn
