#pragma once

// Sines computed in the caller's registers, bit for bit what SLEEF's 1-ulp AVX2 functions
// (and, for sin8, its AVX-512 sine) return. A call to the library returns a sine and cosine pair
// through memory and, past an argument of 15, takes a reduction written for any argument below
// 1e14; the plain square step has both on the chain from one point to the next. The operations here
// are the library's own, in its order, with the same constants; only terms that are exactly zero
// for the arguments taken here are left out, and two steps take a shorter form with the same
// result for every argument: the short reduction's first sum (two exact terms, one rounding, one
// fused multiply-add) and the sign of a -0 argument (flipped with the quadrant's signs instead of
// blended in afterwards). Arguments outside those ranges (and NaN) go to the library itself. The
// constants are those of Debian 12's libsleef3 (3.5.1); the engine's tests compare every function
// here with the library, bit for bit.
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

// The sines' bodies below serve four lanes and (on x86-64-v4) eight: +, - and * are the vector
// types' own (GCC's vector extensions; each is the one instruction of its intrinsic), and the
// fused operations and constants come from these two.

/** a b + c, rounded once; fmadd(a, b, -c) is the fused a b - c. */
template <typename V> [[gnu::always_inline]] inline V fmadd(V a, V b, V c) {
#if defined(__AVX512F__)
    if constexpr (sizeof(V) == 64) {
        return _mm512_fmadd_pd(a, b, c);
    } else
#endif
    {
        return _mm256_fmadd_pd(a, b, c);
    }
}

/** Every lane the library's constant with the bits @p bits. */
template <typename V> [[gnu::always_inline]] inline V splat(std::uint64_t bits) {
    return V{} + bitsToDouble(bits);
}

/**
 * The library's reduction for arguments of 15 and more: d less the quotient dql times a constant
 * split in four parts (piParts), as a double-double (sx, sy). The library also splits the
 * quotient into a part above 2^24 and the rest; below kShortReduction the upper part is zero and
 * its terms add nothing, not even the sign of a zero, so only the lower part's terms remain.
 *
 * The library adds the terms one at a time and keeps each sum's rounding error. Below
 * kShortReduction the first two terms leave none: the quotient has at most 23 bits and the first
 * two parts at most 25, so both products are exact; d plus the first is exact (it is zero, or
 * the two are within a factor of two of each other); and adding the second is exact too, as the
 * sum is the reduced argument, below 1, and a multiple of 2^-53 (d is one from 0.5 on, the second
 * product is a multiple of 2^-49, and below 0.5 the quotient is zero). Both errors are +0, and so
 * is the running error after them. The sum of the first two terms is then d plus dql times the
 * first two parts' sum (a double: the constant the two-part reduction multiplies by), one fused
 * multiply-add; the third term's error is the first that counts, and as it is never -0, adding
 * it to +0 gives itself.
 */
template <typename V>
[[gnu::always_inline]] inline void shortReduction(V d, V dql, const std::uint64_t (&piParts)[4],
                                                  V& sx, V& sy) {
    const V firstTwo = fmadd(dql, splat<V>(piParts[0]) + splat<V>(piParts[1]), d);
    const V y = dql * splat<V>(piParts[2]);
    const V s = y + firstTwo;
    const V v = s - firstTwo;
    const V error = (y - v) + (firstTwo - (s - v));
    const V last = dql * splat<V>(piParts[3]);
    sx = last + s;
    sy = (last + (s - sx)) + error;
}

/** d less the quotient @p dql times a constant split in the two parts @p two, as a
 *  double-double (sx, sy): the library's reduction below 15. */
template <typename V>
[[gnu::always_inline]] inline void twoPartReduction(V d, V dql, const std::uint64_t (&two)[2],
                                                    V& sx, V& sy) {
    const V u = fmadd(dql, splat<V>(two[0]), d);
    const V m = dql * splat<V>(two[1]);
    sx = u + m;
    sy = m + (u - sx);
}

/** Whether every lane of @p magnitude is below @p bound (false for NaN). */
[[gnu::always_inline]] inline bool allBelow(__m256d magnitude, double bound) {
    return _mm256_movemask_pd(_mm256_cmp_pd(magnitude, _mm256_set1_pd(bound), _CMP_LT_OQ)) == 0xF;
}

/** c[0] x^(N-1) + ... + c[N-1] by Horner's rule, one fused multiply-add a coefficient. */
template <typename V, std::size_t N>
[[gnu::always_inline]] inline V polynomial(V x, const std::uint64_t (&c)[N]) {
    V p = fmadd(x, splat<V>(c[0]), splat<V>(c[1]));
#pragma GCC unroll 8
    for (std::size_t k = 2; k < N; ++k) {
        p = fmadd(x, p, splat<V>(c[k]));
    }
    return p;
}

/** The square of the reduced argument (sx, sy) that the sine and cosine polynomials take. */
template <typename V> [[gnu::always_inline]] inline V squareOfReduced(V sx, V sy) {
    // The library's cross + cross with cross = sx sy, as (sx + sx) sy: doubling is exact and
    // commutes with the rounding (sy is zero or far above the subnormals here), and sx + sx is
    // ready before sy.
    return fmadd(sx, sx, (sx + sx) * sy);
}

/** The sine and cosine polynomials of the reduced argument's square. */
template <typename V> struct ReducedPolynomials {
    V sine;
    V cosine;
};

/** The library's sine and cosine polynomials at the square @p s2 of the reduced argument. */
template <typename V> [[gnu::always_inline]] inline ReducedPolynomials<V> polynomialsOf(V s2) {
    return {polynomial(s2, {0x3de5d82500becb6b, 0xbe5ae5e1e6f6f6d8, 0x3ec71de3503eae9c,
                            0xbf2a01a019b64f6a, 0x3f8111111110f135, 0xbfc5555555555542}),
            polynomial(s2, {0xbda8fbf9c1bdb8ce, 0x3e21eea016409f05, 0xbe927e4f8130be9c,
                            0x3efa01a019c8f025, 0xbf56c16c16c14c96, 0x3fa5555555555545,
                            0xbfe0000000000000})};
}

/**
 * The library's sine and cosine pair of the reduced argument (sx, sy), from its square @p s2 and
 * the polynomials @p pq there: the sine in @p rx (before the quadrant's swap and signs, and
 * before the sign of a zero argument) and the cosine in @p ry.
 */
template <typename V>
[[gnu::always_inline]] inline void
sinCosFromPolynomials(V sx, V sy, V s2, const ReducedPolynomials<V>& pq, V& rx, V& ry) {
    const V us = (sx * s2) * pq.sine;
    const V ax = sx + us;
    const V ay = sy + (us + (sx - ax));
    rx = ax + ay;

    const V hx = s2 * pq.cosine;
    const V hy = fmadd(s2, pq.cosine, -hx);
    const V one = splat<V>(0x3ff0000000000000);
    const V bx = hx + one;
    ry = bx + (hy + (hx + (one - bx)));
}

/** The library's sine and cosine pair of the reduced argument (sx, sy), as
 *  sinCosFromPolynomials gives it. */
template <typename V> [[gnu::always_inline]] inline void sinCosOfReduced(V sx, V sy, V& rx, V& ry) {
    const V s2 = squareOfReduced(sx, sy);
    sinCosFromPolynomials(sx, sy, s2, polynomialsOf(s2), rx, ry);
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
 * nor for the plain square's third order, whose one vector the extra reduction slows more than
 * its mispredictions do. Early (sineParts only) selects too, but starts the sine from the
 * two-part form's leading part, which is the selected form's all but always, and evaluates again
 * where it is not: the four-part reduction leaves the chain, and no branch on 15 is mispredicted.
 */
enum class Choice { Branch, Select, Early };

/**
 * d less the quotient @p dql times a constant, as a double-double (sx, sy): split in the two
 * parts @p two when every argument is below 15, in the four parts @p four past that, as the
 * library does. Arguments must be below kShortReduction.
 */
template <Known K, Choice C = Choice::Branch>
[[gnu::always_inline]] inline void
reduce(__m256d d, __m256d magnitude, __m256d dql, const std::uint64_t (&two)[2],
       const std::uint64_t (&four)[4], __m256d& sx, __m256d& sy) {
    if constexpr (C == Choice::Select && K != Known::BelowFifteen) {
        __m256d x2;
        __m256d y2;
        twoPartReduction(d, dql, two, x2, y2);
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
        twoPartReduction(d, dql, two, sx, sy);
    } else {
        shortReduction(d, dql, four, sx, sy);
    }
}

/** Two vectors, as the out-of-line paths return them: passed back by reference instead, the
 *  hot path's own results would have to live in memory too. */
template <typename V> struct VectorPair {
    V first;
    V second;
};

/** sinCosOfReduced out of line: the path of sinCos4's and sinCos8Select's selected reductions
 *  for a square that their early square did not foresee, kept out of the hot code so that the
 *  early path does not wait for it. */
template <typename V>
[[gnu::noinline, gnu::cold]] inline VectorPair<V> sinCosOfReducedApart(V sx, V sy) {
    VectorPair<V> r;
    sinCosOfReduced(sx, sy, r.first, r.second);
    return r;
}

/** The quotient by π/2 that sinCos4 reduces @p d by. */
[[gnu::always_inline]] inline __m256d sinCosQuotient(__m256d d) {
    return quotient(d, 0x3fe45f306dc9c883);
}

/** sinCos4 of arguments below kShortReduction from their quotient @p dql (sinCosQuotient). */
template <Known K, Choice C>
[[gnu::always_inline]] inline void sinCos4From(__m256d d, __m256d magnitude, __m256d dql,
                                               __m256d& sines, __m256d& cosines) {
    const __m256d signMask = _mm256_set1_pd(-0.0);
    // The argument reduced by the quadrant, as a double-double (sx, sy).
    __m256d sx;
    __m256d sy;
    __m256d rx;
    __m256d ry;
    if constexpr (C == Choice::Select && K != Known::BelowFifteen) {
        // The polynomials from the two-part form's square, confirmed by the selected form's
        // beside them, as sinCos8Select does.
        __m256d x2;
        __m256d y2;
        twoPartReduction(d, dql, {0xbff921fb54442d18, 0xbc91a62633145c07}, x2, y2);
        const __m256d early = squareOfReduced(x2, y2);
        const auto pq = polynomialsOf(early);
        reduce<K, C>(
            d, magnitude, dql, {0xbff921fb54442d18, 0xbc91a62633145c07},
            {0xbff921fb50000000, 0xbe5110b460000000, 0xbc91a62630000000, 0xbae8a2e03707344a}, sx,
            sy);
        sinCosFromPolynomials(sx, sy, early, pq, rx, ry);
        if (_mm256_movemask_pd(_mm256_castsi256_pd(_mm256_cmpeq_epi64(
                _mm256_castpd_si256(early), _mm256_castpd_si256(squareOfReduced(sx, sy))))) != 0xF)
            [[unlikely]] {
            const auto apart = sinCosOfReducedApart(sx, sy);
            rx = apart.first;
            ry = apart.second;
        }
    } else {
        reduce<K, C>(
            d, magnitude, dql, {0xbff921fb54442d18, 0xbc91a62633145c07},
            {0xbff921fb50000000, 0xbe5110b460000000, 0xbc91a62630000000, 0xbae8a2e03707344a}, sx,
            sy);
        sinCosOfReduced(sx, sy, rx, ry);
    }
    const __m128i ql = _mm256_cvtpd_epi32(dql);

    // Odd quadrants swap sine and cosine; the quadrant's second bit gives the signs. The sine of
    // -0 is -0: both zeros reduce to +0 in quadrant 0, so the argument's sign joins the sine's
    // (beside the chain, instead of a blend on it).
    const __m256i quadrant = _mm256_cvtepi32_epi64(ql);
    const __m256d odd = _mm256_castsi256_pd(_mm256_slli_epi64(quadrant, 63));
    const __m256d negativeZero = _mm256_castsi256_pd(
        _mm256_cmpeq_epi64(_mm256_castpd_si256(d), _mm256_castpd_si256(signMask)));
    const __m256d sinSign = _mm256_and_pd(
        _mm256_or_pd(_mm256_castsi256_pd(_mm256_slli_epi64(quadrant, 62)), negativeZero), signMask);
    const __m256d cosSign =
        _mm256_and_pd(_mm256_castsi256_pd(
                          _mm256_slli_epi64(_mm256_add_epi64(quadrant, _mm256_set1_epi64x(1)), 62)),
                      signMask);
    sines = _mm256_xor_pd(_mm256_blendv_pd(rx, ry, odd), sinSign);
    cosines = _mm256_xor_pd(_mm256_blendv_pd(ry, rx, odd), cosSign);
}

/** sin and cos of four arguments: Sleef_sincosd4_u10avx2. */
template <Known K = Known::Nothing, Choice C = Choice::Branch>
[[gnu::always_inline]] inline void sinCos4(__m256d d, __m256d& sines, __m256d& cosines) {
    const __m256d magnitude = _mm256_andnot_pd(_mm256_set1_pd(-0.0), d);
    if (K == Known::Nothing && !allBelow(magnitude, kShortReduction)) [[unlikely]] {
        const Sleef___m256d_2 r = Sleef_sincosd4_u10avx2(d);
        sines = r.x;
        cosines = r.y;
        return;
    }
    sinCos4From<K, C>(d, magnitude, sinCosQuotient(d), sines, cosines);
}

/** sinCos4 out of line: the path of sinCos4Foreseen for a quotient it did not foresee. */
template <Known K, typename V> [[gnu::noinline, gnu::cold]] inline VectorPair<V> sinCos4Apart(V d) {
    VectorPair<V> r;
    sinCos4<K>(d, r.first, r.second);
    return r;
}

/** Whether the lanes of @p a and @p b have the same bits, every one. */
[[gnu::always_inline]] inline bool sameBits(__m256d a, __m256d b) {
    return _mm256_movemask_pd(_mm256_castsi256_pd(
               _mm256_cmpeq_epi64(_mm256_castpd_si256(a), _mm256_castpd_si256(b)))) == 0xF;
}

/**
 * sinCos4 of arguments below 15, started from the quotient @p foreseen, which a caller can find
 * sooner than the argument (from the point that the argument is a multiple of, say). The
 * quotient is the one number the reduction takes from the argument's rounding; the library's
 * own is found beside the evaluation, and where it differs in any lane (an argument within a
 * few units of the last place of an odd multiple of π/4) the whole is evaluated again from it.
 */
template <Known K>
[[gnu::always_inline]] inline void sinCos4Foreseen(__m256d d, __m256d foreseen, __m256d& sines,
                                                   __m256d& cosines) {
    static_assert(K == Known::BelowFifteen, "the foreseen quotient serves the two-part reduction");
    sinCos4From<K, Choice::Branch>(d, _mm256_andnot_pd(_mm256_set1_pd(-0.0), d), foreseen, sines,
                                   cosines);
    if (!sameBits(foreseen, sinCosQuotient(d))) [[unlikely]] {
        const auto r = sinCos4Apart<K>(d);
        sines = r.first;
        cosines = r.second;
    }
}

/** sineOfReduced with the high part of the square, @p s2x = sx sx, given. */
template <typename V> [[gnu::always_inline]] inline V sineOfReducedFrom(V s2x, V sx, V sy) {
    const V s2y = fmadd(sx + sx, sy, fmadd(sx, sx, -s2x));
    const V x2 = s2x * s2x;
    const V x4 = x2 * x2;
    const V p12 = fmadd(s2x, splat<V>(0x3ce8811a03b2b11d), splat<V>(0xbd6ae422bc319350));
    const V p34 = fmadd(s2x, splat<V>(0x3de6123c74705f67), splat<V>(0xbe5ae6454baa2959));
    const V p56 = fmadd(s2x, splat<V>(0x3ec71de3a525fbed), splat<V>(0xbf2a01a01a014225));
    V p = fmadd(x2, p34, p56);
    p = fmadd(x4, p12, p);
    p = fmadd(s2x, p, splat<V>(0x3f811111111110b9));
    const V u = s2x * p;
    const V sixth = splat<V>(0xbfc5555555555555);
    const V vx = u + sixth;
    const V vy = u + (sixth - vx);
    const V mx = vx * s2x;
    const V my = fmadd(vx, s2y, fmadd(s2x, vy, fmadd(vx, s2x, -mx)));
    const V one = splat<V>(0x3ff0000000000000);
    const V wx = mx + one;
    const V wy = my + (mx + (one - wx));
    return fmadd(sx, wx, fmadd(wx, sy, sx * wy));
}

/** The library's sine of the reduced argument (sx, sy), before the quadrant's sign. */
template <typename V> [[gnu::always_inline]] inline V sineOfReduced(V sx, V sy) {
    return sineOfReducedFrom(sx * sx, sx, sy);
}

/** sineOfReduced out of line: sineParts' path for a reduced argument that its early form did not
 *  foresee, kept out of the hot code so that the early path does not wait for it. */
[[gnu::noinline, gnu::cold]] inline __m256d sineOfReducedApart(__m256d sx, __m256d sy) {
    return sineOfReduced(sx, sy);
}

/** sineParts from the quotient @p dql (sineQuotient) of the arguments @p d. */
template <Known K, Choice C>
[[gnu::always_inline]] inline void sinePartsFrom(__m256d d, __m256d dql, __m256d& reducedSine,
                                                 __m256d& flip) {
    static_assert(K != Known::Nothing, "arguments past the short reduction go to the library");
    const __m256d signMask = _mm256_set1_pd(-0.0);
    const __m256d magnitude = _mm256_andnot_pd(signMask, d);
    __m256d sx;
    __m256d sy;
    if constexpr (C == Choice::Early && K != Known::BelowFifteen) {
        // The two reductions' leading parts differ only where the reduced argument lies within
        // a few units of the last place of a rounding boundary: the sine's polynomial starts
        // from the two-part form's, and the selected form confirms it beside the polynomial.
        __m256d x2;
        __m256d y2;
        twoPartReduction(d, dql, {0xc00921fb54442d18, 0xbca1a62633145c07}, x2, y2);
        const __m256d early = x2 * x2;
        reduce<K, Choice::Select>(
            d, magnitude, dql, {0xc00921fb54442d18, 0xbca1a62633145c07},
            {0xc00921fb50000000, 0xbe6110b460000000, 0xbca1a62630000000, 0xbaf8a2e03707344a}, sx,
            sy);
        reducedSine = sineOfReducedFrom(early, sx, sy);
        if (_mm256_movemask_pd(_mm256_castsi256_pd(_mm256_cmpeq_epi64(
                _mm256_castpd_si256(x2), _mm256_castpd_si256(sx)))) != 0xF) [[unlikely]] {
            reducedSine = sineOfReducedApart(sx, sy);
        }
    } else {
        reduce<K, C == Choice::Early ? Choice::Branch : C>(
            d, magnitude, dql, {0xc00921fb54442d18, 0xbca1a62633145c07},
            {0xc00921fb50000000, 0xbe6110b460000000, 0xbca1a62630000000, 0xbaf8a2e03707344a}, sx,
            sy);
        reducedSine = sineOfReduced(sx, sy);
    }
    // An odd quadrant flips the sign. sin(±0) is the argument itself: both zeros reduce to +0
    // in quadrant 0, so the sign of -0 is flipped in the same way (beside the chain, instead of
    // a blend on it).
    const __m256i quadrant = _mm256_cvtepi32_epi64(_mm256_cvtpd_epi32(dql));
    const __m256d negativeZero = _mm256_castsi256_pd(
        _mm256_cmpeq_epi64(_mm256_castpd_si256(d), _mm256_castpd_si256(signMask)));
    flip = _mm256_or_pd(_mm256_castsi256_pd(_mm256_slli_epi64(quadrant, 63)),
                        _mm256_and_pd(negativeZero, signMask));
}

/** The quotient by π that sin4 and sineParts reduce @p d by. */
[[gnu::always_inline]] inline __m256d sineQuotient(__m256d d) {
    return quotient(d, 0x3fd45f306dc9c883);
}

/**
 * sin4 of arguments below kShortReduction (as @p K tells) in two parts: the sine of the reduced
 * argument and the sign that its quadrant (and the sign of a -0 argument) puts on it, as the
 * bits to flip. Their exclusive or is the sine; a caller that multiplies the sine next can flip
 * the other factor's sign instead, beside the chain, for the same product bit for bit (for
 * numbers: a NaN keeps its own sign).
 */
template <Known K, Choice C = Choice::Branch>
[[gnu::always_inline]] inline void sineParts(__m256d d, __m256d& reducedSine, __m256d& flip) {
    sinePartsFrom<K, C>(d, sineQuotient(d), reducedSine, flip);
}

/** sineParts out of line: the path of sinePartsForeseen for a quotient it did not foresee. */
template <Known K, Choice C, typename V>
[[gnu::noinline, gnu::cold]] inline VectorPair<V> sinePartsApart(V d) {
    VectorPair<V> r;
    sineParts<K, C>(d, r.first, r.second);
    return r;
}

/** sineParts started from the quotient @p foreseen, confirmed by the library's beside the
 *  evaluation and evaluated again where they differ, as sinCos4Foreseen does. */
template <Known K, Choice C>
[[gnu::always_inline]] inline void sinePartsForeseen(__m256d d, __m256d foreseen,
                                                     __m256d& reducedSine, __m256d& flip) {
    sinePartsFrom<K, C>(d, foreseen, reducedSine, flip);
    if (!sameBits(foreseen, sineQuotient(d))) [[unlikely]] {
        const auto r = sinePartsApart<K, C>(d);
        reducedSine = r.first;
        flip = r.second;
    }
}

/** sin of four arguments: Sleef_sind4_u10avx2 (and, lane for lane, Sleef_sind2_u10avx2128 of
 *  the lower two when the upper two repeat them or are zero). */
template <Known K = Known::Nothing> [[gnu::always_inline]] inline __m256d sin4(__m256d d) {
    if (K == Known::Nothing &&
        !allBelow(_mm256_andnot_pd(_mm256_set1_pd(-0.0), d), kShortReduction)) [[unlikely]] {
        return Sleef_sind4_u10avx2(d);
    }
    __m256d reducedSine;
    __m256d flip;
    sineParts<K == Known::Nothing ? Known::BelowShortReduction : K>(d, reducedSine, flip);
    return _mm256_xor_pd(reducedSine, flip);
}

#if defined(__AVX512F__)
/** sin of eight arguments: Sleef_sind8_u10avx512f, the same operations as sin4 in eight lanes. */
[[gnu::always_inline]] inline __m512d sin8(__m512d d) {
    const __m512d magnitude = _mm512_abs_pd(d);
    const auto allBelow8 = [&magnitude](double bound) {
        return _mm512_cmp_pd_mask(magnitude, _mm512_set1_pd(bound), _CMP_LT_OQ) == 0xFF;
    };
    if (!allBelow8(kShortReduction)) [[unlikely]] {
        return Sleef_sind8_u10avx512f(d);
    }
    // The zero-masking forms with every lane kept are the plain instructions; the plain
    // intrinsics start from an undefined vector, which GCC 12 warns about.
    constexpr __mmask8 every = 0xFF;
    const __m512d dql =
        _mm512_maskz_roundscale_pd(every, _mm512_mul_pd(d, splat<__m512d>(0x3fd45f306dc9c883)),
                                   _MM_FROUND_TO_NEAREST_INT | _MM_FROUND_NO_EXC);
    __m512d sx;
    __m512d sy;
    if (allBelow8(15.0)) {
        twoPartReduction(d, dql, {0xc00921fb54442d18, 0xbca1a62633145c07}, sx, sy);
    } else {
        shortReduction(
            d, dql,
            {0xc00921fb50000000, 0xbe6110b460000000, 0xbca1a62630000000, 0xbaf8a2e03707344a}, sx,
            sy);
    }
    const __m512d r = sineOfReduced(sx, sy);
    const __m512i quadrant = _mm512_maskz_cvtpd_epi64(every, dql);
    const __m512d odd = _mm512_castsi512_pd(_mm512_maskz_slli_epi64(every, quadrant, 63));
    return _mm512_mask_blend_pd(_mm512_cmp_pd_mask(d, _mm512_setzero_pd(), _CMP_EQ_OQ),
                                _mm512_xor_pd(r, odd), d);
}

/**
 * sin and cos of eight arguments: in each half, lane for lane, what sinCos4 with the reduction
 * selected returns for those four (Sleef_sincosd4_u10avx2). The reduction is chosen for each
 * half as the four-lane form chooses it, so a caller that took its arguments four at a time gets
 * the same bits from half as many vectors.
 */
[[gnu::always_inline]] inline void sinCos8Select(__m512d d, __m512d& sines, __m512d& cosines) {
    constexpr __mmask8 every = 0xFF;
    if (_mm512_cmp_pd_mask(_mm512_abs_pd(d), _mm512_set1_pd(kShortReduction), _CMP_LT_OQ) != every)
        [[unlikely]] {
        // Past the short reduction's bound, or NaN: four at a time, where the library takes them.
        alignas(64) double lanes[8];
        alignas(64) double sinLanes[8];
        alignas(64) double cosLanes[8];
        _mm512_store_pd(lanes, d);
        for (int half = 0; half < 8; half += 4) {
            __m256d halfSines;
            __m256d halfCosines;
            sinCos4<Known::Nothing, Choice::Select>(_mm256_load_pd(lanes + half), halfSines,
                                                    halfCosines);
            _mm256_store_pd(sinLanes + half, halfSines);
            _mm256_store_pd(cosLanes + half, halfCosines);
        }
        sines = _mm512_load_pd(sinLanes);
        cosines = _mm512_load_pd(cosLanes);
        return;
    }
    const __m512d dql =
        _mm512_maskz_roundscale_pd(every, _mm512_mul_pd(d, splat<__m512d>(0x3fe45f306dc9c883)),
                                   _MM_FROUND_TO_NEAREST_INT | _MM_FROUND_NO_EXC);
    // The polynomials take only the square of the reduced argument. The four-part reduction
    // differs from the two-part one by far less than the square's rounding step, so where a
    // half takes the four-part form its square is the two-part form's all but always. The
    // polynomials start from the two-part square; the four-part reduction comes after them in
    // the code, so that it takes the units only when the polynomials leave them free, and its
    // square confirms the early one. Where the two squares are not the same number in every
    // lane, the whole is evaluated again from the selected form.
    __m512d x2;
    __m512d y2;
    twoPartReduction(d, dql, {0xbff921fb54442d18, 0xbc91a62633145c07}, x2, y2);
    const __m512d early = squareOfReduced(x2, y2);
    const auto pq = polynomialsOf(early);
    __m512d x4;
    __m512d y4;
    shortReduction(d, dql,
                   {0xbff921fb50000000, 0xbe5110b460000000, 0xbc91a62630000000, 0xbae8a2e03707344a},
                   x4, y4);
    // The two-part form for a half whose four lanes are all below 15 (false for NaN).
    const unsigned below = _mm512_cmp_pd_mask(_mm512_abs_pd(d), _mm512_set1_pd(15.0), _CMP_LT_OQ);
    const auto twoPart = static_cast<__mmask8>(((below & 0x0Fu) == 0x0Fu ? 0x0Fu : 0u) |
                                               ((below & 0xF0u) == 0xF0u ? 0xF0u : 0u));
    const __m512d sx = _mm512_mask_blend_pd(twoPart, x4, x2);
    const __m512d sy = _mm512_mask_blend_pd(twoPart, y4, y2);
    __m512d rx;
    __m512d ry;
    sinCosFromPolynomials(sx, sy, early, pq, rx, ry);
    if (_mm512_cmpeq_epi64_mask(_mm512_castpd_si512(early),
                                _mm512_castpd_si512(squareOfReduced(sx, sy))) != every)
        [[unlikely]] {
        const auto apart = sinCosOfReducedApart(sx, sy);
        rx = apart.first;
        ry = apart.second;
    }
    const __m512d signMask = _mm512_set1_pd(-0.0);
    // Odd quadrants swap sine and cosine; the quadrant's second bit gives the signs, and the
    // sine of -0 (reduced to +0, as +0 is) takes the argument's sign with them.
    const __m512i quadrant = _mm512_maskz_cvtpd_epi64(every, dql);
    const __mmask8 odd = _mm512_test_epi64_mask(quadrant, _mm512_set1_epi64(1));
    const __m512i sinSign = _mm512_mask_mov_epi64(
        _mm512_maskz_slli_epi64(every, quadrant, 62),
        _mm512_cmpeq_epi64_mask(_mm512_castpd_si512(d), _mm512_castpd_si512(signMask)),
        _mm512_castpd_si512(signMask));
    const __m512i cosSign =
        _mm512_maskz_slli_epi64(every, _mm512_add_epi64(quadrant, _mm512_set1_epi64(1)), 62);
    sines = _mm512_xor_pd(_mm512_mask_blend_pd(odd, rx, ry),
                          _mm512_and_pd(_mm512_castsi512_pd(sinSign), signMask));
    cosines = _mm512_xor_pd(_mm512_mask_blend_pd(odd, ry, rx),
                            _mm512_and_pd(_mm512_castsi512_pd(cosSign), signMask));
}
#endif

} // namespace zarn::ZARN_ISA_NS::inline_sines

#endif
