#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace zarn {

/**
 * The C library generator that the program uses for small whole-number choices (Emm, offsets,
 * the wild-corner N, colours), as an object: it reproduces the platform's rand()/srand()
 * sequence exactly (the additive feedback generator with 31 words of state, seeded by the
 * 16807 congruential recurrence and run 310 times before its first output), but each owner
 * has its own, so that open documents and their threads never disturb one another's draws.
 *
 * A new generator behaves as the C library's does before any srand(): as if seeded with 1.
 */
class CRandom {
public:
    static constexpr int kMax = 2147483647; // RAND_MAX

    CRandom() { seed(1); }
    explicit CRandom(unsigned s) { seed(s); }

    /** srand(s); a seed of 0 counts as 1, as in the C library. */
    void seed(unsigned s) {
        // The seed is taken as a signed 32-bit word, as the C library takes it.
        std::int32_t word = static_cast<std::int32_t>(s == 0 ? 1u : s);
        state_[0] = static_cast<std::uint32_t>(word);
        for (int i = 1; i < kWords; ++i) {
            // 16807 * word mod (2^31 - 1) by Schrage's method, without overflow.
            const std::int64_t hi = word / 127773;
            const std::int64_t lo = word % 127773;
            std::int64_t next = 16807 * lo - 2836 * hi;
            if (next < 0) {
                next += 2147483647;
            }
            word = static_cast<std::int32_t>(next);
            state_[static_cast<std::size_t>(i)] = static_cast<std::uint32_t>(word);
        }
        front_ = kSeparation;
        rear_ = 0;
        for (int i = 0; i < 10 * kWords; ++i) {
            next();
        }
    }

    /** rand(): the next value in 0..kMax. */
    int next() {
        std::uint32_t& f = state_[static_cast<std::size_t>(front_)];
        f += state_[static_cast<std::size_t>(rear_)];
        const int result = static_cast<int>(f >> 1);
        front_ = front_ + 1 == kWords ? 0 : front_ + 1;
        rear_ = rear_ + 1 == kWords ? 0 : rear_ + 1;
        return result;
    }

    int operator()() { return next(); }

private:
    static constexpr int kWords = 31;
    static constexpr int kSeparation = 3;

    std::array<std::uint32_t, kWords> state_{};
    int front_ = kSeparation;
    int rear_ = 0;
};

} // namespace zarn
