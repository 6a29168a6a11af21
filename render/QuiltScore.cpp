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

Palette levelCodePalette() {
    Palette palette;
    for (int i = 0; i < Palette::kEntries; ++i) {
        PaletteEntry& entry = palette[static_cast<std::size_t>(i)];
        entry.red = static_cast<std::uint8_t>(i >> 8);
        entry.green = static_cast<std::uint8_t>(i & 0xFF);
        entry.blue = 0;
    }
    return palette;
}

LevelHistogram levelSharesOfCodes(const PeriodBitmap& codes) {
    LevelHistogram shares{};
    const std::size_t pixels =
        static_cast<std::size_t>(codes.width) * static_cast<std::size_t>(codes.height);
    if (pixels == 0) {
        return shares;
    }
    for (int y = 0; y < codes.height; ++y) {
        for (int x = 0; x < codes.width; ++x) {
            const std::uint32_t code = codes.at(x, y);
            const std::size_t level = ((code >> 16) & 0xFFu) << 8 | ((code >> 8) & 0xFFu);
            shares[std::min<std::size_t>(level, shares.size() - 1)] += 1.0;
        }
    }
    for (double& share : shares) {
        share /= static_cast<double>(pixels);
    }
    return shares;
}

} // namespace zarn
