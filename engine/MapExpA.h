#pragma once

#include "SqrMap.h"

#include <array>
#include <cstdint>

namespace zarn {

class Archive;
class RandomSource;

/**
 * The ExpA family: a sum of 128 plane sine waves whose wave vectors and amplitudes are generated
 * from one vector per row by repeated 45 and 90 degree turns (Rot). It has no linear term.
 * See docs/maps.md, "ExpA".
 *
 * The members, in this order, are also the 4232-byte session block.
 */
class MapExpA {
public:
    static constexpr int kSide = 8;
    static constexpr int kDrawnRows = 7;
    static constexpr std::size_t kRecordSize = 4232;
    using Table = std::array<std::array<double, kSide>, kSide>;

    /** Sets the constants and builds the wave vector tables; amplitudes start at 0. */
    MapExpA();

    /** One ExpA step from (@p px, @p py): the wave sums plus 0.5, folded into [0, 1]; also kept
     *  in outX, outY. Called by the driver. */
    MapPoint StepFrom(double px, double py);
    /** Draws cx, cy and the first column of amplitude rows 0..6, and derives the other columns
     *  by Rot: 16 draws of @p rnd. Row 7 is left as it is. */
    void Randomize(RandomSource& rnd);
    /** Turns (a, b) by a quarter turn if it lies far from the origin's diamond, else by an
     *  eighth turn. The result is also left in rotA, rotB. */
    MapPoint Rot(double a, double b);

    /** Stores or loads the 4232-byte block. A load that fails (short block, a non-finite table
     *  entry or constant used by the step) throws FormatError and leaves the map unchanged. */
    void SerializeExpA(Archive& ar);

    double cx = 0.0;
    double cy = 0.0;
    double outX = 0.0;
    double outY = 0.0;
    double rotA = 0.0;
    double rotB = 0.0;
    double sumX = 0.0;
    double sumY = 0.0;
    std::array<std::int32_t, 2> foldScratch{};
    double quarterPi = 0.785398163375;
    double halfPi = 1.57079632675;
    double rotTest = 0.0;
    double invSqrt2 = 0.0;
    double twoPi = 6.283185307;
    double cosQuarterPi = 0.0;
    Table waveX1{};
    Table waveY1{};
    Table waveX2{};
    Table waveY2{};
    Table ampX1{};
    Table ampY1{};
    Table ampX2{};
    Table ampY2{};

private:
    /** Fills columns 1..7 of row @p r of a table pair from its column 0 by Rot. */
    void fillRow(Table& tx, Table& ty, int r);
    void transferRecord(Archive& ar);
};

} // namespace zarn
