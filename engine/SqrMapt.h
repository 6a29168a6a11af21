#pragma once

#include "SqrMap.h"

#include <array>
#include <cstdint>
#include <ctime>

namespace zarn {

class RandomSource;

/**
 * The Squaret family: a square map whose coefficients drift from a first set A towards a second
 * set B with the wall clock, one 128th of the way every 128 seconds, wrapping after 16384
 * seconds. See docs/maps.md, "Squaret".
 *
 * The clock is the system's calendar time unless FixClock() pins it, which seeded runs do so
 * that they are reproducible. Not stored in the session file.
 */
class SqrMapt {
public:
    using CoefficientSet = std::array<double, 5>; // lambda, alpha, beta, gamma, omega

    SqrMapt() = default;

    /** One Squaret step from (@p px, @p py): blends the coefficients for the current time,
     *  steps, folds. The result is also kept in x, y and lastX, lastY. Called by the driver. */
    MapPoint StepFrom(double px, double py);
    /** Draws sets A and B with their emm, a start point, the offsets and both tables:
     *  84 draws of @p rnd and five of the C library generator. */
    void Randomize(RandomSource& rnd);
    /** Sets the detail depth, clamped into 3..6. */
    void SetDepth(int d) { depth = square::clampDepth(d); }

    /** Makes every later step read @p t instead of the system clock. */
    void FixClock(std::time_t t) {
        clockFixed = true;
        fixedTime = t;
    }
    /** Returns to the system clock. */
    void UseSystemClock() { clockFixed = false; }
    /** The time the next step will use. */
    std::time_t ClockNow() const { return clockFixed ? fixedTime : std::time(nullptr); }
    /** The blend factor at calendar time @p t: ((t >> 7) & 127) / 128. */
    static double BlendAt(std::time_t t) { return static_cast<double>((t >> 7) & 127) / 128.0; }

    double x = 0.0;
    double y = 0.0;
    /** In [0, 1); set from the clock at every step. */
    double blend = 0.0;
    double lastX = 0.0;
    double lastY = 0.0;
    FlatMatrix matrixNow{};
    FlatMatrix matrixA{};
    FlatMatrix matrixB{};
    square::Table angleX{};
    square::Table angleY{};
    square::Table sinX{};
    square::Table cosY{};
    square::Table sinY{};
    square::Table cosX{};
    CoefficientSet setNow{};
    CoefficientSet setA{};
    CoefficientSet setB{};
    double offX = 0.0;
    double offY = 0.0;
    double emmNow = 0.0;
    double emmA = 0.0;
    double emmB = 0.0;
    std::uint16_t depth = square::kMaxDepth;
    std::uint8_t detail = 0;
    double twoPi = square::kTwoPi;

    bool clockFixed = false;
    std::time_t fixedTime = 0;

private:
    void Fold();
};

} // namespace zarn
