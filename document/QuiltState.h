#pragma once

#include "document/MapFamily.h"
#include "engine/CRandom.h"
#include "engine/MapExpA.h"
#include "engine/MapSixFourTwelve.h"
#include "engine/MapThreeTwelve.h"
#include "engine/New84.h"
#include "engine/QuiltMap.h"
#include "engine/RandomSource.h"
#include "engine/SqrMap.h"
#include "engine/SqrMapt.h"
#include "maps/DuoMap.h"
#include "maps/HexMap.h"
#include "maps/TwsqMap.h"
#include "maps/WildCornerMap.h"
#include "render/ColorC.h"
#include "render/ColorSetRecord.h"
#include "render/Palette.h"
#include "render/PolyMapping.h"
#include "render/QuaziMapping.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace zarn {

/** Width and height of one period of a quilt's picture, in pixels. */
struct PeriodSize {
    int width = 0;
    int height = 0;
};

/** The counters and status bytes a display reads while the worker runs: atomics, written by the
 *  worker with relaxed stores and by paused callers. */
struct QuiltStatus {
    static constexpr std::uint32_t kDefaultMaxSteps = 60000000;

    /** Steps since the last restart. */
    std::atomic<std::uint32_t> stepCount{0};
    /** The step limit: steps are taken while stepCount <= maxSteps. */
    std::atomic<std::uint32_t> maxSteps{kDefaultMaxSteps};
    /** Distinct cells hit, counted every 10,000 steps. */
    std::atomic<int> distinctCells{0};
    /** The largest count in the grid, as of the last block of steps. */
    std::atomic<std::uint32_t> maxCount{0};
    std::atomic<std::uint8_t> finished{0};
    std::atomic<std::uint8_t> running{0};
    std::atomic<std::uint8_t> converged{0};
    /** Set every 200,000 steps; cleared when the picture has been refreshed. */
    std::atomic<std::uint8_t> imageDirty{0};
    /** Quilts replaced because they collapsed onto too few cells. */
    std::atomic<std::uint32_t> collapsedReplacements{0};
    /** Quilts replaced because a step produced a non-finite or unusable point. */
    std::atomic<std::uint32_t> invalidReplacements{0};
};

/** Every family's map type: the copy of the current family's map that an extra orbit
 *  iterates. */
using OrbitMap = std::variant<SqrMap, New84, MapSixFourTwelve, HexMap, WildCornerMap,
                              MapThreeTwelve, MapExpA, TwsqMap, SqrMapt, DuoMap>;

/**
 * Where an orbit stands: the current point in the family's own coordinates (input and output of
 * every step), the last step's result before folding, that result folded into the unit square
 * (the point that is counted) and the cell it counts.
 */
struct OrbitPoint {
    double torusX = 0.0;
    double torusY = 0.0;
    double pointX = 0.0;
    double pointY = 0.0;
    double rawX = 0.0;
    double rawY = 0.0;
    int cellX = 0;
    int cellY = 0;
};

/**
 * One more orbit of the same quilt, iterated beside the state's own by a thread of its own and
 * counted into the same grid. It has its point, its own copy of the family's map (whose working
 * values change with every step) and its own transient.
 */
struct Orbit : OrbitPoint {
    /** Steps since the orbit started: its first 3000 add no hits. */
    std::uint32_t steps = 0;
    OrbitMap map;
};

/** The auto names of a quilt: quiltName from the family's format and nameNumber, the others
 *  derived from it. */
struct QuiltNames {
    std::string quiltName;
    std::string sessionName;
    std::string ptesName;
    std::string windowName;
    int nameNumber = 0;
};

/**
 * Everything one quilt is: the family and its options, every family's map, the grid, the
 * colours, the counters, the orbit's point and the names. Each fact has one owner here; what
 * the session file stores twice is derived when it is written (see the accessors below).
 *
 * The document owns one and hands it out only under a pause (CZARN40Doc::State); the worker
 * changes it between pauses. The document/ operations work on it directly.
 */
struct QuiltState : OrbitPoint {
    static constexpr int kNameLength = 300;

    /** Builds the objects in the order the program has always built them; with @p seed every
     *  random source (the C library generator included) is seeded from it. */
    explicit QuiltState(std::optional<std::uint64_t> seed);
    QuiltState(const QuiltState&) = delete;
    QuiltState& operator=(const QuiltState&) = delete;

    // The generator of small whole-number choices; first, because the wild corner draws its N
    // as it is built.
    CRandom crandom;

    MapFamily family = MapFamily::Square;
    /** Carried through session files only: nothing sets it and nothing reads it. */
    std::uint8_t hexVariant = 0;

    // Options.
    int useRandomSettings = 1;
    std::array<std::uint8_t, 4> imageOption{0, 0, 0, 1};

    QuiltStatus status;
    int minDistinctCells = 0;

    /** Orbits iterated at once, one thread each; 1 is the driver's single orbit. Takes effect
     *  at the next restart (or when the worker next starts). */
    int orbitCount = 1;
    /** The orbits besides the state's own (orbitCount - 1 of them, once prepared). */
    std::vector<Orbit> orbits;
    /** With several orbits: steps of the state's own orbit since the restart. */
    std::uint32_t leadSteps = 0;
    /** Raised whenever coefficients change without a restart; the extra orbits are prepared
     *  again when it differs from orbitsGeneration. */
    std::uint32_t mapGeneration = 0;
    std::uint32_t orbitsGeneration = 0;
    /** Raised by every restart (the worker's open round of several orbits ends with it). */
    std::uint32_t restarts = 0;

    QuiltNames names;
    /** What a window caption shows: sessionName, or the file's name once opened from one. */
    std::string title;

    // View settings.
    std::uint16_t viewPeriod = 2;
    std::uint8_t quaziView = 0;
    std::uint8_t polyView = 0;
    std::uint8_t polyViewChosen = 0;
    std::uint8_t isWindowsNT = 0;
    int maxDibThird = 0;

    // Owned objects, in the order they are built.
    ColorC colorSet;
    SqrMap sqrMap;
    DuoMap duoMap;
    SqrMapt sqrMapt;
    HexMap hexMap;
    /** The hexagonal picture's pixel-to-cell table (a cache of the fill, not part of the quilt). */
    mutable HexPixelCells hexPixelCells;
    MapSixFourTwelve sftMap;
    New84 octFourMap;
    MapThreeTwelve tMap;
    WildCornerMap cornerMap;
    MapExpA expAMap;
    TwsqMap twsqMap;
    ColorSetHistory colorSetHistory;
    QuiltMap QMap;
    RandomSource random;
    /** Where the extra orbits start. Apart from `random`, so that a seed gives the same quilt
     *  (its coefficients, names and first orbit) whatever the number of orbits. */
    RandomSource orbitRandom;
    Palette palette;
    /** The quasi-crystal view's tiling; made by the document after everything above. */
    QuaziMapping quaziMapping;
    /** The poly view's tiling; made the first time the poly view is used (polyViewChosen). */
    std::optional<PolyMapping> polyMapping;

    // Facts the session file and the dialogs name separately; each has one owner.
    /** "Use Detailed Square Map": the square map iterates its detailed form. */
    bool useDetailedSquare() const { return sqrMap.detail != 0; }
    std::uint16_t squareDetailDepth() const { return sqrMap.depth; }
    /** "Use Detailed Hex Map": the hexagonal map sums its detail orbits. */
    bool useDetailedHex() const { return hexMap.detailOn != 0; }
    int hexDetailDepth() const { return hexMap.detailDepth; }
    /** "Knot Effect": the hexagonal map counts lattice coordinates. */
    bool hexKnot() const { return hexMap.knotOn != 0; }
    std::uint32_t gridSize() const { return QMap.size; }
    double hexSizeA() const { return hexMap.periodWidth; }
    double hexSizeB() const { return hexMap.periodHeight; }

    void setUseDetailedSquare(bool on) { sqrMap.detail = on ? 1 : 0; }
    void setSquareDetailDepth(int depth) { sqrMap.SetDepth(depth); }
    void setUseDetailedHex(bool on) { hexMap.detailOn = on ? 1 : 0; }
    void setHexDetailDepth(int depth) { hexMap.detailDepth = depth; }
    void setHexKnot(bool on) { hexMap.knotOn = on ? 1 : 0; }
};

} // namespace zarn
