// Compiled once per instruction-set level, like the kernels. Compares the sines that
// engine/InlineSines.h computes in registers, and the out-of-line copies the maps' kernels call,
// with the library functions they stand for, bit for bit.

#include "InlineSinesCheck.h"
#include "engine/VectorSines.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>

namespace zarn::ZARN_ISA_NS {

#if defined(ZARN_INLINE_SINES)
namespace {

/** The arguments of one range: the steps' own, both sides of every switch of the library's
 *  reduction, and the values that have a case of their own. */
double argumentIn(int range, std::mt19937_64& g) {
    const double r = std::uniform_real_distribution<double>(0.0, 1.0)(g);
    constexpr double pi = 3.141592653589793;
    switch (range) {
    case 0:
        return 4.0 * pi * r; // the plain square's first two orders
    case 1:
        return 6.0 * pi * 1.02 * r; // its third, across 15
    case 2:
        return (2.0 * r - 1.0) * 40.0;
    case 3:
        return (2.0 * r - 1.0) * 2e7; // across the short reduction's bound
    case 4:
        return std::ldexp(r, -static_cast<int>(g() % 60)); // tiny, down to subnormal
    case 5:
        return static_cast<double>(g() % 40) * pi / 2.0 + (r - 0.5) * 1e-12; // quadrant edges
    default: {
        const double special[] = {0.0,
                                  -0.0,
                                  15.0,
                                  -15.0,
                                  std::nextafter(15.0, 0.0),
                                  1e7,
                                  std::nextafter(1e7, 0.0),
                                  1e14,
                                  1e300,
                                  5e-324,
                                  std::numeric_limits<double>::infinity(),
                                  -std::numeric_limits<double>::infinity(),
                                  std::numeric_limits<double>::quiet_NaN()};
        // Mixed with ordinary values, so that one lane decides for the others.
        return g() % 2 != 0 ? special[g() % std::size(special)] : argumentIn(1, g);
    }
    }
}

bool sameBits(const void* a, const void* b, std::size_t size) {
    return std::memcmp(a, b, size) == 0;
}

} // namespace
#endif

SineComparison compareInlineSines(std::uint64_t seed, long perRange);

SineComparison compareInlineSines(std::uint64_t seed, long perRange) {
    SineComparison result;
#if defined(ZARN_INLINE_SINES)
    std::mt19937_64 g(seed);
    const auto differs = [&](const char* what, const double* a) {
        if (result.differing++ == 0) {
            char text[160];
            std::snprintf(text, sizeof text, "%s(%.17g, %.17g, %.17g, %.17g)", what, a[0], a[1],
                          a[2], a[3]);
            result.first = text;
        }
    };
    for (int range = 0; range < 7; ++range) {
        for (long k = 0; k < perRange; ++k) {
            alignas(32) double a[4];
            for (double& v : a) {
                v = argumentIn(range, g);
            }
            const __m256d d = _mm256_load_pd(a);
            ++result.compared;

            const __m256d s = inline_sines::sin4(d);
            const __m256d expected = Sleef_sind4_u10avx2(d);
            const __m256d branchFree = inline_sines::sin4<true>(d);
            if (!sameBits(&s, &expected, sizeof s) || !sameBits(&branchFree, &expected, sizeof s)) {
                differs("sin4", a);
            }
            // The plain square step's third order: two arguments, repeated in the upper lanes.
            const __m128d pair = _mm_load_pd(a);
            const __m128d s2 =
                _mm256_castpd256_pd128(inline_sines::sin4<true>(_mm256_set_m128d(pair, pair)));
            const __m128d expected2 = Sleef_sind2_u10avx2128(pair);
            if (!sameBits(&s2, &expected2, sizeof s2)) {
                differs("sin4 of a pair", a);
            }
            __m256d sines;
            __m256d cosines;
            inline_sines::sinCos4(d, sines, cosines);
            const Sleef___m256d_2 both = Sleef_sincosd4_u10avx2(d);
            if (!sameBits(&sines, &both.x, sizeof sines) ||
                !sameBits(&cosines, &both.y, sizeof cosines)) {
                differs("sinCos4", a);
            }
#if !defined(__AVX512F__)
            alignas(32) double out[4];
            alignas(32) double outCos[4];
            std::memcpy(out, a, sizeof a);
            sinesOfFour(out);
            if (!sameBits(out, &expected, sizeof out)) {
                differs("sinesOfFour", a);
            }
            sinCosOfFour(a, out, outCos);
            if (!sameBits(out, &both.x, sizeof out) || !sameBits(outCos, &both.y, sizeof outCos)) {
                differs("sinCosOfFour", a);
            }
#endif
        }
    }
#else
    (void)seed;
    (void)perRange;
#endif
    return result;
}

} // namespace zarn::ZARN_ISA_NS
