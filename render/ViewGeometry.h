#pragma once

#include "render/PolyMapping.h"
#include "render/QuaziMapping.h"

#include <optional>

namespace zarn {

/** How a quilt window draws its period bitmap. */
enum class ViewMode {
    /** periods x periods copies of the period. */
    Tile,
    /** The period pasted onto every rhombus of the quasi-crystal. */
    Quazi,
    /** The period pasted onto every triangle of an Archimedean tiling. */
    Poly,
};

/** What a picture of a quilt needs besides its period bitmap: the view, the number of periods
 *  across and down, and a copy of the mapping the view draws through. */
struct ViewGeometry {
    ViewMode mode = ViewMode::Tile;
    int periods = 1;
    /** Set when mode is Quazi. */
    std::optional<QuaziMapping> quazi;
    /** Set when mode is Poly. */
    std::optional<PolyMapping> poly;
};

} // namespace zarn
