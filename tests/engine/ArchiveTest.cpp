#include "engine/Archive.h"
#include "engine/FileIO.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <limits>

namespace zarn {
namespace {

struct Sample {
    std::uint8_t a = 0;
    std::uint16_t b = 0;
    std::int32_t c = 0;
    double d = 0;
    void serialize(Archive& ar) {
        ar.io(a, "a");
        ar.io(b, "b");
        ar.io(c, "c");
        ar.pad(3, "spare");
        ar.io(d, "d");
    }
};

TEST(ArchiveTest, StoresLittleEndianWithoutPaddingAndLoadsTheSameSequence) {
    Sample s{0x11, 0x2233, -2, 1.5};
    std::vector<std::uint8_t> bytes;
    Archive out(bytes);
    s.serialize(out);
    ASSERT_EQ(bytes.size(), 1u + 2 + 4 + 3 + 8);
    EXPECT_EQ(bytes[0], 0x11);
    EXPECT_EQ(bytes[1], 0x33);
    EXPECT_EQ(bytes[2], 0x22);
    EXPECT_EQ(bytes[3], 0xFE);
    EXPECT_EQ(bytes[6], 0xFF);
    EXPECT_EQ(bytes[7], 0);

    Sample back;
    Archive in{std::span<const std::uint8_t>(bytes)};
    back.serialize(in);
    EXPECT_EQ(back.a, s.a);
    EXPECT_EQ(back.b, s.b);
    EXPECT_EQ(back.c, s.c);
    EXPECT_EQ(back.d, s.d);
    EXPECT_EQ(in.remaining(), 0u);
}

TEST(ArchiveTest, ShortInputFailsNamingTheField) {
    std::vector<std::uint8_t> bytes(5, 0);
    Archive in{std::span<const std::uint8_t>(bytes)};
    Sample s;
    try {
        s.serialize(in);
        FAIL() << "expected a FormatError";
    } catch (const FormatError& e) {
        EXPECT_NE(std::string(e.what()).find("c:"), std::string::npos) << e.what();
    }
}

TEST(ArchiveTest, RequireFiniteRefusesNanAndInfinity) {
    EXPECT_NO_THROW(requireFinite(1.0, "x"));
    EXPECT_THROW(requireFinite(std::nan(""), "x"), FormatError);
    EXPECT_THROW(requireFinite(std::numeric_limits<double>::infinity(), "x"), FormatError);
}

class FileIOTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir = std::filesystem::temp_directory_path() /
              ("zarn-fileio-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
               "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir);
    }
    void TearDown() override {
        setChunkWriterForTesting(nullptr);
        std::filesystem::remove_all(dir);
    }
    std::filesystem::path dir;
};

TEST_F(FileIOTest, AtomicWriteReplacesTheTargetAndLeavesNoTemporaryFile) {
    const std::string path = (dir / "a.bin").string();
    ASSERT_TRUE(writeFileAtomically(path, {1, 2, 3}));
    ASSERT_TRUE(writeFileAtomically(path, {4, 5}));
    std::vector<std::uint8_t> back;
    ASSERT_TRUE(readWholeFile(path, back));
    EXPECT_EQ(back, (std::vector<std::uint8_t>{4, 5}));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), {}), 1);
}

TEST_F(FileIOTest, FailedWriteKeepsThePreviousFileAndReportsTheError) {
    const std::string path = (dir / "keep.bin").string();
    ASSERT_TRUE(writeFileAtomically(path, {9, 9, 9}));
    setChunkWriterForTesting([](int, const std::uint8_t*, std::size_t, std::string& error) {
        error = "No space left on device";
        return false;
    });
    const FileResult r = writeFileAtomically(path, {1, 2, 3, 4});
    EXPECT_FALSE(r);
    EXPECT_NE(r.error.find("No space left"), std::string::npos);
    std::vector<std::uint8_t> back;
    ASSERT_TRUE(readWholeFile(path, back));
    EXPECT_EQ(back, (std::vector<std::uint8_t>{9, 9, 9}));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), {}), 1);
}

TEST_F(FileIOTest, MissingFilesAndFoldersAreReported) {
    std::vector<std::uint8_t> back{1};
    EXPECT_FALSE(readWholeFile((dir / "missing").string(), back));
    EXPECT_TRUE(back.empty());
    EXPECT_FALSE(writeFileAtomically((dir / "no" / "such" / "x").string(), {1}));
    EXPECT_FALSE(writeFileAtomically(dir.string(), {1}));
}

TEST_F(FileIOTest, ReadRefusesFilesAboveTheLimit) {
    const std::string path = (dir / "big").string();
    ASSERT_TRUE(writeFileAtomically(path, std::vector<std::uint8_t>(100, 7)));
    std::vector<std::uint8_t> back;
    EXPECT_FALSE(readWholeFile(path, back, 99));
    EXPECT_TRUE(readWholeFile(path, back, 100));
}

} // namespace
} // namespace zarn
