#include "TestDocuments.h"
#include "document/CZARN40Doc.h"
#include "document/Commands.h"
#include "document/DocumentRegistry.h"
#include "document/Families.h"
#include "document/MemorySizing.h"
#include "document/PictureColours.h"
#include "document/QuiltOps.h"
#include "engine/CRandom.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <regex>

namespace zarn {
namespace {

using testing_support::stateOf;

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
    const QuiltState& s = stateOf(doc);
    EXPECT_EQ(doc.CurrentFamily(), MapFamily::Square);
    EXPECT_EQ(s.useRandomSettings, 1);
    EXPECT_FALSE(s.useDetailedSquare()) << "a new quilt iterates the plain square map";
    EXPECT_FALSE(s.useDetailedHex());
    EXPECT_EQ(s.squareDetailDepth(), 6);
    EXPECT_EQ(s.hexDetailDepth(), 11);
    EXPECT_EQ(s.viewPeriod, 2);
    EXPECT_EQ(doc.maxSteps(), 60000000u);
    EXPECT_EQ(s.imageOption[3], 1);
    EXPECT_EQ(s.gridSize(), 250u);
    EXPECT_EQ(s.minDistinctCells, 6250);
    EXPECT_EQ(s.maxDibThird, 667);
    EXPECT_EQ(doc.stepCount(), 0u);
    EXPECT_EQ(s.status.running.load(), 1);
    EXPECT_EQ(s.title, s.names.sessionName);
    EXPECT_EQ(doc.snapshot().title, s.names.sessionName);
}

TEST(DocumentTest, AutoNamesFollowTheFamilyFormat) {
    CZARN40Doc doc(quiet());
    QuiltState& s = stateOf(doc);
    const QuiltNames& n = s.names;
    EXPECT_TRUE(std::regex_match(n.quiltName, std::regex("Sym_Square[0-9]{6}"))) << n.quiltName;
    EXPECT_EQ(n.sessionName, n.quiltName + ".session");
    EXPECT_EQ(n.ptesName, "ptes_" + n.quiltName);
    EXPECT_EQ(n.windowName, "window_" + n.quiltName);
    char digits[8];
    std::snprintf(digits, sizeof digits, "%06d", n.nameNumber);
    EXPECT_EQ(n.quiltName.substr(10), digits);

    s.family = MapFamily::ExpA;
    BuildAutoNames(s);
    EXPECT_TRUE(std::regex_match(n.quiltName, std::regex("USym_Expa[0-9]{6}"))) << n.quiltName;
    s.family = MapFamily::Hex;
    BuildAutoNames(s);
    EXPECT_TRUE(std::regex_match(n.quiltName, std::regex("SymHex[0-9]{6}"))) << n.quiltName;
    EXPECT_EQ(s.title, n.sessionName);
}

TEST(DocumentTest, EveryFamilyDrawsANamedQuiltAndIteratesIt) {
    CZARN40Doc doc(quiet());
    for (MapFamily f : kAllFamilies) {
        doc.SelectFamily(f);
        doc.NewRandomQuilt();
        EXPECT_EQ(doc.CurrentFamily(), f);
        EXPECT_EQ(doc.snapshot().family, f);
        char prefix[32];
        std::snprintf(prefix, sizeof prefix, autoNameFormat(f), 0L);
        EXPECT_EQ(doc.snapshot().quiltName.substr(0, std::strlen(prefix) - 6),
                  std::string(prefix).substr(0, std::strlen(prefix) - 6));
        for (int i = 0; i < 5000; ++i) {
            doc.IterateStep();
        }
        EXPECT_GT(stateOf(doc).QMap.TotalHits(), 0u) << familyName(f);
    }
}

TEST(DocumentTest, NewSquareQuiltTakesFiftyUniformDrawsAndThreeRandValues) {
    CZARN40Doc doc(quiet());
    QuiltState& s = stateOf(doc);
    RandomSource expected = s.random;
    for (int i = 0; i < 50; ++i) {
        expected.Uniform();
    }
    s.crandom.seed(4242);
    CRandom reference(4242);
    std::vector<int> sequence;
    for (int i = 0; i < 4; ++i) {
        sequence.push_back(reference());
    }
    doc.NewRandomQuilt();
    EXPECT_EQ(s.random.Uniform(), expected.Uniform());
    EXPECT_EQ(s.crandom(), sequence[3]);
    EXPECT_EQ(s.sqrMap.emm, static_cast<double>(sequence[0] % 3 - sequence[1] % 3));
    EXPECT_EQ(s.sqrMap.offX, sequence[2] % 2 == 0 ? 0.5 : 0.0);
}

TEST(DocumentTest, GridSizeRuleRaisesMaxStepsOnlyWhenGrowingFromAbove100) {
    CZARN40Doc doc(quiet());
    QuiltState& s = stateOf(doc);
    ChangeGridSize(s, 500, 3500000);
    EXPECT_EQ(s.QMap.size, 500u);
    EXPECT_EQ(doc.maxSteps(), 87500000u);
    ChangeGridSize(s, 300, 3500000);
    EXPECT_EQ(doc.maxSteps(), 87500000u);
    ChangeGridSize(s, 80, 3500000);
    ChangeGridSize(s, 400, 3500000);
    EXPECT_EQ(doc.maxSteps(), 87500000u);
    ChangeGridSize(s, 1000, 9500000);
    EXPECT_EQ(doc.maxSteps(), 950000000u);
    EXPECT_EQ(s.hexMap.cellSize, 1000.0) << "the hexagonal period follows the grid";

    doc.SelectFamily(MapFamily::SquareX);
    doc.ChangeGridSize(250);
    doc.ChangeGridSize(400);
    EXPECT_EQ(doc.maxSteps(), 152000000u) << "the wild corner's own factor";
    EXPECT_EQ(doc.snapshot().gridSize, 400u);
}

TEST(DocumentTest, TheOsTestIsExact) {
    ::setenv("OS", "Windows_NT", 1);
    EXPECT_EQ(stateOf(*std::make_unique<CZARN40Doc>(quiet())).isWindowsNT, 1);
    ::setenv("OS", "Windows_NTX", 1);
    EXPECT_EQ(stateOf(*std::make_unique<CZARN40Doc>(quiet())).isWindowsNT, 0);
    ::unsetenv("OS");
    EXPECT_EQ(stateOf(*std::make_unique<CZARN40Doc>(quiet())).isWindowsNT, 0);
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
    try {
        CZARN40Doc extra(o);
        FAIL() << "the 101st document must be refused";
    } catch (const DocumentError& e) {
        EXPECT_STREQ(e.what(), "An invalid argument was encountered.");
    }
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
    EXPECT_EQ(stateOf(a).names.quiltName, stateOf(b).names.quiltName);
    EXPECT_EQ(stateOf(a).sqrMap.coef, stateOf(b).sqrMap.coef);
    EXPECT_NE(stateOf(a).sqrMap.coef, stateOf(c).sqrMap.coef);
}

// The hexagonal picture keeps each pixel's cell from one picture to the next; whatever changed,
// the picture must be the one folded pixel by pixel.
TEST(HexPicture, TheKeptPixelTableGivesThePictureFoldedPixelByPixel) {
    NewQuiltOptions settings;
    settings.family = MapFamily::Hex;
    settings.gridSize = 60;
    auto doc = NewQuilt(testing_support::driven(7), settings);
    QuiltState& s = stateOf(*doc);
    const std::pair<const char*, std::function<void()>> changes[] = {
        {"the first picture", [] {}},
        {"more hits, the same fold", [] {}},
        {"a larger grid", [&] { doc->ChangeGridSize(90); }},
        {"a view constant", [&] { s.hexMap.shrinkCentre.im += 0.01; }},
        {"knot mode", [&] { s.setHexKnot(true); }}};
    for (const auto& [what, change] : changes) {
        change();
        for (int i = 0; i < 20000; ++i) {
            doc->IterateStep();
        }
        doc->RebuildPalette();
        const PictureColours c = PictureColoursOn(s, LevelScaleKind::Classic);
        PeriodBitmap folded(doc->PeriodSizeOf().width, doc->PeriodSizeOf().height);
        fillBitmap(folded, c.palette, c.scale, [&](int x, int y) {
            return s.hexMap.PixelCount(s.QMap, static_cast<std::uint32_t>(x),
                                       static_cast<std::uint32_t>(y), s.hexKnot());
        });
        EXPECT_EQ(doc->RenderPeriod().pixels, folded.pixels) << what;
    }
}

} // namespace
} // namespace zarn
