// The further families' hot steps, compiled once per instruction-set level
// (zarn_add_isa_variants). Every definition here lives in zarn::ZARN_ISA_NS; the table at the end
// is what MapKernelsDispatch.cpp hands out. Sums, their order and the constants follow
// docs/maps.md exactly; only the sines (and TWsq's cosines and hyperbolic functions) come in
// batches.

#include "MapKernels.h"
#include "DuoMap.h"
#include "HexMap.h"
#include "Multivector.h"
#include "TwsqMap.h"
#include "WildCornerMap.h"
#include "engine/VectorSines.h"

#include <cmath>

namespace zarn::ZARN_ISA_NS {

Complex hexPlainSum(HexMap& m, Complex z) {
    cleanUpperState();
    // Orbit order in the batch: lambda, hAlpha, alpha, conj alpha; three sines each.
    const std::array<Complex, 3>* const orbits[4] = {&m.waveLambda, &m.waveH, &m.waveAlpha,
                                                     &m.waveAlphaBar};
    double t[paddedCount(12)];
    for (int o = 0; o < 4; ++o) {
        for (int j = 0; j < 3; ++j) {
            const Complex w = (*orbits[o])[j];
            t[3 * o + j] = (z.re * w.re + z.im * w.im) * m.twoPi;
        }
    }
    zeroTail(t, 12);
    sinesInPlace(t, 12);

    m.accumulator =
        m.lambda * (t[0] * m.waveLambda[0] + t[1] * m.waveLambda[1] + t[2] * m.waveLambda[2]);
    m.accumulator += m.hAlpha * (t[3] * m.waveH[0] + t[4] * m.waveH[1] + t[5] * m.waveH[2]);
    m.accumulator += t[6] * m.alpha + t[7] * m.alphaImages[0] + t[8] * m.alphaImages[1];
    m.sineValues = {Complex{t[9], 0.0}, Complex{t[10], 0.0}, Complex{t[11], 0.0}};
    return t[9] * m.alphaImages[2] + t[10] * m.alphaImages[3] + t[11] * m.alphaImages[4] +
           m.hEmm * z + m.accumulator;
}

Complex hexDetailSum(const HexMap& m, Complex z) {
    cleanUpperState();
    // Slots beyond the last orbit are zero, so capping the depth there changes no sum; it keeps
    // a depth from a dialog or a file from indexing past the tables.
    const int last =
        m.detailDepth < HexMap::kDetailOrbits - 1 ? m.detailDepth : HexMap::kDetailOrbits - 1;
    double s[paddedCount(6 * HexMap::kDetailOrbits)];
    int n = 0;
    for (int i = 0; i <= last; ++i) {
        for (int g = 0; g < 6; ++g) {
            s[n++] = dot(m.detailWaves[g][i], z);
        }
    }
    zeroTail(s, n);
    // sum += sine · coefficient in orbit order, one component at a time in plain locals, which
    // keeps the two running sums in registers.
    double re = 0.0;
    double im = 0.0;
    sinesStreamed(s, n, [&](int k) {
        const Complex c = m.detailCoefs[k % 6][k / 6];
        re += s[k] * c.re;
        im += s[k] * c.im;
    });
    return {re, im};
}

namespace {

/** |x + iy| scaled by the larger part, so that squaring cannot overflow or underflow. */
double scaledModulus(double x, double y) {
    double big = std::fabs(x);
    double small = std::fabs(y);
    if (big < small) {
        const double t = big;
        big = small;
        small = t;
    }
    if (big == 0.0) {
        return 0.0;
    }
    const double q = small / big;
    return big * std::sqrt(1.0 + q * q);
}

/** Smith's division: divides by the larger component of the denominator first, which keeps the
 *  intermediate products in range. */
Complex smithDivide(Complex num, Complex den) {
    if (std::fabs(den.re) >= std::fabs(den.im)) {
        const double ratio = den.im / den.re;
        const double denom = den.re + den.im * ratio;
        return {(num.re + num.im * ratio) / denom, (num.im - num.re * ratio) / denom};
    }
    const double ratio = den.re / den.im;
    const double denom = den.re * ratio + den.im;
    return {(num.re * ratio + num.im) / denom, (num.im * ratio - num.re) / denom};
}

} // namespace

Complex twsqField(const TwsqMap& m, Complex point) {
    cleanUpperState();
    constexpr double kTwoPi = 2.0 * TwsqMap::kPi;
    constexpr double kFourPi = 4.0 * TwsqMap::kPi;
    constexpr double kSixPi = 6.0 * TwsqMap::kPi;

    const double r = scaledModulus(point.re, point.im);
    const double theta = std::atan2(point.im, point.re);
    const Complex unit{std::cos(theta), std::sin(theta)};

    // k·π·r for k = 2, 4, 6: index h stands for the harmonic 2π(h + 1).
    const double scaled[3] = {kTwoPi * r, kFourPi * r, kSixPi * r};
    double xs[3];
    double ys[3];
    Complex mirrored[3];
    for (int h = 0; h < 3; ++h) {
        xs[h] = scaled[h] * unit.re;
        ys[h] = scaled[h] * unit.im;
        mirrored[h] = smithDivide({scaled[h], 0.0}, unit);
    }

    // sin(a + ib) = sin a cosh b + i cos a sinh b. The real parts a are xs and the mirrored
    // arguments' real parts; the imaginary parts b are ys, -ys and the mirrored imaginary parts.
    // The library's sinh is odd and its cosh even, bit for bit (22 million arguments of every
    // size, zeros and infinities compared when this was written; the golden TWsq quilt fails if
    // it stops holding), so those of -ys are those of ys, the sinh negated.
    double a[paddedCount(6)];
    double b[paddedCount(6)];
    for (int h = 0; h < 3; ++h) {
        a[h] = xs[h];
        a[3 + h] = mirrored[h].re;
        b[h] = ys[h];
        b[3 + h] = mirrored[h].im;
    }
    zeroTail(a, 6);
    zeroTail(b, 6);
    double sinA[paddedCount(6)];
    double cosA[paddedCount(6)];
    double sinhB[paddedCount(6)];
    double coshB[paddedCount(6)];
    sinCos(a, sinA, cosA, 6);
    sinhCosh(b, sinhB, coshB, 6);
    // sign -1: the imaginary part's argument negated.
    const auto s = [&](int ai, int bi, double sign = 1.0) {
        return Complex{sinA[ai] * coshB[bi], cosA[ai] * (sign * sinhB[bi])};
    };

    // p[a][b] = s(2π(a+1)x, 2π(b+1)y) and q[a][b] = s(2π(a+1)x, -2π(b+1)y); the diagonal q
    // takes the mirrored argument.
    Complex p[3][3];
    Complex q[3][3];
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) {
            p[i][j] = s(i, j);
            q[i][j] = i == j ? s(3 + i, 3 + i) : s(i, j, -1.0);
        }
    }

    const double c11 = m.Coef(1, 1);
    const double c12 = m.Coef(1, 2);
    const double c13 = m.Coef(1, 3);
    const double c21 = m.Coef(2, 1);
    const double c22 = m.Coef(2, 2);
    const double c23 = m.Coef(2, 3);
    const double c31 = m.Coef(3, 1);
    const double c32 = m.Coef(3, 2);
    const double c33 = m.Coef(3, 3);

    // The two passes add up to c(m,n)[(m+n) s(2πn x, 2πm y) + (m-n) s(2πm x, -2πn y)] per
    // coefficient; their split and order are part of the map's numeric identity.
    Complex first{};
    first += c11 * (p[0][0] + q[0][0]);
    first += c12 * (q[0][1] + 2.0 * p[1][0]);
    first += c13 * (q[0][2] + 3.0 * p[2][0]);
    first += c21 * (p[0][1] + 2.0 * q[1][0]);
    first += (2.0 * c22) * (p[1][1] + q[1][1]);
    first += c23 * (2.0 * q[1][2] + 3.0 * p[2][1]);
    first += c31 * (p[0][2] + 3.0 * q[2][0]);
    first += c32 * (2.0 * p[1][2] + 3.0 * q[2][1]);
    first += (3.0 * c33) * (p[2][2] + q[2][2]);

    Complex second{};
    second += c11 * (p[0][0] - q[0][0]);
    second += c12 * (p[1][0] - 2.0 * q[0][1]);
    second += c13 * (p[2][0] - 3.0 * q[0][2]);
    second += c21 * (2.0 * p[0][1] - q[1][0]);
    second += (2.0 * c22) * (p[1][1] - q[1][1]);
    second += c23 * (2.0 * p[2][1] - 3.0 * q[1][2]);
    second += c31 * (3.0 * p[0][2] - q[2][0]);
    second += c32 * (3.0 * p[1][2] - 2.0 * q[2][1]);
    second += (3.0 * c33) * (p[2][2] - q[2][2]);

    return second + first;
}

Complex cornerStep(const WildCornerMap& m, Complex z) {
    cleanUpperState();
    constexpr int harmonics = WildCornerMap::kHarmonics;
    constexpr int maxRows = WildCornerMap::kMaxCornerN / 2 + 1;
    const Complex d = z - m.cornerCentre;
    const int rows = m.rotationCount < maxRows ? m.rotationCount : maxRows;
    const int depth = m.orbitCount < 0 ? 0 : (m.orbitCount > harmonics ? harmonics : m.orbitCount);
    const Complex* waves = m.cornerWaves.data();
    const Complex* coefs = m.cornerCoefs.data();

    // The sines do not depend on each other: gather the phases, evaluate them as one batch,
    // then sum in row-major order.
    double sines[paddedCount(maxRows * harmonics)];
    int count = 0;
    for (int i = 0; i < rows; ++i) {
        const Complex* row = waves + harmonics * i;
        int j = 0;
#if defined(__AVX2__)
        // Four phases at a time: two waves' products with d in a vector, and each wave's two
        // products added as dot() adds them (the real part's first).
        const __m256d dd = _mm256_set_pd(d.im, d.re, d.im, d.re);
        for (; j + 4 <= depth; j += 4) {
            const __m256d first = _mm256_mul_pd(_mm256_loadu_pd(&row[j].re), dd);
            const __m256d second = _mm256_mul_pd(_mm256_loadu_pd(&row[j + 2].re), dd);
            // hadd gives the phases in the order j, j + 2, j + 1, j + 3.
            _mm256_storeu_pd(sines + count,
                             _mm256_permute4x64_pd(_mm256_hadd_pd(first, second), 0xD8));
            count += 4;
        }
#endif
        for (; j < depth; ++j) {
            sines[count++] = dot(row[j], d);
        }
    }
    zeroTail(sines, count);

    // sum += sine · coefficient in row-major order, per component so the sums stay in
    // registers.
    double re = 0.0;
    double im = 0.0;
    sinesInPlace(sines, count);
    for (int i = 0, k = 0; i < rows; ++i) {
        for (int j = 0; j < depth; ++j, ++k) {
            const Complex c = coefs[harmonics * i + j];
            re += sines[k] * c.re;
            im += sines[k] * c.im;
        }
    }
    return m.cornerCentre + Complex{re, im};
}

bool duoAdvance(DuoMap& m) {
    cleanUpperState();
    constexpr int terms = DuoMap::kTerms;
    const Multivector& p = m.sphere;
    // The phases depend only on P, so all 180 sines are taken as one batch before the sum.
    double sines[paddedCount(terms)];
    for (int k = 0; k < terms; ++k) {
        const Multivector& w = m.waves[k];
        sines[k] = w.e2 * p.e2 + p.e1 * w.e1 + w.e3 * p.e3;
    }
    zeroTail(sines, terms);

    // sum = clean(sum + sine · amplitude), term by term: the step's longest chain. The eight
    // components live in two vectors, so the chain stays in registers (an array went to memory).
#if defined(__AVX__)
    const __m256d threshold = _mm256_set1_pd(kCleanThreshold);
    const __m256d signMask = _mm256_set1_pd(-0.0);
    // cleanComponent for four values: |v| < threshold gives +0, anything else (NaN too) is kept.
    const auto cleaned = [&](__m256d v) {
        return _mm256_andnot_pd(_mm256_cmp_pd(_mm256_andnot_pd(signMask, v), threshold, _CMP_LT_OQ),
                                v);
    };
    __m256d low = _mm256_setzero_pd();
    __m256d high = _mm256_setzero_pd();
    sinesStreamed<3>(sines, terms, [&](int k) {
        const Multivector& a = m.amps[k];
        const __m256d sine = _mm256_set1_pd(sines[k]);
        low = cleaned(
            _mm256_add_pd(low, _mm256_mul_pd(sine, _mm256_set_pd(a.e3, a.e2, a.e1, a.scalar))));
        high = cleaned(
            _mm256_add_pd(high, _mm256_mul_pd(sine, _mm256_set_pd(a.e123, a.e23, a.e13, a.e12))));
    });
    alignas(32) double f[8];
    _mm256_store_pd(f, low);
    _mm256_store_pd(f + 4, high);
#else
    double f[8] = {0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0};
    sinesStreamed<3>(sines, terms, [&](int k) {
        const Multivector& a = m.amps[k];
        const double parts[8] = {a.scalar, a.e1, a.e2, a.e3, a.e12, a.e13, a.e23, a.e123};
        for (int c = 0; c < 8; ++c) {
            f[c] = cleanComponent(f[c] + sines[k] * parts[c]);
        }
    });
#endif
    const Multivector sum{f[0], f[1], f[2], f[3], f[4], f[5], f[6], f[7]};

    // normalise(n·F), written out so that a scaled sum whose norm underflows to 0 is replaced
    // like a zero sum instead of becoming the 9999.9999 marker, which would project far outside
    // the unit square.
    const double n = norm(sum);
    const Multivector scaled = scale(n, sum);
    const double len = norm(scaled);
    if (!(n > 0.0 && len > 0.0)) {
        return false;
    }
    m.sphere = scale(1.0 / len, scaled);
    return true;
}

extern const MapKernels kMapKernels;
const MapKernels kMapKernels{hexPlainSum, hexDetailSum, twsqField, cornerStep, duoAdvance};

} // namespace zarn::ZARN_ISA_NS
