#include "PolyMapping.h"

#include <algorithm>
#include <cmath>

namespace zarn {

namespace {

// The program's angle constants, used as written.
constexpr double kPi = 3.1415926535;
constexpr double kPi12 = 0.26179938779166667;
constexpr double kPi8 = 0.3926990816875;
constexpr double kPi6 = 0.5235987755833333;
constexpr double kPi4 = 0.785398163375;
constexpr double kPi3 = 1.0471975511666667;
constexpr double kThird = 0.33333333333;
/** Nudges that keep the fan triangles' edges off exact pixel boundaries. */
constexpr double kP1Nudge = 0.00001234;
constexpr double kP2Nudge = 0.00001001;

struct KindTable {
    int sides;
    double halfAngle;       // pi / n
    double vertexAngleStep; // 2 pi / n
};
constexpr std::array<KindTable, kPolygonKinds> kKinds = {{
    {3, kPi3, 2.0943951023333334},
    {4, kPi4, 1.57079632675},
    {6, kPi6, 1.0471975511666667},
    {8, kPi8, 0.785398163375},
    {12, kPi12, 0.5235987755833333},
}};

TilePolygon buildPolygon(const KindTable& kind, double radius, double overlapFactor) {
    TilePolygon p;
    p.sides = kind.sides;
    p.vertexAngleStep = kind.vertexAngleStep;
    p.circumradius = radius;
    const auto vertex = [&](int k) {
        return TilePoint{radius * std::cos(k * kind.vertexAngleStep),
                         radius * std::sin(k * kind.vertexAngleStep)};
    };
    for (int i = 1; i <= kind.sides; ++i) {
        const TilePoint a = vertex(i - 1);
        const TilePoint b = vertex(i);
        const TilePoint g{(a.x + b.x) * kThird, (a.y + b.y) * kThird};
        Triangle t{TilePoint{0.0, 0.0}, a, b};
        for (TilePoint& q : t) {
            q = {g.x + overlapFactor * (q.x - g.x), g.y + overlapFactor * (q.y - g.y)};
        }
        t[1].y -= kP1Nudge;
        t[2].y += kP2Nudge;
        p.baseTriangles.push_back(t);
    }
    return p;
}

} // namespace

std::optional<int> polyTilingByName(std::string_view name) {
    for (const PolyTilingChoice& c : kPolyTilings) {
        if (name == c.name) {
            return c.kind;
        }
    }
    if (name == "3.4.6.4" || name == "3.3.3.4.4/3.4.6.4") {
        return 2;
    }
    return std::nullopt;
}

std::string polyTilingNameList() {
    std::string list;
    for (const PolyTilingChoice& c : kPolyTilings) {
        if (!list.empty()) {
            list += ", ";
        }
        list += c.name;
    }
    return list;
}

bool isOfferedPolyTiling(int kind) {
    return std::any_of(kPolyTilings.begin(), kPolyTilings.end(),
                       [&](const PolyTilingChoice& c) { return c.kind == kind; });
}

PolyMapping::PolyMapping(int tilingKind, double correction)
    : overlapCorrection(correction), overlapFactor(1.0 + correction), tiling(tilingKind) {
    const double edgeHalf = std::sin(kPi12);
    for (std::size_t k = 0; k < kKinds.size(); ++k) {
        radii[k] = edgeHalf / std::sin(kKinds[k].halfAngle);
        apothems[k] = edgeHalf / std::tan(kKinds[k].halfAngle);
        polygons[k] = buildPolygon(kKinds[k], radii[k], overlapFactor);
    }
    PlaceTiling();
    SetScale(kDefaultScale);
}

void PolyMapping::Place(int kind, double x, double y, double rotation) {
    TilePolygon& p = polygons[static_cast<std::size_t>(kind)];
    const double c = std::cos(rotation);
    const double s = std::sin(rotation);
    for (const Triangle& base : p.baseTriangles) {
        Triangle t;
        for (std::size_t k = 0; k < 3; ++k) {
            t[k] = {x + base[k].x * c - base[k].y * s, y + base[k].y * c + base[k].x * s};
        }
        p.unitTriangles.push_back(t);
    }
    p.placed = true;
    largestPolygon = std::max(largestPolygon, kind);
}

void PolyMapping::PlaceTiling() {
    const double c30 = std::cos(kPi6);
    const double s30 = std::sin(kPi6);
    const double c60 = std::cos(kPi3);
    const double s60 = std::sin(kPi3);
    const double c45 = std::cos(kPi4);
    const double s45 = std::sin(kPi4);
    const auto R = [&](int kind) { return radii[static_cast<std::size_t>(kind)]; };
    const auto A = [&](int kind) { return apothems[static_cast<std::size_t>(kind)]; };
    const auto even = [](int i) { return i % 2 == 0; };

    switch (tiling) {
    case 0: { // 4.8.8
        const double d = 2.0 * A(kOctagon);
        unitWidth = unitHeight = d;
        const double a = A(kOctagon) + A(kSquare);
        for (int i = -8; i <= 7; ++i) {
            for (int j = -8; j <= 7; ++j) {
                const double x = d * i;
                const double y = d * j;
                if (!(std::abs(x) < 2.01 * d && std::abs(y) < 2.01 * d)) {
                    continue;
                }
                Place(kOctagon, x, y, kPi8);
                Place(kSquare, x + c45 * a, y + s45 * a, 0.006);
                Place(kSquare, x + c45 * a, y - s45 * a, 0.006);
            }
        }
        break;
    }
    case 2: { // 3.3.3.4.4 / 3.4.6.4
        const double f = 2.0 * A(kTriangle) + 2.0 * R(kTriangle) + R(kHexagon) + A(kSquare);
        const double g = 2.0 * A(kSquare) + A(kHexagon);
        unitWidth = 2.0 * f;
        unitHeight = 2.0 * g;
        const double a = A(kSquare) + A(kHexagon);
        const double h = R(kTriangle) + R(kHexagon);
        const double b = R(kTriangle) + R(kHexagon) + 2.0 * A(kTriangle);
        for (int j = -4; j <= 4; j += 2) {
            for (int i = -4; i <= 3; ++i) {
                const double x = f * (even(i) ? j : j + 1);
                const double y = g * i;
                if (!(std::abs(x) < 4.05 * f && std::abs(y) < 4.05 * g)) {
                    continue;
                }
                Place(kHexagon, x, y, 0.0);
                Place(kSquare, x + c30 * a, y + s30 * a, 1.3089969389583334);
                Place(kSquare, x + c30 * a, y - s30 * a, -1.3089969389583334);
                Place(kSquare, x - c30 * a, y - s30 * a, 1.3089969389583334);
                Place(kSquare, x - c30 * a, y + s30 * a, -1.3089969389583334);
                Place(kSquare, x, y + a, kPi4);
                Place(kSquare, x, y - a, kPi4);
                Place(kTriangle, x + h, y, kPi);
                Place(kTriangle, x - h, y, 0.0);
                Place(kTriangle, x + c60 * h, y + s60 * h, 2.0943951023333334);
                Place(kTriangle, x - c60 * h, y + s60 * h, 5.235987755833333);
                Place(kTriangle, x - c60 * h, y - s60 * h, -1.0471975511666667);
                Place(kTriangle, x + c60 * h, y - s60 * h, 4.188790204666667);
                Place(kTriangle, x + b, y, 0.0);
                Place(kTriangle, x + c60 * b, y + s60 * b, 5.235987755833333);
            }
        }
        break;
    }
    case 3:   // 3.12.12
    case 5: { // 3.6.3.6
        const bool twelve = tiling == 3;
        const int big = twelve ? kDodecagon : kHexagon;
        const double e = twelve ? 2.0 * A(kDodecagon) : 2.0 * R(kHexagon);
        const double rotation = twelve ? kPi12 : 0.0;
        const double F = A(big) + A(kTriangle);
        unitWidth = e;
        unitHeight = 2.0 * s60 * e;
        for (int i = -6; i <= 5; ++i) {
            for (int j = -6; j <= 5; ++j) {
                const double x = e * i;
                const double y = 2.0 * s60 * e * j;
                if (!(std::abs(x) < 3.0 * e && std::abs(y) < 6.0 * s60 * e)) {
                    continue;
                }
                Place(big, x, y, rotation);
                Place(big, x + c60 * e, y + s60 * e, rotation);
                Place(kTriangle, x + c30 * F, y + s30 * F, kPi6);
                Place(kTriangle, x + c30 * F, y - s30 * F, -kPi6);
                Place(kTriangle, x, y - F, kPi6);
                Place(kTriangle, x, y + F, 3.6651914290833334);
            }
        }
        break;
    }
    default: { // 4.6.12, also for any kind the dialog does not offer
        const double d = 2.0 * (A(kSquare) + A(kDodecagon));
        unitWidth = d;
        unitHeight = d + 4.0 * A(kHexagon);
        const double e = A(kDodecagon) + A(kHexagon);
        const double c = A(kSquare) + A(kDodecagon);
        for (int j = -4; j <= 4; j += 2) {
            for (int i = -4; i <= 3; ++i) {
                const double x = c60 * d * (even(i) ? j : j + 1);
                const double y = -i * s60 * d;
                if (!(std::abs(x) < 2.0 * d && std::abs(y) < 2.0 * d + 4.0 * A(kHexagon))) {
                    continue;
                }
                Place(kDodecagon, x, y, kPi12);
                Place(kHexagon, x + c30 * e, y + s30 * e, 0.0);
                Place(kHexagon, x + c30 * e, y - s30 * e, 0.0);
                Place(kSquare, x + c, y, kPi4);
                Place(kSquare, x + c60 * c, y + s60 * c, 1.8325957145416667);
                Place(kSquare, x + c60 * c, y - s60 * c, -1.8325957145416667);
            }
        }
        break;
    }
    }
}

void PolyMapping::SetScale(double scale) {
    const int sides = polygons[static_cast<std::size_t>(largestPolygon)].sides;
    userScale = scale;
    pixelScale = (1000.0 / sides) * scale;
    for (TilePolygon& p : polygons) {
        p.placedTriangles = p.unitTriangles;
        for (Triangle& t : p.placedTriangles) {
            for (TilePoint& q : t) {
                q = {q.x * pixelScale, q.y * pixelScale};
            }
        }
        p.currentScale = pixelScale;
        p.scaled = true;
    }
    rebuild = true;
}

void PolyMapping::SetPeriodOffsets(double x, double y) {
    periodOffsetX = x;
    periodOffsetY = y;
    rebuild = true;
}

int PolyMapping::ImageWidth() const {
    return static_cast<int>(pixelScale * unitWidth);
}

int PolyMapping::ImageHeight() const {
    return static_cast<int>(pixelScale * unitHeight);
}

TilePoint PolyMapping::PeriodShift() const {
    const int w = ImageWidth();
    const int h = ImageHeight();
    return {static_cast<double>(static_cast<int>(w * periodOffsetX) + w / 2),
            static_cast<double>(static_cast<int>(h * periodOffsetY) + h / 2)};
}

std::vector<Triangle> PolyMapping::DrawTriangles() const {
    const TilePoint shift = PeriodShift();
    std::vector<Triangle> out;
    for (const TilePolygon& p : polygons) {
        if (!p.placed) {
            continue;
        }
        for (const Triangle& t : p.placedTriangles) {
            Triangle r;
            for (std::size_t k = 0; k < 3; ++k) {
                r[k] = {std::round(t[k].x) + shift.x, std::round(t[k].y) + shift.y};
            }
            out.push_back(r);
        }
    }
    return out;
}

} // namespace zarn
