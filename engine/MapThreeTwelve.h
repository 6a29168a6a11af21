#pragma once

#include "Complex.h"
#include "MapSixFourTwelve.h"

#include <cstddef>
#include <cstdint>

namespace zarn {

class Archive;
class QuiltMap;
class RandomSource;

/**
 * The map of the T family: icon maps with 3- and 12-fold symmetry on the triangles and
 * dodecagons of the 3.12.12 tiling. Dodecagons sit on a triangular lattice of spacing 1; a point
 * is folded by the tiling's mirrors into [0, 1] x [0, height], sorted into triangle or dodecagon
 * and moved into the canonical tile of its kind, and the kind's icon map acts on the point
 * measured from that tile's centre. See docs/maps.md, "T: icon maps on the 3.12.12 tiling".
 *
 * Members are public and keep the names the session record and the tests refer to. The step, the
 * classification and the lookup never allocate.
 */
class MapThreeTwelve {
public:
    static constexpr std::size_t kRecordSize = 792;
    /** A loaded period width (re of dodecaCopyB) and height must lie in this range. */
    static constexpr double kMinPeriodSize = 0.25;
    static constexpr double kMaxPeriodSize = 2.0;
    /** What a slope test uses when the run is zero (a vertical line). */
    static constexpr double kVerticalSlope = 999999.999;

    struct PeriodSize {
        int width = 0;
        int height = 0;
    };

    /** Builds the geometry from `origin` with all coefficients zero and the map's point at 0. */
    MapThreeTwelve();

    /** Folds @p p into the rectangle, sets `region` (0 triangle, 1 dodecagon) and returns the
     *  point moved into the canonical tile of that kind. */
    Complex Classify(Complex p) { return ClassifyInto(p, region); }
    /** Classify without touching `region`: the tile kind goes to @p kind (left as it was only
     *  for a NaN coordinate, which matches no test). */
    Complex ClassifyInto(Complex p, std::int32_t& kind) const;

    /** One iterate of the family: the classified @p point, measured from its tile's centre, is
     *  moved by the tile kind's icon map; the classified result becomes `z` and is returned. */
    Complex Step(Complex point);

    /** Draws the 16 coefficients: for k = 0..3, for triA, triB, dodecaA, dodecaB, two draws
     *  u1, u2 give ck = (20 u2 - 10, 20 u1 - 10). */
    void Randomize(RandomSource& random);

    /** Count shown at pixel (@p x, @p y) of the period bitmap; cells outside rows and columns
     *  0..n-1 read 0. */
    std::uint32_t PixelCount(const QuiltMap& grid, int x, int y) const;

    /** Period bitmap size for grid size @p n: trunc(n re(dodecaCopyB)) x 2 trunc(n height). */
    PeriodSize PeriodFor(int n) const;

    /** Stores or loads the 792-byte session record; loading validates and throws FormatError,
     *  leaving the map unchanged on failure. */
    void Serialize(Archive& ar);

    /** a / b, or kVerticalSlope when b is 0. */
    static double Slope(double a, double b) { return b == 0.0 ? kVerticalSlope : a / b; }

    std::int32_t region = 0;

    Complex origin{0.0, 0.0};
    Complex triCentre;
    Complex triCopyB;
    Complex triCopyC;
    Complex dodecaCentre;
    Complex dodecaCopyB;
    Complex dodecaCopyC;
    Complex rotPlus;     // (cos, sin) of +pi/3
    Complex rotMinus;    // (cos, sin) of -pi/3
    double height = 0.0; // == dodecaCopyC.im

    // Angles from pi = 3.1415926535; they travel in the record.
    double piOver3 = 1.0471975511666667;
    double piOver12 = 0.26179938779166667;
    /** The half lattice spacing; classification reads it where the tiling has 0.5. */
    double half = 0.5;

    double r = 0.0;  // dodecagon circumradius
    double k = 0.0;  // half a tile edge; also the threshold yk
    double eA = 0.0; // triangle inradius
    double eB = 0.0; // triangle circumradius
    double twoK = 0.0;
    double yg = 0.0;
    double yTop = 0.0;
    double xL = 0.0;
    double xR = 0.0;
    double xF = 0.0;
    double s1 = 0.0;
    double s2 = 0.0;
    double s3 = 0.0;
    double s4 = 0.0;

    IconPolynomial triA{};
    IconPolynomial triB{};
    IconPolynomial dodecaA{};
    IconPolynomial dodecaB{};

    Complex z;

private:
    void TransferFields(Archive& ar);

    Complex ToDodecaB(double x, double y, std::int32_t& kind) const;
    Complex ToDodecaC(double x, double y, std::int32_t& kind) const;
    Complex ToTriB(double x, double y, std::int32_t& kind) const;
    Complex ToTriC(double x, double y, std::int32_t& kind) const;
};

} // namespace zarn
