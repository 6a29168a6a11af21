// Each family's step against a naive scalar transcription of it, in one binary and one run: a
// plain loop with std::sin and a grid add, written the way ../shared/bench/ref_steps.cpp writes
// the plain square. BM_Pair<Family>/map:0 is the naive form, /map:1 the program's own step
// (the same map, fold and a hit in a QuiltMap), /map:2 for the square the span the worker runs.
// Compare the rows of one run, e.g. with
//   zarn_bench --benchmark_filter=BM_Pair --benchmark_enable_random_interleaving=true
//              --benchmark_repetitions=5 --benchmark_report_aggregates_only=true

#include "engine/MapExpA.h"
#include "engine/QuiltMap.h"
#include "engine/RandomSource.h"
#include "engine/SqrMap.h"
#include "engine/StepKernels.h"
#include "engine/Torus.h"
#include "maps/DuoMap.h"
#include "maps/HexMap.h"
#include "maps/Multivector.h"
#include "maps/WildCornerMap.h"

#include <benchmark/benchmark.h>

#include <atomic>
#include <cmath>
#include <cstdint>
#include <vector>

namespace {

using namespace zarn;

constexpr int kGridSide = 250;

// --- The naive side: its own fold and grid, as in ref_steps.cpp

double naiveFold(double v) {
    if (v > 1) {
        return v - static_cast<double>(static_cast<long long>(v));
    }
    if (v < 0) {
        return v + 1 - static_cast<double>(static_cast<long long>(v));
    }
    return v;
}

struct NaiveGrid {
    int n;
    std::vector<std::uint32_t> c;
    std::uint32_t mx = 0;
    explicit NaiveGrid(int side)
        : n(side), c(static_cast<std::size_t>((side + 10) * (side + 10))) {}
    void add(double x, double y) {
        const auto r = static_cast<std::size_t>(y * n);
        const auto col = static_cast<std::size_t>(x * n);
        const std::uint32_t v = ++c[r * static_cast<std::size_t>(n + 10) + col];
        if (v > mx) {
            mx = v;
        }
    }
};

/** The program's side: fold onto the torus and count the hit the way the driver does. */
struct ProgramGrid {
    QuiltMap grid;
    ProgramGrid() { grid.BuildSize(kGridSide); }
    void add(double x, double y) {
        grid.AddHit(static_cast<int>(y * kGridSide), static_cast<int>(x * kGridSide));
    }
};

template <typename Naive, typename Program>
void runPair(benchmark::State& state, Naive naiveStep, Program programStep) {
    if (state.range(0) != 0) {
        ProgramGrid real;
        for (auto _ : state) {
            programStep(real);
        }
        benchmark::DoNotOptimize(real.grid.maxCount);
    } else {
        NaiveGrid naive(kGridSide);
        for (auto _ : state) {
            naiveStep(naive);
        }
        benchmark::DoNotOptimize(naive.mx);
    }
    state.SetItemsProcessed(state.iterations());
}

/** A square map with coefficients in the drawing ranges, emm 1 and offsets 1/2 (set directly,
 *  so that no C library generator is involved). */
SqrMap squareFrom(double seed) {
    RandomSource rnd;
    rnd.SeedFrom(seed);
    SqrMap m;
    m.lambda = 0.4 * rnd.Uniform() - 0.2;
    m.alpha = 0.8 * rnd.Uniform() - 0.4;
    m.beta = 0.8 * rnd.Uniform() - 0.6;
    m.gamma = 0.161 * rnd.Uniform() - 0.05;
    m.omega = 0.02 * rnd.Uniform() - 0.01;
    m.emm = 1.0;
    m.offX = m.offY = 0.5;
    for (auto& row : m.coef) {
        for (double& c : row) {
            c = 0.8 * rnd.Uniform() - 0.4;
        }
    }
    return m;
}

// --- Plain and detailed square

/** The plain square (ten sines and cosines) or the detailed square of depth 6 (24). */
void squarePair(benchmark::State& state, bool detailed) {
    SqrMap m = squareFrom(detailed ? 0.2049 : 0.1025);
    m.depth = 6;
    m.detail = detailed ? 1 : 0;
    double x = 0.1;
    double y = 0.2;
    const double t = 6.283185307;
    auto plain = [&]() {
        const double X1 = t * x, X2 = X1 + X1, X3 = X2 + X1, Y1 = t * y, Y2 = Y1 + Y1, Y3 = Y2 + Y1;
        const double sx1 = std::sin(X1), cy1 = std::cos(Y1), sx2 = std::sin(X2), sx3 = std::sin(X3),
                     cy2 = std::cos(Y2), sy1 = std::sin(Y1), cx1 = std::cos(X1), sy2 = std::sin(Y2),
                     sy3 = std::sin(Y3), cx2 = std::cos(X2);
        const double nx = m.lambda * sx1 + m.alpha * sx1 * cy1 + m.beta * sx2 +
                          m.gamma * sx3 * cy2 - m.omega * sy1 + m.offX + m.emm * x;
        const double ny = m.lambda * sy1 + m.alpha * sy1 * cx1 + m.beta * sy2 +
                          m.gamma * sy3 * cx2 - m.omega * sx1 + m.offY + m.emm * y;
        x = naiveFold(nx);
        y = naiveFold(ny);
    };
    auto fourier = [&]() {
        double ax[6], ay[6], sX[6], cX[6], sY[6], cY[6];
        ax[0] = t * x;
        ay[0] = t * y;
        sX[0] = std::sin(ax[0]);
        cX[0] = std::cos(ax[0]);
        sY[0] = std::sin(ay[0]);
        cY[0] = std::cos(ay[0]);
        for (int k = 1; k < 6; k++) {
            ax[k] = ax[k - 1] + ax[0];
            ay[k] = ay[k - 1] + ay[0];
            sX[k] = std::sin(ax[k]);
            cX[k] = std::cos(ax[k]);
            sY[k] = std::sin(ay[k]);
            cY[k] = std::cos(ay[k]);
        }
        double nx = m.emm * x + m.offX, ny = m.emm * y + m.offY;
        for (int a = 0; a < 6; a++) {
            for (int b = 0; b < 6; b++) {
                nx += sX[a] * m.coef[a][b] * cY[b];
                ny += sY[a] * m.coef[a][b] * cX[b];
            }
        }
        x = naiveFold(nx);
        y = naiveFold(ny);
    };
    auto naive = [&](NaiveGrid& grid) {
        detailed ? fourier() : plain();
        grid.add(x, y);
    };
    auto program = [&](ProgramGrid& grid) {
        m.x = x;
        m.y = y;
        detailed ? m.StepDetailed() : m.Step();
        x = m.x;
        y = m.y;
        grid.add(x, y);
    };
    if (state.range(0) == 2) {
        // What the worker runs: spans of steps in the running machine's code.
        ProgramGrid real;
        const std::atomic<bool> stop{false};
        StepSpan span;
        span.cells = real.grid.CellData();
        span.stride = real.grid.IndexOf(1, 0);
        span.side = kGridSide;
        span.cellLimit = (kGridSide + QuiltMap::kMargin - 1.0) / kGridSide;
        span.stop = &stop;
        span.count = true;
        span.x = x;
        span.y = y;
        std::int64_t steps = 0;
        for (auto _ : state) {
            span.steps = 4096;
            m.RunSpan(span);
            steps += span.done;
        }
        benchmark::DoNotOptimize(span.maxCount);
        state.SetItemsProcessed(steps);
        return;
    }
    runPair(state, naive, program);
}

void BM_PairPlainSquare(benchmark::State& state) {
    squarePair(state, false);
}

void BM_PairDetailedSquare(benchmark::State& state) {
    squarePair(state, true);
}

// --- ExpA: 128 sines

void BM_PairExpA(benchmark::State& state) {
    RandomSource rnd;
    rnd.SeedFrom(0.333);
    MapExpA m;
    m.Randomize(rnd);
    double x = 0.3;
    double y = 0.7;
    auto naive = [&](NaiveGrid& grid) {
        const double cx = x - 0.5, cy = y - 0.5;
        double sx = 0, sy = 0;
        for (int r = 0; r < 8; r++) {
            for (int c = 0; c < 8; c++) {
                const double s1 = std::sin(m.twoPi * (m.waveY1[r][c] * cy + m.waveX1[r][c] * cx));
                sx += s1 * m.ampX1[r][c];
                sy += s1 * m.ampY1[r][c];
                const double s2 = std::sin(m.twoPi * (m.waveY2[r][c] * cy + m.waveX2[r][c] * cx));
                sx += s2 * m.ampX2[r][c];
                sy += s2 * m.ampY2[r][c];
            }
        }
        x = naiveFold(sx + 0.5);
        y = naiveFold(sy + 0.5);
        grid.add(x, y);
    };
    auto program = [&](ProgramGrid& grid) {
        const MapPoint p = m.StepFrom(x, y);
        x = p.x;
        y = p.y;
        grid.add(x, y);
    };
    runPair(state, naive, program);
}

// --- The sphere map: 180 sines

void BM_PairSphere(benchmark::State& state) {
    DuoMap m(4321.0);
    auto naive = [&](NaiveGrid& grid) {
        const double p1 = m.sphere.e1, p2 = m.sphere.e2, p3 = m.sphere.e3;
        double f[8] = {0, 0, 0, 0, 0, 0, 0, 0};
        for (int k = 0; k < DuoMap::kTerms; k++) {
            const Multivector& w = m.waves[k];
            const Multivector& a = m.amps[k];
            const double s = std::sin(w.e2 * p2 + p1 * w.e1 + w.e3 * p3);
            const double terms[8] = {a.scalar, a.e1, a.e2, a.e3, a.e12, a.e13, a.e23, a.e123};
            for (int c = 0; c < 8; c++) {
                const double v = f[c] + s * terms[c];
                f[c] = (v < 0.000001 && v > -0.000001) ? 0.0 : v;
            }
        }
        const double n = norm(Multivector{f[0], f[1], f[2], f[3], f[4], f[5], f[6], f[7]});
        const Multivector scaled = scale(n, {f[0], f[1], f[2], f[3], f[4], f[5], f[6], f[7]});
        m.sphere = normalise(scaled);
        if (m.sphere.e3 >= 0) {
            grid.add(0.5 * m.sphere.e1 + 0.5, 0.5 * m.sphere.e2 + 0.5);
        }
    };
    auto program = [&](ProgramGrid& grid) {
        bool counted = false;
        const DuoPoint p = m.DuoStep(counted);
        if (counted) {
            grid.add(p.x, p.y);
        }
    };
    runPair(state, naive, program);
}

// --- The wild corner, N = 13 and depth 11: 77 sines

void BM_PairWildCorner(benchmark::State& state) {
    RandomSource rnd;
    rnd.SeedFrom(0.5);
    WildCornerMap m(13);
    m.RandomCornerQuilt(13, rnd);
    m.orbitCount = 11;
    double x = rnd.Uniform();
    double y = rnd.Uniform();
    auto naive = [&](NaiveGrid& grid) {
        const double dx = x - 0.5, dy = y - 0.5;
        double sr = 0, si = 0;
        for (int i = 0; i < m.rotationCount; i++) {
            for (int j = 0; j < m.orbitCount; j++) {
                const Complex w = m.cornerWaves[static_cast<std::size_t>(12 * i + j)];
                const Complex c = m.cornerCoefs[static_cast<std::size_t>(12 * i + j)];
                const double s = std::sin(w.re * dx + w.im * dy);
                sr += s * c.re;
                si += s * c.im;
            }
        }
        x = naiveFold(0.5 + sr);
        y = naiveFold(0.5 + si);
        grid.add(x, y);
    };
    auto program = [&](ProgramGrid& grid) {
        const Complex r = m.CornerStep({x, y});
        x = foldToUnit(r.re);
        y = foldToUnit(r.im);
        grid.add(x, y);
    };
    runPair(state, naive, program);
}

// --- The detailed hexagonal sum, depth 11: 72 sines (knot mode, torus fold)

void BM_PairDetailedHex(benchmark::State& state) {
    RandomSource rnd;
    rnd.SeedFrom(0.77);
    HexMap m;
    m.detailOn = 1;
    for (int i = 0; i < HexMap::kDetailOrbits; ++i) {
        const double scale = HexMap::kDetailDialogFactor[static_cast<std::size_t>(i)];
        m.SetDetailCoefficient(
            i, {scale * (0.6 * rnd.Uniform() - 0.3), scale * (0.6 * rnd.Uniform() - 0.3)});
    }
    m.SetSize(kGridSide);
    m.detailDepth = 11;
    double u = 0.3;
    double v = 0.6;
    auto naive = [&](NaiveGrid& grid) {
        const double zx = u + v / 2, zy = v * m.c30;
        double sr = 0, si = 0;
        for (int i = 0; i < 12; i++) {
            for (int g = 0; g < 6; g++) {
                const Complex w = m.detailWaves[g][i];
                const Complex c = m.detailCoefs[g][i];
                const double s = std::sin(w.re * zx + w.im * zy);
                sr += s * c.re;
                si += s * c.im;
            }
        }
        const double lv = si * m.invC30;
        u = naiveFold(sr - lv * 0.5);
        v = naiveFold(lv);
        grid.add(u, v);
    };
    auto program = [&](ProgramGrid& grid) {
        const Complex r = m.KnotStep({u + v / 2, v * m.c30});
        u = foldToUnit(r.re);
        v = foldToUnit(r.im);
        grid.add(u, v);
    };
    runPair(state, naive, program);
}

} // namespace

// map:2, the square families only: the span the worker runs (4096 steps an iteration).
BENCHMARK(BM_PairPlainSquare)->ArgName("map")->Arg(0)->Arg(1)->Arg(2);
BENCHMARK(BM_PairDetailedSquare)->ArgName("map")->Arg(0)->Arg(1)->Arg(2);
BENCHMARK(BM_PairExpA)->ArgName("map")->Arg(0)->Arg(1);
BENCHMARK(BM_PairSphere)->ArgName("map")->Arg(0)->Arg(1);
BENCHMARK(BM_PairWildCorner)->ArgName("map")->Arg(0)->Arg(1);
BENCHMARK(BM_PairDetailedHex)->ArgName("map")->Arg(0)->Arg(1);
