#pragma once

#include "document/MapFamily.h"
#include "document/QuiltOps.h"
#include "document/QuiltState.h"
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
 *   static void step(QuiltState&, bool& count); one step from (pointX, pointY): stores the
 *                                              result in raw, torus and point; only the sphere
 *                                              map clears count (lower-hemisphere points)
 *   static PeriodSize periodSize(const QuiltState&);
 *   static void fill(const QuiltState&, PeriodBitmap&);   the period picture (grid maximum
 *                                              refreshed by the caller)
 *   static void writeCoefficients(JsonWriter&, const QuiltState&);
 *
 * withFamily() turns the run-time family into the specialisation, so that the step loop is
 * compiled once per family with its step inlined.
 */
template <MapFamily F> struct FamilyTraits;

namespace family_detail {

/** For the maps that fold their own result. */
inline void storeUnfolded(QuiltState& s, double x, double y) {
    s.rawX = s.torusX = s.pointX = x;
    s.rawY = s.torusY = s.pointY = y;
}

/** For the tiling maps and the wild corner: fold, then go on from the folded point. */
inline void storeFolded(QuiltState& s, double x, double y) {
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
void fillTiling(const TilingMap& map, const QuiltState& s, PeriodBitmap& bitmap) {
    fillBitmap(bitmap, s.palette, s.QMap.maxCount,
               [&](int x, int y) { return map.PixelCount(s.QMap, x, y); });
}
/** The square-lattice families' picture: the grid, or the mirrored lookup under imageOption1. */
void fillSquareLattice(const QuiltState& s, PeriodBitmap& bitmap);
void noCoefficients(JsonWriter&, const QuiltState&);

} // namespace family_detail

template <> struct FamilyTraits<MapFamily::Square> {
    static constexpr MapFamily kFamily = MapFamily::Square;
    static void setUp(QuiltState& s);
    static void step(QuiltState& s, bool&) {
        SqrMap& m = s.sqrMap;
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
    static PeriodSize periodSize(const QuiltState& s) { return family_detail::gridPeriod(s); }
    static void fill(const QuiltState& s, PeriodBitmap& b) {
        family_detail::fillSquareLattice(s, b);
    }
    static void writeCoefficients(JsonWriter& json, const QuiltState& s) {
        family_detail::noCoefficients(json, s);
    }
};

template <> struct FamilyTraits<MapFamily::Oct_Four> {
    static constexpr MapFamily kFamily = MapFamily::Oct_Four;
    static void setUp(QuiltState& s);
    static void step(QuiltState& s, bool&) {
        const MapPoint r = s.octFourMap.StepFrom(s.pointX, s.pointY);
        family_detail::storeUnfolded(s, r.x, r.y);
    }
    static PeriodSize periodSize(const QuiltState& s) { return family_detail::gridPeriod(s); }
    static void fill(const QuiltState& s, PeriodBitmap& b) {
        family_detail::fillSquareLattice(s, b);
    }
    static void writeCoefficients(JsonWriter& json, const QuiltState& s);
};

template <> struct FamilyTraits<MapFamily::SFT> {
    static constexpr MapFamily kFamily = MapFamily::SFT;
    static void setUp(QuiltState& s);
    static void step(QuiltState& s, bool&) {
        const Complex r = s.sftMap.Step({s.pointX, s.pointY});
        family_detail::storeFolded(s, r.re, r.im);
    }
    static PeriodSize periodSize(const QuiltState& s) {
        return family_detail::tilingPeriod(s.sftMap, s);
    }
    static void fill(const QuiltState& s, PeriodBitmap& b) {
        family_detail::fillTiling(s.sftMap, s, b);
    }
    static void writeCoefficients(JsonWriter& json, const QuiltState& s);
};

template <> struct FamilyTraits<MapFamily::Hex> {
    static constexpr MapFamily kFamily = MapFamily::Hex;
    static void setUp(QuiltState& s);
    static void step(QuiltState& s, bool&) {
        HexMap& m = s.hexMap;
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
    static void fill(const QuiltState& s, PeriodBitmap& b);
    static void writeCoefficients(JsonWriter& json, const QuiltState& s);
};

template <> struct FamilyTraits<MapFamily::SquareX> {
    static constexpr MapFamily kFamily = MapFamily::SquareX;
    static void setUp(QuiltState& s);
    static void step(QuiltState& s, bool&) {
        const Complex r = s.cornerMap.CornerStep({s.pointX, s.pointY});
        family_detail::storeFolded(s, r.re, r.im);
    }
    static PeriodSize periodSize(const QuiltState& s) { return family_detail::gridPeriod(s); }
    static void fill(const QuiltState& s, PeriodBitmap& b) {
        family_detail::fillSquareLattice(s, b);
    }
    static void writeCoefficients(JsonWriter& json, const QuiltState& s);
};

template <> struct FamilyTraits<MapFamily::T> {
    static constexpr MapFamily kFamily = MapFamily::T;
    static void setUp(QuiltState& s);
    static void step(QuiltState& s, bool&) {
        const Complex r = s.tMap.Step({s.pointX, s.pointY});
        family_detail::storeFolded(s, r.re, r.im);
    }
    static PeriodSize periodSize(const QuiltState& s) {
        return family_detail::tilingPeriod(s.tMap, s);
    }
    static void fill(const QuiltState& s, PeriodBitmap& b) {
        family_detail::fillTiling(s.tMap, s, b);
    }
    static void writeCoefficients(JsonWriter& json, const QuiltState& s);
};

template <> struct FamilyTraits<MapFamily::ExpA> {
    static constexpr MapFamily kFamily = MapFamily::ExpA;
    static void setUp(QuiltState& s);
    static void step(QuiltState& s, bool&) {
        const MapPoint r = s.expAMap.StepFrom(s.pointX, s.pointY);
        family_detail::storeUnfolded(s, r.x, r.y);
    }
    static PeriodSize periodSize(const QuiltState& s) { return family_detail::gridPeriod(s); }
    static void fill(const QuiltState& s, PeriodBitmap& b) {
        family_detail::fillSquareLattice(s, b);
    }
    static void writeCoefficients(JsonWriter& json, const QuiltState& s);
};

template <> struct FamilyTraits<MapFamily::TWsq> {
    static constexpr MapFamily kFamily = MapFamily::TWsq;
    static void setUp(QuiltState& s);
    static void step(QuiltState& s, bool&) {
        const Complex r = s.twsqMap.TwsqStep({s.pointX, s.pointY});
        family_detail::storeUnfolded(s, r.re, r.im);
    }
    /** The grid and its mirror image below it. */
    static PeriodSize periodSize(const QuiltState& s) {
        const int n = static_cast<int>(s.QMap.size);
        return {n, 2 * n};
    }
    static void fill(const QuiltState& s, PeriodBitmap& b);
    static void writeCoefficients(JsonWriter& json, const QuiltState& s);
};

template <> struct FamilyTraits<MapFamily::Squaret> {
    static constexpr MapFamily kFamily = MapFamily::Squaret;
    static void setUp(QuiltState& s);
    static void step(QuiltState& s, bool&) {
        const MapPoint r = s.sqrMapt.StepFrom(s.pointX, s.pointY);
        family_detail::storeUnfolded(s, r.x, r.y);
    }
    static PeriodSize periodSize(const QuiltState& s) { return family_detail::gridPeriod(s); }
    static void fill(const QuiltState& s, PeriodBitmap& b) {
        family_detail::fillSquareLattice(s, b);
    }
    static void writeCoefficients(JsonWriter& json, const QuiltState& s);
};

template <> struct FamilyTraits<MapFamily::Duo> {
    static constexpr MapFamily kFamily = MapFamily::Duo;
    static void setUp(QuiltState& s);
    static void step(QuiltState& s, bool& count) {
        const DuoPoint r = s.duoMap.DuoStep(count);
        family_detail::storeUnfolded(s, r.x, r.y);
    }
    static PeriodSize periodSize(const QuiltState& s) { return family_detail::gridPeriod(s); }
    static void fill(const QuiltState& s, PeriodBitmap& b) {
        family_detail::fillSquareLattice(s, b);
    }
    static void writeCoefficients(JsonWriter& json, const QuiltState& s);
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
