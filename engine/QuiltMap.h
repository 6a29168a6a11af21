#pragma once

#include <array>
#include <cstdint>
#include <vector>

namespace zarn {

class Archive;

/**
 * The hit-count grid of one quilt: n x n counted cells plus a ten-cell margin on the high side of
 * each axis, which absorbs the folded coordinate 1.0 (index n) so that AddHit needs no range test.
 * Row = y cell, column = x cell. Statistics, the image and the file cover rows and columns 0..n-1.
 */
class QuiltMap {
public:
    static constexpr int kMargin = 10;
    static constexpr int kLevels = 4000;
    static constexpr std::uint32_t kInitialSize = 301;

    QuiltMap();

    /** Replaces the grid with a zero-filled one of side @p n (plus margin). Throws std::bad_alloc
     *  when the memory cannot be had; the old grid is gone by then. */
    bool BuildSize(std::uint32_t n);
    /** Zeroes the counted cells (not the margin) and both counters. */
    void Clear();

    void AddHit(int row, int column) {
        std::uint32_t& cell =
            cells_[static_cast<std::size_t>(row) * stride_ + static_cast<std::size_t>(column)];
        ++cell;
        if (cell > maxCount) {
            maxCount = cell;
        }
    }
    /** Where cell (row, column) lies among all the cells (margin included), for callers that
     *  count hits their own way and add them in later (several orbits counting at once). */
    std::size_t IndexOf(int row, int column) const {
        return static_cast<std::size_t>(row) * stride_ + static_cast<std::size_t>(column);
    }
    /** The counter of cell (row, column), margin included. */
    std::uint32_t& Cell(int row, int column) { return cells_[IndexOf(row, column)]; }
    /** Every cell, margin included, in IndexOf order. */
    std::uint32_t* CellData() { return cells_.data(); }
    const std::uint32_t* CellData() const { return cells_.data(); }
    std::size_t CellCount() const { return cells_.size(); }
    std::uint32_t CountAt(int row, int column) const {
        return cells_[static_cast<std::size_t>(row) * stride_ + static_cast<std::size_t>(column)];
    }

    /** Raises maxCount (and lowers minCount) to cover every counted cell. */
    void RefreshMax();
    /** RefreshMax, then fills levelHistogram with the share of cells at each of the 4000 count
     *  levels. */
    void BuildLevelHistogram();
    /** The level shares BuildLevelHistogram computes, for a maximum of @p largest, into
     *  @p histogram; the grid is not changed. */
    void ClassicLevelShares(std::uint32_t largest, std::array<double, kLevels>& histogram) const;
    /** Calls @p fn(count) for every counted cell (margin excluded), row by row. */
    template <typename Fn> void ForEachCount(Fn&& fn) const {
        for (std::uint32_t r = 0; r < size; ++r) {
            const std::uint32_t* row = cells_.data() + r * stride_;
            for (std::uint32_t c = 0; c < size; ++c) {
                fn(row[c]);
            }
        }
    }
    /** Number of counted cells that are not zero. */
    std::uint32_t CountNonZero() const;
    /** Sum of all counted cells (margin excluded). */
    std::uint64_t TotalHits() const;

    /** Writes or reads the grid record: maxCount, minCount, n, then n x n counts row by row. On
     *  load the maximum is rebuilt from the counts and the histogram is refreshed. @p maxSide caps
     *  the side a file may ask for. */
    void SerializeGrid(Archive& ar, std::uint32_t maxSide = 4000);

    std::uint32_t maxCount = 0;
    std::uint32_t minCount = 0;
    std::uint32_t size = 0;
    std::array<double, kLevels> levelHistogram{};

private:
    std::vector<std::uint32_t> cells_;
    std::size_t stride_ = 0;
};

} // namespace zarn
