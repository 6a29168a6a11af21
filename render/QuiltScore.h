#pragma once

#include "render/BitmapFill.h"
#include "render/LevelScale.h"
#include "render/Palette.h"

namespace zarn {

/**
 * How much of a picture a quilt makes on one level scale, read from the level shares of its
 * period picture's pixels (the palette spreads its colours along the shares, so they say what
 * the picture shows whatever the colours; the picture rather than the grid, since the tiling and
 * hexagonal families show only part of their grid, and TWsq shows it twice):
 *
 *  - entropyBits: the Shannon entropy of the level shares, in bits: 0 when every cell sits on
 *    one level, log2(4000) at most;
 *  - offBackground: the share of cells off the most common level (the background);
 *  - value = entropyBits x offBackground, what candidates are ranked by.
 *
 * A quilt is flat when value is below kFlatBelow: nearly every cell on one level (a blank grid,
 * an orbit caught on a few cells, a picture whose counts were all pushed onto level 0), or the
 * rest spread over too few levels to show any shape.
 */
struct QuiltScore {
    static constexpr double kFlatBelow = 0.5;

    double entropyBits = 0.0;
    double offBackground = 0.0;
    double value = 0.0;

    bool flat() const { return value < kFlatBelow; }
};

QuiltScore scoreLevelShares(const LevelHistogram& shares);

/** A palette whose entry i is the colour code of level i (red = i / 256, green = i mod 256), so
 *  that a picture filled through it holds each pixel's level. */
Palette levelCodePalette();

/** The level shares of a picture filled through levelCodePalette(). */
LevelHistogram levelSharesOfCodes(const PeriodBitmap& codes);

} // namespace zarn
