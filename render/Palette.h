#pragma once

#include "engine/QuiltMap.h"
#include "render/LevelScale.h"

#include <array>
#include <cstddef>
#include <cstdint>

namespace zarn {

class Archive;
class CRandom;
class ColorC;

/** One palette colour. The tag byte is set by the initial fill and read by nobody. */
struct PaletteEntry {
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
    std::uint8_t tag = 0;
};

/** The colour of every count level: entry i colours the cells whose level is i. */
struct Palette {
    static constexpr int kEntries = QuiltMap::kLevels;
    /** Bytes of the palette kept in the session file: entries 0..3998 and the red and green of
     *  entry 3999. */
    static constexpr std::size_t kStoredBytes = 15998;

    std::array<PaletteEntry, kEntries> entries{};

    PaletteEntry& operator[](std::size_t i) { return entries[i]; }
    const PaletteEntry& operator[](std::size_t i) const { return entries[i]; }

    /** Writes or reads the first kStoredBytes bytes, entry by entry (red, green, blue, tag). */
    void serialize(Archive& ar);
};

/** Random pale colours (each channel 55..254 from @p cRandom, red, green, blue per entry) for
 *  entries 0..3998, tag 1 on entries 1..3998. Entry 3999 is left alone. */
void InitialPalette(Palette& palette, CRandom& cRandom);

/**
 * Fills @p palette from the colour set's percents and a level histogram: one band between each
 * pair of neighbouring active colours, each a per-channel parabola through the two colours and
 * their mean, walked along the cumulative histogram. Entries 0..3997 are written as far as the
 * bands reach; entries 3998 and 3999, which the bands never reach but the densest cells use, get
 * the last active colour.
 */
void FillPaletteBands(Palette& palette, const ColorC& colors,
                      const std::array<double, QuiltMap::kLevels>& histogram);

/** Refreshes the grid's level histogram, then FillPaletteBands(). Run while the worker is
 *  paused. */
void buildPalette(Palette& palette, const ColorC& colors, QuiltMap& grid);

/** FillPaletteBands() over @p grid's level shares on @p scale (made for that grid): the
 *  palette a picture on that scale is coloured with. The classic scale builds what the
 *  overload above builds. */
void buildPalette(Palette& palette, const ColorC& colors, const QuiltMap& grid,
                  const LevelScale& scale);

} // namespace zarn
