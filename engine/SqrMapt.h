#pragma once

#include "SqrMap.h"

#include <array>
#include <cstdint>
#include <ctime>

namespace zarn {

class CRandom;
class RandomSource;

/**
 * The Squaret family: a square map whose coefficients drift from a first set A towards a second
 * set B with the wall clock, one 128th of the way every 128 seconds, wrapping after 16384
 * seconds. See docs/maps.md, "Squaret".
 *
 * The clock is the system's calendar time, a pinned time (FixClock) or a simulated clock that
 * advances with the steps taken (SimulateClock), which lets a seeded run drift as an unseeded one
 * does and still be reproducible. Not stored in the session file.
 */
class SqrMapt {
public:
    using CoefficientSet = std::array<double, 5>; // lambda, alpha, beta, gamma, omega

    /** The simulated clock advances one second per this many steps. */
    static constexpr std::uint32_t kStepsPerSimulatedSecond = 100000;

    SqrMapt() = default;

    /** One Squaret step from (@p px, @p py): blends the coefficients for the current time,
     *  steps, folds. The result is also kept in x, y and lastX, lastY. Called by the driver. */
    MapPoint StepFrom(double px, double py);
    /** Runs the steps of @p span from its point, each as StepFrom takes it; x, y, lastX and
     *  lastY are left at the point it hands back. */
    void RunSpan(StepSpan& span);
    /** The first half of a step: reads the clock (and advances a simulated one), then blends
     *  emmNow and setNow, or matrixNow when detailed, for that time. */
    void BlendNow() { BlendFor(TickClock()); }
    /** The time a step uses: reads the clock and advances a simulated one by a step. */
    std::time_t TickClock() {
        const std::time_t now = ClockNow();
        if (clockMode_ == ClockMode::Simulated && ++stepsIntoSecond_ == kStepsPerSimulatedSecond) {
            stepsIntoSecond_ = 0;
            ++clockTime_;
        }
        return now;
    }
    /** Blends emmNow and setNow, or matrixNow when detailed, for the time @p t. The same time
     *  and sets give the same values, so steps at one time can share one blend. */
    void BlendFor(std::time_t t);
    square::PlainSet nowSet() const {
        return {setNow[0], setNow[1], setNow[2], setNow[3], setNow[4]};
    }
    /** Draws sets A and B with their emm, a start point, the offsets and both tables:
     *  84 draws of @p rnd and five of @p cRandom. */
    void Randomize(RandomSource& rnd, CRandom& cRandom);
    /** Sets the detail depth, clamped into 3..6. */
    void SetDepth(int d) { depth = square::clampDepth(d); }

    /** Makes every later step read @p t instead of the system clock. */
    void FixClock(std::time_t t) {
        clockMode_ = ClockMode::Fixed;
        clockTime_ = t;
    }
    /** Makes the steps read a simulated clock instead: the k-th step from now (k = 0, 1, ...)
     *  uses the time @p start + k / kStepsPerSimulatedSecond. The clock keeps running across
     *  Randomize and copies until another clock is chosen. */
    void SimulateClock(std::time_t start) {
        clockMode_ = ClockMode::Simulated;
        clockTime_ = start;
        stepsIntoSecond_ = 0;
    }
    /** Returns to the system clock. */
    void UseSystemClock() { clockMode_ = ClockMode::System; }
    /** The time the next step will use. */
    std::time_t ClockNow() const {
        return clockMode_ == ClockMode::System ? std::time(nullptr) : clockTime_;
    }
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

private:
    enum class ClockMode : std::uint8_t { System, Fixed, Simulated };

    ClockMode clockMode_ = ClockMode::System;
    /** The pinned time, or the simulated time of the next step. */
    std::time_t clockTime_ = 0;
    /** Steps taken at the current simulated time; the simulated clock ticks when it reaches
     *  kStepsPerSimulatedSecond, so no step divides or asks the system for the time. */
    std::uint32_t stepsIntoSecond_ = 0;
};

} // namespace zarn
