#include "engine/FileIO.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace zarn {
namespace {

namespace fs = std::filesystem;

class FileIOTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        std::replace(name.begin(), name.end(), '/', '-');
        dir = fs::temp_directory_path() /
              ("zarn-fileio-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
               "-" + name);
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override {
        setChunkWriterForTesting(nullptr);
        fs::remove_all(dir);
    }
    std::vector<std::uint8_t> contents(const fs::path& path) {
        std::vector<std::uint8_t> back;
        EXPECT_TRUE(readWholeFile(path.string(), back)) << path;
        return back;
    }
    long entries() const { return std::distance(fs::directory_iterator(dir), {}); }

    fs::path dir;
};

TEST_F(FileIOTest, AtomicWriteReplacesTheTargetAndLeavesNoTemporaryFile) {
    const std::string path = (dir / "a.bin").string();
    ASSERT_TRUE(writeFileAtomically(path, {1, 2, 3}));
    ASSERT_TRUE(writeFileAtomically(path, {4, 5}));
    EXPECT_EQ(contents(path), (std::vector<std::uint8_t>{4, 5}));
    EXPECT_EQ(entries(), 1);
}

TEST_F(FileIOTest, FailedWriteKeepsThePreviousFileAndReportsTheError) {
    const std::string path = (dir / "keep.bin").string();
    ASSERT_TRUE(writeFileAtomically(path, {9, 9, 9}));
    setChunkWriterForTesting([](int, const std::uint8_t*, std::size_t, std::string& error) {
        error = "No space left on device";
        return false;
    });
    const FileResult r = writeFileAtomically(path, {1, 2, 3, 4});
    EXPECT_EQ(r.error, "cannot write '" + path + "': No space left on device");
    EXPECT_EQ(contents(path), (std::vector<std::uint8_t>{9, 9, 9}));
    EXPECT_EQ(entries(), 1);
}

TEST_F(FileIOTest, ReadRefusesFilesAboveTheLimit) {
    const std::string path = (dir / "big").string();
    ASSERT_TRUE(writeFileAtomically(path, std::vector<std::uint8_t>(100, 7)));
    std::vector<std::uint8_t> back;
    EXPECT_FALSE(readWholeFile(path, back, 99));
    EXPECT_TRUE(readWholeFile(path, back, 100));
}

TEST_F(FileIOTest, TheLongestNameAFolderTakesIsWrittenWithAShortTemporaryName) {
    const long most = ::pathconf(dir.c_str(), _PC_NAME_MAX);
    ASSERT_GT(most, 20);
    const std::string name(static_cast<std::size_t>(most), 'n');
    ASSERT_TRUE(writeFileAtomically((dir / name).string(), {1}));
    ASSERT_TRUE(writeFileAtomically((dir / name).string(), {2}));
    EXPECT_EQ(contents(dir / name), (std::vector<std::uint8_t>{2}));
    EXPECT_EQ(entries(), 1);
}

TEST_F(FileIOTest, ALinkKeepsPointingAtTheReplacedFileWhichKeepsItsPermissions) {
    const fs::path real = dir / "real.bin";
    ASSERT_TRUE(writeFileAtomically(real.string(), {1}));
    ASSERT_EQ(::chmod(real.c_str(), 0600), 0);
    fs::create_symlink(real, dir / "link.bin");
    ASSERT_TRUE(writeFileAtomically((dir / "link.bin").string(), {2, 2}));
    EXPECT_TRUE(fs::is_symlink(dir / "link.bin"));
    EXPECT_EQ(contents(real), (std::vector<std::uint8_t>{2, 2}));
    EXPECT_EQ(fs::status(real).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);
}

TEST_F(FileIOTest, ADeviceIsWrittenStraightIntoAndAFullOneSaysSo) {
    EXPECT_TRUE(writeFileAtomically("/dev/null", {1, 2, 3}));
    EXPECT_EQ(writeFileAtomically("/dev/full", {1, 2, 3}).error,
              "cannot write '/dev/full': No space left on device");
    EXPECT_TRUE(checkWritableTarget("/dev/full"));
}

struct BadTarget {
    const char* label;
    /** The path below the test folder. */
    std::string path;
    const char* reason;
};

class BadTargetTest : public FileIOTest, public ::testing::WithParamInterface<BadTarget> {};

TEST_P(BadTargetTest, IsRefusedBeforeAndWhenWritingWithTheReason) {
    ASSERT_TRUE(writeFileAtomically((dir / "file").string(), {1}));
    fs::create_directory(dir / "folder");
    const std::string path = (dir / GetParam().path).string();
    const std::string expected = "cannot write '" + path + "': ";
    const FileResult checked = checkWritableTarget(path);
    EXPECT_EQ(checked.error.rfind(expected, 0), 0u) << checked.error;
    EXPECT_NE(checked.error.find(GetParam().reason), std::string::npos) << checked.error;
    const FileResult written = writeFileAtomically(path, {1});
    EXPECT_EQ(written.error, checked.error);
    EXPECT_EQ(entries(), 2) << "nothing was left behind";
}

const std::string kLongName(300, 'x');
const std::string kLongPath = [] {
    std::string path;
    while (path.size() < 5000) {
        path += std::string(200, 'd') + "/";
    }
    return path + "f";
}();

INSTANTIATE_TEST_SUITE_P(
    Paths, BadTargetTest,
    ::testing::Values(
        BadTarget{"MissingFolder", "no/such/f", "the folder '"},
        BadTarget{"FileAsFolder", "file/f", "/file' is not a folder"},
        BadTarget{"Folder", "folder", "it is a folder"},
        BadTarget{"TrailingSlash", "new/", "names a folder, not a file"},
        BadTarget{"LongFileName", kLongName, "File name too long (the file name 'xxxxxxxxxx"},
        BadTarget{"LongFolderName", kLongName + "/f", "File name too long (the folder name 'xxx"},
        BadTarget{"LongPath", kLongPath, "File name too long (the path has"}),
    [](const auto& info) { return std::string(info.param.label); });

TEST_F(FileIOTest, ACheckedTargetIsLeftAsItWas) {
    const std::string path = (dir / "new.bin").string();
    EXPECT_TRUE(checkWritableTarget(path));
    EXPECT_EQ(entries(), 0);
    std::vector<std::uint8_t> back;
    const FileResult missing = readWholeFile((dir / kLongName).string(), back);
    EXPECT_NE(missing.error.find("File name too long (the file name"), std::string::npos)
        << missing.error;
}

TEST(PathLengthTest, NamesThePartThatIsTooLong) {
    EXPECT_EQ(pathLengthProblem("short/enough.png"), "");
    EXPECT_EQ(pathLengthProblem(std::string(255, 'a')), "");
    EXPECT_EQ(pathLengthProblem("/tmp/" + std::string(256, 'a')),
              "the file name '" + std::string(40, 'a') + "\u2026' has 256 bytes, at most 255 here");
    // Cut on a character boundary: 39 ASCII bytes, then a two-byte character across byte 40.
    const std::string wide = std::string(39, 'a') + "\xc3\xa9" + std::string(300, 'b');
    EXPECT_EQ(
        pathLengthProblem(wide).rfind("the file name '" + std::string(39, 'a') + "\u2026'", 0), 0u);
}

} // namespace
} // namespace zarn
