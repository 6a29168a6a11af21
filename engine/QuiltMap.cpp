#include "QuiltMap.h"

#include "Archive.h"

#include <algorithm>
#include <string>

namespace zarn {

QuiltMap::QuiltMap() {
    BuildSize(kInitialSize);
}

bool QuiltMap::BuildSize(std::uint32_t n) {
    cells_.clear();
    cells_.shrink_to_fit();
    stride_ = static_cast<std::size_t>(n) + kMargin;
    cells_.assign(stride_ * stride_, 0u);
    size = n;
    Clear();
    return true;
}

void QuiltMap::Clear() {
    for (std::uint32_t r = 0; r < size; ++r) {
        std::fill_n(cells_.begin() + static_cast<std::ptrdiff_t>(r * stride_), size, 0u);
    }
    minCount = 0;
    maxCount = 0;
}

void QuiltMap::RefreshMax() {
    for (std::uint32_t r = 0; r < size; ++r) {
        const std::uint32_t* row = cells_.data() + r * stride_;
        for (std::uint32_t c = 0; c < size; ++c) {
            maxCount = std::max(maxCount, row[c]);
            minCount = std::min(minCount, row[c]);
        }
    }
}

void QuiltMap::BuildLevelHistogram() {
    RefreshMax();
    ClassicLevelShares(maxCount, levelHistogram);
}

void QuiltMap::ClassicLevelShares(std::uint32_t largest,
                                  std::array<double, kLevels>& histogram) const {
    histogram.fill(0.0);
    const double m = largest;
    if (m < 1.0) {
        return;
    }
    double total = 0.0;
    ForEachCount([&](std::uint32_t count) {
        double q = count / m;
        if (q > 0.99999999) {
            q = 0.999999999;
        }
        histogram[static_cast<std::size_t>(q * 3999.0)] += 1.0;
        total += 1.0;
    });
    for (int i = 0; i < kLevels - 1; ++i) {
        histogram[i] /= total;
    }
}

std::uint32_t QuiltMap::CountNonZero() const {
    std::uint32_t n = 0;
    for (std::uint32_t r = 0; r < size; ++r) {
        const std::uint32_t* row = cells_.data() + r * stride_;
        for (std::uint32_t c = 0; c < size; ++c) {
            n += row[c] != 0 ? 1u : 0u;
        }
    }
    return n;
}

std::uint64_t QuiltMap::TotalHits() const {
    std::uint64_t sum = 0;
    for (std::uint32_t r = 0; r < size; ++r) {
        const std::uint32_t* row = cells_.data() + r * stride_;
        for (std::uint32_t c = 0; c < size; ++c) {
            sum += row[c];
        }
    }
    return sum;
}

void QuiltMap::SerializeGrid(Archive& ar, std::uint32_t maxSide) {
    if (ar.isStoring()) {
        RefreshMax();
        ar.io(maxCount, "grid maximum count");
        ar.io(minCount, "grid minimum count");
        ar.io(size, "grid size");
        for (std::uint32_t r = 0; r < size; ++r) {
            ar.ioBytes(cells_.data() + r * stride_, size * sizeof(std::uint32_t), "grid counts");
        }
        return;
    }

    std::uint32_t storedMax = 0;
    std::uint32_t storedMin = 0;
    std::uint32_t n = 0;
    ar.io(storedMax, "grid maximum count");
    ar.io(storedMin, "grid minimum count");
    ar.io(n, "grid size");
    if (n < 1 || n > maxSide) {
        Archive::fail("grid size", std::to_string(n) + " is outside 1.." + std::to_string(maxSide));
    }
    // Check the counts are all there before allocating room for them.
    ar.requireRemaining(static_cast<std::size_t>(n) * n * sizeof(std::uint32_t), "grid counts");
    BuildSize(n);
    for (std::uint32_t r = 0; r < n; ++r) {
        std::uint32_t* row = cells_.data() + r * stride_;
        ar.ioBytes(row, n * sizeof(std::uint32_t), "grid counts");
        for (std::uint32_t c = 0; c < n; ++c) {
            maxCount = std::max(maxCount, row[c]);
        }
    }
    BuildLevelHistogram();
}

} // namespace zarn
