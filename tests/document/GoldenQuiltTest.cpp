#include "document/CZARN40Doc.h"
#include "document/Commands.h"
#include "engine/Isa.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>

namespace zarn {
namespace {

/**
 * Fingerprints of seeded runs of every family: the hit grid and the orbit's last point after a
 * fixed number of steps. Any change to a map's numbers, a draw order or the driver's rules shows
 * up here. When a change is meant to alter the numbers, update the table in the same commit and
 * say why (with the evidence that the pictures are statistically the same).
 *
 * The batched sines of the x86-64 baseline round differently from x86-64-v3's, so those two
 * levels have fingerprints of their own. x86-64-v4 takes some sines eight at a time where v3
 * takes four, so a lane's reduction may differ (it is chosen per vector), but every
 * recorded case gives v3's fingerprint there. The test executable runs with ZARN_ISA=v3, which
 * machines with AVX-512 lower to, and its golden cases once more with ZARN_ISA=v4, which skip
 * where the machine has no AVX-512.
 */
struct GoldenCase {
    const char* name;
    MapFamily family;
    std::optional<bool> detailed;
    bool knot;
    std::uint64_t seed;
    /** With the step kernels of the x86-64 baseline and of x86-64-v3 (and v4, see above). */
    std::uint64_t baselineHash;
    std::uint64_t v3Hash;
};

/** The recorded fingerprint for the level the kernels run at; none for a run that asked for
 *  x86-64-v4 on a machine without it (it would repeat the v3 run). */
std::optional<std::uint64_t> expectedFor(std::uint64_t baseline, std::uint64_t v3) {
    const Isa isa = activeIsa();
    const char* asked = std::getenv("ZARN_ISA");
    if (asked != nullptr && parseIsa(asked) == Isa::V4 && isa != Isa::V4) {
        return std::nullopt;
    }
    return isa == Isa::Baseline ? baseline : v3;
}

std::uint64_t fnv1a(std::uint64_t h, const void* data, std::size_t size) {
    const auto* p = static_cast<const unsigned char*>(data);
    for (std::size_t i = 0; i < size; ++i) {
        h = (h ^ p[i]) * 0x100000001B3ull;
    }
    return h;
}

std::uint64_t fingerprint(const QuiltState& s) {
    std::uint64_t h = 0xCBF29CE484222325ull;
    const int n = static_cast<int>(s.QMap.size);
    for (int row = 0; row < n; ++row) {
        for (int column = 0; column < n; ++column) {
            const std::uint32_t count = s.QMap.CountAt(row, column);
            h = fnv1a(h, &count, sizeof count);
        }
    }
    h = fnv1a(h, &s.pointX, sizeof s.pointX);
    h = fnv1a(h, &s.pointY, sizeof s.pointY);
    const std::uint32_t steps = s.status.stepCount.load();
    return fnv1a(h, &steps, sizeof steps);
}

class GoldenQuiltTest : public ::testing::TestWithParam<GoldenCase> {};

TEST_P(GoldenQuiltTest, SeededRunGivesTheRecordedGrid) {
    const GoldenCase& c = GetParam();
    DocumentOptions options;
    options.seed = c.seed;
    options.startWorker = false;
    NewQuiltOptions settings;
    settings.family = c.family;
    settings.detailed = c.detailed;
    settings.knot = c.knot;
    settings.gridSize = 120;
    auto doc = NewQuilt(options, settings);
    for (int i = 0; i < 40000; ++i) {
        doc->IterateStep();
    }
    ScopedPause pause(*doc);
    const QuiltState& s = doc->State(pause);
    ASSERT_EQ(s.status.collapsedReplacements.load() + s.status.invalidReplacements.load(), 0u)
        << c.name << ": pick a seed whose quilt lives through the run";
    char hex[32];
    std::snprintf(hex, sizeof hex, "0x%016llXull", static_cast<unsigned long long>(fingerprint(s)));
    const std::optional<std::uint64_t> expected = expectedFor(c.baselineHash, c.v3Hash);
    if (!expected) {
        GTEST_SKIP() << "this machine has no x86-64-v4";
    }
    EXPECT_EQ(fingerprint(s), *expected)
        << c.name << " now gives " << hex << " at " << isaName(activeIsa());
}

INSTANTIATE_TEST_SUITE_P(
    Families, GoldenQuiltTest,
    ::testing::Values(GoldenCase{"Square", MapFamily::Square, false, false, 1234,
                                 0x8366897415DCF726ull, 0x840D35B740669E34ull},
                      GoldenCase{"SquareDetailed", MapFamily::Square, true, false, 1,
                                 0x3E87200A10AA73B4ull, 0x6AD765DAD04173DBull},
                      GoldenCase{"Oct_Four", MapFamily::Oct_Four, std::nullopt, false, 1234,
                                 0x76BD25E48BE9346Cull, 0x560ABA37CDCA6B03ull},
                      GoldenCase{"SFT", MapFamily::SFT, std::nullopt, false, 1234,
                                 0x7019EC7ED6F4FBE0ull, 0x7019EC7ED6F4FBE0ull},
                      GoldenCase{"Hex", MapFamily::Hex, false, false, 1234, 0xA8C925B7F2B38AF2ull,
                                 0x0CA3D16C31C4179Aull},
                      GoldenCase{"HexDetailed", MapFamily::Hex, true, false, 1234,
                                 0x0DB76ED730244A57ull, 0xB1C559AF2B224FFDull},
                      GoldenCase{"HexKnot", MapFamily::Hex, false, true, 1234,
                                 0xCC77C44605FD5294ull, 0x5C9D58C017F3A5EAull},
                      GoldenCase{"SquareX", MapFamily::SquareX, std::nullopt, false, 1234,
                                 0x40523D00E6C39ED7ull, 0x7BE61EA6AB5B7EB3ull},
                      GoldenCase{"T", MapFamily::T, std::nullopt, false, 1234,
                                 0x75A64C9940DE3B22ull, 0x75A64C9940DE3B22ull},
                      GoldenCase{"ExpA", MapFamily::ExpA, std::nullopt, false, 1234,
                                 0x6629A6326AF75619ull, 0xCFA1C24916011E25ull},
                      GoldenCase{"TWsq", MapFamily::TWsq, std::nullopt, false, 1234,
                                 0x1BCB8832BC14B099ull, 0xCD9BB3F725377AA3ull},
                      GoldenCase{"Squaret", MapFamily::Squaret, std::nullopt, false, 3,
                                 0xEFCC4B0EB5E7610Full, 0xC5CE32A332BEE95Full},
                      GoldenCase{"Duo", MapFamily::Duo, std::nullopt, false, 1234,
                                 0xF914F0C610811B3Eull, 0x3B8BE4D6B6F7A31Aull}),
    [](const auto& info) { return std::string(info.param.name); });

/**
 * Several orbits: each takes a fixed share of every 10,000 steps, however the worker groups the
 * rounds between two barriers. 450,000 steps pass two dirty marks and end inside a round.
 */
TEST(GoldenQuiltTest, SeveralOrbitsGiveTheRecordedGrid) {
    struct OrbitCase {
        MapFamily family;
        std::uint64_t baselineHash;
        std::uint64_t v3Hash;
    };
    for (const OrbitCase& c :
         {OrbitCase{MapFamily::Square, 0x595919C7BD5E8E94ull, 0x1726AA6FBEAE04F5ull},
          OrbitCase{MapFamily::T, 0x512A1FF71217CE69ull, 0x512A1FF71217CE69ull}}) {
        DocumentOptions options;
        options.seed = 1234;
        options.orbits = 3;
        NewQuiltOptions settings;
        settings.family = c.family;
        settings.gridSize = 120;
        settings.maxSteps = 449999;
        auto doc = NewQuilt(options, settings);
        WaitUntilFinished(*doc, {});
        ScopedPause pause(*doc);
        const QuiltState& s = doc->State(pause);
        ASSERT_EQ(s.status.collapsedReplacements.load() + s.status.invalidReplacements.load(), 0u);
        char hex[32];
        std::snprintf(hex, sizeof hex, "0x%016llXull",
                      static_cast<unsigned long long>(fingerprint(s)));
        const std::optional<std::uint64_t> expected = expectedFor(c.baselineHash, c.v3Hash);
        if (!expected) {
            GTEST_SKIP() << "this machine has no x86-64-v4";
        }
        EXPECT_EQ(fingerprint(s), *expected)
            << familyName(c.family) << " now gives " << hex << " at " << isaName(activeIsa());
    }
}

} // namespace
} // namespace zarn
