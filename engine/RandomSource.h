#pragma once

#include <array>
#include <cstdint>
#include <ctime>
#include <string>

namespace zarn {

class CRandom;

/**
 * The program's generator of uniform reals: three chained stages, each choosing one of ten small
 * linear congruential generators by the last digit of the previous output. Seeded from the clock,
 * the C library generator and the names in the current directory, or from a given number.
 *
 * One source is used by one thread at a time (its owner's pause protocol sees to that).
 */
class RandomSource {
public:
    static constexpr int kGenerators = 10;
    static constexpr int kLaggedSize = 42;

    /** Builds an unseeded source; call Seed() or SeedFrom() before drawing. */
    RandomSource();

    /** Seeds from the calendar time, @p cRandom (which shuffles the digits) and the current
     *  directory's entry names. */
    void Seed(CRandom& cRandom);
    /** Seeds from the calendar time @p now instead of the clock (otherwise as Seed()). */
    void SeedAt(std::time_t now, CRandom& cRandom);
    /** Seeds reproducibly from @p v; no clock or directory is read. */
    void SeedFrom(double v);

    /** Next output, in [0, modulus of the generator used last). */
    double Draw();
    /** Draw() divided by the modulus of the generator used last: a real in [0, 1). */
    double Uniform() { return Draw() / modulus[chosen[2]]; }

    // The generator table and state; public so that tests can check them.
    std::array<double, 3> stageState{};
    double lastOutput = 0.0;
    std::array<double, kGenerators> modulus{};
    std::array<double, kGenerators> addend{};
    std::array<double, kGenerators> multiplier{};
    double selectorBase = 10.0;
    std::array<std::int32_t, 3> chosen{};
    std::array<char, 64> digits{};

    /** The lagged Fibonacci table used while seeding. */
    struct LaggedTable {
        std::array<std::uint64_t, kLaggedSize> f{};
        int j = 41;
        int k = 11;
        LaggedTable();
        /** Adds f[k] to f[j], returns the sum and moves both indices down (1 wraps to 41). */
        std::uint64_t Step();
    };

private:
    void FillTable();
    void ShuffleDigits(CRandom& cRandom);
    void SeedState(double r);
};

} // namespace zarn
