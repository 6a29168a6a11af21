#include "LevelScale.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <string>

namespace zarn {

namespace {

constexpr int kTopLevel = QuiltMap::kLevels - 1;

std::uint32_t largestCount(const QuiltMap& grid) {
    std::uint32_t largest = grid.maxCount;
    grid.ForEachCount([&](std::uint32_t count) { largest = std::max(largest, count); });
    return largest;
}

/** The count at the robust percentile of the hit cells (nearest rank); 0 for an empty grid. */
std::uint32_t robustTop(const QuiltMap& grid) {
    std::vector<std::uint32_t> hit;
    grid.ForEachCount([&](std::uint32_t count) {
        if (count != 0) {
            hit.push_back(count);
        }
    });
    if (hit.empty()) {
        return 0;
    }
    const double rank = std::ceil(LevelScale::kRobustPercentile * static_cast<double>(hit.size()));
    const std::size_t index =
        std::clamp<std::size_t>(static_cast<std::size_t>(rank), 1, hit.size()) - 1;
    std::nth_element(hit.begin(), hit.begin() + static_cast<std::ptrdiff_t>(index), hit.end());
    return hit[index];
}

} // namespace

std::string_view levelScaleName(LevelScaleKind kind) {
    switch (kind) {
    case LevelScaleKind::Robust:
        return "robust";
    case LevelScaleKind::Logarithmic:
        return "log";
    case LevelScaleKind::Classic:
        break;
    }
    return "classic";
}

std::optional<LevelScaleKind> parseLevelScale(std::string_view name) {
    std::string lower(name);
    for (char& c : lower) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    if (lower == "logarithmic") {
        return LevelScaleKind::Logarithmic;
    }
    for (const LevelScaleKind kind : kLevelScaleKinds) {
        if (lower == levelScaleName(kind)) {
            return kind;
        }
    }
    return std::nullopt;
}

LevelScale::LevelScale(std::uint32_t maxCount)
    : topCount_(maxCount), scale_(levelScale(maxCount)) {}

LevelScale::LevelScale(LevelScaleKind kind, const QuiltMap& grid) : kind_(kind) {
    switch (kind) {
    case LevelScaleKind::Classic:
        topCount_ = largestCount(grid);
        scale_ = levelScale(topCount_);
        return;
    case LevelScaleKind::Robust:
        topCount_ = robustTop(grid);
        scale_ = levelScale(topCount_);
        return;
    case LevelScaleKind::Logarithmic:
        break;
    }
    topCount_ = largestCount(grid);
    // An empty grid, or one whose cells hold 0 or 1: one count level at the top, as the
    // classic scale puts it.
    logFactor_ = topCount_ == 0 ? 0.0 : kTopLevel / std::log1p(static_cast<double>(topCount_));
    const std::uint32_t entries = std::min<std::uint32_t>(topCount_, kLogTableSize - 1) + 1;
    table_.resize(entries);
    for (std::uint32_t c = 0; c < entries; ++c) {
        table_[c] = static_cast<std::uint16_t>(logLevel(c));
    }
}

int LevelScale::logLevel(std::uint32_t count) const {
    if (count > topCount_) {
        return kTopLevel;
    }
    const double level = std::log1p(static_cast<double>(count)) * logFactor_;
    if (!(level < static_cast<double>(kTopLevel))) {
        return kTopLevel;
    }
    return static_cast<int>(level);
}

LevelHistogram LevelScale::histogram(const QuiltMap& grid) const {
    LevelHistogram shares{};
    if (kind_ == LevelScaleKind::Classic) {
        grid.ClassicLevelShares(topCount_, shares);
        return shares;
    }
    if (topCount_ == 0) {
        return shares;
    }
    std::vector<std::uint32_t> cells(QuiltMap::kLevels, 0u);
    grid.ForEachCount(
        [&](std::uint32_t count) { ++cells[static_cast<std::size_t>(level(count))]; });
    const double total = static_cast<double>(grid.size) * static_cast<double>(grid.size);
    for (std::size_t i = 0; i < shares.size(); ++i) {
        shares[i] = cells[i] / total;
    }
    return shares;
}

} // namespace zarn
