#pragma once

#include "document/QuiltState.h"

#include <cstdint>

namespace zarn {

/**
 * The operations of a quilt on its state, for code that already holds the document's pause (or
 * runs on its worker). The document's public commands are these wrapped in a pause.
 */

/** Steps of the family between the step limits of a grown grid: maxSteps = (n / 100)^2 x this. */
double StepFactor(MapFamily family);

/** Resets the counters and status, draws the start of the torus point and clears the grid. */
void RestartIteration(QuiltState& s);

/** Draws nameNumber and formats the quilt's names from its family; the title follows. */
void BuildAutoNames(QuiltState& s);

/** New random coefficients for the current family, a restart and new names. */
void NewRandomQuilt(QuiltState& s);

/** The wild corner with a chosen N (3 to 42): selects the family, draws the rest, new names. */
void NewRandomCornerQuilt(QuiltState& s, int cornerN);

/**
 * Rebuilds the grid at @p newSize when it differs (zeroed, counters reset) and applies the
 * grid-size rule: growing from above 100 cells sets maxSteps = (new / 100)^2 x @p stepFactor,
 * capped below 2^32 - 1. The hexagonal map's cell and period sizes follow the grid.
 */
void ChangeGridSize(QuiltState& s, std::uint32_t newSize, double stepFactor);

/** Gives every extra orbit (orbitCount - 1 of them) a copy of the family's map and a start
 *  point drawn from the state's random source; removes them for a single orbit. */
void PrepareOrbits(QuiltState& s);

/** Coefficients changed without a restart: the extra orbits take the new map when the worker
 *  next runs. */
void CoefficientsChanged(QuiltState& s);

/** Distinct cells of the grid into status.distinctCells. */
void CountDistinctCells(QuiltState& s);

/** Folds torusX and torusY into [0, 1] (see foldToUnit). */
void FoldToTorus(QuiltState& s);

} // namespace zarn
