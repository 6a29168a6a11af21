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
    if (v > 1.0) {
        return v - std::trunc(v);
    }
    if (v < 0.0) {
        return v + (1.0 - std::trunc(v));
    }
    return v;
}

} // namespace zarn
