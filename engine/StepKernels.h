#pragma once

#include "Isa.h"
#include "SqrMap.h"

#include <atomic>
#include <cstddef>
#include <cstdint>

namespace zarn {

class MapExpA;
class New84;
class SqrMapt;

/**
 * A run of steps of one orbit with nothing to decide between them (no collapse test, no end of
 * the transient, no step limit inside it). The loop keeps the point in registers, checks the
 * point and counts its cell into the grid exactly as the worker's step by step loop does.
 */
/** Marks a listed first hit (StepSpan::firstHits) that lies in the grid's margin. */
inline constexpr std::uint32_t kMarginHit = 0x80000000u;

/** Lists cell @p at, one a grid counted for the first time, in @p list (room for @p room) and
 *  counts it in @p count, which goes on past the room. */
inline void noteFirstHit(std::uint32_t* list, std::uint32_t room, std::uint32_t& count,
                         std::size_t at, bool counted) {
    if (count < room) {
        list[count] = static_cast<std::uint32_t>(at) | (counted ? 0u : kMarginHit);
    }
    ++count;
}

struct StepSpan {
    /** The grid's cells, margin included, @p stride cells a row; @p side counted cells a side. */
    std::uint32_t* cells = nullptr;
    std::size_t stride = 0;
    std::uint32_t side = 0;
    /** When set (one orbit of several, counting into a grid of its own): a flag per cell, shared
     *  by the orbits (through std::atomic_ref). A cell this grid counts for the first time raises
     *  its flag, and when the flag was down the cell is new to the quilt: newCells counts those. */
    std::uint8_t* touched = nullptr;
    std::uint32_t newCells = 0;
    /** With @p touched: where the cells this grid counts for the first time are listed (margin
     *  cells included, marked with kMarginHit), room for @p firstHitRoom of them.
     *  @p firstHitCount goes on counting past the room, which tells the list is incomplete. */
    std::uint32_t* firstHits = nullptr;
    std::uint32_t firstHitRoom = 0;
    std::uint32_t firstHitCount = 0;
    /** A folded coordinate at or above this lies outside the cells and their margin. */
    double cellLimit = 0.0;
    /** Read after every step: the run ends after the step that sees it set. */
    const std::atomic<bool>* stop = nullptr;
    /** Steps to take, and whether their cells are counted (the transient is over). */
    std::uint32_t steps = 0;
    bool count = false;
    /** The point, taken in and handed back. */
    double x = 0.0;
    double y = 0.0;
    /** The grid's largest count, kept up as cells are counted. */
    std::uint32_t maxCount = 0;
    /** Steps taken; when @p invalid, the last of them left the grid or the numbers and its cell
     *  was not counted. The cell of the last counted step. */
    std::uint32_t done = 0;
    bool invalid = false;
    int cellX = 0;
    int cellY = 0;
};

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
    /** A run of plain or detailed square steps of @p map (by its detail flag); the scratch
     *  tables of a detailed run hold the last step's values. */
    void (*squareSpan)(SqrMap& map, StepSpan& span);
    /** The same for New84 (Oct_Four), whose region test picks the coefficient set. */
    void (*octFourSpan)(New84& map, StepSpan& span);
    /** The same for SqrMapt (Squaret), which blends its coefficients before every step. */
    void (*squaretSpan)(SqrMapt& map, StepSpan& span);
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
void squareSpan(SqrMap& map, StepSpan& span);
void octFourSpan(New84& map, StepSpan& span);
void squaretSpan(SqrMapt& map, StepSpan& span);
} // namespace zarn::ZARN_ISA_NS
#endif
