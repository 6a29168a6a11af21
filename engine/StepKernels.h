#pragma once

#include "Isa.h"
#include "SqrMap.h"

namespace zarn {

class MapExpA;

/**
 * The hot steps of the engine's families, one table per instruction-set level
 * (engine/EngineKernels.cpp, built by zarn_add_isa_variants). The map classes call the table of
 * the running machine, engineKernels(); tests and benchmarks can ask for a given level.
 *
 * Only the sine and cosine evaluations differ between levels (all at most 1 ulp from the exact
 * value); the sums run in the order of the formulas with the typed constants, unfused.
 */
struct EngineKernels {
    /** square::plainStep: one plain square step of (x, y), folded. */
    void (*squarePlain)(double& x, double& y, const square::PlainSet& k, double emm, double offX,
                        double offY, double twoPi);
    /** square::detailedStep with the coefficient table coef[i][j], folded. */
    void (*squareDetailed)(double& x, double& y, const square::CoefGrid& coef, int depth,
                           double emm, double offX, double offY, double twoPi,
                           const square::DetailTables& t);
    /** MapExpA::StepFrom. */
    MapPoint (*expA)(MapExpA& map, double px, double py);
    /** The batch sine the kernels of this level use: v[k] = sin v[k] for k < n. */
    void (*sines)(double* v, int n);
};

/** The table for activeIsa(). */
const EngineKernels& engineKernels();

/** The table for @p isa, or nullptr when this machine cannot run it or it was not built. */
const EngineKernels* engineKernelsFor(Isa isa);

} // namespace zarn

#if defined(ZARN_ISA_NS)
/**
 * In code built by zarn_add_isa_variants, the kernels of the level being compiled, to call
 * directly (without the table) from a loop built for the same level. They behave as the table
 * entries of the same names describe.
 */
namespace zarn::ZARN_ISA_NS {
void squarePlain(double& x, double& y, const square::PlainSet& k, double emm, double offX,
                 double offY, double twoPi);
void squareDetailed(double& x, double& y, const square::CoefGrid& coef, int depth, double emm,
                    double offX, double offY, double twoPi, const square::DetailTables& t);
MapPoint expA(MapExpA& map, double px, double py);
void sines(double* v, int n);
} // namespace zarn::ZARN_ISA_NS
#endif
