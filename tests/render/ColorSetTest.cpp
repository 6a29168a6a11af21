#include "render/ColorC.h"
#include "render/ColorSetRecord.h"

#include "engine/Archive.h"
#include "engine/CRandom.h"
#include "engine/RandomSource.h"

#include <gtest/gtest.h>

#include <functional>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <numeric>
#include <unistd.h>

namespace zarn {
namespace {

namespace fs = std::filesystem;

constexpr double kSeed = 0.123456789;

double activeSum(const ColorC& c) {
    double sum = 0.0;
    for (int k = 0; k < ColorC::kColors; ++k) {
        if (c.isActive(k)) {
            sum += c.fraction[k];
        }
    }
    return sum;
}

/** A colour set attached to a history, with all six colours active and distinct shares. */
struct SixColours {
    ColorSetHistory history;
    ColorC colors{kSeed};

    SixColours() {
        colors.LoadFromHistory(history);
        colors.useColors34 = 1;
        colors.useColors56 = 1;
        colors.fraction = {0.1, 0.15, 0.2, 0.25, 0.12, 0.18};
        colors.RefreshPercents();
    }
};

class TempDir : public ::testing::Test {
protected:
    void SetUp() override {
        std::string test = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        std::replace(test.begin(), test.end(), '/', '_');
        dir =
            fs::temp_directory_path() / ("zarn-colors-" + std::to_string(::getpid()) + "-" + test);
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }

    std::string file(const std::string& name) const { return (dir / name).string(); }

    fs::path dir;
};

std::vector<std::uint8_t> storeRecord(ColorSetRecord r) {
    std::vector<std::uint8_t> bytes;
    Archive ar(bytes);
    r.Serialize(ar);
    return bytes;
}

template <typename T> T readAt(const std::vector<std::uint8_t>& bytes, std::size_t offset) {
    T v{};
    std::memcpy(&v, bytes.data() + offset, sizeof v);
    return v;
}

void writeBytes(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

// --- Shares --------------------------------------------------------------------------------

struct NormalizeCase {
    const char* label;
    int use34;
    int use56;
    std::array<std::int32_t, 6> fixed;
};

class NormalizeTest : public ::testing::TestWithParam<NormalizeCase> {};

TEST_P(NormalizeTest, NudgesActiveSharesSetsIdleOnesAndSplitsFixedFromUnfixed) {
    const NormalizeCase& p = GetParam();
    ColorC c{kSeed};
    c.useColors34 = p.use34;
    c.useColors56 = p.use56;
    c.fixed = p.fixed;
    c.fraction = {0.3, 0.1, 0.2, 0.15, 0.05, 0.2};
    const auto before = c.fraction;

    const double total = c.Normalize();

    double sum = 0.0;
    for (int k = 0; k < 6; ++k) {
        if (c.isActive(k)) {
            sum += before[k] + 0.0001;
        }
    }
    double unfixed = 0.0;
    for (int k = 0; k < 6; ++k) {
        if (c.isActive(k)) {
            EXPECT_DOUBLE_EQ(c.fraction[k], (before[k] + 0.0001) / sum) << k;
            unfixed += p.fixed[k] == 0 ? c.fraction[k] : 0.0;
        } else {
            EXPECT_EQ(c.fraction[k], 0.0001) << k;
        }
    }
    EXPECT_NEAR(total, 1.0, 1e-12);
    EXPECT_EQ(c.total, total);
    EXPECT_NEAR(c.unfixedSum, unfixed, 1e-12);
    EXPECT_NEAR(c.fixedSum, total - unfixed, 1e-12);
}

INSTANTIATE_TEST_SUITE_P(Colours, NormalizeTest,
                         ::testing::Values(NormalizeCase{"two", 0, 0, {0, 0, 0, 0, 0, 0}},
                                           NormalizeCase{
                                               "fiveSixWithoutThreeFour", 0, 1, {0, 1, 0, 0, 0, 0}},
                                           NormalizeCase{"four", 1, 0, {1, 0, 0, 1, 0, 0}},
                                           NormalizeCase{"six", 1, 1, {0, 0, 1, 0, 1, 0}}),
                         [](const auto& info) { return std::string(info.param.label); });

TEST(ColorSetShares, IncreaseTakesFromOtherUnfixedColoursInProportion) {
    SixColours s;
    ColorC& c = s.colors;
    c.fixed[3] = 1;
    c.Normalize();
    const auto before = c.fraction;
    ColorC expected = c;
    expected.Normalize();
    const auto normalized = expected.fraction;
    const double others = normalized[1] + normalized[2] + normalized[4] + normalized[5];

    c.IncreaseShare(0, 0.05);

    EXPECT_NEAR(c.fraction[0], normalized[0] + 0.05, 1e-12);
    EXPECT_NEAR(c.fraction[3], normalized[3], 1e-12) << "a fixed share must not move";
    for (int j : {1, 2, 4, 5}) {
        EXPECT_NEAR(c.fraction[j], normalized[j] - 0.05 * normalized[j] / others, 1e-12) << j;
    }
    EXPECT_NEAR(activeSum(c), 1.0, 1e-12);
    EXPECT_NE(before, c.fraction);
}

TEST(ColorSetShares, IncreaseIsCappedByWhatTheOthersHold) {
    ColorSetHistory h;
    ColorC c{kSeed};
    c.LoadFromHistory(h);
    c.fraction = {0.5, 0.5, 0, 0, 0, 0};
    c.IncreaseShare(0, 5.0);
    // Colour 2 gives all it has.
    EXPECT_NEAR(c.fraction[1], 0.0, 1e-12);
    EXPECT_NEAR(c.fraction[0], 1.0, 1e-12);
}

TEST(ColorSetShares, IncreaseDoesNothingWhenTheOthersHoldTooLittle) {
    SixColours s;
    ColorC& c = s.colors;
    c.fixed = {0, 1, 1, 1, 1, 1};
    ColorC expected = c;
    expected.Normalize();
    c.IncreaseShare(0, 0.05);
    EXPECT_EQ(c.fraction, expected.fraction);
}

TEST(ColorSetShares, DecreaseGivesToOtherUnfixedColoursInProportion) {
    SixColours s;
    ColorC& c = s.colors;
    c.fixed[5] = 1;
    ColorC expected = c;
    expected.Normalize();
    const auto n = expected.fraction;
    const double others = n[0] + n[1] + n[2] + n[4];

    c.DecreaseShare(3, 0.1);

    EXPECT_NEAR(c.fraction[3], n[3] - 0.1, 1e-12);
    EXPECT_NEAR(c.fraction[5], n[5], 1e-12);
    for (int j : {0, 1, 2, 4}) {
        EXPECT_NEAR(c.fraction[j], n[j] + 0.1 * n[j] / others, 1e-12) << j;
    }
}

TEST(ColorSetShares, DecreaseWithEveryOtherActiveColourFixedChangesNothing) {
    SixColours s;
    ColorC& c = s.colors;
    c.fixed = {1, 1, 0, 1, 1, 1};
    ColorC expected = c;
    expected.Normalize();
    c.DecreaseShare(2, 0.1);
    EXPECT_EQ(c.fraction, expected.fraction);

    // The button moves nothing either: its refresh only renormalises.
    c.decreaseShareButton(2);
    expected.Normalize();
    expected.RefreshPercents();
    EXPECT_EQ(c.fraction, expected.fraction);
    EXPECT_EQ(c.percent, expected.percent);
}

TEST(ColorSetShares, ButtonsIgnoreFixedAndInactiveColours) {
    SixColours s;
    ColorC& c = s.colors;
    c.useColors56 = 0;
    c.fixed[1] = 1;
    c.RefreshPercents();
    for (int k : {1, 4, 5, -1, 6}) {
        ColorC expected = c;
        expected.RefreshPercents();
        c.increaseShareButton(k);
        EXPECT_EQ(c.fraction, expected.fraction) << "+ on " << k;
        expected = c;
        expected.RefreshPercents();
        c.decreaseShareButton(k);
        EXPECT_EQ(c.fraction, expected.fraction) << "- on " << k;
    }
}

TEST(ColorSetShares, NonFiniteOrNegativeAmountsMoveNothing) {
    SixColours s;
    ColorC& c = s.colors;
    ColorC expected = c;
    expected.Normalize();
    for (double amount : {-0.1, 0.0, std::numeric_limits<double>::quiet_NaN(),
                          std::numeric_limits<double>::infinity()}) {
        ColorC a = c;
        a.IncreaseShare(0, amount);
        EXPECT_EQ(a.fraction, expected.fraction) << amount;
        ColorC d = c;
        d.DecreaseShare(0, amount);
        EXPECT_EQ(d.fraction, expected.fraction) << amount;
    }
}

TEST(ColorSetShares, IncrementButtonsDoubleBelowCeilingAndHalveAboveZero) {
    ColorC c{kSeed};
    std::vector<double> seen;
    for (int i = 0; i < 7; ++i) {
        c.doubleIncrement();
        seen.push_back(c.increment);
    }
    EXPECT_EQ(seen, (std::vector<double>{0.02, 0.04, 0.08, 0.16, 0.32, 0.32, 0.32}));
    c.increment = 0.0;
    c.halveIncrement();
    EXPECT_EQ(c.increment, 0.0);
    c.increment = 0.01;
    c.halveIncrement();
    EXPECT_EQ(c.increment, 0.005);
}

// --- Switching colours ---------------------------------------------------------------------

TEST(ColorSetSwitching, ClearingThreeFourAlsoClearsFiveSixAndGivesColoursOneTwoEverything) {
    SixColours s;
    ColorC& c = s.colors;
    c.fixed = {1, 0, 1, 0, 1, 1};
    c.SetUseColors34(false);
    EXPECT_EQ(c.useColors34, 0);
    EXPECT_EQ(c.useColors56, 0);
    EXPECT_NEAR(c.fraction[0] + c.fraction[1], 1.0, 1e-12);
    EXPECT_NEAR(c.percent[0] + c.percent[1], 100.0, 1e-9);
    for (int k = 2; k < 6; ++k) {
        EXPECT_EQ(c.fraction[k], 0.0001);
    }
    EXPECT_EQ(c.fixed, (std::array<std::int32_t, 6>{1, 0, 1, 0, 1, 1}));
}

TEST(ColorSetSwitching, FiveSixStaysOffWhileThreeFourIsOff) {
    ColorSetHistory h;
    ColorC c{kSeed};
    c.LoadFromHistory(h);
    c.SetUseColors56(true);
    EXPECT_EQ(c.useColors56, 0);
    EXPECT_NEAR(activeSum(c), 1.0, 1e-12);
}

TEST(ColorSetSwitching, ClearingFiveSixHandsItsSharesToColoursOneToFour) {
    SixColours s;
    ColorC& c = s.colors;
    c.fixed = {0, 1, 0, 1, 0, 0};
    c.SetUseColors56(false);
    EXPECT_EQ(c.useColors34, 1);
    EXPECT_EQ(c.useColors56, 0);
    EXPECT_NEAR(c.fraction[0] + c.fraction[1] + c.fraction[2] + c.fraction[3], 1.0, 1e-12);
    EXPECT_EQ(c.fraction[4], 0.0001);
    EXPECT_EQ(c.fraction[5], 0.0001);
    EXPECT_EQ(c.fixed, (std::array<std::int32_t, 6>{0, 1, 0, 1, 0, 0}));
}

TEST(ColorSetSwitching, SwitchingOnNeedsNoRedistribution) {
    ColorSetHistory h;
    ColorC c{kSeed};
    c.LoadFromHistory(h);
    c.SetUseColors34(true);
    EXPECT_TRUE(c.isActive(2));
    EXPECT_GT(c.fraction[2], 0.0);
    EXPECT_NEAR(activeSum(c), 1.0, 1e-12);
}

// --- Random colours ------------------------------------------------------------------------

TEST(ColorSetRandom, DrawsBlueGreenRedFromCGeneratorAndSharesFromOwnSource) {
    ColorSetHistory h;
    ColorC c{kSeed};
    c.LoadFromHistory(h);
    c.useColors34 = 1;
    c.fixed[1] = 1;
    c.red[1] = 7;
    const auto fixedShare = c.fraction[1];
    RandomSource expectedRng = c.rng;

    CRandom replay(99);
    std::vector<int> draws;
    for (int i = 0; i < 15; ++i) {
        draws.push_back(replay() & 255);
    }
    const ColorC before = c;
    // Without a history the drawn shares stay as drawn.
    c.history = nullptr;
    CRandom cRandom(99);
    c.RandomColors(cRandom);

    std::size_t d = 0;
    for (int k = 0; k < 6; ++k) {
        if (k == 1) {
            EXPECT_EQ(c.red[1], 7);
            continue;
        }
        EXPECT_EQ(c.blue[k], draws[d++]) << k;
        EXPECT_EQ(c.green[k], draws[d++]) << k;
        EXPECT_EQ(c.red[k], draws[d++]) << k;
    }
    for (int k : {0, 2, 3}) {
        EXPECT_EQ(c.fraction[k], expectedRng.Uniform()) << k;
    }
    EXPECT_EQ(c.fraction[1], fixedShare);
    EXPECT_EQ(c.fraction[4], before.fraction[4]) << "inactive colours keep their share";
}

// --- History -------------------------------------------------------------------------------

TEST(ColorSetHistoryRing, LoadFromEmptyHistoryKeepsColoursAndStartsNumbering) {
    ColorSetHistory h;
    ColorC c{kSeed};
    c.red[0] = 200;
    c.sequence = 17;
    c.LoadFromHistory(h);
    EXPECT_EQ(c.history, &h);
    EXPECT_EQ(c.sequence, 0);
    EXPECT_EQ(c.red[0], 200);
    EXPECT_EQ(c.nameString(), "default");
    EXPECT_NEAR(c.percent[0] + c.percent[1], 100.0, 1e-9);
}

TEST(ColorSetHistoryRing, CommitStoresTheSetTwiceAndAdvances) {
    ColorSetHistory h;
    ColorC c{kSeed};
    c.LoadFromHistory(h);
    c.blue[3] = 123;
    ASSERT_TRUE(c.CommitToHistory());
    EXPECT_EQ(h.current, 1);
    EXPECT_EQ(c.sequence, 1);
    EXPECT_EQ(h.records[0].valid, 1);
    EXPECT_EQ(h.records[0].sequence, 0);
    EXPECT_EQ(h.records[1].valid, 1);
    EXPECT_EQ(h.records[1].sequence, 1);
    EXPECT_EQ(h.records[1].blue[3], 123);
    EXPECT_EQ(h.records[2].valid, 0);
    EXPECT_EQ(h.records[2].sequence, -1);
}

TEST(ColorSetHistoryRing, TwentyCommitsWrapAndOverwriteTheOldestSlot) {
    ColorSetHistory h;
    ColorC c{kSeed};
    c.LoadFromHistory(h);
    for (int i = 0; i < 20; ++i) {
        c.green[0] = i;
        ASSERT_TRUE(c.CommitToHistory());
    }
    EXPECT_EQ(h.current, 0);
    EXPECT_EQ(h.records[0].sequence, 20);
    EXPECT_EQ(h.records[0].green[0], 19);
    EXPECT_EQ(h.records[19].sequence, 19);
    EXPECT_EQ(h.records[1].sequence, 1);

    ColorC reloaded{kSeed};
    reloaded.LoadFromHistory(h);
    EXPECT_EQ(reloaded.green[0], 19);
}

TEST(ColorSetHistoryRing, CommitWithoutHistoryReportsFalse) {
    ColorC c{kSeed};
    EXPECT_FALSE(c.CommitToHistory());
    EXPECT_EQ(c.sequence, 0);
}

// --- Records -------------------------------------------------------------------------------

ColorSetRecord distinctRecord() {
    ColorSetRecord r;
    for (int k = 0; k < 6; ++k) {
        r.blue[k] = 10 + k;
        r.green[k] = 20 + k;
        r.red[k] = 30 + k;
        r.percent[k] = 40.5 + k;
        r.fixed[k] = k % 2;
        r.fraction[k] = 0.01 * (k + 1);
        r.order[k] = 5 - k;
    }
    r.useColors34 = 1;
    r.useColors56 = 1;
    r.increment = 0.0625;
    r.total = 0.875;
    r.reserved = -77;
    std::strcpy(r.name.data(), "/tmp/colours.qcl");
    r.valid = 1;
    r.sequence = 42;
    return r;
}

TEST(ColorSetRecordLayout, FieldsSitAtTheirOffsets) {
    const auto bytes = storeRecord(distinctRecord());
    ASSERT_EQ(bytes.size(), 512u);
    for (int k = 0; k < 6; ++k) {
        const std::size_t i = static_cast<std::size_t>(k);
        EXPECT_EQ(readAt<std::int32_t>(bytes, 0 + 4 * i), 10 + k);
        EXPECT_EQ(readAt<std::int32_t>(bytes, 24 + 4 * i), 20 + k);
        EXPECT_EQ(readAt<std::int32_t>(bytes, 56 + 4 * i), 30 + k);
        EXPECT_EQ(readAt<double>(bytes, 80 + 8 * i), 40.5 + k);
        EXPECT_EQ(readAt<std::int32_t>(bytes, 128 + 4 * i), k % 2);
        EXPECT_EQ(readAt<double>(bytes, 160 + 8 * i), 0.01 * (k + 1));
        EXPECT_EQ(readAt<std::int32_t>(bytes, 208 + 4 * i), 5 - k);
    }
    EXPECT_EQ(readAt<std::int32_t>(bytes, 48), 1);
    EXPECT_EQ(readAt<std::int32_t>(bytes, 52), 1);
    EXPECT_EQ(readAt<double>(bytes, 152), 0.0625);
    EXPECT_EQ(readAt<double>(bytes, 232), 0.875);
    EXPECT_EQ(readAt<std::int32_t>(bytes, 240), -77);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes.data() + 244)), "/tmp/colours.qcl");
    EXPECT_EQ(readAt<std::int32_t>(bytes, 500), 1);
    EXPECT_EQ(readAt<std::int32_t>(bytes, 504), 42);
    EXPECT_EQ(readAt<std::int32_t>(bytes, 508), 0);
}

TEST(ColorSetRecordLayout, RoundTripKeepsEveryField) {
    const ColorSetRecord original = distinctRecord();
    const auto bytes = storeRecord(original);
    ColorSetRecord loaded;
    Archive ar{std::span<const std::uint8_t>(bytes)};
    loaded.Serialize(ar);
    EXPECT_EQ(ar.remaining(), 0u);
    EXPECT_EQ(storeRecord(loaded), bytes);
    EXPECT_EQ(loaded.name, original.name);
    EXPECT_EQ(loaded.sequence, 42);
}

TEST(ColorSetRecordLayout, NameWithoutTerminatorIsCutOnLoad) {
    auto bytes = storeRecord(distinctRecord());
    std::fill(bytes.begin() + 244, bytes.begin() + 500, 'x');
    ColorSetRecord loaded;
    Archive ar{std::span<const std::uint8_t>(bytes)};
    loaded.Serialize(ar);
    EXPECT_EQ(std::string(loaded.name.data()).size(), 255u);
}

TEST(ColorSetHistoryFile, IsTenThousandTwoHundredFortyEightBytesAndRoundTrips) {
    ColorSetHistory h;
    ColorC c{kSeed};
    c.LoadFromHistory(h);
    for (int i = 0; i < 5; ++i) {
        c.red[2] = 50 + i;
        c.CommitToHistory();
    }
    std::vector<std::uint8_t> bytes;
    Archive out(bytes);
    h.Serialize(out);
    ASSERT_EQ(bytes.size(), ColorSetHistory::kSize);
    ASSERT_EQ(bytes.size(), 10248u);
    EXPECT_EQ(readAt<std::int32_t>(bytes, 0), 5);
    EXPECT_EQ(readAt<std::int32_t>(bytes, 4), 0);

    ColorSetHistory loaded;
    Archive in{std::span<const std::uint8_t>(bytes)};
    loaded.Serialize(in);
    EXPECT_EQ(loaded.current, 5);
    for (int i = 0; i < 20; ++i) {
        EXPECT_EQ(storeRecord(loaded.records[i]), storeRecord(h.records[i])) << i;
    }
}

struct HistoryCorruption {
    const char* label;
    std::size_t offset;
    std::vector<std::uint8_t> value;
    bool refused;
};

class HistoryLoadTest : public ::testing::TestWithParam<HistoryCorruption> {};

TEST_P(HistoryLoadTest, RefusesWhatWouldMisindexOrPoisonAndKeepsTheOldHistory) {
    ColorSetHistory h;
    ColorC c{kSeed};
    c.LoadFromHistory(h);
    c.CommitToHistory();
    std::vector<std::uint8_t> bytes;
    Archive out(bytes);
    h.Serialize(out);
    const HistoryCorruption& p = GetParam();
    std::copy(p.value.begin(), p.value.end(),
              bytes.begin() + static_cast<std::ptrdiff_t>(p.offset));

    ColorSetHistory target;
    target.current = 7;
    Archive in{std::span<const std::uint8_t>(bytes)};
    if (p.refused) {
        EXPECT_THROW(target.Serialize(in), FormatError);
        EXPECT_EQ(target.current, 7);
    } else {
        EXPECT_NO_THROW(target.Serialize(in));
    }
}

std::vector<std::uint8_t> bytesOf(double v) {
    std::vector<std::uint8_t> b(8);
    std::memcpy(b.data(), &v, 8);
    return b;
}

// Record i starts at 8 + 512 i; its first fraction at +160.
INSTANTIATE_TEST_SUITE_P(
    Cases, HistoryLoadTest,
    ::testing::Values(HistoryCorruption{"currentTooLarge", 0, {20, 0, 0, 0}, true},
                      HistoryCorruption{"currentNegative", 0, {0xff, 0xff, 0xff, 0xff}, true},
                      HistoryCorruption{"nanShareInCommittedRecord", 8 + 512 + 160,
                                        bytesOf(std::numeric_limits<double>::quiet_NaN()), true},
                      HistoryCorruption{"negativeShareInCommittedRecord", 8 + 160, bytesOf(-0.5),
                                        true},
                      HistoryCorruption{"nanShareInUnusedRecord", 8 + 512 * 7 + 160,
                                        bytesOf(std::numeric_limits<double>::quiet_NaN()), false}),
    [](const auto& info) { return std::string(info.param.label); });

TEST(ColorSetHistoryFile, ShortInputIsRefused) {
    std::vector<std::uint8_t> bytes(1000, 0);
    ColorSetHistory h;
    Archive in{std::span<const std::uint8_t>(bytes)};
    EXPECT_THROW(h.Serialize(in), FormatError);
}

TEST(ColorSetState, IsElevenHundredFiftyTwoBytesAndRoundTrips) {
    SixColours s;
    ColorC& c = s.colors;
    c.red = {1, 2, 3, 4, 5, 6};
    c.fixed = {0, 1, 0, 0, 1, 0};
    c.sequence = 9;
    c.reserved = 3;
    c.savedFixed = {1, 1, 0, 0, 0, 1};
    c.computeWeights(2);
    c.setName("/home/someone/warm.qcl");

    std::vector<std::uint8_t> bytes;
    Archive out(bytes);
    c.serializeState(out);
    ASSERT_EQ(bytes.size(), ColorC::kStateSize);

    ColorC loaded{1.5};
    Archive in{std::span<const std::uint8_t>(bytes)};
    loaded.serializeState(in);
    EXPECT_EQ(loaded.red, c.red);
    EXPECT_EQ(loaded.green, c.green);
    EXPECT_EQ(loaded.blue, c.blue);
    EXPECT_EQ(loaded.useColors34, 1);
    EXPECT_EQ(loaded.useColors56, 1);
    EXPECT_EQ(loaded.fraction, c.fraction);
    EXPECT_EQ(loaded.percent, c.percent);
    EXPECT_EQ(loaded.fixed, c.fixed);
    EXPECT_EQ(loaded.increment, c.increment);
    EXPECT_EQ(loaded.order, c.order);
    EXPECT_EQ(loaded.total, c.total);
    EXPECT_EQ(loaded.unfixedSum, c.unfixedSum);
    EXPECT_EQ(loaded.fixedSum, c.fixedSum);
    EXPECT_EQ(loaded.reserved, 3);
    EXPECT_EQ(loaded.nameString(), "/home/someone/warm.qcl");
    EXPECT_EQ(loaded.sequence, 9);
    EXPECT_EQ(loaded.savedFixed, c.savedFixed);
    EXPECT_EQ(loaded.weight, c.weight);
    EXPECT_EQ(loaded.history, nullptr);
}

// --- Colour files --------------------------------------------------------------------------

using ColorFileTest = TempDir;

TEST_F(ColorFileTest, WriteThenReadRestoresTheSetAndTheWrittenPath) {
    SixColours s;
    ColorC& c = s.colors;
    c.red = {255, 0, 17, 34, 51, 68};
    c.fixed = {0, 0, 1, 0, 0, 0};
    const std::string path = file("warm.qcl");
    ASSERT_TRUE(c.WriteColorFile(path));
    EXPECT_EQ(c.nameString(), path);
    EXPECT_EQ(fs::file_size(path), 512u);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1)
        << "no temporary file may be left behind";

    ColorSetHistory h;
    ColorC other{kSeed};
    other.LoadFromHistory(h);
    ASSERT_TRUE(other.ReadColorFile(path));
    EXPECT_EQ(other.red, c.red);
    EXPECT_EQ(other.fixed, c.fixed);
    EXPECT_EQ(other.useColors56, 1);
    EXPECT_NEAR(other.percent[3], c.percent[3], 0.05);
}

TEST_F(ColorFileTest, ReadTakesTheNameStoredInTheFile) {
    ColorC c{kSeed};
    ASSERT_TRUE(c.WriteColorFile(file("first.qcl")));
    fs::copy_file(file("first.qcl"), file("copy.qcl"));
    ColorC other{kSeed};
    ASSERT_TRUE(other.ReadColorFile(file("copy.qcl")));
    EXPECT_EQ(other.nameString(), file("first.qcl"));
}

TEST_F(ColorFileTest, WriteReplacesAnOldFile) {
    ColorC c{kSeed};
    writeBytes(file("old.qcl"), std::vector<std::uint8_t>(2000, 0xAB));
    ASSERT_TRUE(c.WriteColorFile(file("old.qcl")));
    EXPECT_EQ(fs::file_size(file("old.qcl")), 512u);
}

TEST_F(ColorFileTest, FailedWriteReportsTheFileAndKeepsTheName) {
    ColorC c{kSeed};
    const std::string path = file("missing-folder/x.qcl");
    const ColorFileResult result = c.WriteColorFile(path);
    ASSERT_FALSE(result);
    EXPECT_NE(result.error.find(path), std::string::npos) << result.error;
    EXPECT_EQ(c.nameString(), "default");
}

struct BadFile {
    const char* label;
    int size; // -1: no file, -2: a folder
    const char* reasonPart;
};

class UnreadableColorFileTest : public TempDir, public ::testing::WithParamInterface<BadFile> {};

TEST_P(UnreadableColorFileTest, IsReportedWithItsNameAndChangesNothing) {
    const BadFile& p = GetParam();
    const std::string path = file("bad.qcl");
    if (p.size >= 0) {
        writeBytes(path, std::vector<std::uint8_t>(static_cast<std::size_t>(p.size), 0x11));
    } else if (p.size == -2) {
        fs::create_directory(path);
    }
    SixColours s;
    ColorC& c = s.colors;
    c.setName("/keep/me.qcl");
    const ColorC before = c;

    const ColorFileResult result = c.ReadColorFile(path);

    ASSERT_FALSE(result);
    EXPECT_NE(result.error.find(path), std::string::npos) << result.error;
    EXPECT_NE(result.error.find(p.reasonPart), std::string::npos) << result.error;
    EXPECT_EQ(c.nameString(), "/keep/me.qcl");
    EXPECT_EQ(c.red, before.red);
    EXPECT_EQ(c.fraction, before.fraction);
    EXPECT_EQ(c.percent, before.percent);
}

INSTANTIATE_TEST_SUITE_P(Cases, UnreadableColorFileTest,
                         ::testing::Values(BadFile{"missing", -1, "cannot open"},
                                           BadFile{"folder", -2, "not a regular file"},
                                           BadFile{"empty", 0, "holds 0 bytes"},
                                           BadFile{"short", 511, "holds 511 bytes"},
                                           BadFile{"long", 513, "holds 513 bytes"},
                                           BadFile{"noise", 512, "not a usable colour file"}),
                         [](const auto& info) { return std::string(info.param.label); });

TEST_F(ColorFileTest, NonFiniteShareIsRefusedWithoutChangingTheSet) {
    ColorSetRecord r = distinctRecord();
    r.fraction[4] = std::numeric_limits<double>::infinity();
    ASSERT_TRUE(writeColorFileRecord(file("inf.qcl"), r));
    ColorC c{kSeed};
    const ColorC before = c;
    const ColorFileResult result = c.ReadColorFile(file("inf.qcl"));
    ASSERT_FALSE(result);
    EXPECT_NE(result.error.find("colour 5"), std::string::npos) << result.error;
    EXPECT_EQ(c.red, before.red);
    EXPECT_EQ(c.nameString(), "default");
}

TEST_F(ColorFileTest, WhatNoColourFileHoldsIsRefusedAndAnOutOfRangeIncrementClamped) {
    const std::vector<std::pair<std::function<void(ColorSetRecord&)>, std::string>> refused{
        {[](auto& r) { r.red[0] = 300; }, "channel of colour 1"},
        {[](auto& r) { r.green[1] = -5; }, "channel of colour 2"},
        {[](auto& r) { r.fixed[2] = 7; }, "fix flag of colour 3"},
        {[](auto& r) { r.useColors34 = 2; }, "use-colours flag"},
        {[](auto& r) { r.fraction = {}; }, "no share"}};
    for (const auto& [spoil, reason] : refused) {
        ColorSetRecord r = distinctRecord();
        spoil(r);
        ASSERT_TRUE(writeColorFileRecord(file("wild.qcl"), r));
        ColorC c{kSeed};
        const ColorFileResult result = c.ReadColorFile(file("wild.qcl"));
        ASSERT_FALSE(result) << reason;
        EXPECT_NE(result.error.find(reason), std::string::npos) << result.error;
        EXPECT_EQ(c.nameString(), "default");
    }
    ColorSetRecord r = distinctRecord();
    r.increment = 5.0;
    ASSERT_TRUE(writeColorFileRecord(file("wide.qcl"), r));
    ColorC c{kSeed};
    ASSERT_TRUE(c.ReadColorFile(file("wide.qcl")));
    EXPECT_EQ(c.increment, ColorC::kMaxIncrement);
}

TEST_F(ColorFileTest, IsWrittenOnlyUnderAQclName) {
    ColorC c{kSeed};
    for (const char* name : {"x.png", "x", ".qcl", "x.qcl.bak"}) {
        EXPECT_FALSE(c.WriteColorFile(file(name))) << name;
        EXPECT_FALSE(fs::exists(file(name))) << name;
    }
    EXPECT_TRUE(c.WriteColorFile(file("x.QCL")));
}

TEST(ColorSetName, LongPathKeepsItsFileNameAndOverlongNameKeepsItsEnd) {
    ColorC c{kSeed};
    const std::string folder = "/" + std::string(300, 'd');
    c.setName(folder + "/colours.qcl");
    EXPECT_EQ(c.nameString(), "colours.qcl");

    const std::string longName = "a" + std::string(298, 'b') + "z.qcl";
    c.setName(longName);
    EXPECT_EQ(c.nameString().size(), 255u);
    EXPECT_EQ(c.nameString(), longName.substr(longName.size() - 255));

    // The cut never starts inside a two-byte character.
    std::string accented;
    for (int i = 0; i < 200; ++i) {
        accented += "\xC3\xA9";
    }
    c.setName(accented);
    EXPECT_EQ(c.nameString().size(), 254u);
    EXPECT_EQ(static_cast<unsigned char>(c.nameString()[0]), 0xC3);

    const std::string exact(255, 'e');
    c.setName(exact);
    EXPECT_EQ(c.nameString(), exact);
}

} // namespace
} // namespace zarn
