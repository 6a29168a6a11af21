#include "maps/WildCornerMap.h"

#include "engine/Archive.h"
#include "engine/CRandom.h"
#include "engine/RandomSource.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <functional>
#include <limits>
#include <vector>

namespace zarn {
namespace {

constexpr int kA[12] = {1, 2, 3, 4, 5, 5, 6, 7, 7, 7, 8, 8};
constexpr int kB[12] = {0, 1, 2, 3, 4, 3, 5, 6, 5, 4, 7, 5};
constexpr int kOrder[12] = {1, 1, 1, 3, 4, 4, 5, 6, 6, 6, 7, 7};
const double kNaN = std::numeric_limits<double>::quiet_NaN();

WildCornerMap randomMap(int n, double seed) {
    CRandom cRandom(1);
    WildCornerMap map(cRandom);
    RandomSource random;
    random.SeedFrom(seed);
    map.RandomCornerQuilt(n, random);
    return map;
}

// The map from its definition, built from N and row 0's coefficients alone: row i turns row 0
// by -i·2π/N, wave j is 2π a_j basisA + b_j basisB, summed over N/2 + 1 rows and `depth` waves.
Complex naiveStep(const WildCornerMap& map, Complex z) {
    const double theta = 6.283185307 / map.cornerN;
    const double ay = (1 - std::cos(theta)) / std::sin(theta);
    const double by = 1 / std::sin(theta);
    Complex sum{0.5, 0.5};
    for (int i = 0; i < map.cornerN / 2 + 1; ++i) {
        const double rc = std::cos(-i * theta);
        const double rs = std::sin(-i * theta);
        for (int j = 0; j < map.orbitCount; ++j) {
            const double w0x = 6.283185307 * kA[j];
            const double w0y = 6.283185307 * kA[j] * ay + kB[j] * by;
            const Complex k = map.cornerCoefs[j];
            const double sine = std::sin((rc * w0x - rs * w0y) * (z.re - 0.5) +
                                         (rs * w0x + rc * w0y) * (z.im - 0.5));
            sum += sine * Complex{rc * k.re - rs * k.im, rs * k.re + rc * k.im};
        }
    }
    return sum;
}

std::vector<Complex> samplePoints() {
    std::vector<Complex> points{{0, 0}, {1, 1}, {0, 1}, {0.5, 0.5}};
    RandomSource random;
    random.SeedFrom(0.3141);
    for (int i = 0; i < 150; ++i) {
        const double x = random.Uniform();
        points.push_back({x, random.Uniform()});
    }
    return points;
}

class CornerN : public ::testing::TestWithParam<int> {};

TEST_P(CornerN, StepMatchesTheFormulaWithMRowsTurnedByMinusTwoPiOverN) {
    const int n = GetParam();
    const std::size_t m = n / 2 + 1;
    WildCornerMap map = randomMap(n, 0.5 + n / 100.0);
    ASSERT_EQ(map.rotationCount, int(m));
    ASSERT_EQ(map.rotations.size(), m + 2);
    ASSERT_EQ(map.cornerWaves.size(), 14 * m);
    ASSERT_EQ(map.cornerCoefs.size(), 14 * m);
    EXPECT_EQ(map.rotations[m], (Complex{}));
    EXPECT_EQ(map.rotations[m + 1], (Complex{}));
    if (n % 2 == 0) { // the last row is row 0 turned by -π, so it repeats row 0's contribution
        EXPECT_NEAR(map.rotations[m - 2].re, -1.0, 1e-9);
        EXPECT_NEAR(map.rotations[m - 2].im, 0.0, 1e-9);
    }
    for (int depth : {1, 4, 11, 12}) {
        map.orbitCount = depth;
        for (const Complex z : samplePoints()) {
            const Complex got = map.CornerStep(z);
            const Complex want = naiveStep(map, z);
            ASSERT_NEAR(got.re, want.re, 1e-12) << "depth " << depth;
            ASSERT_NEAR(got.im, want.im, 1e-12) << "depth " << depth;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Values, CornerN, ::testing::Values(3, 4, 5, 6, 7, 12, 13, 41, 42));

TEST(WildCornerMap, ConstructionDrawsNFromItsGeneratorAndNForFourGivesTheSquareBasis) {
    CRandom replay(99);
    const int expected = replay() % 11 + 3;
    CRandom cRandom(99);
    WildCornerMap map(cRandom);
    EXPECT_EQ(cRandom(), replay()) << "exactly one draw";
    EXPECT_EQ(map.cornerN, expected);
    EXPECT_EQ(map.rotationCount, expected / 2 + 1);
    EXPECT_EQ(map.CornerStep({0.2, 0.9}), (Complex{0.5, 0.5}));
    map.SetCornerN(4);
    EXPECT_EQ(map.rotationCount, 3);
    EXPECT_NEAR(map.basisA.im, 1.0, 1e-9);
    EXPECT_NEAR(map.basisB.im, 1.0, 1e-9);
    EXPECT_EQ(map.basisA.re, 1.0);
    EXPECT_EQ(map.basisB.re, 0.0);
}

TEST(WildCornerMap, RandomQuiltDrawsImaginaryThenRealPartScaledByOrder) {
    RandomSource random;
    random.SeedFrom(0.2468);
    RandomSource replay = random;
    WildCornerMap map(3);
    map.orbitCount = 4;
    map.RandomCornerQuilt(9, random);
    EXPECT_EQ(map.orbitCount, 11);
    for (int j = 0; j < 12; ++j) {
        const double ua = replay.Uniform();
        const double ub = replay.Uniform();
        const double s = j < 3 ? 1.0 : 1.0 / (kOrder[j] * kOrder[j]);
        EXPECT_EQ(map.cornerCoefs[j], (Complex{s * (0.6 * ub - 0.3), s * (0.6 * ua - 0.3)}));
        for (int i = 1; i < map.rotationCount; ++i) {
            EXPECT_EQ(map.cornerCoefs[12 * i + j], map.rotations[i - 1] * map.cornerCoefs[j]);
        }
    }
    EXPECT_EQ(random.Uniform(), replay.Uniform()) << "exactly 24 draws";
}

TEST(WildCornerMap, HarmonicsAtOrBeyondTheDepthAreNeverSummedAndNeverIndexed) {
    for (int depth : {4, 11}) {
        WildCornerMap quiet = randomMap(10, 0.61);
        quiet.orbitCount = depth;
        WildCornerMap loud = quiet;
        for (int j = depth; j < 12; ++j) {
            quiet.SetCornerCoefficient(j, {0.0, 0.0});
            loud.SetCornerCoefficient(j, {1e6, -1e6});
        }
        for (const Complex z : samplePoints()) {
            ASSERT_EQ(quiet.CornerStep(z), loud.CornerStep(z)) << "depth " << depth;
        }
    }
    WildCornerMap map = randomMap(42, 0.33);
    map.orbitCount = 12;
    const Complex full = map.CornerStep({0.1, 0.7});
    map.orbitCount = 1000;
    EXPECT_EQ(map.CornerStep({0.1, 0.7}), full);
}

TEST(WildCornerMap, OutOfRangeNIsClampedAndOutOfRangeHarmonicIgnored) {
    WildCornerMap map = randomMap(6, 0.9);
    const std::pair<int, int> cases[] = {{-5, 3}, {0, 3}, {2, 3}, {43, 42}, {100000, 42}};
    for (const auto& [in, out] : cases) {
        map.SetCornerN(in);
        EXPECT_EQ(map.cornerN, out) << in;
        EXPECT_EQ(map.cornerCoefs.size(), std::size_t(14 * (out / 2 + 1)));
        EXPECT_TRUE(std::isfinite(map.basisA.im) && std::isfinite(map.basisB.im));
    }
    const std::vector<Complex> before = map.cornerCoefs;
    map.SetCornerCoefficient(-1, {5, 5});
    map.SetCornerCoefficient(12, {5, 5});
    EXPECT_EQ(map.cornerCoefs, before);
}

// ---- record ----

std::vector<std::uint8_t> store(WildCornerMap& map) {
    std::vector<std::uint8_t> bytes;
    Archive ar(bytes);
    map.PersistRecord(ar);
    return bytes;
}

void load(WildCornerMap& map, const std::vector<std::uint8_t>& bytes) {
    Archive ar{std::span<const std::uint8_t>(bytes)};
    map.PersistRecord(ar);
}

class CornerRecord : public ::testing::TestWithParam<std::pair<int, int>> {};

TEST_P(CornerRecord, RoundTripRestoresTheSameMapInExactlyTheStatedSize) {
    const auto [n, depth] = GetParam();
    WildCornerMap saved = randomMap(n, 0.123 + n / 1000.0);
    saved.orbitCount = depth;
    const auto bytes = store(saved);
    EXPECT_EQ(bytes.size(), 36 + 16 * std::size_t(n / 2 + 1) * depth);
    EXPECT_EQ(bytes.size(), saved.RecordSize());

    WildCornerMap loaded(17);
    load(loaded, bytes);
    EXPECT_EQ(loaded.orbitCount, depth);
    EXPECT_EQ(loaded.basisA, saved.basisA);
    EXPECT_EQ(loaded.basisB, saved.basisB);
    EXPECT_EQ(loaded.rotations, saved.rotations);
    EXPECT_EQ(loaded.cornerWaves, saved.cornerWaves);
    for (std::size_t k = 0; k < saved.cornerCoefs.size(); ++k) {
        const Complex want = int(k % 12) < depth ? saved.cornerCoefs[k] : Complex{};
        EXPECT_EQ(loaded.cornerCoefs[k], want) << k;
    }
    for (const Complex z : samplePoints()) {
        ASSERT_EQ(loaded.CornerStep(z), saved.CornerStep(z));
    }
    EXPECT_EQ(store(loaded), bytes);
}

INSTANTIATE_TEST_SUITE_P(Shapes, CornerRecord,
                         ::testing::Values(std::pair{3, 1}, std::pair{3, 4}, std::pair{4, 11},
                                           std::pair{8, 7}, std::pair{13, 11}, std::pair{13, 12},
                                           std::pair{42, 12}));

TEST(WildCornerMap, RecordOfANeverConfiguredMapLoadsAgain) {
    // Every session carries this record, whatever its family.
    CRandom cRandom(8);
    WildCornerMap fresh(cRandom);
    WildCornerMap other = randomMap(5, 0.4);
    ASSERT_NO_THROW(load(other, store(fresh)));
    EXPECT_EQ(other.cornerN, fresh.cornerN);
    EXPECT_EQ(other.CornerStep({0.3, 0.6}), (Complex{0.5, 0.5}));
}

struct BadRecord {
    const char* what;
    std::size_t at;   // byte offset of the spoiled field
    double value;     // written as int32 below offset 12, as double from there
    std::size_t keep; // bytes kept when shortening, 0 = all
};

class CornerBadRecord : public ::testing::TestWithParam<BadRecord> {};

TEST_P(CornerBadRecord, IsRefusedAndLeavesTheMapAsItWas) {
    const BadRecord c = GetParam();
    WildCornerMap source = randomMap(6, 0.55);
    source.orbitCount = 5;
    auto bytes = store(source);
    if (c.keep != 0) {
        bytes.resize(c.keep);
    } else if (c.at < 12) {
        const auto v = static_cast<std::int32_t>(c.value);
        std::memcpy(bytes.data() + c.at, &v, sizeof v);
    } else {
        std::memcpy(bytes.data() + c.at, &c.value, sizeof c.value);
    }
    WildCornerMap target = randomMap(9, 0.66);
    const WildCornerMap before = target;
    EXPECT_THROW(load(target, bytes), FormatError);
    EXPECT_EQ(target.cornerN, before.cornerN);
    EXPECT_EQ(target.orbitCount, before.orbitCount);
    EXPECT_EQ(target.cornerWaves, before.cornerWaves);
    EXPECT_EQ(target.cornerCoefs, before.cornerCoefs);
}

// The record of N = 6, depth 5: 4 rows, 36 + 320 bytes.
INSTANTIATE_TEST_SUITE_P(
    Corruptions, CornerBadRecord,
    ::testing::Values(BadRecord{"N2", 0, 2, 0}, BadRecord{"NNegative", 0, -6, 0},
                      BadRecord{"N43", 0, 43, 0}, BadRecord{"RowsDisagreeWithN", 4, 5, 0},
                      BadRecord{"HugeRows", 4, 1 << 30, 0}, BadRecord{"Depth0", 8, 0, 0},
                      BadRecord{"Depth13", 8, 13, 0}, BadRecord{"DepthBeyondTheBytes", 8, 6, 0},
                      BadRecord{"SineNaN", 12, kNaN, 0}, BadRecord{"SineZero", 12, 0.0, 0},
                      BadRecord{"AngleOfAnotherN", 28, 6.283185307 / 7, 0},
                      BadRecord{"CoefficientNaN", 36 + 16 * 7 + 8, kNaN, 0},
                      BadRecord{"OneByteShort", 0, 0, 355}, BadRecord{"HeaderOnly", 0, 0, 30}),
    [](const auto& info) { return std::string(info.param.what); });

// ---- dialog ----

struct DialogCase {
    int n;
    int depth;
    int nanAt;         // coefficient made NaN, or -1
    const char* field; // named in the refusal, or nullptr when accepted
};

class CornerDialog : public ::testing::TestWithParam<DialogCase> {};

TEST_P(CornerDialog, AcceptsOnlyTheDialogRangesAndUndoesTheShownWeights) {
    const DialogCase c = GetParam();
    const WildCornerMap source = randomMap(13, 0.29);
    auto values = source.CurrentDialogValues();
    for (int j = 0; j < 12; ++j) {
        ASSERT_EQ(values.shown[j], source.cornerCoefs[j] * double(kOrder[j] * kOrder[j]));
    }
    values.cornerN = c.n;
    values.depth = c.depth;
    if (c.nanAt >= 0) {
        values.shown[c.nanAt].im = kNaN;
    }

    WildCornerMap target = randomMap(5, 0.92);
    const WildCornerMap before = target;
    const bool applied = target.ApplyDialogValues(values);
    if (c.field != nullptr) {
        EXPECT_FALSE(applied) << c.field;
        EXPECT_EQ(target.cornerN, before.cornerN);
        EXPECT_EQ(target.cornerCoefs, before.cornerCoefs);
        return;
    }
    ASSERT_TRUE(applied);
    EXPECT_EQ(target.cornerN, c.n);
    EXPECT_EQ(target.orbitCount, c.depth);
    for (int j = 0; j < 12; ++j) {
        EXPECT_NEAR(target.cornerCoefs[j].re, source.cornerCoefs[j].re, 1e-15);
        EXPECT_NEAR(target.cornerCoefs[j].im, source.cornerCoefs[j].im, 1e-15);
        const int last = target.rotationCount - 1;
        EXPECT_EQ(target.cornerCoefs[12 * last + j],
                  target.rotations[last - 1] * target.cornerCoefs[j]);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Ranges, CornerDialog,
    ::testing::Values(DialogCase{3, 4, -1, nullptr}, DialogCase{42, 11, -1, nullptr},
                      DialogCase{2, 11, -1, "Corner N Value"},
                      DialogCase{43, 11, -1, "Corner N Value"}, DialogCase{13, 3, -1, "Depth"},
                      DialogCase{13, 12, -1, "Depth"}, DialogCase{13, 11, 7, "Coefficient 7"}),
    [](const auto& info) {
        const DialogCase& c = info.param;
        return "N" + std::to_string(c.n) + "Depth" + std::to_string(c.depth) +
               (c.nanAt >= 0 ? "NaN" + std::to_string(c.nanAt) : std::string());
    });

} // namespace
} // namespace zarn
