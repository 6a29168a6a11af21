#include "engine/QuiltMap.h"
#include "engine/Archive.h"

#include <gtest/gtest.h>

namespace zarn {
namespace {

TEST(QuiltMapTest, FreshGridHasSize301AndAnEmptyHistogram) {
    QuiltMap g;
    EXPECT_EQ(g.size, 301u);
    EXPECT_EQ(g.maxCount, 0u);
    g.BuildLevelHistogram();
    for (double share : g.levelHistogram) {
        ASSERT_EQ(share, 0.0);
    }
}

TEST(QuiltMapTest, SingleCellAtTheMaximumFallsIntoLevel3998) {
    QuiltMap g;
    g.BuildSize(50);
    for (int i = 0; i < 5; ++i) {
        g.AddHit(7, 9);
    }
    g.BuildLevelHistogram();
    const double cells = 50.0 * 50.0;
    EXPECT_DOUBLE_EQ(g.levelHistogram[3998], 1.0 / cells);
    EXPECT_DOUBLE_EQ(g.levelHistogram[0], (cells - 1) / cells);
    EXPECT_EQ(g.levelHistogram[3999], 0.0);
    double sum = 0;
    for (double share : g.levelHistogram) {
        sum += share;
    }
    EXPECT_NEAR(sum, 1.0, 1e-12);
}

TEST(QuiltMapTest, MarginHitsRaiseTheMaximumButStayOutOfStatisticsAndFile) {
    QuiltMap g;
    g.BuildSize(20);
    g.AddHit(3, 20); // x = 1.0 lands in column n
    g.AddHit(3, 20);
    g.AddHit(1, 1);
    EXPECT_EQ(g.maxCount, 2u);
    EXPECT_EQ(g.CountNonZero(), 1u);
    EXPECT_EQ(g.TotalHits(), 1u);

    std::vector<std::uint8_t> bytes;
    Archive out(bytes);
    g.SerializeGrid(out);
    EXPECT_EQ(bytes.size(), 12u + 4u * 20 * 20);

    QuiltMap back;
    Archive in{std::span<const std::uint8_t>(bytes)};
    back.SerializeGrid(in);
    EXPECT_EQ(back.size, 20u);
    EXPECT_EQ(back.maxCount, 1u);
    EXPECT_EQ(back.CountAt(1, 1), 1u);
    EXPECT_EQ(back.CountAt(3, 20), 0u);
}

TEST(QuiltMapTest, ClearKeepsTheMarginWhileBuildSizeZeroesIt) {
    QuiltMap g;
    g.BuildSize(10);
    g.AddHit(10, 10);
    g.AddHit(0, 0);
    g.Clear();
    EXPECT_EQ(g.CountAt(0, 0), 0u);
    EXPECT_EQ(g.CountAt(10, 10), 1u);
    EXPECT_EQ(g.maxCount, 0u);
    g.BuildSize(10);
    EXPECT_EQ(g.CountAt(10, 10), 0u);
}

TEST(QuiltMapTest, LoadRebuildsTheTrueMaximumWhateverTheFileClaims) {
    QuiltMap g;
    g.BuildSize(250);
    g.AddHit(0, 0);
    g.AddHit(0, 0);
    g.AddHit(249, 249);
    std::vector<std::uint8_t> bytes;
    Archive out(bytes);
    g.SerializeGrid(out);
    ASSERT_EQ(bytes.size(), 250012u);
    bytes[0] = 0xFF; // stored maximum made wrong
    bytes[4] = 0x7;  // and the minimum
    QuiltMap back;
    Archive in{std::span<const std::uint8_t>(bytes)};
    back.SerializeGrid(in);
    EXPECT_EQ(back.maxCount, 2u);
    EXPECT_EQ(back.minCount, 0u);
    EXPECT_EQ(back.CountAt(249, 249), 1u);
}

TEST(QuiltMapTest, LoadRefusesAbsurdSizesBeforeAllocating) {
    for (std::uint32_t n : {0u, 4001u, 65535u, 0xFFFFFFFFu}) {
        std::vector<std::uint8_t> bytes;
        Archive out(bytes);
        std::uint32_t zero = 0;
        out.io(zero, "");
        out.io(zero, "");
        out.io(n, "");
        QuiltMap g;
        g.BuildSize(5);
        Archive in{std::span<const std::uint8_t>(bytes)};
        EXPECT_THROW(g.SerializeGrid(in), FormatError) << n;
        EXPECT_EQ(g.size, 5u) << "a refused record must not touch the grid";
    }
}

TEST(QuiltMapTest, LoadRefusesAShortCountTable) {
    QuiltMap g;
    g.BuildSize(30);
    std::vector<std::uint8_t> bytes;
    Archive out(bytes);
    g.SerializeGrid(out);
    bytes.pop_back();
    QuiltMap back;
    Archive in{std::span<const std::uint8_t>(bytes)};
    EXPECT_THROW(back.SerializeGrid(in), FormatError);
}

} // namespace
} // namespace zarn
