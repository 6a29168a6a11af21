#pragma once

#include "engine/Complex.h"

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace zarn {

class Archive;
class CRandom;
class RandomSource;

/**
 * State of the SquareX ("Wild Corner") family: a Fourier map on the unit-square torus whose
 * twelve harmonics are built on a basis derived from the angle 2π/N and repeated, with their
 * coefficients, in M = N/2 + 1 rows turned by multiples of -2π/N. N need not be a symmetry of
 * the square lattice. See docs/maps.md, "Wild-corner square map (SquareX)".
 *
 * Invariant kept by SetCornerN, RandomCornerQuilt and PersistRecord (never write rotationCount
 * or the tables directly): rotations holds M + 2 entries, cornerWaves and cornerCoefs 14·M,
 * and entry 12·i + j belongs to harmonic j of row i.
 */
class WildCornerMap {
public:
    static constexpr int kHarmonics = 12;
    static constexpr int kMinCornerN = 3;
    static constexpr int kMaxCornerN = 42;
    /** The corner N of a new random quilt is drawn in 3..13. */
    static constexpr int kRandomCornerSpan = 11;
    /** The depth the dialog accepts; a file may hold 1..12 (all twelve harmonics). */
    static constexpr int kMinDialogDepth = 4;
    static constexpr int kMaxDialogDepth = 11;
    static constexpr int kMinRecordDepth = 1;
    static constexpr int kMaxRecordDepth = kHarmonics;
    static constexpr int kDefaultDepth = 11;
    static constexpr double kCornerTwoPi = 6.283185307;
    /** Harmonic j of row 0 is cornerTwoPi·a_j·basisA + b_j·basisB. */
    static constexpr std::array<int, kHarmonics> kHarmonicA = {1, 2, 3, 4, 5, 5, 6, 7, 7, 7, 8, 8};
    static constexpr std::array<int, kHarmonics> kHarmonicB = {0, 1, 2, 3, 4, 3, 5, 6, 5, 4, 7, 5};
    /** Amplitude order n_j: coefficients from j = 3 on are damped by 1/n_j². */
    static constexpr std::array<int, kHarmonics> kAmplitudeOrder = {1, 1, 1, 3, 4, 4,
                                                                    5, 6, 6, 6, 7, 7};
    /** Fixed size of the record before the coefficients. */
    static constexpr std::size_t kRecordHeaderSize = 36;

    /** The values the "Corner Wild Coificents" dialog shows and returns. */
    struct DialogValues {
        int cornerN = kMinCornerN; ///< "Corner N Value", 3..42
        int depth = kDefaultDepth; ///< "Depth", 4..11
        /** Row-0 coefficient j multiplied by n_j² (real part left, imaginary right). */
        std::array<Complex, kHarmonics> shown{};
    };

    /** The map a document starts with: cornerN = cRandom() % 11 + 3, one draw, then as
     *  WildCornerMap(int). */
    explicit WildCornerMap(CRandom& cRandom);
    /** cornerN = @p n clamped to 3..42; tables of zeros sized for it. The angle values are set
     *  from N as well, so that a record stored before any set-up reloads; no wave vector is
     *  computed. */
    explicit WildCornerMap(int n);

    int cornerN = kMinCornerN;
    /** M = cornerN / 2 + 1: rows of rotated harmonics. */
    int rotationCount = 2;
    /** "Depth": harmonics 0 .. orbitCount-1 of every row are summed (the step caps it at 12). */
    int orbitCount = kDefaultDepth;
    double cornerTwoPi = kCornerTwoPi;
    double angleStep = 0.0;
    double sinStep = 0.0;
    double cosStep = 0.0;
    Complex basisA{};
    Complex basisB{};
    Complex cornerCentre{0.5, 0.5};
    /** Entry i < M: unit vector at angle -(i + 1)·angleStep; the last two stay zero. */
    std::vector<Complex> rotations;
    std::vector<Complex> cornerWaves;
    std::vector<Complex> cornerCoefs;

    /** Sets N (clamped to 3..42), the angle, M and the basis, resizes the tables, fills the
     *  rotations and every row of wave vectors. Coefficients are left as they are: follow it
     *  with SetCornerCoefficient for every j, since the rows use the new rotations. */
    void SetCornerN(int n);

    /** Stores @p c scaled by 1/n_j² (1 for j < 3) as row-0 coefficient @p j and its turned
     *  copies in rows 1..M-1. An index outside 0..11 is ignored. */
    void SetCornerCoefficient(int j, Complex c);

    /** SetCornerN(@p n), depth 11 and twelve random coefficients: for each j, draws ua then ub
     *  and takes s_j·((0.6·ub - 0.3) + i·(0.6·ua - 0.3)); all rows built. */
    void RandomCornerQuilt(int n, RandomSource& random);

    /** The map: cornerCentre + Σ over rows and the first orbitCount harmonics of
     *  sin(<wave, z - cornerCentre>)·coefficient. Unfolded; the driver folds it. */
    Complex CornerStep(Complex z) const;

    /** Stores or loads the record: cornerN, rotationCount, orbitCount (int32 each), sinStep,
     *  cosStep, angleStep, then the coefficients of rows 0..M-1, harmonics 0..orbitCount-1 (two
     *  doubles each). Loading checks N (3..42), M (= N/2 + 1), depth (1..12), that the three
     *  angle values describe 2π/N and that every value is finite, before it allocates; it then
     *  rebuilds basis, rotations and waves and leaves unread coefficients zero. A refused record
     *  throws FormatError and leaves the map as it was. */
    void PersistRecord(Archive& ar);

    /** Bytes PersistRecord writes for the current state: 36 + 16·M·orbitCount. */
    std::size_t RecordSize() const;

    /** What the dialog shows for the current state. */
    DialogValues CurrentDialogValues() const;
    /** Whether @p values fit the tables: N 3..42, depth 4..11, finite coefficients. The
     *  dialog's messages for what does not fit are the document's. */
    static bool UsableDialogValues(const DialogValues& values);
    /** Applies usable values: SetCornerN, orbitCount, then SetCornerCoefficient for j = 0..11
     *  with the shown values (the division by n_j² happens there). Returns false and changes
     *  nothing for values that are not usable. */
    bool ApplyDialogValues(const DialogValues& values);

private:
    void BuildBasisAndRotations();
    void BuildWaves();
    void RotateCoefficientRows(int j);
};

} // namespace zarn
