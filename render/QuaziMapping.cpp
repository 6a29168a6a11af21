#include "QuaziMapping.h"

#include <algorithm>
#include <cmath>

namespace zarn {

namespace {

// The program's own values of 2 pi and pi / 2.
constexpr double kTwoPi = 6.283185307;
constexpr double kHalfPi = 1.57079632675;
/** Keeps more than two lines from meeting in one point. */
constexpr double kAngleNudge = 0.01;
constexpr double kShiftDivisor = 1111.0;
/** Sets this close to parallel (an even set count pairs opposite directions) would cross
 *  astronomically far out in a rhombus of no area: they make no tiles. */
constexpr double kParallelSine = 1e-6;
/** Corners beyond this are far outside any picture; clamping keeps the integer conversion
 *  defined. */
constexpr double kCornerLimit = 1e9;

LineSet makeLineSet(int j, double angleStep, int lineCount, double baseSpacing, RandomSource& rng) {
    LineSet set;
    set.angle = j * angleStep + kAngleNudge;
    set.normalAngle = set.angle + kHalfPi;
    set.cosA = std::cos(set.angle);
    set.sinA = std::sin(set.angle);
    set.tanA = set.sinA / set.cosA;
    set.cosN = std::cos(set.normalAngle);
    set.sinN = std::sin(set.normalAngle);
    set.spacing = baseSpacing * (1.0 + rng.Uniform());
    set.shift = j / kShiftDivisor;
    set.lineCount = lineCount;
    set.lines.reserve(static_cast<std::size_t>(lineCount));
    const int middle = lineCount / 2;
    for (int k = 0; k < lineCount; ++k) {
        QuaziLine line;
        line.index = k;
        line.slope = set.tanA;
        line.offset = set.spacing * (k - middle);
        const double px = set.shift + line.offset * set.cosN;
        const double py = set.shift + line.offset * set.sinN;
        line.intercept = py - set.tanA * px;
        set.lines.push_back(line);
    }
    return set;
}

} // namespace

void Rhombus::ScaleRhombus(double a, double b) {
    scaleX = a;
    scaleY = b;
    scaled = true;
    Update();
}

void Rhombus::MoveRhombus(double a, double b) {
    moveX = a;
    moveY = b;
    placed = true;
    Update();
}

void Rhombus::Update() {
    double sumX = 0.0;
    double sumY = 0.0;
    for (std::size_t k = 0; k < 4; ++k) {
        cornerX[k] = unitX[k] * scaleX + moveX;
        cornerY[k] = unitY[k] * scaleY + moveY;
        sumX += cornerX[k];
        sumY += cornerY[k];
    }
    centreX = sumX / 4.0;
    centreY = sumY / 4.0;
}

QuaziMapping::QuaziMapping(int count, double baseSpacing, const RandomSource& seeded)
    : setCount(std::max(count, 0)), rng(seeded) {
    setAngleStep = setCount > 0 ? kTwoPi / setCount : 0.0;
    lineSets.reserve(static_cast<std::size_t>(setCount));
    for (int j = 0; j < setCount; ++j) {
        lineSets.push_back(makeLineSet(j, setAngleStep, linesPerSet, baseSpacing, rng));
    }
}

void QuaziMapping::GenerateTiles() {
    tiles.clear();
    const int n = static_cast<int>(lineSets.size());
    // Which line of every other set the crossing lies beyond, as a real: a far crossing may
    // lie past any int.
    std::vector<double> region(static_cast<std::size_t>(n));
    for (int r = 0; r < n; ++r) {
        for (int s = r + 1; s < n; ++s) {
            const LineSet& setR = lineSets[static_cast<std::size_t>(r)];
            const LineSet& setS = lineSets[static_cast<std::size_t>(s)];
            if (std::abs(std::sin(setS.angle - setR.angle)) < kParallelSine) {
                continue;
            }
            for (const QuaziLine& lineI : setS.lines) {
                for (const QuaziLine& lineF : setR.lines) {
                    const double x =
                        (lineI.intercept - lineF.intercept) / (lineF.slope - lineI.slope);
                    const double y = x * lineF.slope + lineF.intercept;
                    double baseX = 0.0;
                    double baseY = 0.0;
                    for (int j = 0; j < n; ++j) {
                        if (j == r || j == s) {
                            continue;
                        }
                        const LineSet& other = lineSets[static_cast<std::size_t>(j)];
                        const double q = (y - other.shift - (x - other.shift) * other.tanA) /
                                         (other.sinN - other.cosN * other.tanA);
                        const double k = std::floor((q + (other.lineCount / 2) * other.spacing) /
                                                    other.spacing) +
                                         1.0;
                        region[static_cast<std::size_t>(j)] = k;
                        baseX += (k + 1.0) * other.cosA;
                        baseY += (k + 1.0) * other.sinA;
                    }
                    Rhombus tile;
                    const double f = lineF.index;
                    const double i = lineI.index;
                    // Corners (f, i), (f + 1, i), (f, i + 1), (f + 1, i + 1) on sets r and s.
                    const std::array<double, 4> onR{f, f + 1.0, f, f + 1.0};
                    const std::array<double, 4> onS{i, i, i + 1.0, i + 1.0};
                    for (std::size_t c = 0; c < 4; ++c) {
                        tile.unitX[c] =
                            baseX + (onR[c] + 1.0) * setR.cosA + (onS[c] + 1.0) * setS.cosA;
                        tile.unitY[c] =
                            baseY + (onR[c] + 1.0) * setR.sinA + (onS[c] + 1.0) * setS.sinA;
                    }
                    tile.cornerX = tile.unitX;
                    tile.cornerY = tile.unitY;
                    tile.centreX =
                        (tile.unitX[0] + tile.unitX[1] + tile.unitX[2] + tile.unitX[3]) / 4.0;
                    tile.centreY =
                        (tile.unitY[0] + tile.unitY[1] + tile.unitY[2] + tile.unitY[3]) / 4.0;
                    tiles.push_back(tile);
                }
            }
        }
    }
}

void QuaziMapping::SetPatternScale(double patternScale) {
    const double edge = rhombusScale * patternScale;
    for (Rhombus& tile : tiles) {
        tile.ScaleRhombus(edge, edge);
    }
}

void QuaziMapping::PlaceTiles() {
    for (Rhombus& tile : tiles) {
        tile.MoveRhombus(patternOffsetX, patternOffsetY);
    }
}

CornerPoint QuaziMapping::DrawCorner(int i, int k) const {
    if (i < 0 || i >= TileCount() || k < 0 || k > 3) {
        return {};
    }
    const Rhombus& tile = tiles[static_cast<std::size_t>(i)];
    const double grow = 1.0 + overlap;
    const auto whole = [](double v) {
        if (!(std::abs(v) < kCornerLimit)) {
            return v > 0.0 ? static_cast<int>(kCornerLimit) : -static_cast<int>(kCornerLimit);
        }
        return static_cast<int>(v);
    };
    const auto uk = static_cast<std::size_t>(k);
    return {whole(tile.centreX + grow * (tile.cornerX[uk] - tile.centreX)),
            whole(tile.centreY + grow * (tile.cornerY[uk] - tile.centreY))};
}

} // namespace zarn
