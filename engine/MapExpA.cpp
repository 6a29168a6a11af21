#include "MapExpA.h"

#include "Archive.h"
#include "RandomSource.h"
#include "StepKernels.h"
#include "Torus.h"

#include <cmath>
#include <utility>

namespace zarn {

namespace {
double signOf(double w) {
    return w < 0.0 ? -1.0 : 1.0;
}

constexpr std::array<std::array<double, 2>, MapExpA::kSide> kFirstWaves = {
    {{1, 0}, {0, 1}, {1, 1}, {2, 3}, {7, 5}, {13, 11}, {17, 23}, {31, 29}}};
} // namespace

MapExpA::MapExpA() {
    rotTest = 1.0 / (2.0 * std::sqrt(2.0));
    invSqrt2 = 1.0 / std::sqrt(2.0);
    cosQuarterPi = std::cos(quarterPi);
    for (int r = 0; r < kSide; ++r) {
        const auto ur = static_cast<std::size_t>(r);
        waveX1[ur][0] = kFirstWaves[ur][0];
        waveY1[ur][0] = kFirstWaves[ur][1];
        waveX2[ur][0] = waveX1[ur][0];
        waveY2[ur][0] = -waveY1[ur][0];
        fillRow(waveX1, waveY1, r);
        fillRow(waveX2, waveY2, r);
    }
    rotA = 0.0;
    rotB = 0.0;
}

MapPoint MapExpA::Rot(double a, double b) {
    const double v = signOf(b) * rotTest * (b - 0.5) + signOf(a) * rotTest * (a - 0.5);
    if (std::fabs(v) > 0.5) {
        rotA = -b;
        rotB = a;
    } else {
        rotA = (a - b) * invSqrt2;
        rotB = (a + b) * invSqrt2;
    }
    return {rotA, rotB};
}

void MapExpA::fillRow(Table& tx, Table& ty, int r) {
    auto& rx = tx[static_cast<std::size_t>(r)];
    auto& ry = ty[static_cast<std::size_t>(r)];
    for (std::size_t c = 0; c + 1 < kSide; ++c) {
        const MapPoint turned = Rot(rx[c], ry[c]);
        rx[c + 1] = turned.x;
        ry[c + 1] = turned.y;
    }
}

void MapExpA::Randomize(RandomSource& rnd) {
    cx = rnd.Uniform();
    cy = rnd.Uniform();
    for (int r = 0; r < kDrawnRows; ++r) {
        const auto ur = static_cast<std::size_t>(r);
        ampX1[ur][0] = 0.4 * rnd.Uniform() - 0.2;
        ampY1[ur][0] = 0.4 * rnd.Uniform() - 0.2;
        ampX2[ur][0] = ampX1[ur][0];
        ampY2[ur][0] = -ampY1[ur][0];
        fillRow(ampX1, ampY1, r);
        fillRow(ampX2, ampY2, r);
    }
}

MapPoint MapExpA::StepFrom(double px, double py) {
    return engineKernels().expA(*this, px, py);
}

void MapExpA::SerializeExpA(Archive& ar) {
    if (!ar.isLoading()) {
        transferRecord(ar);
        return;
    }
    ar.requireRemaining(kRecordSize, "ExpA block");
    MapExpA staged = *this;
    staged.transferRecord(ar);
    *this = staged;
}

void MapExpA::transferRecord(Archive& ar) {
    // Fields the step and Rot read must be finite; the scratch values are overwritten by the
    // next step and are taken as they are.
    const auto checked = [&ar](double& v, const char* field) {
        ar.io(v, field);
        if (ar.isLoading()) {
            requireFinite(v, field);
        }
    };
    ar.pad(4, "ExpA type slot");
    ar.pad(4, "ExpA padding");
    ar.io(cx, "ExpA cx");
    ar.io(cy, "ExpA cy");
    ar.io(outX, "ExpA outX");
    ar.io(outY, "ExpA outY");
    ar.io(rotA, "ExpA rotA");
    ar.io(rotB, "ExpA rotB");
    ar.io(sumX, "ExpA sumX");
    ar.io(sumY, "ExpA sumY");
    ar.io(foldScratch[0], "ExpA fold scratch");
    ar.io(foldScratch[1], "ExpA fold scratch");
    ar.pad(8, "ExpA padding");
    ar.io(quarterPi, "ExpA quarter pi");
    ar.io(halfPi, "ExpA half pi");
    checked(rotTest, "ExpA rotation test scale");
    checked(invSqrt2, "ExpA 1/sqrt 2");
    checked(twoPi, "ExpA two pi");
    ar.io(cosQuarterPi, "ExpA cos quarter pi");

    const std::array<std::pair<Table*, const char*>, 8> tables = {{{&waveX1, "ExpA waveX1"},
                                                                   {&waveY1, "ExpA waveY1"},
                                                                   {&waveX2, "ExpA waveX2"},
                                                                   {&waveY2, "ExpA waveY2"},
                                                                   {&ampX1, "ExpA ampX1"},
                                                                   {&ampY1, "ExpA ampY1"},
                                                                   {&ampX2, "ExpA ampX2"},
                                                                   {&ampY2, "ExpA ampY2"}}};
    for (const auto& [table, name] : tables) {
        for (auto& row : *table) {
            for (double& v : row) {
                checked(v, name);
            }
        }
    }
}

} // namespace zarn
