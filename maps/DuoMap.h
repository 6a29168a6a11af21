#pragma once

#include "Multivector.h"
#include "engine/RandomSource.h"

#include <array>
#include <cstdint>
#include <span>
#include <vector>

namespace zarn {

/** One face of the dodecahedron and the rotations the sphere map derives from it. */
struct DuoFace {
    Multivector centre;
    std::array<Multivector, 5> vertices;
    /** The scalar 1, then the rotors from the first vertex to each of the other four. */
    std::array<Multivector, 5> faceRotors;
    /** Rotor placing face 0 on this face (the scalar 1 for face 0). */
    Multivector placement;
    /** clean(faceRotors[j]·placement): the turns applied to the base waves and amplitudes. */
    std::array<Multivector, 5> turns;
};

/** Where a sphere-map step landed, in the unit square. */
struct DuoPoint {
    double x = 0.0;
    double y = 0.0;
};

/**
 * The experimental sphere map (family Duo). It iterates a unit vector P: the sum of 180 sine
 * waves, each a base wave/amplitude pair turned by one of 60 rotations built from the faces of a
 * dodecahedron, is normalised back onto the sphere. Upper-hemisphere points are shown by
 * orthographic projection onto the disc inscribed in the unit square. See docs/maps.md,
 * "Dodecahedral sphere map".
 *
 * A plain record; it is not saved with a session. SetUp runs while the worker is paused (or on
 * the worker itself); DuoStep runs on the worker and allocates nothing.
 */
class DuoMap {
public:
    static constexpr int kFaces = 12;
    static constexpr int kVerticesPerFace = 5;
    static constexpr int kBases = 3;
    static constexpr int kTurns = kFaces * kVerticesPerFace;
    static constexpr int kTerms = kBases * kTurns;
    /** Grid size used by construction. */
    static constexpr double kDefaultGridSize = 500.0;
    /** Uniform draws SetUp takes: 60 wave weights and 3 amplitude components per base, then
     *  three for the start point. */
    static constexpr int kSetUpDraws = kBases * (kTurns + 3) + 3;

    /** Seeds duoRandom from the calendar time divided by 3, then SetUp(kDefaultGridSize). */
    DuoMap();
    /** As the default constructor, but seeds duoRandom from @p seed (a reproducible run). */
    explicit DuoMap(double seed);

    /** Reseeds duoRandom from @p seed so that the following SetUp and steps are reproducible.
     *  Does not touch the current tables or point. */
    void SeedRandom(double seed);

    /**
     * Builds the radial weights for grid size @p gridSize, the face table, the 60 turns, the 180
     * wave and amplitude vectors and a random start point in `sphere` (draws exactly
     * kSetUpDraws values from duoRandom). Called at construction and by each new random Duo
     * quilt, which then starts the document's point at (sphere.e1, sphere.e2).
     */
    void SetUp(double gridSize);

    /**
     * One iteration of the sphere point. Sets @p countThisHit to true for the upper hemisphere
     * (P.e3 >= 0, the equator included) and false below it. Returns the projection
     * (0.5·P.e1 + 0.5, 0.5·P.e2 + 0.5), which lies in [0, 1] × [0, 1] and is also kept in
     * outX, outY; the driver stores it without folding. When the sum of waves has norm 0 or is
     * not a number, the point is replaced by a random one (three draws).
     */
    DuoPoint DuoStep(bool& countThisHit);

    /** The radial weight for pixel (@p x, @p y) of a bitmap @p height pixels high, from this
     *  map's radialWeights (see RadialWeightAt below). */
    double RadialWeight(int x, int y, int height) const {
        return RadialWeightAt(radialWeights, x, y, height);
    }

    /**
     * The weight for pixel (@p x, @p y) of a bitmap @p height pixels high: weights[trunc(r)],
     * r the distance of the pixel from (height/2, height/2) (integer halves). A radius past the
     * end of @p weights (a bitmap larger than the grid the weights were built for) gets 1.0,
     * the value of the table's outer half.
     */
    static double RadialWeightAt(std::span<const double> weights, int x, int y, int height);

    /** Fills @p weights for grid size @p gridSize: one falling weight per whole radius r below
     *  N/2, then as many ones. An entry whose formula has no real value (the last one for an odd
     * size) takes its inner neighbour's value, or 1.0 when it has none. */
    static void BuildRadialWeights(std::vector<double>& weights, double gridSize);

    /** The normalised point for three draws u1, u2, u3 (components 0.4u − 0.2), the other
     *  components of @p point kept. When that point has norm 0 (every draw exactly 0.5) or is
     *  not finite, the north pole (0, 0, 1) is used instead: normalising it would give the
     *  9999.9999 marker, which projects far outside the grid. */
    static Multivector PlacePoint(Multivector point, double u1, double u2, double u3);

    std::array<DuoFace, kFaces> faces{};
    std::array<Multivector, kBases> baseWaves{};
    std::array<Multivector, kBases> baseAmps{};
    /** Index k = 60b + 5i + j: base b turned by turns[j] of face i. */
    std::array<Multivector, kTerms> waves{};
    std::array<Multivector, kTerms> amps{};
    /** The current point P, a unit vector. */
    Multivector sphere;
    double outX = 0.0;
    double outY = 0.0;
    /** Per-radius weights for the optional radial picture of the bitmap build. */
    std::vector<double> radialWeights;
    /** 6.283185307, set by SetUp; kept for the record's shape, read by nothing. */
    double duoTwoPi = 0.0;
    /** Set to 0 by SetUp; read by nothing. */
    std::int32_t spareA = 0;
    std::int32_t spareB = 0;
    RandomSource duoRandom;

private:
    void BuildFaces();
    void BuildWaves();
    /** The start or replacement point from three draws of duoRandom. */
    void DrawPoint(bool clearOtherComponents);
};

} // namespace zarn
