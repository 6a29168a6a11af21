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
struct StepSpan;

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
 *  "Square". They fold the result onto the unit torus (foldToUnit), in the code of the running
 *  machine's level, so the fold costs no call of its own. */
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

/** Coefficient table of the detailed map: coef[i][j] multiplies sin((i+1) t x) cos((j+1) t y). */
using CoefGrid = std::array<std::array<double, kMaxDepth>, kMaxDepth>;

/** One plain step of (x, y), folded. Every term is taken from the point before the step; the sum
 * runs left to right in the order the formula is written. Runs the variant of the step for the
 *  running machine (engine/StepKernels.h). */
void plainStep(double& x, double& y, const PlainSet& k, double emm, double offX, double offY,
               double twoPi);

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
 * One detailed step of (x, y), folded: emm * p + offset + the double Fourier sum up to @p depth
 * with the coefficients coef[i][j]. Higher-order angles come from repeated addition of the
 * first-order angle, not multiplication; the x and y sums are built interleaved. A depth above the
 * 6 x 6 table is treated as 6.
 */
void detailedStep(double& x, double& y, const CoefGrid& coef, int depth, double emm, double offX,
                  double offY, double twoPi, const DetailTables& t);

/** The 6 x 6 coefficient table of a FlatMatrix (entries outside its counts read as 0). */
inline CoefGrid coefGridOf(const FlatMatrix& m) {
    CoefGrid coef;
    for (int i = 0; i < kMaxDepth; ++i) {
        for (int j = 0; j < kMaxDepth; ++j) {
            coef[static_cast<std::size_t>(i)][static_cast<std::size_t>(j)] = m.at(i, j);
        }
    }
    return coef;
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

    /** One plain step on (x, y), folded. */
    void Step();
    /** One detailed step on (x, y) up to `depth`, folded. */
    void StepDetailed();
    /** Runs the steps of @p span (plain or detailed by the detail flag) from its point; x, y,
     *  lastX and lastY are left at the point it hands back. */
    void RunSpan(StepSpan& span);
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
    square::CoefGrid coef{};
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
