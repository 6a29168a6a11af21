#pragma once

#include "document/QuiltState.h"
#include "document/ViewSettings.h"

#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>

namespace zarn {

/** Bytes of each name buffer in a session file; a name holds at most kNameBytes - 1 bytes. */
inline constexpr std::size_t kSessionNameBytes = 300;
using NameBuffer = std::array<char, kSessionNameBytes>;

/**
 * The document's own fields of a session file (1 to 37), as they stand in the file. The family
 * is stored as one flag per family and several facts are stored twice (the square map's detail
 * flag and depth, the hexagonal map's flags, the grid's size three times); fieldsOf() derives
 * them all from their one owner in the state.
 */
struct DocumentFields {
    std::uint8_t finished = 0;
    std::uint8_t running = 0;
    std::uint8_t converged = 0;
    std::uint8_t useRandomSettings = 0; // low byte
    std::uint8_t useDetailedSquare = 0;
    std::uint16_t squareDetailDepth = 0;
    std::uint8_t flagHex = 0;
    std::uint8_t useDetailedHex = 0; // low byte
    std::uint8_t hexKnot = 0;        // low byte
    std::uint8_t hexVariant = 0;
    std::uint8_t flagSFT = 0;
    std::uint8_t flagOctFour = 0;
    std::uint8_t flagT = 0;
    std::uint8_t flagSquareX = 0;
    std::uint8_t flagExpA = 0;
    std::array<std::uint8_t, 4> imageOption{};
    std::int32_t distinctCells = 0;
    std::int32_t minDistinctCells = 0;
    std::uint32_t stepCount = 0;
    std::uint32_t maxSteps = 0;
    double gridSizeReal = 0.0;
    double gridSizeInverse = 0.0;
    std::uint16_t gridSize = 0; // low 16 bits
    double hexSizeA = 0.0;
    double hexSizeB = 0.0;
    NameBuffer quiltName{};
    NameBuffer sessionName{};
    std::uint16_t viewPeriod = 0;
    std::int32_t maxDibThird = 0;
    /** Which view is on (packViewWord); 0 in files that predate it. */
    std::uint32_t views = 0;
    double torusX = 0.0;
    double torusY = 0.0;
    double pointX = 0.0;
    double pointY = 0.0;
    double rawX = 0.0;
    double rawY = 0.0;

    /** The family the flags name; Square when none is set. The reader refuses more than one. */
    MapFamily family() const;
    /** Sets the one flag of @p family (none for the families the file cannot name). */
    void setFamily(MapFamily family);
};

/** The fields as a session file stores them for @p s. */
DocumentFields fieldsOf(const QuiltState& s);

/** The file's name buffer for @p name (cut to 299 bytes) and back. */
NameBuffer nameBuffer(const std::string& name);
std::string nameString(const NameBuffer& buffer);

/** Largest grid side a session file may hold (memory may lower it). */
inline constexpr std::uint32_t kMaxSessionGridSide = 4000;
/** Largest maxDibThird any document computes: floor(2 x 1001 / 3). */
inline constexpr int kMaxDibThird = 667;
/** Largest hexagonal period a file may hold, across and down. */
inline constexpr double kMaxHexSizeA = 3.0 * HexMap::kMaxCellSize;
inline constexpr double kMaxHexSizeB = 2.0 * HexMap::kMaxCellSize;

std::string describeNumber(double v);

/**
 * The one list of fields 1 to 37, in file order, with the checks a reader applies. A visitor
 * provides:
 *   flag(uint8_t&, name)        a byte that must be 0 or 1
 *   familyFlag(uint8_t&, name)  a flag of which at most one may be set
 *   value(T&, name)             a number of the field's width, unchecked
 *   finite(double&, name)       a double that must be finite
 *   name(NameBuffer&, name)     a 300-byte name that must hold its NUL
 *   pad(size_t, name)           reserved bytes (zero on write, skipped on read)
 *   require(bool, name, why)    a check on the value just visited; why() gives the reason
 * @p largestSide is the largest grid a loaded file may ask for.
 */
template <typename Visitor>
void visitDocumentFields(Visitor& v, DocumentFields& f, std::uint32_t largestSide) {
    v.flag(f.finished, "finished");
    v.flag(f.running, "running");
    v.flag(f.converged, "converged");
    v.value(f.useRandomSettings, "useRandomSettings");
    v.flag(f.useDetailedSquare, "useDetailedSquare");
    v.value(f.squareDetailDepth, "squareDetailDepth");
    // Values below 3 are mended by the detail dialog; above 6 there is no table to sum.
    v.require(f.squareDetailDepth <= 6, "squareDetailDepth",
              [&] { return std::to_string(f.squareDetailDepth) + " is above 6"; });
    v.familyFlag(f.flagHex, "flagHex");
    v.value(f.useDetailedHex, "useDetailedHex");
    v.value(f.hexKnot, "hexKnot");
    v.flag(f.hexVariant, "hexVariant");
    v.familyFlag(f.flagSFT, "flagSFT");
    v.familyFlag(f.flagOctFour, "flagOctFour");
    v.familyFlag(f.flagT, "flagT");
    v.familyFlag(f.flagSquareX, "flagSquareX");
    v.familyFlag(f.flagExpA, "flagExpA");
    v.value(f.imageOption[0], "imageOption1");
    v.value(f.imageOption[1], "imageOption2");
    v.value(f.imageOption[2], "imageOption3");
    v.value(f.imageOption[3], "imageOption4");
    v.value(f.distinctCells, "distinctCells");
    v.value(f.minDistinctCells, "minDistinctCells");
    v.value(f.stepCount, "stepCount");
    v.value(f.maxSteps, "maxSteps");

    // The step turns the torus point into a cell with the grid's side: the stored sizes must be
    // the grid's side exactly, or hits land outside the grid.
    v.finite(f.gridSizeReal, "gridSizeReal");
    v.require(f.gridSizeReal >= 1.0 && f.gridSizeReal <= kMaxSessionGridSide &&
                  f.gridSizeReal == std::trunc(f.gridSizeReal),
              "gridSizeReal", [&] {
                  return describeNumber(f.gridSizeReal) + " is not a whole number in 1.." +
                         std::to_string(kMaxSessionGridSide);
              });
    v.finite(f.gridSizeInverse, "gridSizeInverse");
    v.value(f.gridSize, "gridSize");
    v.require(f.gridSize == f.gridSizeReal, "gridSize", [&] {
        return std::to_string(f.gridSize) + " does not match gridSizeReal " +
               describeNumber(f.gridSizeReal);
    });
    v.require(f.gridSize <= largestSide, "gridSize", [&] {
        const std::uint64_t side = std::uint64_t{f.gridSize} + QuiltMap::kMargin;
        return std::to_string(f.gridSize) + " needs " + std::to_string(side * side * 4) +
               " bytes for its grid, more than half the physical memory";
    });
    const auto size = [&](double& value, double hi, const char* name) {
        v.finite(value, name);
        v.require(value >= 0.0 && value <= hi, name,
                  [&] { return describeNumber(value) + " is outside 0.." + describeNumber(hi); });
    };
    size(f.hexSizeA, kMaxHexSizeA, "hexSizeA");
    size(f.hexSizeB, kMaxHexSizeB, "hexSizeB");
    v.pad(8, "reserved words after hexSizeB");
    v.name(f.quiltName, "quiltName");
    v.name(f.sessionName, "sessionName");
    v.value(f.viewPeriod, "viewPeriod");
    v.value(f.maxDibThird, "maxDibThird");
    v.require(f.maxDibThird >= 1 && f.maxDibThird <= kMaxDibThird, "maxDibThird", [&] {
        return std::to_string(f.maxDibThird) + " is outside 1.." + std::to_string(kMaxDibThird);
    });
    v.value(f.views, "views");
    v.require(!viewWordError(f.views), "views", [&] { return *viewWordError(f.views); });
    v.pad(8, "reserved words after views");
    v.finite(f.torusX, "torusX");
    v.finite(f.torusY, "torusY");
    v.finite(f.pointX, "pointX");
    v.finite(f.pointY, "pointY");
    // The last step's unfolded result is never read before the next step replaces it; a quilt
    // replaced after a runaway step keeps it as it was, so it may be anything.
    v.value(f.rawX, "rawX");
    v.value(f.rawY, "rawY");
}

} // namespace zarn
