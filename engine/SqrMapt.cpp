#include "SqrMapt.h"

#include "CRandom.h"
#include "RandomSource.h"
#include "StepKernels.h"
#include "Torus.h"

#include <cmath>

namespace zarn {

MapPoint SqrMapt::StepFrom(double px, double py) {
    x = px;
    y = py;
    BlendNow();
    if (detail != 0) {
        square::detailedStep(x, y, square::coefGridOf(matrixNow), depth, emmNow, offX, offY, twoPi,
                             {angleX, angleY, sinX, cosY, sinY, cosX});
    } else {
        square::plainStep(x, y, nowSet(), emmNow, offX, offY, twoPi);
    }
    lastX = x;
    lastY = y;
    return {x, y};
}

void SqrMapt::RunSpan(StepSpan& span) {
    engineKernels().squaretSpan(*this, span);
    x = lastX = span.x;
    y = lastY = span.y;
}

void SqrMapt::BlendFor(std::time_t t) {
    blend = BlendAt(t);

    // The blend adds the absolute difference to A: it moves away from A by up to |B - A| even
    // when B lies below A.
    emmNow = emmA + std::fabs(emmB - emmA) * blend;
    if (detail != 0) {
        for (int i = 0; i < 6; ++i) {
            for (int j = 0; j < 6; ++j) {
                const double a = matrixA.at(i, j);
                matrixNow.set(i, j, a + std::fabs(a - matrixB.at(i, j)) * blend);
            }
        }
    } else {
        for (std::size_t k = 0; k < setNow.size(); ++k) {
            setNow[k] = setA[k] + std::fabs(setB[k] - setA[k]) * blend;
        }
    }
}

void SqrMapt::Randomize(RandomSource& rnd, CRandom& cRandom) {
    const auto drawSet = [&rnd, &cRandom](CoefficientSet& set, double& emm) {
        set[0] = 0.4 * rnd.Uniform() - 0.2;
        set[1] = 0.8 * rnd.Uniform() - 0.4;
        set[2] = 0.8 * rnd.Uniform() - 0.6;
        set[3] = 0.161 * rnd.Uniform() - 0.05;
        set[4] = 0.02 * rnd.Uniform() - 0.01;
        const int r1 = cRandom();
        const int r2 = cRandom();
        emm = static_cast<double>(r1 % 3 - r2 % 3);
    };
    drawSet(setA, emmA);
    drawSet(setB, emmB);

    x = rnd.Uniform();
    y = rnd.Uniform();

    const double offset = (cRandom() % 2 == 0) ? 0.5 : 0.0;
    offX = offset;
    offY = offset;

    // Two draws per position, A first; a position outside a table's counts drops its draw.
    for (int i = 0; i < 6; ++i) {
        for (int j = 0; j < 6; ++j) {
            matrixA.set(i, j, 0.8 * rnd.Uniform() - 0.4);
            matrixB.set(i, j, 0.8 * rnd.Uniform() - 0.4);
        }
    }
}

} // namespace zarn
