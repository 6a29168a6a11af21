// The engine's hot steps, compiled once per instruction-set level (zarn_add_isa_variants). Every
// definition here lives in zarn::ZARN_ISA_NS; the table at the end is what StepKernels.cpp hands
// out. Sums and constants follow docs/maps.md exactly; only the sines come in batches.

#include "MapExpA.h"
#include "StepKernels.h"
#include "Torus.h"
#include "VectorSines.h"

namespace zarn::ZARN_ISA_NS {

void squarePlain(double& x, double& y, const square::PlainSet& k, double emm, double offX,
                 double offY, double twoPi) {
    cleanUpperState();
    const double x1 = twoPi * x;
    const double x2 = x1 + x1;
    const double x3 = x2 + x1;
    const double y1 = twoPi * y;
    const double y2 = y1 + y1;
    const double y3 = y2 + y1;

#if defined(__AVX2__)
    // Sine and cosine of the first two orders in one vector, the sines of the third in another:
    // two calls whose latencies overlap, built and taken apart in registers.
    const Sleef___m256d_2 sc = Sleef_sincosd4_u10avx2(_mm256_set_pd(y2, y1, x2, x1));
    const __m128d third = Sleef_sind2_u10avx2128(_mm_set_pd(y3, x3));
    const __m128d sinLow = _mm256_castpd256_pd128(sc.x);
    const __m128d sinHigh = _mm256_extractf128_pd(sc.x, 1);
    const __m128d cosLow = _mm256_castpd256_pd128(sc.y);
    const __m128d cosHigh = _mm256_extractf128_pd(sc.y, 1);
    const double sinX1 = _mm_cvtsd_f64(sinLow),
                 sinX2 = _mm_cvtsd_f64(_mm_unpackhi_pd(sinLow, sinLow));
    const double sinY1 = _mm_cvtsd_f64(sinHigh),
                 sinY2 = _mm_cvtsd_f64(_mm_unpackhi_pd(sinHigh, sinHigh));
    const double cosX1 = _mm_cvtsd_f64(cosLow),
                 cosX2 = _mm_cvtsd_f64(_mm_unpackhi_pd(cosLow, cosLow));
    const double cosY1 = _mm_cvtsd_f64(cosHigh),
                 cosY2 = _mm_cvtsd_f64(_mm_unpackhi_pd(cosHigh, cosHigh));
    const double sinX3 = _mm_cvtsd_f64(third), sinY3 = _mm_cvtsd_f64(_mm_unpackhi_pd(third, third));
#else
    alignas(16) double arg[paddedCount(6)] = {x1, x2, y1, y2, x3, y3, 0.0, 0.0};
    double s[paddedCount(6)];
    double c[paddedCount(6)];
    sinCos(arg, s, c, 4);
    sinesInPlace(arg + 4, 2);
    const double sinX1 = s[0], sinX2 = s[1], sinY1 = s[2], sinY2 = s[3];
    const double cosX1 = c[0], cosX2 = c[1], cosY1 = c[2], cosY2 = c[3];
    const double sinX3 = arg[4], sinY3 = arg[5];
#endif

    const double nx = k.lambda * sinX1 + k.alpha * sinX1 * cosY1 + k.beta * sinX2 +
                      k.gamma * sinX3 * cosY2 - k.omega * sinY1 + offX + emm * x;
    const double ny = k.lambda * sinY1 + k.alpha * sinY1 * cosX1 + k.beta * sinY2 +
                      k.gamma * sinY3 * cosX2 - k.omega * sinX1 + offY + emm * y;
    x = foldToUnit(nx);
    y = foldToUnit(ny);
}

void squareDetailed(double& x, double& y, const square::CoefGrid& coef, int depth, double emm,
                    double offX, double offY, double twoPi, const square::DetailTables& t) {
    cleanUpperState();
    const int d = depth < 0 ? 0 : (depth > square::kMaxDepth ? square::kMaxDepth : depth);
    const int filled = d > 1 ? d : 1;
    // One batch: the x angles, then the y angles, built in locals (the scratch tables are
    // written afterwards, off the step's critical path).
    constexpr int room = paddedCount(2 * square::kMaxDepth);
    double arg[room];
    double s[room];
    double c[room];
    const double ax0 = twoPi * x;
    const double ay0 = twoPi * y;
    arg[0] = ax0;
    arg[filled] = ay0;
    for (int k = 1; k < d; ++k) {
        arg[k] = arg[k - 1] + ax0;
        arg[filled + k] = arg[filled + k - 1] + ay0;
    }
    zeroTail(arg, 2 * filled);
    sinCos(arg, s, c, 2 * filled);

    const double* sinX = s;
    const double* cosX = c;
    const double* sinY = s + filled;
    const double* cosY = c + filled;
    double nx = emm * x + offX;
    double ny = emm * y + offY;
    for (int i = 0; i < d; ++i) {
        for (int j = 0; j < d; ++j) {
            const double cij = coef[i][j];
            nx += sinX[i] * cij * cosY[j];
            ny += sinY[i] * cij * cosX[j];
        }
    }
    for (int k = 0; k < filled; ++k) {
        t.angleX[k] = arg[k];
        t.angleY[k] = arg[filled + k];
        t.sinX[k] = sinX[k];
        t.cosX[k] = cosX[k];
        t.sinY[k] = sinY[k];
        t.cosY[k] = cosY[k];
    }
    x = foldToUnit(nx);
    y = foldToUnit(ny);
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
    // do, measured slower here: the two running sums would cross 32 calls.)
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

extern const EngineKernels kEngineKernels;
const EngineKernels kEngineKernels{squarePlain, squareDetailed, expA, sines};

} // namespace zarn::ZARN_ISA_NS
