#pragma once

#include "engine/QuiltMap.h"
#include "render/LevelScale.h"
#include "render/Palette.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

namespace zarn {

/**
 * One period of the quilt: 32-bit pixels packed 0xAARRGGBB, row 0 at the top, rows stride
 * pixels apart (stride == width: the buffer is dense).
 */
struct PeriodBitmap {
    int width = 0;
    int height = 0;
    int stride = 0;
    std::vector<std::uint32_t> pixels;

    PeriodBitmap() = default;
    PeriodBitmap(int w, int h) { resize(w, h); }

    /** Sets the size (negative sizes count as 0); every pixel becomes 0. */
    void resize(int w, int h);

    std::uint32_t& at(int x, int y) {
        return pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(stride) +
                      static_cast<std::size_t>(x)];
    }
    std::uint32_t at(int x, int y) const {
        return pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(stride) +
                      static_cast<std::size_t>(x)];
    }
};

/** Opaque pixel of one palette entry. */
inline std::uint32_t pixelOf(const PaletteEntry& e) {
    return 0xFF000000u | (std::uint32_t{e.red} << 16) | (std::uint32_t{e.green} << 8) |
           std::uint32_t{e.blue};
}

/** Every palette entry as a pixel, built once per fill. */
std::array<std::uint32_t, Palette::kEntries> pixelTable(const Palette& palette);

/** Pixels below which a fill stays on the calling thread: starting a thread costs about as much
 *  as colouring this many pixels of the cheapest lookup. */
inline constexpr std::size_t kPixelsPerFillThread = std::size_t{1} << 16;

/** Threads a fill of @p width x @p height pixels uses when it may use @p threads: at most one
 *  per kPixelsPerFillThread pixels, per row and per core, at least one. */
int fillThreadsFor(int width, int height, int threads);

/**
 * Calls fillRows(first, end) for @p bands consecutive bands of the rows 0..rows-1, the first band
 * on the calling thread and each other on a thread of its own, and returns when all are done.
 * A band whose thread cannot be started is filled on the calling thread.
 */
void fillInBands(int rows, int bands, const std::function<void(int, int)>& fillRows);

/**
 * Colours every pixel (x, y) of @p bitmap, rows from the top, by the count lookup(x, y) returns:
 * @p scale picks the count's level, @p palette the level's colour. The lookup is any callable
 * (int x, int y) -> std::uint32_t, so the families' own pixel lookups plug in here. With
 * @p threads above 1, bands of rows are filled side by side (fillThreadsFor), so the lookup
 * must be safe to call from several threads at once; every pixel comes out the same either way.
 */
template <typename Lookup>
void fillBitmap(PeriodBitmap& bitmap, const Palette& palette, const LevelScale& scale,
                Lookup&& lookup, int threads = 1) {
    const auto colours = pixelTable(palette);
    const auto fillRows = [&](int first, int end) {
        for (int y = first; y < end; ++y) {
            std::uint32_t* row = bitmap.pixels.data() + static_cast<std::size_t>(y) *
                                                            static_cast<std::size_t>(bitmap.stride);
            for (int x = 0; x < bitmap.width; ++x) {
                const std::uint32_t count = lookup(x, y);
                row[x] = colours[static_cast<std::size_t>(scale.level(count))];
            }
        }
    };
    const int bands = fillThreadsFor(bitmap.width, bitmap.height, threads);
    if (bands <= 1) {
        fillRows(0, bitmap.height);
        return;
    }
    fillInBands(bitmap.height, bands, fillRows);
}

/** Count of cell (row, column), or 0 outside the counted n x n cells. */
inline std::uint32_t countOrZero(const QuiltMap& grid, int row, int column) {
    const int n = static_cast<int>(grid.size);
    if (row < 0 || column < 0 || row >= n || column >= n) {
        return 0;
    }
    return grid.CountAt(row, column);
}

/**
 * The square transformation lookup without rotation or slant: indices 0..2n-1 fold back onto the
 * grid (k < n ? k : 2n - 1 - k), so the image mirrors at its far edges. Indices outside 0..2n-1
 * read 0.
 */
std::uint32_t lookupSquareFolded(const QuiltMap& grid, int row, int column);

// The fills below colour through a scale made for the grid (LevelScale(kind, grid), or the
// classic LevelScale(grid.maxCount) after RefreshMax). Pixels that fall outside the grid (a
// bitmap larger than the period) show count 0. @p threads: as for fillBitmap.

/** The grid itself: pixel (x, y) shows row y, column x. */
void fillGridBitmap(PeriodBitmap& bitmap, const Palette& palette, const LevelScale& scale,
                    const QuiltMap& grid, int threads = 1);

/** The TWsq period (N x 2N): the upper half is the grid mirrored left to right, the lower half
 *  that picture mirrored top to bottom: row y < N ? y : 2N - 1 - y, column N - 1 - x. */
void fillTwsqBitmap(PeriodBitmap& bitmap, const Palette& palette, const LevelScale& scale,
                    const QuiltMap& grid, int threads = 1);

/** imageOption1: pixel (x, y) shows lookupSquareFolded(row y, column x). */
void fillSquareLookupBitmap(PeriodBitmap& bitmap, const Palette& palette, const LevelScale& scale,
                            const QuiltMap& grid, int threads = 1);

} // namespace zarn
