#pragma once

#include "engine/Complex.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <vector>

namespace zarn {

class Archive;
class CRandom;
class QuiltMap;
class RandomSource;

/** Where a new random hexagonal quilt starts: the unreduced result (the document's rawX, rawY)
 *  and the first current point (pointX, pointY) in the coordinates the driver's step expects. */
struct HexQuiltStart {
    Complex raw;
    Complex point;
};

/**
 * The hexagonal family: a planar map with the symmetry of the hexagonal lattice spanned by
 * (1, 0) and (1/2, c30), the folds that bring its iterates into one fundamental region, the
 * detailed sum of twelve harmonic orbits, the pixel-to-cell lookups of its picture and its
 * 3438-byte record. See docs/maps.md, "Hexagonal map".
 *
 * Threads: Step, KnotStep, FoldToSector and DetailSum run on the document's worker; everything
 * that changes the object runs while the worker is paused. PixelCount, ViewFold and
 * KnotViewPoint only read the object and keep their intermediate values to themselves.
 */
/**
 * Where each pixel of a hexagonal picture reads the grid (HexMap::PixelCell), kept from one
 * picture to the next: folding a pixel takes an arctangent, a sine and a cosine, a hundred times
 * what reading its cell does, and the fold changes only with the map's view constants, the mode,
 * the grid's side and the picture's size, which @c key holds. One fill at a time holds the lock.
 */
struct HexPixelCells {
    std::mutex mutex;
    /** Empty while no table is valid. */
    std::vector<std::uint64_t> key;
    std::vector<std::uint32_t> cells;
};

class HexMap {
public:
    static constexpr std::size_t kRecordSize = 3438;
    /** Detail orbits that carry coefficients; the detail tables have room for kDetailSlots. */
    static constexpr int kDetailOrbits = 12;
    static constexpr int kDetailSlots = 16;
    static constexpr int kMinDialogDepth = 4;
    static constexpr int kMaxDialogDepth = 11;
    /** Largest grid side a record may claim; matches the grid record's own limit. */
    static constexpr double kMaxCellSize = 4000.0;
    /** A finite point settles within about 35 passes (a point near an edge bounces between two
     *  hexagons until the longer shifts carry it across); the bound is only a guard. */
    static constexpr int kMaxFoldPasses = 256;

    using OrbitInts = std::array<int, kDetailOrbits>;
    // clang-format off
    /** Lattice index (a_i, b_i) of detail orbit i: its base is twoPi (a_i dualA + b_i dualB). */
    static constexpr OrbitInts kDetailA{1, 2, 3, 4, 5, 5, 6, 7, 7, 7, 8, 8};
    static constexpr OrbitInts kDetailB{0, 1, 2, 3, 4, 3, 5, 6, 5, 4, 7, 5};
    /** Amplitude order n_i: random coefficients beyond orbit 2 are scaled by 1 / n_i^2. */
    static constexpr OrbitInts kDetailOrder{1, 1, 1, 3, 4, 4, 5, 6, 6, 6, 7, 7};
    /** 1 / n_i^2 as the dialog's typed factors (shown value times factor is stored). */
    static constexpr std::array<double, kDetailOrbits> kDetailDialogFactor{
        1.0, 1.0, 1.0, 0.1111111111111111, 0.0625, 0.0625, 0.04, 0.027777777777777776,
        0.027777777777777776, 0.027777777777777776, 0.02040816326530612, 0.02040816326530612};
    // clang-format on

    /** Sets the constants, orbits and tables in the documented order; coefficients are zero. */
    HexMap();

    /** Sets the cell and period sizes for grid side @p n and refreshes alphaImages from alpha.
     *  Call after every change of alpha or of the grid size. Returns false and changes nothing
     *  unless @p n is finite and positive. */
    bool SetSize(double n);

    /** Draws new coefficients (and the twelve detail coefficients) from @p random, hEmm from
     *  one draw of @p cRandom, and sets detailOn from @p detail. Does not call SetSize. */
    void RandomizeCoefficients(bool detail, RandomSource& random, CRandom& cRandom);

    /** The hexagonal part of a new random quilt: RandomizeCoefficients, the start point drawn
     *  from @p random for the plain or the knot mode, then SetSize(@p gridSize). The caller
     *  copies periodWidth and periodHeight into the document and restarts the iteration. */
    HexQuiltStart StartRandomQuilt(bool detail, bool knot, RandomSource& random, CRandom& cRandom,
                                   double gridSize);

    /** Plain mode: the map's image of @p z folded into the 60-degree sector of the hexagon. */
    Complex Step(Complex z);
    /** Knot mode: the lattice coordinates (u, v) of the map's image of @p z, not reduced. */
    Complex KnotStep(Complex z);
    /** The detailed sum over orbits 0..detailDepth (capped at the last orbit that exists). */
    Complex DetailSum(Complex z) const;

    /** Folds @p p into the hexagon of circumradius 1 at the origin, then rotates it into the
     *  sector 0..60 degrees; stores the pre-rotation point in mapped and the result in point.
     *  Only a point whose fold would end outside the hexagon (possible when fmod leaves it below
     *  the band) is folded again from one period up. A non-finite input (or a fold that does
     *  not settle) gives (NaN, NaN), which the driver treats like any other non-finite step. */
    Complex FoldToSector(Complex p);
    /** The same fold in storage of its own, shrunk by 0.96 toward shrinkCentre; for the
     *  plain-mode picture. Non-finite input gives (NaN, NaN). */
    Complex ViewFold(Complex p) const;
    /** Lattice coordinates of the sector point that pixel (@p px, @p py) shows in knot mode. */
    Complex KnotViewPoint(double px, double py) const;

    /** The count that pixel (@p px, @p py) of the period rectangle shows, read from @p grid for
     *  the plain or the knot picture; 0 when the pixel's cell is outside the grid's n x n cells
     *  (margin included) or its coordinates are not finite. */
    std::uint32_t PixelCount(const QuiltMap& grid, std::uint32_t px, std::uint32_t py,
                             bool knot) const;
    /** PixelCount's cell: where it lies among @p grid's cells (QuiltMap::IndexOf), or kNoCell
     *  where PixelCount gives 0. */
    std::uint32_t PixelCell(const QuiltMap& grid, std::uint32_t px, std::uint32_t py,
                            bool knot) const;
    static constexpr std::uint32_t kNoCell = 0xFFFFFFFFu;
    /** Every value the picture's fold reads (ViewFold, KnotViewPoint, PixelCell), bit for bit:
     *  two maps with the same values give every pixel the same cell. */
    std::vector<std::uint64_t> ViewKey() const;

    /** Forms the six images of @p coefficient (stored in detailScratch) and makes them the
     *  coefficients of detail orbit @p index. Returns false for an index outside 0..11. */
    bool SetDetailCoefficient(int index, Complex coefficient);

    /** Stores or loads the 3438-byte record. A load validates every value the map computes
     *  with (finite numbers, detail depth within the tables, sizes within kMaxCellSize) and
     *  leaves the map unchanged when it throws FormatError. */
    void PersistRecord(Archive& ar);

    // Fixed constants: typed to ten digits, not full-precision pi.
    double twoPi = 6.283185307;
    double pi = 3.1415926535;
    double twoPiThird = 0.0;
    double piSixth = 0.0;
    double piThird = 0.0;
    double threeOverPi = 0.0;
    double c30 = 0.0;
    double invC30 = 0.0;
    double twoC30 = 0.0;
    double c30Copy = 0.0;
    double negTwoC30 = 0.0;
    double twoThirds = 0.0;
    double oneAndHalf = 0.0;
    Complex shrinkCentre;
    Complex rot120;
    Complex rot240;
    Complex dualA;
    Complex dualB;

    std::int32_t detailDepth = 11;
    std::int32_t detailOn = 0;
    std::int32_t knotOn = 0;

    // Harmonic orbits (k, R k, R (R k)) of the plain sum.
    std::array<Complex, 3> waveLambda{};
    std::array<Complex, 3> waveH{};
    std::array<Complex, 3> waveAlpha{};
    std::array<Complex, 3> waveAlphaBar{};

    // The user's coefficients.
    Complex lambda;
    Complex alpha;
    double hAlpha = 0.0;
    double hEmm = 0.0;
    /** R alpha, R (R alpha), conj alpha, R conj alpha, R (R conj alpha). */
    std::array<Complex, 5> alphaImages{};

    // Size and period.
    double cellSize = 0.0;
    double cellSizeInverse = 0.0;
    std::array<Complex, 6> hexCentres{};
    double periodWidth = 0.0;
    double periodHeight = 0.0;

    // Working values of the last step; persisted, never read before they are written.
    Complex point;
    Complex mapped;
    std::array<Complex, 3> sineValues{};
    Complex accumulator;

    // Construction-time tables; persisted, not used by any computation.
    std::array<double, 8> sectorAngles{};
    std::array<Complex, 8> sectorDirA{};
    std::array<Complex, 8> sectorDirB{};
    Complex dirMinus30;
    Complex dirPlus30;

    /** detailWaves[g][i] / detailCoefs[g][i]: image g of orbit i, in the order b, R b,
     *  R (R b), conj b, R conj b, R (R conj b). Slots 12..15 stay zero. */
    std::array<std::array<Complex, kDetailSlots>, 6> detailWaves{};
    std::array<std::array<Complex, kDetailSlots>, 6> detailCoefs{};
    /** The value formed last and its images: b, R b, conj b, R (R b), R conj b, R (R conj b). */
    std::array<Complex, 6> detailScratch{};

private:
    void FormScratchImages(Complex b);
    Complex PlainSum(Complex z);
    Complex FoldCore(Complex p, Complex& beforeRotation) const;
    /** The fold's loop, band correction and rotation from the reduced point (@p q, @p b);
     *  false when the loop does not settle within kMaxFoldPasses. */
    bool FoldFrom(double q, double b, Complex& beforeRotation, Complex& folded) const;
    /** The sector point @p f lies beyond the sector's side opposite the origin, which is the
     *  side of the hexagon. */
    bool BeyondFarSide(Complex f) const;
    void Transfer(Archive& ar);
};

} // namespace zarn
