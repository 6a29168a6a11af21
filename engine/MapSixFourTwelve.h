#pragma once

#include "Complex.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace zarn {

class Archive;
class QuiltMap;
class RandomSource;

/** The cubic-in-s polynomial of a tile icon map: four complex coefficients c0..c3. */
using IconPolynomial = std::array<Complex, 4>;

/** Pieces shared by the two tiling maps (4.6.12 and 3.12.12). */
namespace icon {

/** c0 + s(c1 + s(c2 + s c3)) with s taken as the complex number (s, 0), so that every product is
 *  the full complex product of the recipe. */
inline Complex Horner(const IconPolynomial& c, double s) {
    const Complex sc{s, 0.0};
    return c[0] + sc * (c[1] + sc * (c[2] + sc * c[3]));
}

/** base^N by right-to-left repeated squaring: the squares are formed first and the partial
 *  products picked up from the lowest set bit upwards (z^12 = z^4 * z^8, z^11 = (z * z^2) * z^8).
 *  The product order is part of the recipe. */
template <int N> inline Complex Power(Complex base) {
    static_assert(N >= 1);
    Complex result{};
    bool started = false;
    for (int e = N; e > 0; e >>= 1) {
        if ((e & 1) != 0) {
            result = started ? result * base : base;
            started = true;
        }
        if (e > 1) {
            base = base * base;
        }
    }
    return result;
}

/** The icon map with N-fold symmetry: A(|w|^2) w + B(Re w^N) conj(w)^(N-1) + offset. */
template <int N>
inline Complex Map(const IconPolynomial& a, const IconPolynomial& b, Complex w, Complex offset) {
    const double modulusSquared = w.re * w.re + w.im * w.im;
    const Complex wn = Power<N>(w);
    const Complex conjugatePower = Power<N - 1>(Complex{w.re, -w.im});
    return Horner(a, modulusSquared) * w + Horner(b, wn.re) * conjugatePower + offset;
}

/** Draws the coefficients of @p polynomials: for each power k = 0..3 and, inside it, each
 *  polynomial in turn, two draws u1 then u2 give ck = (20 u2 - 10, 20 u1 - 10). */
void RandomizePolynomials(std::span<IconPolynomial* const> polynomials, RandomSource& random);

/** The count of the grid cell under the classified point @p q; 0 outside rows and columns
 *  0..n-1 (a NaN fails the test too). */
std::uint32_t CountUnder(const QuiltMap& grid, Complex q);

} // namespace icon

/**
 * The map of the SFT family: icon maps with 4-, 6- and 12-fold symmetry on the squares, hexagons
 * and dodecagons of the 4.6.12 tiling. A point is folded by the tiling's mirrors into the strip
 * [0, halfWidth] x [0, 1], sorted into a tile kind and moved into that kind's canonical tile; the
 * kind's icon map moves the map's own point, and the result is classified again.
 * See docs/maps.md, "SFT: icon maps on the 4.6.12 tiling".
 *
 * Members are public and keep the names the session record and the tests refer to. The step, the
 * classification and the lookup never allocate.
 */
class MapSixFourTwelve {
public:
    static constexpr std::size_t kRecordSize = 976;
    /** Loaded strip sizes must lie in this range; the period bitmap is sized from them. */
    static constexpr double kMinStripSize = 0.25;
    static constexpr double kMaxStripSize = 2.0;

    struct PeriodSize {
        int width = 0;
        int height = 0;
    };

    /** Builds the geometry (two passes, so that the strip's height comes out as 1 plus the origin
     *  offset) with all coefficients zero and the map's point at 0. */
    MapSixFourTwelve();

    /** Folds @p p into the strip, sets `region` (0 square, 1 hexagon, 2 dodecagon) and returns
     *  the point moved into the canonical tile of that kind. */
    Complex Classify(Complex p) { return ClassifyInto(p, region); }
    /** Classify without touching `region`: the tile kind goes to @p kind. */
    Complex ClassifyInto(Complex p, std::int32_t& kind) const;

    /** One iterate of the family: @p point picks the tile kind, whose icon map moves the map's own
     *  point `z`; the classified result becomes `z` and is returned (the driver folds it). */
    Complex Step(Complex point);

    /** Draws the 24 coefficients: for k = 0..3, for squareA, squareB, hexA, hexB, dodecaA,
     *  dodecaB, two draws u1, u2 give ck = (20 u2 - 10, 20 u1 - 10). */
    void Randomize(RandomSource& random);

    /** Count shown at pixel (@p x, @p y) of the period bitmap: the pixel scaled by 1/n is
     *  classified and its cell read from @p grid. Cells outside rows and columns 0..n-1 read 0. */
    std::uint32_t PixelCount(const QuiltMap& grid, int x, int y) const;

    /** Period bitmap size for grid size @p n: 2 trunc(n halfWidth) x 2 trunc(n period). */
    PeriodSize PeriodFor(int n) const;

    /** Stores or loads the 976-byte session record. Loading validates every value that feeds the
     *  iteration or the bitmap size and throws FormatError; the map is unchanged on failure. */
    void Serialize(Archive& ar);

    /** The closed segment test: true when segment p1-p2 meets segment p3-p4, touching and
     *  collinear overlap included. */
    static bool SegmentsCross(Complex p1, Complex p2, Complex p3, Complex p4);

    std::int32_t region = 0;

    Complex origin{1e-6, 1e-6};
    /** The session record's copy of `origin`; it is the offset the square icon map adds. */
    Complex squareOffset{1e-6, 1e-6};
    Complex hexOffset;
    Complex dodecaOffset;
    Complex squareCentreA;
    Complex squareCentreB;
    Complex hexCentre;
    Complex dodecaCentre;
    double halfWidth = 0.0; // == dodecaOffset.re
    double period = 0.0;    // == dodecaCentre.im

    IconPolynomial squareA{};
    IconPolynomial squareB{};
    IconPolynomial hexA{};
    IconPolynomial hexB{};
    IconPolynomial dodecaA{};
    IconPolynomial dodecaB{};

    // Angles from pi = 3.1415926535; they travel in the record.
    double piOver4 = 0.785398163375;
    double piOver12 = 0.26179938779166667;
    double piOver6 = 0.5235987755833333;
    double piOver3 = 1.0471975511666667;

    double rootTwo = 0.0;
    double scale = 0.0;
    double e1 = 0.0;
    double e2 = 0.0;
    double e3 = 0.0;
    double e4 = 0.0;
    double e5 = 0.0;
    double t1 = 0.0;
    double t2 = 0.0;
    double t3 = 0.0;
    double t4 = 0.0;
    double t5 = 0.0;
    double t6 = 0.0;
    double t7 = 0.0;
    double t8 = 0.0;

    double rotCos = 0.0; // cos(-pi/6)
    double rotSin = 0.0; // sin(-pi/6)

    Complex z;

private:
    void SetUpGeometry();
    void TransferFields(Archive& ar);

    Complex ToSquareA(double x, double y, std::int32_t& kind) const;
    Complex ToSquareB(double x, double y, std::int32_t& kind) const;
    Complex ToHex(double x, double y, std::int32_t& kind) const;
    Complex ToDodeca(double x, double y, std::int32_t& kind) const;
};

} // namespace zarn
