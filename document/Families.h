#pragma once

#include "document/MapFamily.h"
#include "document/PictureColours.h"
#include "document/QuiltOps.h"
#include "document/QuiltState.h"
#include "engine/StepKernels.h"
#include "engine/Torus.h"
#include "render/BitmapFill.h"

#include <cstdint>

namespace zarn {

class JsonWriter;

/**
 * One specialisation per family holds everything the document does differently for it:
 *
 *   static constexpr MapFamily kFamily;
 *   static void setUp(QuiltState&);            the random set-up of a new quilt (draws,
 *                                              start point, restart); names come after
 *   using Map; static Map& map(QuiltState&);   the family's map object
 *   static void step(P& orbit, Map&, bool& count); one step of an orbit (the state itself, or
 *                                              one of its extra orbits) from (pointX, pointY):
 *                                              stores the result in raw, torus and point; only
 *                                              the sphere map clears count (lower hemisphere)
 *   static void startOrbit(Orbit&, QuiltState&); the start of an extra orbit (draws from the
 *                                              state's orbitRandom)
 *   static PeriodSize periodSize(const QuiltState&);
 *   static void fill(const QuiltState&, PeriodBitmap&, const PictureColours&);
 *                                              the period picture, coloured on the scale
 *                                              and palette the caller made for the grid
 *   static void writeCoefficients(JsonWriter&, const QuiltState&);
 *
 * withFamily() turns the run-time family into the specialisation, so that the step loop is
 * compiled once per family with its step inlined.
 */
template <MapFamily F> struct FamilyTraits;

namespace family_detail {

/** For the maps that fold their own result. */
template <typename P> void storeUnfolded(P& s, double x, double y) {
    s.rawX = s.torusX = s.pointX = x;
    s.rawY = s.torusY = s.pointY = y;
}

/** For the tiling maps and the wild corner: fold, then go on from the folded point. */
template <typename P> void storeFolded(P& s, double x, double y) {
    s.rawX = x;
    s.rawY = y;
    s.torusX = foldToUnit(x);
    s.torusY = foldToUnit(y);
    s.pointX = s.torusX;
    s.pointY = s.torusY;
}

/** The set-up every family but Square, Hex, SquareX and Duo shares: the map's draw, then the
 *  start point, then a restart. */
template <typename Draw> void commonSetUp(QuiltState& s, Draw&& draw) {
    draw();
    const double u1 = s.random.Uniform();
    const double u2 = s.random.Uniform();
    s.torusX = s.pointX = u1;
    s.torusY = s.pointY = u2;
    RestartIteration(s);
}

PeriodSize gridPeriod(const QuiltState& s);
/** The period of a tiling map (4.6.12, 3.12.12) for the grid's side. */
template <typename TilingMap> PeriodSize tilingPeriod(const TilingMap& map, const QuiltState& s) {
    const auto p = map.PeriodFor(static_cast<int>(s.QMap.size));
    return {p.width, p.height};
}
/** A tiling map's picture: each pixel reads the cell the map's lookup names. */
template <typename TilingMap>
void fillTiling(const TilingMap& map, const QuiltState& s, PeriodBitmap& bitmap,
                const PictureColours& colours) {
    fillBitmap(
        bitmap, colours.palette, colours.scale,
        [&](int x, int y) { return map.PixelCount(s.QMap, x, y); }, colours.fillThreads);
}
/** The square-lattice families' picture: the grid, or the mirrored lookup under imageOption1. */
void fillSquareLattice(const QuiltState& s, PeriodBitmap& bitmap, const PictureColours& colours);
void noCoefficients(JsonWriter&, const QuiltState&);

/** An extra orbit of a square-lattice or tiling family starts at a point of the unit square. */
void startInUnitSquare(Orbit& orbit, QuiltState& s);

/** What the families on the square lattice share: the grid is the period, the picture is the
 *  grid (or its mirrored lookup) and an extra orbit starts anywhere in the unit square. */
struct SquareLattice {
    static PeriodSize periodSize(const QuiltState& s) { return gridPeriod(s); }
    static void fill(const QuiltState& s, PeriodBitmap& b, const PictureColours& c) {
        fillSquareLattice(s, b, c);
    }
    static void startOrbit(Orbit& orbit, QuiltState& s) { startInUnitSquare(orbit, s); }
};

} // namespace family_detail

template <> struct FamilyTraits<MapFamily::Square> : family_detail::SquareLattice {
    static constexpr MapFamily kFamily = MapFamily::Square;
    using Map = SqrMap;
    static Map& map(QuiltState& s) { return s.sqrMap; }
    static void setUp(QuiltState& s);
    template <typename P> static void step(P& s, Map& m, bool&) {
        m.x = s.pointX;
        m.y = s.pointY;
        if (m.detail == 1) {
            m.StepDetailed();
        } else {
            m.Step();
        }
        m.lastX = m.x;
        m.lastY = m.y;
        family_detail::storeUnfolded(s, m.x, m.y);
    }
    /** The worker's run of steps without decisions between them (engine/StepKernels.h). */
    template <typename P> static void runSpan(P& s, Map& m, StepSpan& span) {
        m.RunSpan(span);
        family_detail::storeUnfolded(s, span.x, span.y);
    }
    static void writeCoefficients(JsonWriter& json, const QuiltState& s) {
        family_detail::noCoefficients(json, s);
    }
};

template <> struct FamilyTraits<MapFamily::Oct_Four> : family_detail::SquareLattice {
    static constexpr MapFamily kFamily = MapFamily::Oct_Four;
    using Map = New84;
    static Map& map(QuiltState& s) { return s.octFourMap; }
    static void setUp(QuiltState& s);
    template <typename P> static void step(P& s, Map& m, bool&) {
        const MapPoint r = m.StepFrom(s.pointX, s.pointY);
        family_detail::storeUnfolded(s, r.x, r.y);
    }
    template <typename P> static void runSpan(P& s, Map& m, StepSpan& span) {
        m.RunSpan(span);
        family_detail::storeUnfolded(s, span.x, span.y);
    }
    static void writeCoefficients(JsonWriter& json, const QuiltState& s);
};

template <> struct FamilyTraits<MapFamily::SFT> {
    static constexpr MapFamily kFamily = MapFamily::SFT;
    using Map = MapSixFourTwelve;
    static Map& map(QuiltState& s) { return s.sftMap; }
    static void setUp(QuiltState& s);
    template <typename P> static void step(P& s, Map& m, bool&) {
        const Complex r = m.Step({s.pointX, s.pointY});
        family_detail::storeFolded(s, r.re, r.im);
    }
    static PeriodSize periodSize(const QuiltState& s) {
        return family_detail::tilingPeriod(s.sftMap, s);
    }
    static void fill(const QuiltState& s, PeriodBitmap& b, const PictureColours& c) {
        family_detail::fillTiling(s.sftMap, s, b, c);
    }
    static void writeCoefficients(JsonWriter& json, const QuiltState& s);
    static void startOrbit(Orbit& orbit, QuiltState& s) {
        family_detail::startInUnitSquare(orbit, s);
    }
};

template <> struct FamilyTraits<MapFamily::Hex> {
    static constexpr MapFamily kFamily = MapFamily::Hex;
    using Map = HexMap;
    static Map& map(QuiltState& s) { return s.hexMap; }
    static void setUp(QuiltState& s);
    template <typename P> static void step(P& s, Map& m, bool&) {
        if (m.knotOn != 0) {
            // Knot mode counts lattice coordinates and goes on from the folded point mapped back
            // into the plane.
            const Complex r = m.KnotStep({s.pointX, s.pointY});
            s.torusX = foldToUnit(r.re);
            s.torusY = foldToUnit(r.im);
            s.rawX = s.torusX;
            s.rawY = s.torusY;
            s.pointX = s.torusX + 0.5 * s.torusY;
            s.pointY = s.torusY * m.c30;
        } else {
            const Complex r = m.Step({s.pointX, s.pointY});
            s.rawX = r.re;
            s.rawY = r.im;
            s.torusX = foldToUnit(r.re);
            s.torusY = foldToUnit(r.im);
            s.pointX = s.rawX;
            s.pointY = s.rawY;
        }
    }
    static PeriodSize periodSize(const QuiltState& s) {
        return {static_cast<int>(s.hexMap.periodWidth), static_cast<int>(s.hexMap.periodHeight)};
    }
    static void fill(const QuiltState& s, PeriodBitmap& b, const PictureColours& c);
    static void writeCoefficients(JsonWriter& json, const QuiltState& s);
    static void startOrbit(Orbit& orbit, QuiltState& s);
};

template <> struct FamilyTraits<MapFamily::SquareX> : family_detail::SquareLattice {
    static constexpr MapFamily kFamily = MapFamily::SquareX;
    using Map = WildCornerMap;
    static Map& map(QuiltState& s) { return s.cornerMap; }
    static void setUp(QuiltState& s);
    template <typename P> static void step(P& s, Map& m, bool&) {
        const Complex r = m.CornerStep({s.pointX, s.pointY});
        family_detail::storeFolded(s, r.re, r.im);
    }
    static void writeCoefficients(JsonWriter& json, const QuiltState& s);
};

template <> struct FamilyTraits<MapFamily::T> {
    static constexpr MapFamily kFamily = MapFamily::T;
    using Map = MapThreeTwelve;
    static Map& map(QuiltState& s) { return s.tMap; }
    static void setUp(QuiltState& s);
    template <typename P> static void step(P& s, Map& m, bool&) {
        const Complex r = m.Step({s.pointX, s.pointY});
        family_detail::storeFolded(s, r.re, r.im);
    }
    static PeriodSize periodSize(const QuiltState& s) {
        return family_detail::tilingPeriod(s.tMap, s);
    }
    static void fill(const QuiltState& s, PeriodBitmap& b, const PictureColours& c) {
        family_detail::fillTiling(s.tMap, s, b, c);
    }
    static void writeCoefficients(JsonWriter& json, const QuiltState& s);
    static void startOrbit(Orbit& orbit, QuiltState& s) {
        family_detail::startInUnitSquare(orbit, s);
    }
};

template <> struct FamilyTraits<MapFamily::ExpA> : family_detail::SquareLattice {
    static constexpr MapFamily kFamily = MapFamily::ExpA;
    using Map = MapExpA;
    static Map& map(QuiltState& s) { return s.expAMap; }
    static void setUp(QuiltState& s);
    template <typename P> static void step(P& s, Map& m, bool&) {
        const MapPoint r = m.StepFrom(s.pointX, s.pointY);
        family_detail::storeUnfolded(s, r.x, r.y);
    }
    static void writeCoefficients(JsonWriter& json, const QuiltState& s);
};

template <> struct FamilyTraits<MapFamily::TWsq> {
    static constexpr MapFamily kFamily = MapFamily::TWsq;
    using Map = TwsqMap;
    static Map& map(QuiltState& s) { return s.twsqMap; }
    static void setUp(QuiltState& s);
    template <typename P> static void step(P& s, Map& m, bool&) {
        const Complex r = m.TwsqStep({s.pointX, s.pointY});
        family_detail::storeUnfolded(s, r.re, r.im);
    }
    /** The grid and its mirror image below it. */
    static PeriodSize periodSize(const QuiltState& s) {
        const int n = static_cast<int>(s.QMap.size);
        return {n, 2 * n};
    }
    static void fill(const QuiltState& s, PeriodBitmap& b, const PictureColours& c);
    static void writeCoefficients(JsonWriter& json, const QuiltState& s);
    static void startOrbit(Orbit& orbit, QuiltState& s) {
        family_detail::startInUnitSquare(orbit, s);
    }
};

template <> struct FamilyTraits<MapFamily::Squaret> : family_detail::SquareLattice {
    static constexpr MapFamily kFamily = MapFamily::Squaret;
    using Map = SqrMapt;
    static Map& map(QuiltState& s) { return s.sqrMapt; }
    static void setUp(QuiltState& s);
    template <typename P> static void step(P& s, Map& m, bool&) {
        const MapPoint r = m.StepFrom(s.pointX, s.pointY);
        family_detail::storeUnfolded(s, r.x, r.y);
    }
    template <typename P> static void runSpan(P& s, Map& m, StepSpan& span) {
        m.RunSpan(span);
        family_detail::storeUnfolded(s, span.x, span.y);
    }
    static void writeCoefficients(JsonWriter& json, const QuiltState& s);
};

template <> struct FamilyTraits<MapFamily::Duo> : family_detail::SquareLattice {
    static constexpr MapFamily kFamily = MapFamily::Duo;
    using Map = DuoMap;
    static Map& map(QuiltState& s) { return s.duoMap; }
    static void setUp(QuiltState& s);
    template <typename P> static void step(P& s, Map& m, bool& count) {
        const DuoPoint r = m.DuoStep(count);
        family_detail::storeUnfolded(s, r.x, r.y);
    }
    static void writeCoefficients(JsonWriter& json, const QuiltState& s);
    static void startOrbit(Orbit& orbit, QuiltState& s);
};

/** Calls @p fn with FamilyTraits<family>{} and returns what it returns. */
template <typename Fn> decltype(auto) withFamily(MapFamily family, Fn&& fn) {
    switch (family) {
    case MapFamily::Oct_Four:
        return fn(FamilyTraits<MapFamily::Oct_Four>{});
    case MapFamily::SFT:
        return fn(FamilyTraits<MapFamily::SFT>{});
    case MapFamily::Hex:
        return fn(FamilyTraits<MapFamily::Hex>{});
    case MapFamily::SquareX:
        return fn(FamilyTraits<MapFamily::SquareX>{});
    case MapFamily::T:
        return fn(FamilyTraits<MapFamily::T>{});
    case MapFamily::ExpA:
        return fn(FamilyTraits<MapFamily::ExpA>{});
    case MapFamily::TWsq:
        return fn(FamilyTraits<MapFamily::TWsq>{});
    case MapFamily::Squaret:
        return fn(FamilyTraits<MapFamily::Squaret>{});
    case MapFamily::Duo:
        return fn(FamilyTraits<MapFamily::Duo>{});
    case MapFamily::Square:
        break;
    }
    return fn(FamilyTraits<MapFamily::Square>{});
}

} // namespace zarn
