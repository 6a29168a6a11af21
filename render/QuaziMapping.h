#pragma once

#include "engine/RandomSource.h"

#include <array>
#include <cstdint>
#include <vector>

namespace zarn {

/** One line of a line set: the straight line with the set's direction, @p offset away from the
 *  set's origin along its normal. */
struct QuaziLine {
    int index = 0;
    double slope = 0.0;
    double offset = 0.0;
    double intercept = 0.0;
};

/** A family of parallel, unevenly spaced lines; one per direction of the multigrid. */
struct LineSet {
    double angle = 0.0;
    double normalAngle = 0.0;
    double cosA = 0.0;
    double sinA = 0.0;
    double tanA = 0.0;
    double cosN = 0.0;
    double sinN = 0.0;
    double spacing = 0.0;
    double shift = 0.0;
    int lineCount = 0;
    std::vector<QuaziLine> lines;
};

/** Integer pixel coordinates of a drawn corner. */
struct CornerPoint {
    int x = 0;
    int y = 0;
    friend bool operator==(const CornerPoint&, const CornerPoint&) = default;
};

/** One tile of the quasi-crystal: the dual of a crossing of two lines. Corners 0, 1, 2 take the
 *  period's top-left, top-right and bottom-left corners; corner 3 is opposite corner 0. */
struct Rhombus {
    /** The corners as generated (unit edges); the current corners are derived from them, so a
     *  scale or translation never drifts however often it is applied. */
    std::array<double, 4> unitX{};
    std::array<double, 4> unitY{};
    std::array<double, 4> cornerX{};
    std::array<double, 4> cornerY{};
    bool scaled = false;
    bool placed = false;
    double scaleX = 1.0;
    double scaleY = 1.0;
    double moveX = 0.0;
    double moveY = 0.0;
    double centreX = 0.0;
    double centreY = 0.0;

    /** Scales the unit corners by (a, b), replacing an earlier scale; a translation stays. */
    void ScaleRhombus(double a, double b);
    /** Translates the scaled corners by (a, b), replacing an earlier translation. */
    void MoveRhombus(double a, double b);

private:
    void Update();
};

/**
 * The quasi-periodic rhombus tiling of the quasi-crystal view, built by the multigrid method:
 * setCount sets of parallel lines at equally spaced angles, one rhombus per crossing of two lines
 * from different sets. Plain geometry; raster/ draws the period bitmap onto each rhombus.
 */
struct QuaziMapping {
    static constexpr int kLinesPerSet = 21;
    static constexpr double kBaseSpacing = 50.0;
    static constexpr int kDefaultSetCount = 5;
    static constexpr double kDefaultOffset = 300.0;
    static constexpr double kDefaultRhombusScale = 0.5;
    static constexpr double kDefaultOverlap = 0.02;

    std::vector<LineSet> lineSets;
    std::vector<Rhombus> tiles;
    int setCount = 0;
    int linesPerSet = kLinesPerSet;
    double setAngleStep = 0.0;
    RandomSource rng;
    /** "X Offset in pattern", "Y Offset in pattern": where the pattern's origin lands, in
     *  pixels. */
    double patternOffsetX = kDefaultOffset;
    double patternOffsetY = kDefaultOffset;
    /** "Scale % for rombi": a rhombus edge as a fraction of the pattern scale. */
    double rhombusScale = kDefaultRhombusScale;
    /** "Overlap corection": how much each rhombus is enlarged about its centre when drawn, so
     *  that neighbours leave no gap. */
    double overlap = kDefaultOverlap;

    /** An empty mapping: no line sets, no tiles. */
    QuaziMapping() = default;
    /** @p setCount line sets of kLinesPerSet lines, spaced baseSpacing x (1 + u) with u drawn
     *  from @p seeded (which the mapping keeps as its own source). Call GenerateTiles(). */
    QuaziMapping(int setCount, double baseSpacing, const RandomSource& seeded);

    /** Builds the rhombi from the line sets, unscaled and unplaced (unit edges). */
    void GenerateTiles();
    /** Scales every rhombus to rhombusScale x @p patternScale pixels an edge. */
    void SetPatternScale(double patternScale);
    /** Moves every rhombus by the pattern offsets. */
    void PlaceTiles();
    int TileCount() const { return static_cast<int>(tiles.size()); }
    /** Corner @p k (0, 1 or 2) of rhombus @p i enlarged by the overlap about the centre, in whole
     *  pixels (truncated); (0, 0) for an index out of range. */
    CornerPoint DrawCorner(int i, int k) const;
};

} // namespace zarn
