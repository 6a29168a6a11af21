#pragma once

// Batched sines for the step kernels. Include only from sources built by zarn_add_isa_variants:
// each copy evaluates with the vector width of its instruction-set level, giving what the SLEEF
// functions of that level give (at most 1 ulp from the exact value, for every finite argument):
// on x86-64-v3 and v4 computed in registers (InlineSines.h) where the kernels are built with
// fused multiply-adds, elsewhere by the library.

#ifndef ZARN_ISA_NS
#error "VectorSines.h belongs to the per-level step kernels (zarn_add_isa_variants)"
#endif

#if defined(__x86_64__)
#include "InlineSines.h"
#include <immintrin.h>
#include <sleef.h>
#else
#include <cmath>
#endif

namespace zarn::ZARN_ISA_NS {

/** Room every batch buffer needs: its count rounded up to the widest vector (8 doubles). */
constexpr int paddedCount(int n) {
    return (n + 7) / 8 * 8;
}

/** Lanes past @p n up to paddedCount(n) are evaluated too; zero them so they hold a number. */
inline void zeroTail(double* v, int n) {
    for (int k = n; k < paddedCount(n); ++k) {
        v[k] = 0.0;
    }
}

#if defined(__AVX2__) && !defined(__AVX512F__) && !defined(ZARN_INLINE_SINES)
/** The sines are a call away (sinesOfFour, sinesOfMany): the AVX2 copies built without fused
 *  multiply-adds. */
#define ZARN_SINES_CALL_AWAY 1
#endif

#if defined(__AVX2__) && !defined(__AVX512F__)
// The sines of InlineSines.h for the copies built without fused multiply-adds (the maps' kernels
// on x86-64-v3 keep the vectoriser instead), defined out of line in EngineKernels.cpp, which is
// built with them. A call costs what the library's own call did.

/** v[k] = sin v[k] for the four values at @p v. */
void sinesOfFour(double* v);
/** v[k] = sin v[k] for k below @p n rounded up to a multiple of four, in one call: a batch
 *  whose sum waits for all of it pays one call instead of one per vector. */
void sinesOfMany(double* v, int n);
/** s[k] = sin a[k], c[k] = cos a[k] for the four values at @p a. */
void sinCosOfFour(const double* a, double* s, double* c);
#endif

#if defined(__AVX512F__)
inline constexpr int kLanes = 8;
#elif defined(__AVX2__)
inline constexpr int kLanes = 4;
#else
inline constexpr int kLanes = 2;
#endif

/** v[k] = sin v[k] for the one vector of kLanes values at @p v. Always inlined: with the sines
 *  in registers the compiler kept it out of line, and ExpA paid a call for each of its 32
 *  vectors a step. */
[[gnu::always_inline]] inline void sineVector(double* v) {
#if defined(__AVX512F__) && defined(ZARN_INLINE_SINES)
    _mm512_storeu_pd(v, inline_sines::sin8(_mm512_loadu_pd(v)));
#elif defined(__AVX512F__)
    _mm512_storeu_pd(v, Sleef_sind8_u10avx512f(_mm512_loadu_pd(v)));
#elif defined(ZARN_INLINE_SINES)
    _mm256_storeu_pd(v, inline_sines::sin4(_mm256_loadu_pd(v)));
#elif defined(__AVX2__)
    sinesOfFour(v);
#elif defined(__x86_64__)
    _mm_storeu_pd(v, Sleef_sind2_u10sse2(_mm_loadu_pd(v)));
#else
    for (int k = 0; k < kLanes; ++k) {
        v[k] = std::sin(v[k]);
    }
#endif
}

/** v[k] = sin v[k] for k < paddedCount(n). */
inline void sinesInPlace(double* v, int n) {
#if defined(ZARN_SINES_CALL_AWAY)
    sinesOfMany(v, n);
#else
    for (int k = 0; k < n; k += kLanes) {
        sineVector(v + k);
    }
#endif
}

/**
 * v[k] = sin v[k] for k < paddedCount(n), handing each k < n to consume(k) in increasing order.
 * A group of sines is consumed after the next group has been started: a sum that has to run
 * term by term in its stated order then proceeds while the processor is still working on the
 * following sines, instead of after all of them. A group is one vector, or, where the sines are
 * a call away (sinesOfMany), @p Calls vectors a call: the sphere map's long sum gains from three,
 * the detailed hexagonal sum measured best with one.
 */
template <int Calls = 1, typename Consume>
inline void sinesStreamed(double* v, int n, Consume&& consume) {
    if (n <= 0) {
        return;
    }
#if defined(ZARN_SINES_CALL_AWAY)
    constexpr int group = Calls * kLanes;
#else
    constexpr int group = kLanes;
#endif
    const auto start = [v, n](int at) {
        if (at >= n) {
            return;
        }
#if defined(ZARN_SINES_CALL_AWAY)
        if constexpr (Calls > 1) {
            sinesOfMany(v + at, n - at < group ? n - at : group);
            return;
        }
#endif
        sineVector(v + at);
    };
    start(0);
    for (int first = 0; first < n; first += group) {
        const int next = first + group;
        start(next);
        const int end = next < n ? next : n;
        for (int k = first; k < end; ++k) {
            consume(k);
        }
    }
}

/** s[k] = sin a[k], c[k] = cos a[k] for k < paddedCount(n). */
inline void sinCos(const double* a, double* s, double* c, int n) {
#if defined(__AVX512F__)
    for (int k = 0; k < n; k += kLanes) {
        const Sleef___m512d_2 r = Sleef_sincosd8_u10avx512f(_mm512_loadu_pd(a + k));
        _mm512_storeu_pd(s + k, r.x);
        _mm512_storeu_pd(c + k, r.y);
    }
#elif defined(ZARN_INLINE_SINES)
    for (int k = 0; k < n; k += kLanes) {
        __m256d sines;
        __m256d cosines;
        inline_sines::sinCos4(_mm256_loadu_pd(a + k), sines, cosines);
        _mm256_storeu_pd(s + k, sines);
        _mm256_storeu_pd(c + k, cosines);
    }
#elif defined(__AVX2__)
    for (int k = 0; k < n; k += kLanes) {
        sinCosOfFour(a + k, s + k, c + k);
    }
#elif defined(__x86_64__)
    for (int k = 0; k < n; k += kLanes) {
        const Sleef___m128d_2 r = Sleef_sincosd2_u10sse2(_mm_loadu_pd(a + k));
        _mm_storeu_pd(s + k, r.x);
        _mm_storeu_pd(c + k, r.y);
    }
#else
    for (int k = 0; k < n; ++k) {
        s[k] = std::sin(a[k]);
        c[k] = std::cos(a[k]);
    }
#endif
}

/** sh[k] = sinh a[k], ch[k] = cosh a[k] for k < paddedCount(n). */
inline void sinhCosh(const double* a, double* sh, double* ch, int n) {
#if defined(__AVX512F__)
    for (int k = 0; k < n; k += kLanes) {
        const __m512d x = _mm512_loadu_pd(a + k);
        _mm512_storeu_pd(sh + k, Sleef_sinhd8_u10avx512f(x));
        _mm512_storeu_pd(ch + k, Sleef_coshd8_u10avx512f(x));
    }
#elif defined(__AVX2__)
    for (int k = 0; k < n; k += kLanes) {
        const __m256d x = _mm256_loadu_pd(a + k);
        _mm256_storeu_pd(sh + k, Sleef_sinhd4_u10avx2(x));
        _mm256_storeu_pd(ch + k, Sleef_coshd4_u10avx2(x));
    }
#elif defined(__x86_64__)
    for (int k = 0; k < n; k += kLanes) {
        const __m128d x = _mm_loadu_pd(a + k);
        _mm_storeu_pd(sh + k, Sleef_sinhd2_u10sse2(x));
        _mm_storeu_pd(ch + k, Sleef_coshd2_u10sse2(x));
    }
#else
    for (int k = 0; k < n; ++k) {
        sh[k] = std::sinh(a[k]);
        ch[k] = std::cosh(a[k]);
    }
#endif
}

/**
 * Marks the upper halves of ymm0-15 / zmm0-15 clean on entry to a kernel. A thread can inherit
 * dirty upper state (from its parent at creation, or from a C library routine that returned
 * without clearing it); legacy SSE code that runs after our kernels then no longer pays for it.
 */
inline void cleanUpperState() {
#if defined(__AVX__)
    _mm256_zeroupper();
#endif
}

} // namespace zarn::ZARN_ISA_NS
