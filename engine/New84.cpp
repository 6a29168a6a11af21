#include "New84.h"

#include "RandomSource.h"
#include "StepKernels.h"

#include <cmath>

namespace zarn {

MapPoint New84::StepFrom(double px, double py) {
    x = px;
    y = py;
    if (UsesFirstSet(x, y)) {
        if (detail != 0) {
            StepDetailed();
        } else {
            Step();
        }
    } else {
        if (detail != 0) {
            square::detailedStep(x, y, square::coefGridOf(coef2), depth, emm, offX, offY, twoPi,
                                 tables());
        } else {
            square::plainStep(x, y, secondSet(), emm, offX, offY, twoPi);
        }
    }
    lastX = x;
    lastY = y;
    return {x, y};
}

void New84::RunSpan(StepSpan& span) {
    engineKernels().octFourSpan(*this, span);
    x = lastX = span.x;
    y = lastY = span.y;
}

void New84::Randomize(RandomSource& rnd, CRandom& cRandom) {
    SqrMap::Randomize(rnd, cRandom);
    lambda2 = 0.4 * rnd.Uniform() - 0.2;
    alpha2 = 0.8 * rnd.Uniform() - 0.4;
    beta2 = 0.8 * rnd.Uniform() - 0.6;
    gamma2 = 0.161 * rnd.Uniform() - 0.05;
    omega2 = 0.02 * rnd.Uniform() - 0.01;
    // A draw for a position outside the table's counts is taken and dropped, so the sequence of
    // draws does not depend on the counts.
    for (int i = 0; i < 6; ++i) {
        for (int j = 0; j < 6; ++j) {
            coef2.set(i, j, 0.8 * rnd.Uniform() - 0.4);
        }
    }
    regionScale = defaultRegionScale();
}

} // namespace zarn
