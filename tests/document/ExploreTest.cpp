#include "document/Explore.h"
#include "document/CZARN40Doc.h"
#include "document/QuiltOps.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace zarn {
namespace {

ExploreOptions smallRun(int keep) {
    ExploreOptions options;
    options.count = 5;
    options.firstSeed = 101;
    options.settings.maxSteps = 30000;
    options.settings.gridSize = 40;
    options.scale = LevelScaleKind::Logarithmic;
    options.threads = 2;
    options.keep = keep;
    return options;
}

TEST(ExploreTest, CandidatesComeBestFirstWithEveryFamilyInTurnAndTheBestKept) {
    const std::vector<ExploreCandidate> ranked = Explore(smallRun(2));
    ASSERT_EQ(ranked.size(), 5u);
    std::vector<std::uint64_t> seeds;
    for (std::size_t i = 0; i < ranked.size(); ++i) {
        const ExploreCandidate& c = ranked[i];
        seeds.push_back(c.seed);
        EXPECT_EQ(c.family, kAllFamilies[static_cast<std::size_t>(c.seed - 101)]);
        EXPECT_GT(c.period.width, 0);
        EXPECT_EQ(c.doc != nullptr, i < 2) << i;
        if (i > 0) {
            EXPECT_GE(ranked[i - 1].score.value, c.score.value);
        }
    }
    std::sort(seeds.begin(), seeds.end());
    EXPECT_EQ(seeds, (std::vector<std::uint64_t>{101, 102, 103, 104, 105}));
    // A kept quilt is the finished candidate, scored as it stands.
    EXPECT_TRUE(ranked[0].doc->isFinished());
    EXPECT_EQ(ranked[0].doc->Score(LevelScaleKind::Logarithmic).value, ranked[0].score.value);

    // Seeded candidates on threads: the same run ranks the same way.
    const std::vector<ExploreCandidate> again = Explore(smallRun(0));
    for (std::size_t i = 0; i < ranked.size(); ++i) {
        EXPECT_EQ(again[i].seed, ranked[i].seed);
        EXPECT_EQ(again[i].score.value, ranked[i].score.value);
        EXPECT_EQ(again[i].period.pixels, ranked[i].period.pixels);
    }
}

TEST(ExploreTest, AnUnreadableColourFileStopsTheRun) {
    ExploreOptions options = smallRun(0);
    options.settings.colorFile = "/nonexistent/none.qcl";
    EXPECT_THROW(Explore(options), DocumentError);
}

TEST(QuiltScoreOfADocumentTest, AFreshQuiltIsFlatAndAGrownOneIsNot) {
    DocumentOptions options;
    options.seed = 21;
    options.startWorker = false;
    CZARN40Doc doc(options);
    for (const LevelScaleKind kind : kLevelScaleKinds) {
        EXPECT_TRUE(doc.Score(kind).flat());
    }
    for (int i = 0; i < 400000; ++i) {
        doc.IterateStep();
    }
    for (const LevelScaleKind kind : kLevelScaleKinds) {
        const QuiltScore score = doc.Score(kind);
        EXPECT_FALSE(score.flat()) << levelScaleName(kind);
    }
}

} // namespace
} // namespace zarn
