#include "document/CZARN40Doc.h"
#include "document/DocumentRegistry.h"
#include "document/MemorySizing.h"
#include "engine/CRandom.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <regex>

namespace zarn {
namespace {

DocumentOptions quiet(std::uint64_t seed = 11) {
    DocumentOptions o;
    o.seed = seed;
    o.startWorker = false;
    return o;
}

class MemorySizingTest : public ::testing::Test {
protected:
    void SetUp() override { saved = MaxDibSize(); }
    void TearDown() override { SetMaxDibSize(saved); }
    int saved = 0;
};

TEST_F(MemorySizingTest, PlentyOfMemoryKeeps1001AndAGridOf250) {
    const MemorySizing s = computeMemorySizing(1001, std::uint64_t{4} << 30);
    ASSERT_TRUE(s.ok);
    EXPECT_EQ(s.dibSize, 1001u);
    EXPECT_EQ(s.gridSize, 250u);
    EXPECT_EQ(s.dibThird, 667u);
    EXPECT_EQ(s.request, 2u * 1001 * (1001 + 6008) + 600040);
}

TEST_F(MemorySizingTest, LargeMachinesDoNotWrapHalfTheMemoryToZero) {
    for (std::uint64_t gib : {8u, 16u, 24u, 64u, 1024u}) {
        const MemorySizing s = computeMemorySizing(1001, gib << 30);
        EXPECT_TRUE(s.ok) << gib << " GiB";
        EXPECT_EQ(s.halfMemory, 4294967295u) << gib << " GiB";
        EXPECT_EQ(s.gridSize, 250u);
    }
}

TEST_F(MemorySizingTest, ShrinksByATenthAndFailsBelow200) {
    const MemorySizing tight = computeMemorySizing(1001, 2u * 10000000u);
    ASSERT_TRUE(tight.ok);
    EXPECT_LT(tight.dibSize, 1001u);
    EXPECT_LT(tight.request, tight.halfMemory);

    const MemorySizing none = computeMemorySizing(1001, 1000);
    EXPECT_FALSE(none.ok);
    EXPECT_LT(none.dibSize, 200u);
    EXPECT_NE(memorySizingMessage(none).find("MaxDibSize = "), std::string::npos);
}

TEST_F(MemorySizingTest, FailedDocumentLeavesTheLoweredSizeForTheNext) {
    DocumentOptions o = quiet();
    o.physicalMemory = 1000;
    EXPECT_THROW(CZARN40Doc doc(o), DocumentError);
    EXPECT_LT(MaxDibSize(), 200);
}

TEST(DocumentTest, ConstructionSetsTheDefaults) {
    CZARN40Doc doc(quiet());
    EXPECT_EQ(doc.CurrentFamily(), MapFamily::Square);
    EXPECT_EQ(doc.useRandomSettings, 1);
    EXPECT_EQ(doc.useDetailedSquare, 1);
    EXPECT_EQ(doc.useDetailedHex, 0);
    EXPECT_EQ(doc.squareDetailDepth, 6);
    EXPECT_EQ(doc.hexDetailDepth, 11);
    EXPECT_EQ(doc.viewPeriod, 2);
    EXPECT_EQ(doc.maxSteps, 60000000u);
    EXPECT_EQ(doc.imageOption4, 1);
    EXPECT_EQ(doc.QMap.size, 250u);
    EXPECT_EQ(doc.gridSize, 250);
    EXPECT_EQ(doc.minDistinctCells, 6250);
    EXPECT_EQ(doc.maxDibThird, 667);
    EXPECT_EQ(doc.stepCount.load(), 0u);
    EXPECT_EQ(doc.running.load(), 1);
    EXPECT_EQ(doc.title, doc.sessionName);
}

TEST(DocumentTest, AutoNamesFollowTheFamilyFormat) {
    CZARN40Doc doc(quiet());
    EXPECT_TRUE(std::regex_match(doc.quiltName, std::regex("Sym_Square[0-9]{6}"))) << doc.quiltName;
    EXPECT_EQ(doc.sessionName, doc.quiltName + ".session");
    EXPECT_EQ(doc.ptesName, "ptes_" + doc.quiltName);
    EXPECT_EQ(doc.windowName, "window_" + doc.quiltName);
    char digits[8];
    std::snprintf(digits, sizeof digits, "%06d", doc.nameNumber);
    EXPECT_EQ(doc.quiltName.substr(10), digits);

    doc.SelectFamily(MapFamily::ExpA);
    doc.BuildAutoNames();
    EXPECT_TRUE(std::regex_match(doc.quiltName, std::regex("USym_Expa[0-9]{6}"))) << doc.quiltName;
    doc.SelectFamily(MapFamily::Hex);
    doc.BuildAutoNames();
    EXPECT_TRUE(std::regex_match(doc.quiltName, std::regex("SymHex[0-9]{6}"))) << doc.quiltName;
}

TEST(DocumentTest, SelectFamilyLeavesExactlyOneFlag) {
    CZARN40Doc doc(quiet());
    for (MapFamily f : kAllFamilies) {
        doc.hexVariant = 1;
        doc.SelectFamily(f);
        EXPECT_EQ(doc.hexVariant, 0);
        EXPECT_EQ(doc.CurrentFamily(), f);
        EXPECT_EQ(doc.AutoNameFamily(), f);
        EXPECT_EQ(doc.RandomSetupFamily(), f);
        const int set = doc.flagHex + doc.flagSFT + doc.flagOctFour + doc.flagT + doc.flagSquareX +
                        doc.flagExpA + doc.flagDuo + doc.flagTWsq + doc.flagSquaret;
        EXPECT_EQ(set, f == MapFamily::Square ? 0 : 1);
    }
}

TEST(DocumentTest, TwoFlagsResolveDifferentlyInTheThreeOrders) {
    CZARN40Doc doc(quiet());
    doc.SelectFamily(MapFamily::Square);
    doc.flagHex = 1;
    doc.flagT = 1;
    EXPECT_EQ(doc.CurrentFamily(), MapFamily::T);
    EXPECT_EQ(doc.AutoNameFamily(), MapFamily::Hex);
    EXPECT_EQ(doc.RandomSetupFamily(), MapFamily::T);
    doc.SelectFamily(MapFamily::Square);
    doc.flagSFT = 1;
    doc.flagExpA = 1;
    EXPECT_EQ(doc.CurrentFamily(), MapFamily::ExpA);
    EXPECT_EQ(doc.RandomSetupFamily(), MapFamily::SFT);
}

TEST(DocumentTest, NewSquareQuiltTakesFiftyUniformDrawsAndThreeRandValues) {
    CZARN40Doc doc(quiet());
    RandomSource expected = doc.random;
    for (int i = 0; i < 50; ++i) {
        expected.Uniform();
    }
    cseed(4242);
    std::vector<int> sequence;
    for (int i = 0; i < 4; ++i) {
        sequence.push_back(crand());
    }
    cseed(4242);
    doc.NewRandomQuilt();
    EXPECT_EQ(doc.random.Uniform(), expected.Uniform());
    EXPECT_EQ(crand(), sequence[3]);
    EXPECT_EQ(doc.sqrMap.emm, static_cast<double>(sequence[0] % 3 - sequence[1] % 3));
    EXPECT_EQ(doc.sqrMap.offX, sequence[2] % 2 == 0 ? 0.5 : 0.0);
}

TEST(DocumentTest, GridSizeRuleRaisesMaxStepsOnlyWhenGrowingFromAbove100) {
    CZARN40Doc doc(quiet());
    doc.ChangeGridSize(500, 3500000);
    EXPECT_EQ(doc.QMap.size, 500u);
    EXPECT_EQ(doc.maxSteps, 87500000u);
    doc.ChangeGridSize(300, 3500000);
    EXPECT_EQ(doc.maxSteps, 87500000u);
    doc.ChangeGridSize(80, 3500000);
    doc.ChangeGridSize(400, 3500000);
    EXPECT_EQ(doc.maxSteps, 87500000u);
    doc.ChangeGridSize(1000, 9500000);
    EXPECT_EQ(doc.maxSteps, 950000000u);
    EXPECT_EQ(doc.gridSize, 1000);
}

TEST(DocumentTest, TheOsTestIsExact) {
    ::setenv("OS", "Windows_NT", 1);
    EXPECT_EQ(CZARN40Doc(quiet()).isWindowsNT, 1);
    ::setenv("OS", "Windows_NTX", 1);
    EXPECT_EQ(CZARN40Doc(quiet()).isWindowsNT, 0);
    ::unsetenv("OS");
    EXPECT_EQ(CZARN40Doc(quiet()).isWindowsNT, 0);
}

TEST(DocumentTest, RegistryHoldsAtMost100DocumentsAndForgetsClosedOnes) {
    DocumentRegistry registry;
    DocumentOptions o = quiet();
    o.registry = &registry;
    std::vector<std::unique_ptr<CZARN40Doc>> docs;
    for (int i = 0; i < 100; ++i) {
        docs.push_back(std::make_unique<CZARN40Doc>(o));
    }
    EXPECT_EQ(registry.count(), 100u);
    EXPECT_THROW(CZARN40Doc extra(o), DocumentError);
    EXPECT_EQ(registry.count(), 100u);
    docs.pop_back();
    EXPECT_EQ(registry.count(), 99u);
    CZARN40Doc* first = registry.next();
    for (int i = 0; i < 98; ++i) {
        registry.next();
    }
    EXPECT_EQ(registry.next(), first) << "round-robin wraps";
}

TEST(DocumentTest, SameSeedGivesTheSameQuilt) {
    CZARN40Doc a(quiet(77)), b(quiet(77)), c(quiet(78));
    EXPECT_EQ(a.quiltName, b.quiltName);
    EXPECT_EQ(a.sqrMap.coef, b.sqrMap.coef);
    EXPECT_NE(a.sqrMap.coef, c.sqrMap.coef);
}

} // namespace
} // namespace zarn
