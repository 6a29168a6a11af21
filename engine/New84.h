#pragma once

#include "SqrMap.h"

namespace zarn {

class CRandom;
class RandomSource;

/**
 * The Oct_Four family: the square map with a second coefficient set that takes over where a
 * diamond-shaped region test fails. Every point of the unit square passes the test, so on the
 * torus the map behaves as the square map with its first set. See docs/maps.md, "Oct_Four".
 *
 * Not stored in the session file.
 */
class New84 : public SqrMap {
public:
    New84() = default;

    /** One Oct_Four step from (@p px, @p py): the result is folded into [0, 1] and also kept in
     *  x, y and lastX, lastY. Called by the driver. */
    MapPoint StepFrom(double px, double py);
    /** Runs the steps of @p span from its point, each as StepFrom takes it; x, y, lastX and
     *  lastY are left at the point it hands back. */
    void RunSpan(StepSpan& span);
    /** The square map's draw, then the second plain set, then coef2 and regionScale: 84 draws of
     *  @p rnd and three of @p cRandom. */
    void Randomize(RandomSource& rnd, CRandom& cRandom);

    /** The region test: whether the step from (@p px, @p py) takes the first coefficient set. */
    bool UsesFirstSet(double px, double py) const {
        const double v = (px < 0.0 ? -1.0 : 1.0) * regionScale * (px - 0.5) +
                         (py < 0.0 ? -1.0 : 1.0) * regionScale * (py - 0.5);
        return std::fabs(v) <= 0.5;
    }
    square::PlainSet secondSet() const { return {lambda2, alpha2, beta2, gamma2, omega2}; }

    double lambda2 = 0.0;
    double alpha2 = 0.0;
    double beta2 = 0.0;
    double gamma2 = 0.0;
    double omega2 = 0.0;
    /** Detailed table of the second set; entries outside its counts read as 0. */
    FlatMatrix coef2{};
    /** 1 / (2 sqrt 2): keeps the region test's |v| below 0.5 across the unit square. */
    double regionScale = defaultRegionScale();

    static double defaultRegionScale() { return 1.0 / (std::sqrt(2.0) + std::sqrt(2.0)); }
};

} // namespace zarn
