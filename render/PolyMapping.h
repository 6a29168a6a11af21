#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zarn {

/** Three points P0, P1, P2: the period's top-left, top-right and bottom-left corners go there. */
struct TilePoint {
    double x = 0.0;
    double y = 0.0;
};
using Triangle = std::array<TilePoint, 3>;

/** Polygon kinds of the tilings, indexed as PolyMapping::polygons. */
enum PolygonKind : int {
    kTriangle = 0,
    kSquare = 1,
    kHexagon = 2,
    kOctagon = 3,
    kDodecagon = 4,
};
inline constexpr int kPolygonKinds = 5;

/** One kind of regular polygon, cut into a fan of triangles about its centre, and every copy of
 *  it the tiling places. */
struct TilePolygon {
    int sides = 0;
    double vertexAngleStep = 0.0;
    double circumradius = 0.0;
    /** The fan about the origin, grown about each triangle's centroid by the overlap factor. */
    std::vector<Triangle> baseTriangles;
    /** Every placed copy in units of the dodecagon's circumradius (unscaled). */
    std::vector<Triangle> unitTriangles;
    /** The placed copies in pixels: unitTriangles times currentScale. */
    std::vector<Triangle> placedTriangles;
    bool placed = false;
    bool scaled = false;
    double currentScale = 1.0;
};

/** One of the five tilings the poly view offers, as "Chose View Mapping" lists them. */
struct PolyTilingChoice {
    int kind;
    /** What the dialog shows ("3.3.3.4.4 / 3.4.6.4"). */
    const char* label;
    /** What the command line takes ("3.3.3.4.4"). */
    const char* name;
};
inline constexpr std::array<PolyTilingChoice, 5> kPolyTilings = {{
    {0, "4.8.8", "4.8.8"},
    {1, "4.6.12", "4.6.12"},
    {2, "3.3.3.4.4 / 3.4.6.4", "3.3.3.4.4"},
    {3, "3.12.12", "3.12.12"},
    {5, "3.6.3.6", "3.6.3.6"},
}};
/** The tiling kind of a command-line name ("4.8.8", "3.4.6.4" for kind 2 as well). */
std::optional<int> polyTilingByName(std::string_view name);
/** The command-line names, for messages: "4.8.8, 4.6.12, ...". */
std::string polyTilingNameList();
/** Whether @p kind is one of the five offered (4 and others build 4.6.12 but are not offered). */
bool isOfferedPolyTiling(int kind);

/**
 * The poly view's geometry: one rectangular period of an Archimedean tiling, every polygon cut
 * into a fan of triangles. raster/ pastes the period bitmap onto each triangle.
 */
struct PolyMapping {
    static constexpr int kDefaultTiling = 0;
    static constexpr double kDefaultOverlap = 0.04;
    static constexpr double kDefaultScale = 1.0;
    static constexpr double kDefaultOffset = 0.25;

    std::array<TilePolygon, kPolygonKinds> polygons;
    std::array<double, kPolygonKinds> radii{};
    std::array<double, kPolygonKinds> apothems{};
    /** "Overlap corection" as given, and 1 + it: how much each triangle grows about its
     *  centroid. */
    double overlapCorrection = 0.0;
    double overlapFactor = 1.0;
    int tiling = kDefaultTiling;
    /** The tiling's rectangular period, in units of the dodecagon's circumradius. */
    double unitWidth = 0.0;
    double unitHeight = 0.0;
    int largestPolygon = 0;
    /** The scale as given (what the dialog shows) and the pixels per unit it makes. */
    double userScale = 0.0;
    double pixelScale = 0.0;
    /** "X offset for period", "Y offset for period": fractions of the period. */
    double periodOffsetX = kDefaultOffset;
    double periodOffsetY = kDefaultOffset;
    /** The poly image must be rebuilt before it is shown again. */
    bool rebuild = true;

    /** Builds @p tilingKind (any kind not offered builds 4.6.12) with overlap correction
     *  @p correction, at scale 1. */
    PolyMapping(int tilingKind, double correction);

    /** Pixels per unit = (1000 / n) x @p userScale, n the side count of the largest polygon;
     *  scales every placed triangle and asks for a rebuild. */
    void SetScale(double scale);
    /** The scale the dialog shows (pixelScale x n / 1000, as it was given). */
    double UserScale() const { return userScale; }
    /** The overlap correction the mapping was built with. */
    double OverlapCorrection() const { return overlapCorrection; }
    /** Sets both period offsets and asks for a rebuild. */
    void SetPeriodOffsets(double x, double y);

    /** The poly image's size: one period of the tiling in pixels, truncated. */
    int ImageWidth() const;
    int ImageHeight() const;
    /** Where the tiling's origin lands in the poly image, in whole pixels. */
    TilePoint PeriodShift() const;

    /** Every placed triangle of every kind, in pixels, each point rounded to the nearest whole
     *  pixel and shifted by PeriodShift(): what the poly image draws, in drawing order. */
    std::vector<Triangle> DrawTriangles() const;

private:
    void Place(int kind, double x, double y, double rotation);
    void PlaceTiling();
};

} // namespace zarn
