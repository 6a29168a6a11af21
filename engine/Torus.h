#pragma once

#include <cmath>

namespace zarn {

/**
 * Folds one coordinate onto the unit torus: v > 1 loses its integer part, v < 0 gains
 * 1 - trunc(v); everything else is kept. The result lies in [0, 1]; 1.0 stays 1.0 and a negative
 * whole number becomes 1.0, which the grid's margin absorbs. Truncation is toward zero; a
 * non-finite value is returned unchanged and must be caught by the caller before it reaches the
 * grid.
 */
inline double foldToUnit(double v) {
    // Both candidates are computed and one selected: on a chaotic orbit the side a point falls
    // on cannot be predicted, and a mispredicted branch costs more than the arithmetic.
    const double t = std::trunc(v);
    const double above = v - t;
    const double below = v + (1.0 - t);
    const double kept = v < 0.0 ? below : v;
    return v > 1.0 ? above : kept;
}

} // namespace zarn
