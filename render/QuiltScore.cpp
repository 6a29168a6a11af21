#include "QuiltScore.h"

#include <algorithm>
#include <cmath>

namespace zarn {

QuiltScore scoreLevelShares(const LevelHistogram& shares) {
    QuiltScore score;
    double total = 0.0;
    double largest = 0.0;
    for (const double share : shares) {
        total += share;
        largest = std::max(largest, share);
    }
    if (!(total > 0.0)) {
        return score;
    }
    double entropy = 0.0;
    for (const double share : shares) {
        if (share > 0.0) {
            const double p = share / total;
            entropy -= p * std::log2(p);
        }
    }
    score.entropyBits = entropy;
    score.offBackground = 1.0 - largest / total;
    score.value = score.entropyBits * score.offBackground;
    return score;
}

QuiltScore scoreQuilt(const QuiltMap& grid, LevelScaleKind kind) {
    return scoreLevelShares(LevelScale(kind, grid).histogram(grid));
}

} // namespace zarn
