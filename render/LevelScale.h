#pragma once

#include "engine/QuiltMap.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace zarn {

/** Level shares of a grid, as the palette build reads them: entry i is the share of the grid's
 *  cells whose level is i. */
using LevelHistogram = std::array<double, QuiltMap::kLevels>;

/**
 * How a cell's count becomes one of the 4000 levels a palette colours.
 *
 *  - Classic: level = count x 3999 / largest count; what a quilt has always shown, and the scale
 *    of the palette a session file stores.
 *  - Robust: the same with the largest count taken at the 99.9th percentile of the hit cells, so
 *    a few cells holding most of the hits no longer push every other cell onto level 0; counts
 *    above it take the top level.
 *  - Logarithmic: level = 3999 x log(1 + count) / log(1 + largest count).
 *
 * A scale is a view setting: it changes the picture and its palette, never the quilt.
 */
enum class LevelScaleKind { Classic, Robust, Logarithmic };

inline constexpr std::array<LevelScaleKind, 3> kLevelScaleKinds = {
    LevelScaleKind::Classic, LevelScaleKind::Robust, LevelScaleKind::Logarithmic};

/** "classic", "robust" or "log". */
std::string_view levelScaleName(LevelScaleKind kind);
/** The kind a name (as levelScaleName writes it, any case; "logarithmic" too) stands for. */
std::optional<LevelScaleKind> parseLevelScale(std::string_view name);

/** Counts per level: 3999 / maxCount, or 1.0 for an empty grid. */
inline double levelScale(std::uint32_t maxCount) {
    return maxCount == 0 ? 1.0 : 3999.0 / static_cast<double>(maxCount);
}

/**
 * trunc(count x scale), capped at the top level: a lookup may read a count above the maximum
 * the scale was made for (a margin cell, a grid refreshed since, a count above the robust
 * scale's percentile), and such a cell shows the densest colour instead of reading past the
 * palette.
 */
inline int levelOf(std::uint32_t count, double scale) {
    const double level = static_cast<double>(count) * scale;
    if (!(level < static_cast<double>(QuiltMap::kLevels - 1))) {
        return QuiltMap::kLevels - 1;
    }
    return static_cast<int>(level);
}

/**
 * One scale made for one grid: built once per palette build or picture fill, then level() maps
 * each count with a multiplication (classic, robust) or a table lookup (logarithmic).
 */
class LevelScale {
public:
    /** The robust scale's percentile of the hit cells. */
    static constexpr double kRobustPercentile = 0.999;
    /** Counts below this are looked up in the logarithmic scale's table; the rare larger ones
     *  are computed. */
    static constexpr std::uint32_t kLogTableSize = 65536;

    /** The classic scale for a grid whose largest count is @p maxCount. */
    explicit LevelScale(std::uint32_t maxCount = 0);
    /** The scale of @p kind for @p grid's counts as they stand (its maxCount included, so a
     *  maximum kept above the counts, as RefreshMax keeps it, still counts). */
    LevelScale(LevelScaleKind kind, const QuiltMap& grid);

    LevelScaleKind kind() const { return kind_; }
    /** The count the top level stands for: the largest count, or the robust percentile. */
    std::uint32_t topCount() const { return topCount_; }

    int level(std::uint32_t count) const {
        if (table_.empty()) {
            return levelOf(count, scale_);
        }
        return count < table_.size() ? table_[count] : logLevel(count);
    }

    /**
     * The level shares of @p grid on this scale. The classic scale gives exactly what
     * QuiltMap::BuildLevelHistogram gives (its own arithmetic, which the palette of every
     * session was built with); the others count each cell at level(count), as the picture
     * shows it.
     */
    LevelHistogram histogram(const QuiltMap& grid) const;

private:
    int logLevel(std::uint32_t count) const;

    LevelScaleKind kind_ = LevelScaleKind::Classic;
    std::uint32_t topCount_ = 0;
    double scale_ = 1.0;
    /** Logarithmic only: 3999 / log(1 + topCount). */
    double logFactor_ = 0.0;
    std::vector<std::uint16_t> table_;
};

} // namespace zarn
