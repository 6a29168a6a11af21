#pragma once

// Sines computed in the caller's registers, bit for bit what SLEEF's 1-ulp AVX2 functions
// return. A call to the library returns a sine and cosine pair through memory and, past an
// argument of 15, takes a reduction written for any argument below 1e14; the plain square step
// has both on the chain from one point to the next. The operations here are the library's own,
// in its order, with the same constants; only terms that are exactly zero for the arguments
// taken here are left out. Arguments outside those ranges (and NaN) go to the library itself.
// The constants are those of Debian 12's libsleef3 (3.5.1); the engine's tests compare every
// function here with the library, bit for bit.
//
// Defined only where AVX2 and FMA are (ZARN_INLINE_SINES): in the copies that
// zarn_add_isa_variants builds with FMA, and on x86-64-v4.

#ifndef ZARN_ISA_NS
#error "InlineSines.h belongs to the per-level step kernels (zarn_add_isa_variants)"
#endif

#if defined(__AVX2__) && defined(__FMA__)
#define ZARN_INLINE_SINES 1

#include <immintrin.h>
#include <sleef.h>

#include <bit>
#include <cstddef>
#include <cstdint>

namespace zarn::ZARN_ISA_NS::inline_sines {

/** The double with the bits @p bits (the library's constants, as it stores them). */
constexpr double bitsToDouble(std::uint64_t bits) {
    return std::bit_cast<double>(bits);
}

/** Below this the library's reduction for large arguments has a zero upper quotient. */
inline constexpr double kShortReduction = 1e7;

/**
 * The library's reduction for arguments of 15 and more: d less the quotient dql times a constant
 * split in four parts (piParts), as a double-double (sx, sy). The library also splits the
 * quotient into a part above 2^24 and the rest; below kShortReduction the upper part is zero and
 * its terms add nothing, not even the sign of a zero, so only the lower part's terms remain.
 */
[[gnu::always_inline]] inline void shortReduction(__m256d d, __m256d dql,
                                                  const std::uint64_t (&piParts)[4], __m256d& sx,
                                                  __m256d& sy) {
    const __m256d m = _mm256_mul_pd(dql, _mm256_set1_pd(bitsToDouble(piParts[0])));
    __m256d xx = _mm256_add_pd(d, m);
    __m256d xy = _mm256_add_pd(m, _mm256_sub_pd(d, xx));
    for (int k = 1; k < 3; ++k) {
        const __m256d y = _mm256_mul_pd(dql, _mm256_set1_pd(bitsToDouble(piParts[k])));
        const __m256d s = _mm256_add_pd(y, xx);
        const __m256d v = _mm256_sub_pd(s, xx);
        xy = _mm256_add_pd(
            xy, _mm256_add_pd(_mm256_sub_pd(y, v), _mm256_sub_pd(xx, _mm256_sub_pd(s, v))));
        xx = s;
    }
    const __m256d y = _mm256_mul_pd(dql, _mm256_set1_pd(bitsToDouble(piParts[3])));
    sx = _mm256_add_pd(y, xx);
    sy = _mm256_add_pd(_mm256_add_pd(y, _mm256_sub_pd(xx, sx)), xy);
}

/** Whether every lane of @p magnitude is below @p bound (false for NaN). */
[[gnu::always_inline]] inline bool allBelow(__m256d magnitude, double bound) {
    return _mm256_movemask_pd(_mm256_cmp_pd(magnitude, _mm256_set1_pd(bound), _CMP_LT_OQ)) == 0xF;
}

/** c[0] x^(N-1) + ... + c[N-1] by Horner's rule, one fused multiply-add a coefficient. */
template <std::size_t N>
[[gnu::always_inline]] inline __m256d polynomial(__m256d x, const std::uint64_t (&c)[N]) {
    __m256d p =
        _mm256_fmadd_pd(x, _mm256_set1_pd(bitsToDouble(c[0])), _mm256_set1_pd(bitsToDouble(c[1])));
    for (std::size_t k = 2; k < N; ++k) {
        p = _mm256_fmadd_pd(x, p, _mm256_set1_pd(bitsToDouble(c[k])));
    }
    return p;
}

/** The quotient the library reduces by: @p d times @p inverse (its bits), rounded to nearest. */
[[gnu::always_inline]] inline __m256d quotient(__m256d d, std::uint64_t inverse) {
    return _mm256_round_pd(_mm256_mul_pd(d, _mm256_set1_pd(bitsToDouble(inverse))),
                           _MM_FROUND_TO_NEAREST_INT | _MM_FROUND_NO_EXC);
}

/** What a caller knows of every argument's magnitude: nothing (NaN and infinities may come),
 *  that it is below kShortReduction, or that it is below 15. The tests of what is known are
 *  left out. */
enum class Known { Nothing, BelowShortReduction, BelowFifteen };

/**
 * How the reduction is chosen: by a branch on the side of 15, as the library does, or by
 * computing both and selecting, with the library's choice (the two-part form for all four lanes
 * where every one is below 15). The selection does more work but has no branch to mispredict:
 * it pays where a step's chain waits for the sines and its arguments cross 15 from step to step
 * (the detailed square), not where many independent sines keep the processor busy meanwhile,
 * nor on the plain square's chain, whose arguments stay on one side.
 */
enum class Choice { Branch, Select };

/**
 * d less the quotient @p dql times a constant, as a double-double (sx, sy): split in the two
 * parts @p two when every argument is below 15, in the four parts @p four past that, as the
 * library does. Arguments must be below kShortReduction.
 */
template <Known K, Choice C = Choice::Branch>
[[gnu::always_inline]] inline void
reduce(__m256d d, __m256d magnitude, __m256d dql, const std::uint64_t (&two)[2],
       const std::uint64_t (&four)[4], __m256d& sx, __m256d& sy) {
    const auto twoParts = [&](__m256d& x, __m256d& y) {
        const __m256d u = _mm256_fmadd_pd(dql, _mm256_set1_pd(bitsToDouble(two[0])), d);
        const __m256d m = _mm256_mul_pd(dql, _mm256_set1_pd(bitsToDouble(two[1])));
        x = _mm256_add_pd(u, m);
        y = _mm256_add_pd(m, _mm256_sub_pd(u, x));
    };
    if constexpr (C == Choice::Select && K != Known::BelowFifteen) {
        __m256d x2;
        __m256d y2;
        twoParts(x2, y2);
        __m256d x4;
        __m256d y4;
        shortReduction(d, dql, four, x4, y4);
        // Every lane below 15 (false for NaN), in every lane: the lanes' tests and-ed across
        // the halves, then within each.
        __m256d below = _mm256_cmp_pd(magnitude, _mm256_set1_pd(15.0), _CMP_LT_OQ);
        below = _mm256_and_pd(below, _mm256_permute4x64_pd(below, 0x4E));
        below = _mm256_and_pd(below, _mm256_permute_pd(below, 0x5));
        sx = _mm256_blendv_pd(x4, x2, below);
        sy = _mm256_blendv_pd(y4, y2, below);
    } else if (K == Known::BelowFifteen || allBelow(magnitude, 15.0)) {
        twoParts(sx, sy);
    } else {
        shortReduction(d, dql, four, sx, sy);
    }
}

/** sin and cos of four arguments: Sleef_sincosd4_u10avx2. */
template <Known K = Known::Nothing, Choice C = Choice::Branch>
[[gnu::always_inline]] inline void sinCos4(__m256d d, __m256d& sines, __m256d& cosines) {
    const __m256d signMask = _mm256_set1_pd(-0.0);
    const __m256d magnitude = _mm256_andnot_pd(signMask, d);
    if (K == Known::Nothing && !allBelow(magnitude, kShortReduction)) [[unlikely]] {
        const Sleef___m256d_2 r = Sleef_sincosd4_u10avx2(d);
        sines = r.x;
        cosines = r.y;
        return;
    }
    // Quadrant and the argument reduced by it, as a double-double (sx, sy).
    const __m256d dql = quotient(d, 0x3fe45f306dc9c883);
    __m256d sx;
    __m256d sy;
    reduce<K, C>(d, magnitude, dql, {0xbff921fb54442d18, 0xbc91a62633145c07},
                 {0xbff921fb50000000, 0xbe5110b460000000, 0xbc91a62630000000, 0xbae8a2e03707344a},
                 sx, sy);
    const __m128i ql = _mm256_cvtpd_epi32(dql);
    const __m256d cross = _mm256_mul_pd(sx, sy);
    const __m256d s2 = _mm256_fmadd_pd(sx, sx, _mm256_add_pd(cross, cross));

    // Sine polynomial.
    const __m256d p = polynomial(s2, {0x3de5d82500becb6b, 0xbe5ae5e1e6f6f6d8, 0x3ec71de3503eae9c,
                                      0xbf2a01a019b64f6a, 0x3f8111111110f135, 0xbfc5555555555542});
    const __m256d us = _mm256_mul_pd(_mm256_mul_pd(sx, s2), p);
    const __m256d ax = _mm256_add_pd(sx, us);
    const __m256d ay = _mm256_add_pd(sy, _mm256_add_pd(us, _mm256_sub_pd(sx, ax)));
    __m256d rx = _mm256_add_pd(ax, ay);
    const __m256d negativeZero = _mm256_castsi256_pd(
        _mm256_cmpeq_epi64(_mm256_castpd_si256(d), _mm256_castpd_si256(signMask)));
    rx = _mm256_blendv_pd(rx, signMask, negativeZero);

    // Cosine polynomial.
    const __m256d q = polynomial(s2, {0xbda8fbf9c1bdb8ce, 0x3e21eea016409f05, 0xbe927e4f8130be9c,
                                      0x3efa01a019c8f025, 0xbf56c16c16c14c96, 0x3fa5555555555545,
                                      0xbfe0000000000000});
    const __m256d hx = _mm256_mul_pd(s2, q);
    const __m256d hy = _mm256_fmsub_pd(s2, q, hx);
    const __m256d one = _mm256_set1_pd(1.0);
    const __m256d bx = _mm256_add_pd(hx, one);
    const __m256d ry =
        _mm256_add_pd(bx, _mm256_add_pd(hy, _mm256_add_pd(hx, _mm256_sub_pd(one, bx))));

    // Odd quadrants swap sine and cosine; the quadrant's second bit gives the signs.
    const __m256i quadrant = _mm256_cvtepi32_epi64(ql);
    const __m256d odd = _mm256_castsi256_pd(_mm256_slli_epi64(quadrant, 63));
    const __m256d sinSign =
        _mm256_and_pd(_mm256_castsi256_pd(_mm256_slli_epi64(quadrant, 62)), signMask);
    const __m256d cosSign =
        _mm256_and_pd(_mm256_castsi256_pd(
                          _mm256_slli_epi64(_mm256_add_epi64(quadrant, _mm256_set1_epi64x(1)), 62)),
                      signMask);
    sines = _mm256_xor_pd(_mm256_blendv_pd(rx, ry, odd), sinSign);
    cosines = _mm256_xor_pd(_mm256_blendv_pd(ry, rx, odd), cosSign);
}

/** sin of four arguments: Sleef_sind4_u10avx2 (and, lane for lane, Sleef_sind2_u10avx2128 of
 *  the lower two when the upper two repeat them). */
template <Known K = Known::Nothing> [[gnu::always_inline]] inline __m256d sin4(__m256d d) {
    const __m256d signMask = _mm256_set1_pd(-0.0);
    const __m256d magnitude = _mm256_andnot_pd(signMask, d);
    if (K == Known::Nothing && !allBelow(magnitude, kShortReduction)) [[unlikely]] {
        return Sleef_sind4_u10avx2(d);
    }
    const __m256d dql = quotient(d, 0x3fd45f306dc9c883);
    __m256d sx;
    __m256d sy;
    reduce<K>(d, magnitude, dql, {0xc00921fb54442d18, 0xbca1a62633145c07},
              {0xc00921fb50000000, 0xbe6110b460000000, 0xbca1a62630000000, 0xbaf8a2e03707344a}, sx,
              sy);

    const __m256d s2x = _mm256_mul_pd(sx, sx);
    const __m256d s2y = _mm256_fmadd_pd(_mm256_add_pd(sx, sx), sy, _mm256_fmsub_pd(sx, sx, s2x));
    const __m256d x2 = _mm256_mul_pd(s2x, s2x);
    const __m256d x4 = _mm256_mul_pd(x2, x2);
    const __m256d p12 = _mm256_fmadd_pd(s2x, _mm256_set1_pd(bitsToDouble(0x3ce8811a03b2b11d)),
                                        _mm256_set1_pd(bitsToDouble(0xbd6ae422bc319350)));
    const __m256d p34 = _mm256_fmadd_pd(s2x, _mm256_set1_pd(bitsToDouble(0x3de6123c74705f67)),
                                        _mm256_set1_pd(bitsToDouble(0xbe5ae6454baa2959)));
    const __m256d p56 = _mm256_fmadd_pd(s2x, _mm256_set1_pd(bitsToDouble(0x3ec71de3a525fbed)),
                                        _mm256_set1_pd(bitsToDouble(0xbf2a01a01a014225)));
    __m256d p = _mm256_fmadd_pd(x2, p34, p56);
    p = _mm256_fmadd_pd(x4, p12, p);
    p = _mm256_fmadd_pd(s2x, p, _mm256_set1_pd(bitsToDouble(0x3f811111111110b9)));
    const __m256d u = _mm256_mul_pd(s2x, p);
    const __m256d sixth = _mm256_set1_pd(bitsToDouble(0xbfc5555555555555));
    const __m256d vx = _mm256_add_pd(u, sixth);
    const __m256d vy = _mm256_add_pd(u, _mm256_sub_pd(sixth, vx));
    const __m256d mx = _mm256_mul_pd(vx, s2x);
    const __m256d my =
        _mm256_fmadd_pd(vx, s2y, _mm256_fmadd_pd(s2x, vy, _mm256_fmsub_pd(vx, s2x, mx)));
    const __m256d one = _mm256_set1_pd(1.0);
    const __m256d wx = _mm256_add_pd(mx, one);
    const __m256d wy = _mm256_add_pd(my, _mm256_add_pd(mx, _mm256_sub_pd(one, wx)));
    const __m256d r = _mm256_fmadd_pd(sx, wx, _mm256_fmadd_pd(wx, sy, _mm256_mul_pd(sx, wy)));
    // An odd quadrant flips the sign; sin(0) is the argument itself (keeping the sign of -0).
    const __m256i quadrant = _mm256_cvtepi32_epi64(_mm256_cvtpd_epi32(dql));
    const __m256d odd = _mm256_castsi256_pd(_mm256_slli_epi64(quadrant, 63));
    return _mm256_blendv_pd(_mm256_xor_pd(r, odd), d,
                            _mm256_cmp_pd(d, _mm256_setzero_pd(), _CMP_EQ_OQ));
}

} // namespace zarn::ZARN_ISA_NS::inline_sines

#endif
