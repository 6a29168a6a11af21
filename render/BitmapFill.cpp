#include "BitmapFill.h"

#include <algorithm>

namespace zarn {

void PeriodBitmap::resize(int w, int h) {
    width = std::max(w, 0);
    height = std::max(h, 0);
    stride = width;
    pixels.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), 0u);
}

std::array<std::uint32_t, Palette::kEntries> pixelTable(const Palette& palette) {
    std::array<std::uint32_t, Palette::kEntries> table{};
    for (std::size_t i = 0; i < table.size(); ++i) {
        table[i] = pixelOf(palette[i]);
    }
    return table;
}

std::uint32_t lookupSquareFolded(const QuiltMap& grid, int row, int column) {
    const int n = static_cast<int>(grid.size);
    const auto fold = [n](int k) { return k < n ? k : 2 * n - 1 - k; };
    if (row < 0 || column < 0 || row >= 2 * n || column >= 2 * n) {
        return 0;
    }
    return grid.CountAt(fold(row), fold(column));
}

void fillGridBitmap(PeriodBitmap& bitmap, const Palette& palette, const LevelScale& scale,
                    const QuiltMap& grid) {
    fillBitmap(bitmap, palette, scale, [&grid](int x, int y) { return countOrZero(grid, y, x); });
}

void fillTwsqBitmap(PeriodBitmap& bitmap, const Palette& palette, const LevelScale& scale,
                    const QuiltMap& grid) {
    const int n = static_cast<int>(grid.size);
    fillBitmap(bitmap, palette, scale, [&grid, n](int x, int y) {
        const int row = y < n ? y : 2 * n - 1 - y;
        return countOrZero(grid, row, n - 1 - x);
    });
}

void fillSquareLookupBitmap(PeriodBitmap& bitmap, const Palette& palette, const LevelScale& scale,
                            const QuiltMap& grid) {
    fillBitmap(bitmap, palette, scale,
               [&grid](int x, int y) { return lookupSquareFolded(grid, y, x); });
}

} // namespace zarn
