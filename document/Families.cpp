#include "Families.h"

#include "DocumentJson.h"

#include <new>

namespace zarn {

namespace family_detail {

PeriodSize gridPeriod(const QuiltState& s) {
    const int n = static_cast<int>(s.QMap.size);
    return {n, n};
}

void fillSquareLattice(const QuiltState& s, PeriodBitmap& bitmap, const PictureColours& colours) {
    if (s.imageOption[0] != 0) {
        fillSquareLookupBitmap(bitmap, colours.palette, colours.scale, s.QMap, colours.fillThreads);
    } else {
        fillGridBitmap(bitmap, colours.palette, colours.scale, s.QMap, colours.fillThreads);
    }
}

void noCoefficients(JsonWriter&, const QuiltState&) {}

void startInUnitSquare(Orbit& orbit, QuiltState& s) {
    const double u1 = s.orbitRandom.Uniform();
    const double u2 = s.orbitRandom.Uniform();
    orbit.torusX = orbit.pointX = orbit.rawX = u1;
    orbit.torusY = orbit.pointY = orbit.rawY = u2;
}

} // namespace family_detail

using family_detail::commonSetUp;

void FamilyTraits<MapFamily::Square>::setUp(QuiltState& s) {
    commonSetUp(s, [&] { s.sqrMap.Randomize(s.random, s.crandom); });
    RestartIteration(s);
}

void FamilyTraits<MapFamily::Oct_Four>::setUp(QuiltState& s) {
    commonSetUp(s, [&] { s.octFourMap.Randomize(s.random, s.crandom); });
}

void FamilyTraits<MapFamily::Oct_Four>::writeCoefficients(JsonWriter& json, const QuiltState& s) {
    writeOctFourMap(json, s.octFourMap);
}

void FamilyTraits<MapFamily::SFT>::setUp(QuiltState& s) {
    commonSetUp(s, [&] { s.sftMap.Randomize(s.random); });
}

void FamilyTraits<MapFamily::SFT>::writeCoefficients(JsonWriter& json, const QuiltState& s) {
    writeSftMap(json, s.sftMap);
}

void FamilyTraits<MapFamily::Hex>::setUp(QuiltState& s) {
    const HexQuiltStart start = s.hexMap.StartRandomQuilt(
        s.useDetailedHex(), s.hexKnot(), s.random, s.crandom, static_cast<double>(s.QMap.size));
    s.rawX = start.raw.re;
    s.rawY = start.raw.im;
    s.pointX = start.point.re;
    s.pointY = start.point.im;
    RestartIteration(s);
}

void FamilyTraits<MapFamily::Hex>::startOrbit(Orbit& orbit, QuiltState& s) {
    family_detail::startInUnitSquare(orbit, s);
    // Knot mode iterates the plane point of lattice coordinates; the plain mode takes any point
    // of the plane and folds it.
    if (s.hexMap.knotOn != 0) {
        orbit.pointX = orbit.torusX + 0.5 * orbit.torusY;
        orbit.pointY = orbit.torusY * s.hexMap.c30;
    }
}

void FamilyTraits<MapFamily::Hex>::fill(const QuiltState& s, PeriodBitmap& b,
                                        const PictureColours& c) {
    const bool knot = s.hexKnot();
    const auto cellOf = [&](int x, int y) {
        return s.hexMap.PixelCell(s.QMap, static_cast<std::uint32_t>(x),
                                  static_cast<std::uint32_t>(y), knot);
    };
    const std::uint32_t* counts = s.QMap.CellData();
    const auto countOf = [counts](std::uint32_t cell) {
        return cell == HexMap::kNoCell ? 0u : counts[cell];
    };

    // The table of every pixel's cell, made again when the fold has changed; without room for
    // it, each pixel is folded as it is coloured.
    HexPixelCells& table = s.hexPixelCells;
    const std::lock_guard lock(table.mutex);
    std::vector<std::uint64_t> key = s.hexMap.ViewKey();
    key.insert(key.end(), {knot ? 1u : 0u, s.QMap.size, static_cast<std::uint64_t>(b.width),
                           static_cast<std::uint64_t>(b.height)});
    const auto width = static_cast<std::size_t>(b.width);
    if (key != table.key) {
        table.key.clear();
        try {
            table.cells.assign(width * static_cast<std::size_t>(b.height), HexMap::kNoCell);
            fillInBands(b.height, fillThreadsFor(b.width, b.height, c.fillThreads),
                        [&](int first, int end) {
                            for (int y = first; y < end; ++y) {
                                for (int x = 0; x < b.width; ++x) {
                                    table.cells[y * width + x] = cellOf(x, y);
                                }
                            }
                        });
            table.key = std::move(key);
        } catch (const std::bad_alloc&) {
            table.cells = {};
        }
    }
    const std::uint32_t* cells = table.key.empty() ? nullptr : table.cells.data();
    fillBitmap(
        b, c.palette, c.scale,
        [&](int x, int y) {
            return countOf(cells != nullptr ? cells[static_cast<std::size_t>(y) * width + x]
                                            : cellOf(x, y));
        },
        c.fillThreads);
}

void FamilyTraits<MapFamily::Hex>::writeCoefficients(JsonWriter& json, const QuiltState& s) {
    writeHexMap(json, s.hexMap);
}

void FamilyTraits<MapFamily::SquareX>::setUp(QuiltState& s) {
    const int cornerN = s.crandom() % 11 + 3;
    commonSetUp(s, [&] { s.cornerMap.RandomCornerQuilt(cornerN, s.random); });
}

void FamilyTraits<MapFamily::SquareX>::writeCoefficients(JsonWriter& json, const QuiltState& s) {
    writeCornerMap(json, s.cornerMap);
}

void FamilyTraits<MapFamily::T>::setUp(QuiltState& s) {
    commonSetUp(s, [&] { s.tMap.Randomize(s.random); });
}

void FamilyTraits<MapFamily::T>::writeCoefficients(JsonWriter& json, const QuiltState& s) {
    writeTMap(json, s.tMap);
}

void FamilyTraits<MapFamily::ExpA>::setUp(QuiltState& s) {
    commonSetUp(s, [&] { s.expAMap.Randomize(s.random); });
}

void FamilyTraits<MapFamily::ExpA>::writeCoefficients(JsonWriter& json, const QuiltState& s) {
    writeExpAMap(json, s.expAMap);
}

void FamilyTraits<MapFamily::TWsq>::setUp(QuiltState& s) {
    commonSetUp(s, [&] { s.twsqMap.TwsqRandomCoefficients(s.random); });
}

void FamilyTraits<MapFamily::TWsq>::fill(const QuiltState& s, PeriodBitmap& b,
                                         const PictureColours& c) {
    if (s.imageOption[0] != 0) {
        fillSquareLookupBitmap(b, c.palette, c.scale, s.QMap, c.fillThreads);
    } else {
        fillTwsqBitmap(b, c.palette, c.scale, s.QMap, c.fillThreads);
    }
}

void FamilyTraits<MapFamily::TWsq>::writeCoefficients(JsonWriter& json, const QuiltState& s) {
    writeTwsqMap(json, s.twsqMap);
}

void FamilyTraits<MapFamily::Squaret>::setUp(QuiltState& s) {
    commonSetUp(s, [&] { s.sqrMapt.Randomize(s.random, s.crandom); });
}

void FamilyTraits<MapFamily::Squaret>::writeCoefficients(JsonWriter& json, const QuiltState& s) {
    writeSquaretMap(json, s.sqrMapt);
}

void FamilyTraits<MapFamily::Duo>::setUp(QuiltState& s) {
    s.duoMap.SetUp(static_cast<double>(s.QMap.size));
    s.torusX = s.pointX = s.duoMap.sphere.e1;
    s.torusY = s.pointY = s.duoMap.sphere.e2;
    s.duoMap.outX = s.duoMap.sphere.e1;
    s.duoMap.outY = s.duoMap.sphere.e2;
    RestartIteration(s);
}

void FamilyTraits<MapFamily::Duo>::startOrbit(Orbit& orbit, QuiltState& s) {
    // The sphere map iterates the unit vector in its map; the orbit's point is its projection.
    const double u1 = s.orbitRandom.Uniform();
    const double u2 = s.orbitRandom.Uniform();
    const double u3 = s.orbitRandom.Uniform();
    DuoMap& map = std::get<DuoMap>(orbit.map);
    map.sphere = DuoMap::PlacePoint(map.sphere, u1, u2, u3);
    orbit.torusX = orbit.pointX = 0.5 * map.sphere.e1 + 0.5;
    orbit.torusY = orbit.pointY = 0.5 * map.sphere.e2 + 0.5;
}

void FamilyTraits<MapFamily::Duo>::writeCoefficients(JsonWriter& json, const QuiltState& s) {
    writeDuoMap(json, s.duoMap);
}

} // namespace zarn
