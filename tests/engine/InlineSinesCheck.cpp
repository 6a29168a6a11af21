// Built once per instruction-set level, like the kernels: compares the sines that
// engine/InlineSines.h computes in registers with the library functions they stand for, bit for
// bit. (The maps' out-of-line copies wrap the same functions; the golden quilts cover them.)

#include "engine/SqrMap.h"
#include "engine/StepKernels.h"
#include "engine/Torus.h"
#include "engine/VectorSines.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <type_traits>

namespace zarn::ZARN_ISA_NS {

/** Vectors that differ in any form, the first one's arguments in @p first; -1 where this level
 *  computes no sines in registers. */
long inlineSineDifferences(std::uint64_t seed, long perRange, double (&first)[4]);

long inlineSineDifferences(std::uint64_t seed, long perRange, double (&first)[4]) {
#if defined(ZARN_INLINE_SINES)
    constexpr double pi = 3.141592653589793;
    constexpr double inf = std::numeric_limits<double>::infinity();
    // The steps' own ranges and both sides of 15 and of the short reduction's bound; then tiny
    // and subnormal values, quadrant edges, quadrant edges just below the short reduction's bound
    // (where its fused first sum has the widest quotient), the edges and magnitudes its exact
    // first sums rest on, and values with a case of their own mixed with others.
    const double spans[][2] = {{0.0, 4.0 * pi}, {0.0, 6.2 * pi}, {-40.0, 40.0}, {-2e7, 2e7}};
    const double special[] = {0.0,
                              -0.0,
                              15.0,
                              std::nextafter(15.0, 0.0),
                              1e7,
                              std::nextafter(1e7, 0.0),
                              -std::nextafter(1e7, 0.0),
                              1e14,
                              1e300,
                              5e-324,
                              inf,
                              -inf,
                              std::numeric_limits<double>::quiet_NaN()};
    std::mt19937_64 g(seed);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    const auto draw = [&](int range) {
        const double r = unit(g);
        if (range < 4) {
            return spans[range][0] + r * (spans[range][1] - spans[range][0]);
        }
        if (range == 4) {
            return std::ldexp(r, -static_cast<int>(g() % 60));
        }
        if (range == 5) {
            return static_cast<double>(g() % 40) * pi / 2.0 + (r - 0.5) * 1e-12;
        }
        if (range == 6) {
            return static_cast<double>(6366190 + g() % 8) * pi / 2.0 + (r - 0.5) * 1e-8;
        }
        const double sign = g() % 2 != 0 ? -1.0 : 1.0;
        if (range == 7) {
            // Both sides of a power of two (where an argument's last bit changes) and of pi/4
            // (where the quotient leaves zero).
            const double at =
                g() % 2 != 0 ? std::ldexp(1.0, static_cast<int>(g() % 25) - 2) : pi / 4.0;
            return sign * at * (1.0 + (r - 0.5) * 1e-12);
        }
        if (range == 8) {
            return sign * (0.3 + r);
        }
        return g() % 2 != 0 ? special[g() % std::size(special)] : 20.0 * r;
    };
    const auto same = [](const void* a, const void* b, std::size_t n) {
        return std::memcmp(a, b, n) == 0;
    };
    long differing = 0;
#if defined(__AVX512F__)
    double previous[4] = {0.0, 0.0, 0.0, 0.0};
#endif
    for (int range = 0; range < 10; ++range) {
        for (long k = 0; k < perRange; ++k) {
            alignas(32) double a[4] = {draw(range), draw(range), draw(range), draw(range)};
            const __m256d d = _mm256_load_pd(a);
            const __m256d sines = Sleef_sind4_u10avx2(d);
            const Sleef___m256d_2 both = Sleef_sincosd4_u10avx2(d);
            // The plain square step's third order: two arguments repeated in the upper lanes.
            const __m128d pair = _mm_load_pd(a);
            const __m128d pairSines = Sleef_sind2_u10avx2128(pair);

            const __m256d quad = inline_sines::sin4(d);
            const __m128d pairOf =
                _mm256_castpd256_pd128(inline_sines::sin4(_mm256_set_m128d(pair, pair)));
            // ... and with zeros above them instead.
            const __m128d pairAboveZero =
                _mm256_castpd256_pd128(inline_sines::sin4(_mm256_zextpd128_pd256(pair)));
            __m256d s;
            __m256d c;
            inline_sines::sinCos4(d, s, c);
            bool ok = same(&quad, &sines, 32) && same(&pairOf, &pairSines, 16) &&
                      same(&pairAboveZero, &pairSines, 16) && same(&s, &both.x, 32) &&
                      same(&c, &both.y, 32);
            // The reduction selected instead of branched on.
            using inline_sines::Choice;
            inline_sines::sinCos4<inline_sines::Known::Nothing, Choice::Select>(d, s, c);
            ok = ok && same(&s, &both.x, 32) && same(&c, &both.y, 32);
            // The forms that leave out the tests of what their caller knows, where it holds.
            const auto allBelow = [&a](double bound) {
                return std::all_of(a, a + 4, [bound](double v) { return std::fabs(v) < bound; });
            };
            using inline_sines::Known;
            const auto knownFormsAgree = [&](auto known) {
                constexpr Known k = decltype(known)::value;
                const __m256d sinesKnown = inline_sines::sin4<k>(d);
                inline_sines::sinCos4<k>(d, s, c);
                return same(&sinesKnown, &sines, 32) && same(&s, &both.x, 32) &&
                       same(&c, &both.y, 32);
            };
            if (allBelow(1e7)) {
                ok = ok &&
                     knownFormsAgree(std::integral_constant<Known, Known::BelowShortReduction>{});
                // The parts, and the plain square's use of them: a factor carrying the flip
                // times the reduced sine is the factor times the sine, bit for bit.
                __m256d reduced;
                __m256d flip;
                inline_sines::sineParts<Known::BelowShortReduction>(d, reduced, flip);
                const __m256d joined = _mm256_xor_pd(reduced, flip);
                ok = ok && same(&joined, &sines, 32);
                // ... and with the sine started from the two-part form's leading part.
                __m256d reducedEarly;
                __m256d flipEarly;
                inline_sines::sineParts<Known::BelowShortReduction, Choice::Early>(d, reducedEarly,
                                                                                   flipEarly);
                ok = ok && same(&reducedEarly, &reduced, 32) && same(&flipEarly, &flip, 32);
                // ... and from a quotient foreseen wrongly in some lanes.
                inline_sines::sinePartsForeseen<Known::BelowShortReduction, Choice::Early>(
                    d, inline_sines::sineQuotient(d) + _mm256_set_pd(0.0, k % 3 - 1.0, k % 2, 0.0),
                    reducedEarly, flipEarly);
                ok = ok && same(&reducedEarly, &reduced, 32) && same(&flipEarly, &flip, 32);
                for (const double factor : {0.0307, -0.0419, 0.0, -0.0}) {
                    const __m256d f = _mm256_set1_pd(factor);
                    const __m256d moved = _mm256_mul_pd(_mm256_xor_pd(f, flip), reduced);
                    const __m256d direct = _mm256_mul_pd(f, sines);
                    ok = ok && same(&moved, &direct, 32);
                }
            }
            if (allBelow(15.0)) {
                ok = ok && knownFormsAgree(std::integral_constant<Known, Known::BelowFifteen>{});
                inline_sines::sinCos4Foreseen<Known::BelowFifteen>(
                    d,
                    inline_sines::sinCosQuotient(d) + _mm256_set_pd(k % 2, 0.0, 0.0, k % 3 - 1.0),
                    s, c);
                ok = ok && same(&s, &both.x, 32) && same(&c, &both.y, 32);
            }
#if defined(__AVX512F__)
            // Eight lanes: these four beside the previous four, so that vectors mix ranges too.
            alignas(64) double eight[8] = {a[0],        a[1],        a[2],        a[3],
                                           previous[0], previous[1], previous[2], previous[3]};
            const __m512d wide = _mm512_load_pd(eight);
            const __m512d wideSines = inline_sines::sin8(wide);
            const __m512d librarySines = Sleef_sind8_u10avx512f(wide);
            ok = ok && same(&wideSines, &librarySines, 64);
            // The pairs eight at a time, each half chosen as the library chooses for four.
            __m512d wideS;
            __m512d wideC;
            inline_sines::sinCos8Select(wide, wideS, wideC);
            const Sleef___m256d_2 high = Sleef_sincosd4_u10avx2(_mm256_loadu_pd(previous));
            ok = ok && same(&wideS, &both.x, 32) && same(&wideC, &both.y, 32) &&
                 same(reinterpret_cast<const char*>(&wideS) + 32, &high.x, 32) &&
                 same(reinterpret_cast<const char*>(&wideC) + 32, &high.y, 32);
            std::memcpy(previous, a, sizeof a);
#endif
            if (!ok && differing++ == 0) {
                std::memcpy(first, a, sizeof a);
            }
        }
    }
    return differing;
#else
    (void)seed;
    (void)perRange;
    (void)first;
    return -1;
#endif
}

/** Plain square steps of @p kernels that differ from the library's sines summed in the step's
 *  order; -1 where this level computes no sines in registers. */
long plainStepDifferences(const EngineKernels& kernels, std::uint64_t seed);

long plainStepDifferences(const EngineKernels& kernels, std::uint64_t seed) {
#if defined(ZARN_INLINE_SINES)
    std::mt19937_64 g(seed);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    long differing = 0;
    // The map's own 2π and others that a session file may hold: the larger ones take the
    // second order past 15, and the largest the third past the short reduction's bound.
    for (const double twoPi : {square::kTwoPi, 1.0, 40.0, -100.0, 1e9, 1e300}) {
        for (int n = 0; n < 300; ++n) {
            const square::PlainSet k{0.4 * unit(g) - 0.2, 0.8 * unit(g) - 0.4, 0.8 * unit(g) - 0.6,
                                     0.161 * unit(g) - 0.05, 0.02 * unit(g) - 0.01};
            const double emm = std::floor(5.0 * unit(g)) - 2.0;
            const double p[2] = {unit(g), unit(g)};
            const double off[2] = {n % 2 * 0.5, n % 3 == 0 ? 0.5 : 0.0};
            // The library's sines of the step's arguments, then its sums in their order.
            const __m128d order1 = _mm_mul_pd(_mm_set1_pd(twoPi), _mm_loadu_pd(p));
            alignas(32) double sines[4];
            alignas(32) double cosines[4];
            alignas(16) double third[2];
            const Sleef___m256d_2 both =
                Sleef_sincosd4_u10avx2(_mm256_set_m128d(_mm_add_pd(order1, order1), order1));
            _mm256_store_pd(sines, both.x);
            _mm256_store_pd(cosines, both.y);
            _mm_store_pd(third, Sleef_sind2_u10avx2128(_mm_mul_pd(order1, _mm_set1_pd(3.0))));
            double want[2];
            for (int self = 0; self < 2; ++self) {
                const int other = 1 - self;
                double v = k.lambda * sines[self];
                v = v + k.alpha * sines[self] * cosines[other];
                v = v + k.beta * sines[self + 2];
                v = v + k.gamma * third[self] * cosines[other + 2];
                v = v - k.omega * sines[other];
                v = v + off[self];
                want[self] = foldToUnit(v + emm * p[self]);
            }
            double got[2] = {p[0], p[1]};
            kernels.squarePlain(got[0], got[1], k, emm, off[0], off[1], twoPi);
            differing += std::memcmp(got, want, sizeof got) != 0 ? 1 : 0;
        }
    }
    return differing;
#else
    (void)kernels;
    (void)seed;
    return -1;
#endif
}

} // namespace zarn::ZARN_ISA_NS
