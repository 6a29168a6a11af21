#include "BitmapFill.h"

#include <algorithm>
#include <system_error>
#include <thread>

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

int fillThreadsFor(int width, int height, int threads) {
    if (width <= 0 || height <= 0 || threads <= 1) {
        return 1;
    }
    const std::size_t pixels = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    const std::size_t byPixels = pixels / kPixelsPerFillThread;
    // More threads than the machine has cores would only take turns.
    const unsigned cores = std::thread::hardware_concurrency();
    const std::size_t byCores = cores == 0 ? static_cast<std::size_t>(threads) : cores;
    const std::size_t most = std::min(
        {static_cast<std::size_t>(threads), byPixels, byCores, static_cast<std::size_t>(height)});
    return most > 1 ? static_cast<int>(most) : 1;
}

void fillInBands(int rows, int bands, const std::function<void(int, int)>& fillRows) {
    bands = std::clamp(bands, 1, std::max(rows, 1));
    // Band b holds rows [b * rows / bands, (b + 1) * rows / bands): sizes differ by one at most.
    const auto edge = [&](int b) {
        return static_cast<int>(static_cast<long long>(rows) * b / bands);
    };
    std::vector<std::thread> helpers;
    helpers.reserve(static_cast<std::size_t>(bands - 1));
    for (int b = 1; b < bands; ++b) {
        try {
            helpers.emplace_back(fillRows, edge(b), edge(b + 1));
        } catch (const std::system_error&) {
            fillRows(edge(b), edge(b + 1));
        }
    }
    fillRows(0, edge(1));
    for (std::thread& helper : helpers) {
        helper.join();
    }
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
                    const QuiltMap& grid, int threads) {
    fillBitmap(
        bitmap, palette, scale, [&grid](int x, int y) { return countOrZero(grid, y, x); }, threads);
}

void fillTwsqBitmap(PeriodBitmap& bitmap, const Palette& palette, const LevelScale& scale,
                    const QuiltMap& grid, int threads) {
    const int n = static_cast<int>(grid.size);
    fillBitmap(
        bitmap, palette, scale,
        [&grid, n](int x, int y) {
            const int row = y < n ? y : 2 * n - 1 - y;
            return countOrZero(grid, row, n - 1 - x);
        },
        threads);
}

void fillSquareLookupBitmap(PeriodBitmap& bitmap, const Palette& palette, const LevelScale& scale,
                            const QuiltMap& grid, int threads) {
    fillBitmap(
        bitmap, palette, scale, [&grid](int x, int y) { return lookupSquareFolded(grid, y, x); },
        threads);
}

} // namespace zarn
