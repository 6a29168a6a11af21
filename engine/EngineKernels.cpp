// The engine's hot steps, compiled once per instruction-set level (zarn_add_isa_variants). Every
// definition here lives in zarn::ZARN_ISA_NS; the table at the end is what StepKernels.cpp hands
// out. Sums and constants follow docs/maps.md exactly; only the sines come in batches.

#include "MapExpA.h"
#include "New84.h"
#include "SqrMapt.h"
#include "StepKernels.h"
#include "Torus.h"
#include "VectorSines.h"

#include <type_traits>
#include <utility>

namespace zarn::ZARN_ISA_NS {

namespace {

#if defined(ZARN_INLINE_SINES)
/** foldToUnit of both lanes, lane for lane the same, with masks instead of branches. */
[[gnu::always_inline]] inline __m128d foldPairBySides(__m128d v) {
    const __m128d t = _mm_round_pd(v, _MM_FROUND_TO_ZERO | _MM_FROUND_NO_EXC);
#if defined(__AVX512VL__)
    // Both candidates first, then two blends on masks compared straight into mask registers.
    const __m128d above = _mm_sub_pd(v, t);
    const __m128d below = _mm_add_pd(v, _mm_sub_pd(_mm_set1_pd(1.0), t));
    const __m128d kept =
        _mm_mask_blend_pd(_mm_cmp_pd_mask(v, _mm_set1_pd(1.0), _CMP_GT_OQ), v, above);
    return _mm_mask_blend_pd(_mm_cmp_pd_mask(v, _mm_setzero_pd(), _CMP_LT_OQ), kept, below);
#else
    const __m128d above = _mm_sub_pd(v, t);
    const __m128d below = _mm_add_pd(v, _mm_sub_pd(_mm_set1_pd(1.0), t));
    const __m128d kept = _mm_blendv_pd(v, below, _mm_cmp_pd(v, _mm_setzero_pd(), _CMP_LT_OQ));
    return _mm_blendv_pd(kept, above, _mm_cmp_pd(v, _mm_set1_pd(1.0), _CMP_GT_OQ));
#endif
}

/**
 * foldToUnit of both lanes, lane for lane the same, as v less its floor: two operations from
 * the sum to the next step's point instead of four. For every v that is not a whole number the
 * two agree: v - floor(v) is one rounding of the same exact value as v + (1 - trunc(v)) below
 * zero (floor(v) is trunc(v) - 1 there, and both are exact below 2^52, past which every double
 * is whole) and as v - trunc(v) above it. Whole numbers (±0, 1 and the negative ones, which the
 * fold keeps or sends to 1) and infinities take the fold by sides behind a branch that a
 * chaotic orbit never takes. NaN stays NaN either way.
 */
[[gnu::always_inline]] inline __m128d foldPairToUnit(__m128d v) {
    const __m128d floor = _mm_round_pd(v, _MM_FROUND_TO_NEG_INF | _MM_FROUND_NO_EXC);
#if defined(__AVX512VL__)
    const bool whole = _mm_cmp_pd_mask(floor, v, _CMP_EQ_OQ) != 0;
#else
    const bool whole = _mm_movemask_pd(_mm_cmp_pd(floor, v, _CMP_EQ_OQ)) != 0;
#endif
    if (whole) [[unlikely]] {
        return foldPairBySides(v);
    }
    return _mm_sub_pd(v, floor);
}

/** A plain set with each coefficient in both lanes of a pair, made once for the steps that
 *  share it (the compiler would otherwise spread the coefficients out again at every step). */
struct PlainPairs {
    __m128d lambda;
    __m128d alpha;
    __m128d beta;
    __m128d gamma;
    __m128d omega;
    explicit PlainPairs(const square::PlainSet& k)
        : lambda(_mm_set1_pd(k.lambda)), alpha(_mm_set1_pd(k.alpha)), beta(_mm_set1_pd(k.beta)),
          gamma(_mm_set1_pd(k.gamma)), omega(_mm_set1_pd(k.omega)) {}
};

/**
 * squarePlain of the point (x, y) held as the pair (x in the low lane, y in the high), without
 * the state cleaning, to inline into a loop. x and y side by side, each lane rounding exactly as
 * its own scalar sum would: the sines leave their vectors as pairs instead of one by one, and
 * half as many operations make the sums and the fold. The step is bound by the work in flight
 * as much as by its chain, so fewer instructions make it faster. Lanes: x1 y1 x2 y2 for the
 * first two orders' sines and cosines, x3 y3 and two zeros for the third order's sines.
 */
[[gnu::always_inline]] inline void plainStepPair(__m128d& point, const PlainPairs& k, double emm,
                                                 double offX, double offY, double twoPi) {
    const __m128d order1 = _mm_mul_pd(_mm_set1_pd(twoPi), point);
    const __m128d order2 = _mm_add_pd(order1, order1);
    // order1 + order1 is exact, so (order1 + order1) + order1 and order1 times 3 both round the
    // exact 3 order1 once: the same value, one operation sooner on the third order's path, the
    // step's longest.
    const __m128d order3 = _mm_mul_pd(order1, _mm_set1_pd(3.0));
    __m256d sinV;
    __m256d cosV;
    // The third order's sine before its sign, and gamma with the sign put on it instead: the
    // fourth term's product takes the sign from gamma, beside the chain, for the same bits.
    __m128d sin3;
    __m128d signedGamma;
    // The first order's arguments below 7.5 (the second's below 15, the third's far below the
    // short reduction's bound) are tested once for every argument of the step. For a point of
    // the torus and its margin (below 1.19) and the map's usual 2π, they are.
    using inline_sines::Known;
    const __m128d magnitude = _mm_andnot_pd(_mm_set1_pd(-0.0), order1);
    if (_mm_movemask_pd(_mm_cmp_pd(magnitude, _mm_set1_pd(7.5), _CMP_LT_OQ)) == 3) {
        // The sines' quotients (by π/2 for the first two orders, by π for the third) foreseen
        // from the point, sooner than from the arguments: the point times the factors that
        // the arguments and the quotients multiply it by, in one product. Rounded apart, they
        // differ from the library's quotients only where an argument lies within a few units of
        // the last place of an odd multiple of π/4 (π/2 for the third order). The sines start
        // from these and confirm them beside the evaluation.
        const double quarterTurns = twoPi * inline_sines::bitsToDouble(0x3fe45f306dc9c883);
        const __m256d foreseen12 =
            _mm256_round_pd(_mm256_mul_pd(_mm256_set_m128d(point, point),
                                          _mm256_set_pd(2.0 * quarterTurns, 2.0 * quarterTurns,
                                                        quarterTurns, quarterTurns)),
                            _MM_FROUND_TO_NEAREST_INT | _MM_FROUND_NO_EXC);
        const __m128d foreseen3 = _mm_round_pd(_mm_mul_pd(point, _mm_set1_pd(1.5 * quarterTurns)),
                                               _MM_FROUND_TO_NEAREST_INT | _MM_FROUND_NO_EXC);
        inline_sines::sinCos4Foreseen<Known::BelowFifteen>(_mm256_set_m128d(order2, order1),
                                                           foreseen12, sinV, cosV);
        // The upper lanes zero (free with a 128-bit operation) instead of repeating the lower:
        // lanes do not mix, and zero is below every bound the sine tests.
        __m256d reduced;
        __m256d flip;
        inline_sines::sinePartsForeseen<Known::BelowShortReduction, inline_sines::Choice::Early>(
            _mm256_zextpd128_pd256(order3), _mm256_zextpd128_pd256(foreseen3), reduced, flip);
        sin3 = _mm256_castpd256_pd128(reduced);
        signedGamma = _mm_xor_pd(k.gamma, _mm256_castpd256_pd128(flip));
    } else {
        inline_sines::sinCos4(_mm256_set_m128d(order2, order1), sinV, cosV);
        sin3 = _mm256_castpd256_pd128(inline_sines::sin4(_mm256_set_m128d(order3, order3)));
        signedGamma = k.gamma;
    }
    const __m128d sin1 = _mm256_castpd256_pd128(sinV);
    const __m128d sin2 = _mm256_extractf128_pd(sinV, 1);
    // The other coordinate's: sin y1 sin x1, cos y1 cos x1, cos y2 cos x2.
    const __m128d sin1Other = _mm_permute_pd(sin1, 1);
    const __m128d cos1Other = _mm_permute_pd(_mm256_castpd256_pd128(cosV), 1);
    const __m128d cos2Other = _mm_permute_pd(_mm256_extractf128_pd(cosV, 1), 1);

    __m128d n = _mm_mul_pd(k.lambda, sin1);
    n = _mm_add_pd(n, _mm_mul_pd(_mm_mul_pd(k.alpha, sin1), cos1Other));
    n = _mm_add_pd(n, _mm_mul_pd(k.beta, sin2));
    n = _mm_add_pd(n, _mm_mul_pd(_mm_mul_pd(signedGamma, sin3), cos2Other));
    n = _mm_sub_pd(n, _mm_mul_pd(k.omega, sin1Other));
    n = _mm_add_pd(n, _mm_set_pd(offY, offX));
    n = _mm_add_pd(n, _mm_mul_pd(_mm_set1_pd(emm), point));
    point = foldPairToUnit(n);
}
/** The coefficients as a span's plain steps take them. */
using PlainStepSet = PlainPairs;
#else
using PlainStepSet = square::PlainSet;
#endif

/** squarePlain without the state cleaning, to inline into a loop. */
[[gnu::always_inline]] inline void plainStepInline(double& x, double& y, const square::PlainSet& k,
                                                   double emm, double offX, double offY,
                                                   double twoPi) {
#if defined(ZARN_INLINE_SINES)
    __m128d point = _mm_set_pd(y, x);
    plainStepPair(point, PlainPairs(k), emm, offX, offY, twoPi);
    x = _mm_cvtsd_f64(point);
    y = _mm_cvtsd_f64(_mm_unpackhi_pd(point, point));
#else
    const double x1 = twoPi * x;
    const double x2 = x1 + x1;
    const double x3 = x2 + x1;
    const double y1 = twoPi * y;
    const double y2 = y1 + y1;
    const double y3 = y2 + y1;
    alignas(16) double arg[paddedCount(6)] = {x1, x2, y1, y2, x3, y3, 0.0, 0.0};
    double s[paddedCount(6)];
    double c[paddedCount(6)];
    sinCos(arg, s, c, 4);
    sinesInPlace(arg + 4, 2);
    const double sinX1 = s[0], sinX2 = s[1], sinY1 = s[2], sinY2 = s[3];
    const double cosX1 = c[0], cosX2 = c[1], cosY1 = c[2], cosY2 = c[3];
    const double sinX3 = arg[4], sinY3 = arg[5];

    const double nx = k.lambda * sinX1 + k.alpha * sinX1 * cosY1 + k.beta * sinX2 +
                      k.gamma * sinX3 * cosY2 - k.omega * sinY1 + offX + emm * x;
    const double ny = k.lambda * sinY1 + k.alpha * sinY1 * cosX1 + k.beta * sinY2 +
                      k.gamma * sinY3 * cosX2 - k.omega * sinX1 + offY + emm * y;
    x = foldToUnit(nx);
    y = foldToUnit(ny);
#endif
}

#if defined(ZARN_INLINE_SINES)
/** A point as the spans pass it from step to step: (x, y) as a pair (x in the low lane) where
 *  the sines are in registers, two doubles elsewhere. */
using StepPoint = __m128d;
[[gnu::always_inline]] inline StepPoint makeStepPoint(double x, double y) {
    return _mm_set_pd(y, x);
}
[[gnu::always_inline]] inline double pointX(StepPoint p) {
    return _mm_cvtsd_f64(p);
}
[[gnu::always_inline]] inline double pointY(StepPoint p) {
    return _mm_cvtsd_f64(_mm_unpackhi_pd(p, p));
}
#else
struct StepPoint {
    double x;
    double y;
};
[[gnu::always_inline]] inline StepPoint makeStepPoint(double x, double y) {
    return {x, y};
}
[[gnu::always_inline]] inline double pointX(StepPoint p) {
    return p.x;
}
[[gnu::always_inline]] inline double pointY(StepPoint p) {
    return p.y;
}
#endif

#if defined(ZARN_INLINE_SINES) && defined(__AVX512F__)
/** Where lane @p n of the detailed step's batch (the x angles, then the y angles, then zeros)
 *  lies among its pairs (x k, y k) of depth D: x k at 2k, y k at 2k + 1, and a zero in the
 *  eighth pair, which no depth fills. */
template <int D, int N>
inline constexpr int AngleLane = [] {
    constexpr int filled = D > 1 ? D : 1;
    return N < filled ? 2 * N : (N < 2 * filled ? 2 * (N - filled) + 1 : 15);
}();
#endif

/**
 * squareDetailed of depth D (0 to kMaxDepth) without the state cleaning, to inline into a loop,
 * on the point as the spans pass it from step to step: where the fold leaves a pair, the angles
 * start from it as it is, without taking it apart and putting it together again on the way
 * from one step's sums to the next step's sines. With the depth known when compiling, the loops
 * unroll, the angles and sines stay out of memory's way and the products are scheduled beside
 * the sums: about a quarter less time a step than one loop for every depth, with the same
 * operations in the same order.
 */
template <int D>
[[gnu::always_inline]] inline void detailedStepOf(StepPoint& point, const square::CoefGrid& coef,
                                                  double emm, double offX, double offY,
                                                  double twoPi, const square::DetailTables& t) {
    static_assert(D >= 0 && D <= square::kMaxDepth);
    const double x = pointX(point);
    const double y = pointY(point);
    constexpr int filled = D > 1 ? D : 1;
    // One batch: the x angles, then the y angles, built in locals (the scratch tables are
    // written afterwards, off the step's critical path).
    constexpr int room = paddedCount(2 * filled);
    double arg[room];
    double s[room];
    double c[room];
#if defined(ZARN_INLINE_SINES) && defined(__AVX512F__)
    {
        // The angles as pairs (x k, y k), each the last plus the first as one at a time, put in
        // the batch's order by one permutation a vector. Built in memory, they were written
        // one by one and read back eight at a time, which waits for the writes to finish.
        using Pair = double __attribute__((vector_size(16)));
        using Eight = double __attribute__((vector_size(64)));
        const Pair first = reinterpret_cast<Pair>(point) * twoPi;
        Pair pairs[8] = {};
        pairs[0] = first;
        // Each order the last plus the first, rounded. For the third to the fifth that is the
        // first times 3, 4 and 5, rounded once, which need not wait for the orders before
        // them: the second is exact, so the third rounds the exact 3 first once; the fourth is
        // exactly 4 first (the third lies within half a unit of 4 first's last place, and
        // where exactly half, 4 first's last bit is even, as the first's is then); so the
        // fifth rounds the exact 5 first once.
#pragma GCC unroll 16
        for (int k = 1; k < D; ++k) {
            pairs[k] = k >= 2 && k <= 4 ? first * static_cast<double>(k + 1) : pairs[k - 1] + first;
        }
        const auto quad = [&](int k) {
            return __builtin_shufflevector(pairs[k], pairs[k + 1], 0, 1, 2, 3);
        };
        const Eight low = __builtin_shufflevector(quad(0), quad(2), 0, 1, 2, 3, 4, 5, 6, 7);
        const Eight high = __builtin_shufflevector(quad(4), quad(6), 0, 1, 2, 3, 4, 5, 6, 7);
        __m512d batch[room / 8];
        batch[0] = reinterpret_cast<__m512d>(__builtin_shufflevector(
            low, high, AngleLane<D, 0>, AngleLane<D, 1>, AngleLane<D, 2>, AngleLane<D, 3>,
            AngleLane<D, 4>, AngleLane<D, 5>, AngleLane<D, 6>, AngleLane<D, 7>));
        if constexpr (room > 8) {
            batch[1] = reinterpret_cast<__m512d>(__builtin_shufflevector(
                low, high, AngleLane<D, 8>, AngleLane<D, 9>, AngleLane<D, 10>, AngleLane<D, 11>,
                AngleLane<D, 12>, AngleLane<D, 13>, AngleLane<D, 14>, AngleLane<D, 15>));
        }
        // Eight at a time in registers, each half with the reduction the four-lane form
        // below selects for it: the same bits from fewer vectors.
#pragma GCC unroll 4
        for (int k = 0; k < room / 8; ++k) {
            __m512d sines;
            __m512d cosines;
            inline_sines::sinCos8Select(batch[k], sines, cosines);
            _mm512_storeu_pd(s + 8 * k, sines);
            _mm512_storeu_pd(c + 8 * k, cosines);
            _mm512_storeu_pd(arg + 8 * k, batch[k]);
        }
    }
#else
    const double ax0 = twoPi * x;
    const double ay0 = twoPi * y;
    arg[0] = ax0;
    arg[filled] = ay0;
    // The third to fifth orders as products of the first, the same values (as above).
#pragma GCC unroll 16
    for (int k = 1; k < D; ++k) {
        const bool product = k >= 2 && k <= 4;
        arg[k] = product ? ax0 * static_cast<double>(k + 1) : arg[k - 1] + ax0;
        arg[filled + k] = product ? ay0 * static_cast<double>(k + 1) : arg[filled + k - 1] + ay0;
    }
    zeroTail(arg, 2 * filled);
#if defined(ZARN_INLINE_SINES)
    // In registers four at a time, with the reduction selected instead of branched on: the
    // angles run to 6·2π·x, so whether a vector passes 15 changes from step to step, and every
    // mispredicted branch cost the chain more than the second reduction does.
    for (int k = 0; k < 2 * filled; k += 4) {
        __m256d sines;
        __m256d cosines;
        inline_sines::sinCos4<inline_sines::Known::Nothing, inline_sines::Choice::Select>(
            _mm256_loadu_pd(arg + k), sines, cosines);
        _mm256_storeu_pd(s + k, sines);
        _mm256_storeu_pd(c + k, cosines);
    }
#else
    sinCos(arg, s, c, 2 * filled);
#endif
#endif

    const double* sinX = s;
    const double* cosX = c;
    const double* sinY = s + filled;
    const double* cosY = c + filled;
    double nx = emm * x + offX;
    double ny = emm * y + offY;
#pragma GCC unroll 16
    for (int i = 0; i < D; ++i) {
#pragma GCC unroll 16
        for (int j = 0; j < D; ++j) {
            const double cij = coef[i][j];
            nx += sinX[i] * cij * cosY[j];
            ny += sinY[i] * cij * cosX[j];
        }
    }
#pragma GCC unroll 16
    for (int k = 0; k < filled; ++k) {
        t.angleX[k] = arg[k];
        t.angleY[k] = arg[filled + k];
        t.sinX[k] = sinX[k];
        t.cosX[k] = cosX[k];
        t.sinY[k] = sinY[k];
        t.cosY[k] = cosY[k];
    }
#if defined(ZARN_INLINE_SINES)
    // Both at once with masks: which side of the torus a coordinate leaves by is no more
    // predictable than the sums, and a branch mispredicted at the end of the chain delays the
    // next step.
    point = foldPairToUnit(_mm_set_pd(ny, nx));
#else
    point = {foldToUnit(nx), foldToUnit(ny)};
#endif
}

/** The detailed step of depth D on a point held as two doubles. */
template <int D>
[[gnu::always_inline]] inline void
detailedStepInline(double& x, double& y, const square::CoefGrid& coef, double emm, double offX,
                   double offY, double twoPi, const square::DetailTables& t) {
    StepPoint point = makeStepPoint(x, y);
    detailedStepOf<D>(point, coef, emm, offX, offY, twoPi, t);
    x = pointX(point);
    y = pointY(point);
}

/** f(std::integral_constant<int, D>{}) for the one D of @p depths that equals @p d. */
template <typename F, int... Depths>
void withDepthAmong(int d, F&& f, std::integer_sequence<int, Depths...> /*depths*/) {
    static_cast<void>(
        ((d == Depths ? (f(std::integral_constant<int, Depths>{}), true) : false) || ...));
}

/** f(std::integral_constant<int, D>{}) for D = @p depth, clamped to 0..kMaxDepth (as the
 *  detailed step takes a depth from a dialog or a file). */
template <typename F> void withDepth(int depth, F&& f) {
    const int d = depth <= 0 ? 0 : (depth >= square::kMaxDepth ? square::kMaxDepth : depth);
    withDepthAmong(d, f, std::make_integer_sequence<int, square::kMaxDepth + 1>{});
}

/** The steps of a span: @p step advances (x, y) by one folded step. The cells are counted in
 *  batches: each step only notes its cell, and the notes are added every kBatch steps, where
 *  the loads of the counts run side by side instead of one by one within the chain of steps. */
template <typename Step> inline void runSpan(StepSpan& span, Step&& step) {
    constexpr std::uint32_t kBatch = 64;
    const auto side = static_cast<double>(span.side);
    const double cellLimit = span.cellLimit;
    std::uint32_t* const cells = span.cells;
    const std::size_t stride = span.stride;
    std::uint32_t maxCount = span.maxCount;
    std::uint32_t done = 0;
    int cellX = span.cellX;
    int cellY = span.cellY;
    // Read once: the notes' additions write to the span, so the compiler would read these
    // again at every step.
    const std::uint32_t steps = span.steps;
    const bool count = span.count;
    const std::atomic<bool>& stop = *span.stop;
    std::size_t noted[kBatch];
    std::uint32_t notes = 0;
    const auto addNotes = [&] {
        for (std::uint32_t k = 0; k < notes; ++k) {
            const std::size_t at = noted[k];
            const std::uint32_t now = ++cells[at];
            maxCount = now > maxCount ? now : maxCount;
            if (now == 1 && span.touched != nullptr) {
                // Only the counted cells (not the margin) make the quilt's distinct count.
                const std::size_t row = at / stride;
                const std::size_t column = at - row * stride;
                const bool counted = row < span.side && column < span.side;
                noteFirstHit(span.firstHits, span.firstHitRoom, span.firstHitCount, at, counted);
                const std::atomic_ref<std::uint8_t> flag(span.touched[at]);
                if (counted && flag.load(std::memory_order_relaxed) == 0 &&
                    flag.exchange(1, std::memory_order_relaxed) == 0) {
                    ++span.newCells;
                }
            }
        }
        notes = 0;
    };
    const auto note = [&](int column, int row) {
        cellX = column;
        cellY = row;
        noted[notes++] = static_cast<std::size_t>(row) * stride + static_cast<std::size_t>(column);
        if (notes == kBatch) {
            addNotes();
        }
    };
#if defined(__AVX__)
    // The point as a pair (x low, y high) from step to step, for a step that takes it so; the
    // bounds test and the cell of both coordinates at once, the same comparisons and
    // truncations as one at a time.
    __m128d point = _mm_set_pd(span.y, span.x);
    const __m128d lowest = _mm_setzero_pd();
    const __m128d limit = _mm_set1_pd(cellLimit);
    const __m128d scale = _mm_set1_pd(side);
    while (done < steps) {
        if constexpr (requires { step(point); }) {
            step(point);
        } else {
            double x = _mm_cvtsd_f64(point);
            double y = _mm_cvtsd_f64(_mm_unpackhi_pd(point, point));
            step(x, y);
            point = _mm_set_pd(y, x);
        }
        ++done;
        const __m128d inside =
            _mm_and_pd(_mm_cmp_pd(point, lowest, _CMP_GE_OQ), _mm_cmp_pd(point, limit, _CMP_LT_OQ));
        if (_mm_movemask_pd(inside) != 3) {
            span.invalid = true;
            break;
        }
        if (count) {
            const __m128i cell = _mm_cvttpd_epi32(_mm_mul_pd(point, scale));
            note(_mm_cvtsi128_si32(cell), _mm_extract_epi32(cell, 1));
        }
        if (stop.load(std::memory_order_relaxed)) {
            break;
        }
    }
    addNotes();
    span.x = _mm_cvtsd_f64(point);
    span.y = _mm_cvtsd_f64(_mm_unpackhi_pd(point, point));
#else
    double x = span.x;
    double y = span.y;
    while (done < steps) {
        step(x, y);
        ++done;
        if (!(x >= 0.0 && x < cellLimit && y >= 0.0 && y < cellLimit)) {
            span.invalid = true;
            break;
        }
        if (count) {
            note(static_cast<int>(x * side), static_cast<int>(y * side));
        }
        if (stop.load(std::memory_order_relaxed)) {
            break;
        }
    }
    addNotes();
    span.x = x;
    span.y = y;
#endif
    span.maxCount = maxCount;
    span.done = done;
    span.cellX = cellX;
    span.cellY = cellY;
}

/**
 * A span of plain square steps: @p setOf(x, y) gives each step's coefficients as a
 * PlainStepSet (it may update what @p emm refers to); the point goes from step to step as a
 * pair where the sines are in registers.
 */
template <typename SetOf>
inline void runPlainSpan(StepSpan& span, SetOf&& setOf, const double& emm, double offX, double offY,
                         double twoPi) {
#if defined(ZARN_INLINE_SINES)
    runSpan(
        span, [&](__m128d & point) __attribute__((always_inline)) {
            const PlainStepSet& set =
                setOf(_mm_cvtsd_f64(point), _mm_cvtsd_f64(_mm_unpackhi_pd(point, point)));
            plainStepPair(point, set, emm, offX, offY, twoPi);
        });
#else
    runSpan(
        span, [&](double& x, double& y) __attribute__((always_inline)) {
            const PlainStepSet& set = setOf(x, y);
            plainStepInline(x, y, set, emm, offX, offY, twoPi);
        });
#endif
}

} // namespace

void squarePlain(double& x, double& y, const square::PlainSet& k, double emm, double offX,
                 double offY, double twoPi) {
    cleanUpperState();
    plainStepInline(x, y, k, emm, offX, offY, twoPi);
}

void squareDetailed(double& x, double& y, const square::CoefGrid& coef, int depth, double emm,
                    double offX, double offY, double twoPi, const square::DetailTables& t) {
    cleanUpperState();
    withDepth(depth,
              [&](auto d) { detailedStepInline<d.value>(x, y, coef, emm, offX, offY, twoPi, t); });
}

void squareSpan(SqrMap& m, StepSpan& span) {
    cleanUpperState();
    if (m.detail == 1) {
        const square::DetailTables t{m.angleX, m.angleY, m.sinX, m.cosY, m.sinY, m.cosX};
        withDepth(m.depth, [&](auto d) {
#if defined(ZARN_INLINE_SINES)
            runSpan(span, [&](StepPoint& point) {
                detailedStepOf<d.value>(point, m.coef, m.emm, m.offX, m.offY, m.twoPi, t);
            });
#else
            runSpan(span, [&](double& x, double& y) {
                detailedStepInline<d.value>(x, y, m.coef, m.emm, m.offX, m.offY, m.twoPi, t);
            });
#endif
        });
    } else {
        const PlainStepSet k(m.plainSet());
        const double emm = m.emm;
        const double offX = m.offX;
        const double offY = m.offY;
        const double twoPi = m.twoPi;
        runPlainSpan(
            span, [&k](double, double) -> const PlainStepSet& { return k; }, emm, offX, offY,
            twoPi);
    }
}

void octFourSpan(New84& m, StepSpan& span) {
    cleanUpperState();
    // The region test picks the set of every step, as New84::StepFrom does.
    if (m.detail != 0) {
        const square::CoefGrid second = square::coefGridOf(m.coef2);
        const square::DetailTables t{m.angleX, m.angleY, m.sinX, m.cosY, m.sinY, m.cosX};
        withDepth(m.depth, [&](auto d) {
#if defined(ZARN_INLINE_SINES)
            runSpan(span, [&](StepPoint& point) {
                const square::CoefGrid& coef =
                    m.UsesFirstSet(pointX(point), pointY(point)) ? m.coef : second;
                detailedStepOf<d.value>(point, coef, m.emm, m.offX, m.offY, m.twoPi, t);
            });
#else
            runSpan(span, [&](double& x, double& y) {
                const square::CoefGrid& coef = m.UsesFirstSet(x, y) ? m.coef : second;
                detailedStepInline<d.value>(x, y, coef, m.emm, m.offX, m.offY, m.twoPi, t);
            });
#endif
        });
    } else {
        const PlainStepSet sets[2] = {PlainStepSet(m.secondSet()), PlainStepSet(m.plainSet())};
        const double emm = m.emm;
        const double offX = m.offX;
        const double offY = m.offY;
        const double twoPi = m.twoPi;
        runPlainSpan(
            span,
            [&](double x, double y) -> const PlainStepSet& {
                return sets[m.UsesFirstSet(x, y) ? 1 : 0];
            },
            emm, offX, offY, twoPi);
    }
}

void squaretSpan(SqrMapt& m, StepSpan& span) {
    cleanUpperState();
    const square::DetailTables t{m.angleX, m.angleY, m.sinX, m.cosY, m.sinY, m.cosX};
    // Every step reads the clock, but the blend only changes with the time the clock gives (a
    // simulated second is 100,000 steps), so a step blends again only at a new time; the first
    // step of the span always blends, as the sets may have changed since the last span. The
    // blend does not depend on the point: it runs beside the previous step's sines. It changes
    // neither the form nor the depth, so both are chosen once for the span.
    bool blended = false;
    std::time_t blendedAt = 0;
    // Whether the step blended anew.
    const auto blendForStep = [&]() __attribute__((always_inline)) {
        const std::time_t now = m.TickClock();
        if (blended && now == blendedAt) {
            return false;
        }
        m.BlendFor(now);
        blendedAt = now;
        blended = true;
        return true;
    };
    if (m.detail != 0) {
        square::CoefGrid coef{};
        withDepth(m.depth, [&](auto d) {
#if defined(ZARN_INLINE_SINES)
            runSpan(span, [&](StepPoint& point) {
                if (blendForStep()) {
                    coef = square::coefGridOf(m.matrixNow);
                }
                detailedStepOf<d.value>(point, coef, m.emmNow, m.offX, m.offY, m.twoPi, t);
            });
#else
            runSpan(span, [&](double& x, double& y) {
                if (blendForStep()) {
                    coef = square::coefGridOf(m.matrixNow);
                }
                detailedStepInline<d.value>(x, y, coef, m.emmNow, m.offX, m.offY, m.twoPi, t);
            });
#endif
        });
    } else {
        // The blend sets the step's coefficients and emm.
        PlainStepSet now(m.nowSet());
        runPlainSpan(
            span,
            [&](double, double) -> const PlainStepSet& {
                if (blendForStep()) {
                    now = PlainStepSet(m.nowSet());
                }
                return now;
            },
            m.emmNow, m.offX, m.offY, m.twoPi);
    }
}

MapPoint expA(MapExpA& m, double px, double py) {
    cleanUpperState();
    constexpr int side = MapExpA::kSide;
    m.cx = px - 0.5;
    m.cy = py - 0.5;
    const double cx = m.cx;
    const double cy = m.cy;
    const double twoPi = m.twoPi;

    // The 128 sines do not depend on each other: one batch, then the sum in the row, column,
    // first-wave-then-second order. (Overlapping the sum with the sines, as the maps' kernels
    // do, measured slower here, with the sines called and with them in registers alike.)
    double s[2 * side * side];
    int k = 0;
    for (int r = 0; r < side; ++r) {
        for (int c = 0; c < side; ++c) {
            s[k++] = twoPi * (m.waveY1[r][c] * cy + m.waveX1[r][c] * cx);
            s[k++] = twoPi * (m.waveY2[r][c] * cy + m.waveX2[r][c] * cx);
        }
    }
    double sx = 0.0;
    double sy = 0.0;
    sinesInPlace(s, 2 * side * side);
    k = 0;
    for (int r = 0; r < side; ++r) {
        for (int c = 0; c < side; ++c) {
            const double s1 = s[k++];
            sx += s1 * m.ampX1[r][c];
            sy += s1 * m.ampY1[r][c];
            const double s2 = s[k++];
            sx += s2 * m.ampX2[r][c];
            sy += s2 * m.ampY2[r][c];
        }
    }
    m.sumX = sx + 0.5;
    m.sumY = sy + 0.5;
    m.outX = foldToUnit(m.sumX);
    m.outY = foldToUnit(m.sumY);
    return {m.outX, m.outY};
}

void sines(double* v, int n) {
    constexpr int chunk = 64;
    double buffer[chunk];
    for (int start = 0; start < n; start += chunk) {
        const int count = n - start < chunk ? n - start : chunk;
        for (int k = 0; k < count; ++k) {
            buffer[k] = v[start + k];
        }
        zeroTail(buffer, count);
        sinesInPlace(buffer, count);
        for (int k = 0; k < count; ++k) {
            v[start + k] = buffer[k];
        }
    }
}

#if defined(ZARN_INLINE_SINES) && !defined(__AVX512F__)
void sinesOfFour(double* v) {
    _mm256_storeu_pd(v, inline_sines::sin4(_mm256_loadu_pd(v)));
}

void sinesOfMany(double* v, int n) {
    for (int k = 0; k < n; k += 4) {
        _mm256_storeu_pd(v + k, inline_sines::sin4(_mm256_loadu_pd(v + k)));
    }
}

void sinCosOfFour(const double* a, double* s, double* c) {
    __m256d sines;
    __m256d cosines;
    inline_sines::sinCos4(_mm256_loadu_pd(a), sines, cosines);
    _mm256_storeu_pd(s, sines);
    _mm256_storeu_pd(c, cosines);
}
#endif

extern const EngineKernels kEngineKernels;
const EngineKernels kEngineKernels{squarePlain, squareDetailed, expA,       sines,
                                   squareSpan,  octFourSpan,    squaretSpan};

} // namespace zarn::ZARN_ISA_NS
