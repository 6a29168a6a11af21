#include "render/PolyMapping.h"

#include <QImage>
#include <QImageReader>
#include <QString>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>

namespace {

namespace fs = std::filesystem;

struct CliRun {
    int status = -1;
    std::string out;
    std::string err;
};

class CliTest : public ::testing::Test {
protected:
    void SetUp() override {
        // Parameterised cases are named "Test/Case": one flat folder each, of this process.
        std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        std::replace(name.begin(), name.end(), '/', '-');
        dir = fs::temp_directory_path() / ("zarn-cli-" + std::to_string(::getpid()) + "-" + name);
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }

    /** Runs zarn80-render with @p args (a shell-quoted string) in the test folder, after the
     *  shell commands @p setup. A run that hangs ends after two minutes with status 124. */
    CliRun run(const std::string& args, const std::string& setup = "") {
        const std::string errFile = (dir / "stderr.txt").string();
        const std::string command = "cd '" + dir.string() + "' && " + setup +
                                    " QT_QPA_PLATFORM=offscreen timeout 120 '" ZARN_RENDER_PATH
                                    "' " +
                                    args + " 2>'" + errFile + "'";
        CliRun r;
        FILE* pipe = ::popen(command.c_str(), "r");
        std::array<char, 4096> buffer{};
        std::size_t n = 0;
        while ((n = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0) {
            r.out.append(buffer.data(), n);
        }
        const int status = ::pclose(pipe);
        r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        std::ifstream err(errFile);
        r.err.assign(std::istreambuf_iterator<char>(err), {});
        return r;
    }

    std::string read(const std::string& name) {
        std::ifstream in(dir / name, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }

    fs::path dir;
};

TEST_F(CliTest, SameSeedWritesIdenticalImagesOfTheTiledPeriod) {
    const CliRun a = run("new --seed 7 --steps 200000 --quiet -o a.png");
    ASSERT_EQ(a.status, 0) << a.err;
    const CliRun b = run("new --seed 7 --steps 200000 --quiet -o b.png");
    ASSERT_EQ(b.status, 0) << b.err;
    const std::string pa = read("a.png");
    EXPECT_GT(pa.size(), 1000u);
    EXPECT_EQ(pa, read("b.png"));
    // 250-cell grid, two periods: the PNG header's width and height are 500.
    EXPECT_EQ(static_cast<unsigned char>(pa[18]), 0x01);
    EXPECT_EQ(static_cast<unsigned char>(pa[19]), 0xF4);
    const CliRun c = run("new --seed 8 --steps 200000 --quiet -o c.png");
    ASSERT_EQ(c.status, 0) << c.err;
    EXPECT_NE(pa, read("c.png"));
}

TEST_F(CliTest, HelpAfterACommandPrintsTheUsageAndRunsNothing) {
    const std::string usage = run("--help").out;
    ASSERT_NE(usage.find("zarn80-render new [OPTIONS]"), std::string::npos);
    for (const char* args : {"new --steps 10 -o out.png --help", "explore -h"}) {
        const CliRun r = run(args);
        EXPECT_EQ(r.status, 0) << args << r.err;
        EXPECT_EQ(r.out, usage) << args;
    }
    EXPECT_FALSE(fs::exists(dir / "out.png"));
}

TEST_F(CliTest, JsonReportsTheFinalState) {
    const CliRun r = run("new --seed 3 --steps 50000 --grid 120 --plain --period 3 --json");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("\"stepCount\": 50001"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\"gridSize\": 120"), std::string::npos);
    EXPECT_NE(r.out.find("\"viewPeriod\": 3"), std::string::npos);
    EXPECT_NE(r.out.find("\"useDetailedSquare\": 0"), std::string::npos);
    EXPECT_NE(r.out.find("\"quiltName\": \"Sym_Square"), std::string::npos);
    EXPECT_TRUE(r.err.empty()) << "stderr is not a terminal: no progress bar";
}

TEST_F(CliTest, ColourFilesAreMadeShownAndUsed) {
    const CliRun make = run("colors random --seed 3 -o c.qcl");
    ASSERT_EQ(make.status, 0) << make.err;
    EXPECT_EQ(read("c.qcl").size(), 512u);
    const std::string first = read("c.qcl");
    const CliRun again = run("colors random --seed 3 -o c.qcl");
    ASSERT_EQ(again.status, 0);
    EXPECT_EQ(read("c.qcl"), first);

    const CliRun show = run("colors show c.qcl");
    ASSERT_EQ(show.status, 0) << show.err;
    EXPECT_NE(show.out.find("\"colors\""), std::string::npos);

    const CliRun plain = run("new --seed 4 --steps 100000 --quiet -o p.png");
    const CliRun coloured = run("new --seed 4 --steps 100000 --quiet --colors c.qcl -o q.png");
    ASSERT_EQ(plain.status, 0) << plain.err;
    ASSERT_EQ(coloured.status, 0) << coloured.err;
    EXPECT_NE(read("p.png"), read("q.png"));
}

/** The number after "key": in a JSON text. */
std::uint64_t jsonCount(const std::string& json, const std::string& key) {
    const std::size_t at = json.find("\"" + key + "\": ");
    return at == std::string::npos ? 0 : std::stoull(json.substr(at + key.size() + 4));
}

TEST_F(CliTest, SessionsReopenToTheSamePictureAndContinueTheOrbit) {
    const CliRun made = run("new --family hex --seed 2 --grid 80 --steps 200000 --quiet --save "
                            "a.session -o a.png --json");
    ASSERT_EQ(made.status, 0) << made.err;
    EXPECT_EQ(made.err.find("warning"), std::string::npos) << made.err;
    const CliRun reopened = run("open a.session -o b.png --json");
    ASSERT_EQ(reopened.status, 0) << reopened.err;
    EXPECT_EQ(read("a.png"), read("b.png"));
    EXPECT_EQ(jsonCount(reopened.out, "stepCount"), 200001u);

    const CliRun more =
        run("open a.session --steps 100000 --threads 1 --quiet --save c.session --json");
    ASSERT_EQ(more.status, 0) << more.err;
    EXPECT_EQ(jsonCount(more.out, "stepCount"), 300001u);
    EXPECT_EQ(jsonCount(more.out, "totalHits"), jsonCount(made.out, "totalHits") + 100000u);

    const CliRun info = run("info c.session");
    ASSERT_EQ(info.status, 0) << info.err;
    EXPECT_NE(info.out.find("\"flagHex\": 1"), std::string::npos) << info.out;
    EXPECT_EQ(jsonCount(info.out, "stepCount"), 300001u);
    EXPECT_NE(info.out.find("\"colorHistory\""), std::string::npos);
}

TEST_F(CliTest, ASessionThatCannotHoldItsFamilyIsSavedWithAWarning) {
    const CliRun saved = run("new --family duo --seed 2 --grid 40 --steps 20000 --quiet --save "
                             "d.session");
    ASSERT_EQ(saved.status, 0) << saved.err;
    EXPECT_NE(saved.err.find("warning: 'd.session': A session file has no room for the Duo"),
              std::string::npos)
        << saved.err;
    EXPECT_FALSE(read("d.session").empty());
}

TEST_F(CliTest, SeveralThreadsGiveTheSameBytesForTheSameSeedAndCount) {
    const std::string args = "new --family ExpA --seed 4 --grid 60 --steps 200000 --quiet";
    ASSERT_EQ(run(args + " --threads 3 -o a.bmp").status, 0);
    ASSERT_EQ(run(args + " --threads 3 -o b.bmp").status, 0);
    ASSERT_EQ(run(args + " --threads 1 -o c.bmp").status, 0);
    EXPECT_EQ(read("a.bmp"), read("b.bmp"));
    EXPECT_NE(read("a.bmp"), read("c.bmp")) << "three orbits are another sample of the quilt";
    EXPECT_EQ(run(args + " --threads 0 -o d.bmp").status, 1);
}

TEST_F(CliTest, ASessionSavedWithoutAPictureHoldsThePaletteOfTheQuiltAsIterated) {
    const std::string args = "new --seed 14 --steps 400000 --quiet";
    ASSERT_EQ(run(args + " -o direct.bmp").status, 0);
    const CliRun saved = run(args + " --save x.session");
    ASSERT_EQ(saved.status, 0) << saved.err;
    const CliRun reopened = run("open x.session -o reopened.bmp");
    ASSERT_EQ(reopened.status, 0) << reopened.err;
    EXPECT_EQ(read("reopened.bmp"), read("direct.bmp"));
}

class FamilyRenderTest : public CliTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(FamilyRenderTest, EveryFamilyRendersReproduciblyAtItsPeriodSize) {
    const std::string family = GetParam();
    const std::string args =
        "new --family " + family + " --seed 5 --grid 60 --steps 60000 --period 1 --quiet";
    const CliRun a = run(args + " -o a.bmp --json");
    ASSERT_EQ(a.status, 0) << a.err;
    const CliRun b = run(args + " -o b.bmp");
    ASSERT_EQ(b.status, 0) << b.err;
    const std::string image = read("a.bmp");
    ASSERT_GT(image.size(), 54u);
    EXPECT_EQ(image, read("b.bmp"));
    EXPECT_NE(a.out.find("\"gridSize\": 60"), std::string::npos) << a.out;
    EXPECT_NE(a.out.find("\"stepCount\": 60001"), std::string::npos) << a.out;
    // The picture is not one flat colour: some pixel differs from the first.
    const std::size_t offset =
        static_cast<unsigned char>(image[10]) | (static_cast<unsigned char>(image[11]) << 8);
    EXPECT_NE(image.find_first_not_of(image.substr(offset, 3), offset), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Families, FamilyRenderTest,
                         ::testing::Values("Square", "Oct_Four", "SFT", "Hex", "SquareX", "T",
                                           "ExpA", "TWsq", "Squaret", "Duo"),
                         [](const auto& info) { return std::string(info.param); });

TEST_F(CliTest, FamilyOptionsApplyToTheirFamilies) {
    const CliRun knot =
        run("new --family hex --knot --detailed --seed 2 --grid 50 --steps 20000 --json");
    ASSERT_EQ(knot.status, 0) << knot.err;
    EXPECT_NE(knot.out.find("\"hexKnot\": 1"), std::string::npos);
    EXPECT_NE(knot.out.find("\"useDetailedHex\": 1"), std::string::npos);
    const CliRun corner =
        run("new --family SquareX --corner-n 30 --seed 2 --grid 50 --steps 20000 --json");
    ASSERT_EQ(corner.status, 0) << corner.err;
    EXPECT_NE(corner.out.find("\"cornerN\": 30"), std::string::npos);
}

struct BadCall {
    std::string args;
    int status;
    const char* message;
};

class CliErrorTest : public CliTest, public ::testing::WithParamInterface<BadCall> {};

/** A name of @p length bytes ending in @p suffix. */
std::string nameOf(std::size_t length, const std::string& suffix) {
    return std::string(length - suffix.size(), 'n') + suffix;
}

/** A path far longer than the system takes, of short names. */
const std::string kLongPath = [] {
    std::string path;
    while (path.size() < 5000) {
        path += std::string(100, 'd') + "/";
    }
    return path + "out.png";
}();

TEST_P(CliErrorTest, FailsWithOneClearLineAndNoOutputFile) {
    const BadCall& bad = GetParam();
    std::ofstream(dir / "short.qcl") << "too short";
    fs::create_symlink("/dev/full", dir / "full.png");
    fs::create_symlink("/dev/full", dir / "full.session");
    const CliRun r = run(bad.args);
    EXPECT_EQ(r.status, bad.status) << r.err;
    EXPECT_EQ(r.err.rfind("zarn80-render: error: ", 0), 0u) << r.err;
    EXPECT_NE(r.err.find(bad.message), std::string::npos) << r.err;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    EXPECT_FALSE(fs::exists(dir / "out.png"));
}

INSTANTIATE_TEST_SUITE_P(
    Calls, CliErrorTest,
    ::testing::Values(
        BadCall{"new --family nosuch -o out.png", 1, "unknown family 'nosuch'"},
        BadCall{"new --grid 0 -o out.png", 1, "--grid 0 is out of range"},
        BadCall{"new --grid 5000 -o out.png", 1, "out of range"},
        BadCall{"new --grid many -o out.png", 2, "whole number"},
        BadCall{"new --grid -5 -o out.png", 1, "--grid -5 is out of range"},
        BadCall{"new --colors missing.qcl --steps 10 -o out.png", 1, "missing.qcl"},
        BadCall{"new --colors short.qcl --steps 10 -o out.png", 1, "short.qcl"},
        BadCall{"new --steps 10 -o /proc/out.png", 1, "'/proc/out.png': "},
        BadCall{"new --steps 10 -o short.qcl/out.png", 1, "'short.qcl' is not a folder"},
        BadCall{"new --steps 10 -o nowhere/out.png", 1, "does not exist"},
        BadCall{"new --steps 10 -o out.xyz", 2, "image format"},
        BadCall{"new --steps 10 --bogus -o out.png", 2, "unknown option '--bogus'"},
        BadCall{"new --steps 10", 2, "-o IMAGE"}, BadCall{"frobnicate", 2, "unknown command"},
        BadCall{"new --knot --steps 10 -o out.png", 2, "--knot applies to the Hex family only"},
        BadCall{"new --family hex --corner-n 5 -o out.png", 2, "--corner-n applies"},
        BadCall{"new --family SquareX --corner-n 43 -o out.png", 1, "out of range"},
        BadCall{"colors show missing.qcl", 1, "missing.qcl"},
        BadCall{"info short.qcl", 1, "Failed to open document."},
        BadCall{"open missing.session -o out.png", 1, "Failed to open document."},
        BadCall{"info", 2, "needs a FILE.session"},
        BadCall{"colors paint", 2, "unknown colors action"},
        BadCall{"new --view fancy -o out.png", 2, "unknown view 'fancy'"},
        BadCall{"new --quazi-scale 1 -o out.png", 2,
                "--quazi-scale applies to the quasi-crystal view"},
        BadCall{"new --view quazi --tiling 4.8.8 -o out.png", 2,
                "--tiling applies to the poly view"},
        BadCall{"new --family Hex --view poly -o out.png", 2,
                "--view poly does not apply to the Hex family"},
        BadCall{"new --view poly --tiling 4.4.4 -o out.png", 2, "unknown tiling"},
        BadCall{"new --view poly --poly-scale 11 -o out.png", 1,
                "--poly-scale 11: Scale: Please enter a number between 0.5 and 10."},
        BadCall{"new --view poly --poly-offset 0.3 -o out.png", 2, "two numbers X,Y"},
        BadCall{"new --view quazi --quazi-offset 20,300 -o out.png", 1,
                "X Offset in pattern: Please enter an integer between 50 and 1200."},
        BadCall{"new --view quazi --quazi-offset 60.5,300 -o out.png", 2, "two whole numbers"},
        BadCall{"new --view quazi --quazi-lines 50 -o out.png", 1, "Line set count"},
        BadCall{"new --steps 1000 --steps 2000 -o out.png", 2, "--steps given twice"},
        BadCall{"new -o out.png -o b.png", 2, "--output given twice"},
        BadCall{"new --detailed --family T -o out.png", 2,
                "--detailed applies to the Square and Hex families only"},
        BadCall{"colors show /dev/zero", 1, "not a regular file"},
        BadCall{"new --colors /dev/zero --steps 10 -o out.png", 1, "not a regular file"},
        BadCall{"colors random -o out.png", 2, "writes a .qcl file"},
        BadCall{"new --steps 10 --json > /dev/full", 1, "No space left on device"},
        BadCall{"open short.qcl", 2, "open needs -o IMAGE"},
        // Limits known before the run fail at once, not after four billion steps.
        BadCall{"new --grid 1000 --period 40 --steps 4000000000 -o out.png", 1,
                "the image would be 40000 x 40000 pixels, larger than 32000 pixels on a side"},
        BadCall{"new --grid 1000 --period 32 --steps 4000000000 --save a.session -o out.bmp", 1,
                "'out.bmp': a BMP file holds at most 2147483647 bytes; 32000 x 32000 pixels "
                "take 3072000054"},
        BadCall{"new --grid 1000 --period 24 --view quazi --steps 4000000000 -o out.gif", 1,
                "at most 536870911 pixels"},
        BadCall{"new --steps 4000000000 -o out.png --save ./out.png", 2,
                "-o and --save name the same file"},
        // A full disk: the reason, once.
        BadCall{"new --steps 1000 -o full.png", 1,
                "cannot write 'full.png': No space left on device"},
        BadCall{"new --steps 1000 --save full.session", 1,
                "cannot write 'full.session': No space left on device"},
        // Names too long for the system, with the part that is too long.
        BadCall{"new --steps 4000000000 -o " + nameOf(256, ".png"), 1,
                "File name too long (the file name 'nnnnnnnn"},
        BadCall{"new --steps 4000000000 --save " + kLongPath, 1,
                "File name too long (the path has 5057 bytes, at most 4095)"},
        BadCall{"open --json " + kLongPath, 1, "File name too long (the path has 5057 bytes"}),
    [](const auto& info) { return "Call" + std::to_string(info.index); });

TEST_F(CliTest, AFailedImageStillLeavesTheSessionAndTheOldImage) {
    fs::create_symlink("/dev/full", dir / "full.png");
    const CliRun r = run("new --seed 3 --steps 20000 --quiet --save a.session -o full.png --json");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "zarn80-render: error: cannot write 'full.png': No space left on device\n");
    EXPECT_EQ(jsonCount(r.out, "stepCount"), 20001u);
    const CliRun reopened = run("open a.session --json");
    ASSERT_EQ(reopened.status, 0) << reopened.err;
    EXPECT_EQ(jsonCount(reopened.out, "stepCount"), 20001u);

    // The disk fills while the image is written (a file size limit stands in for it).
    std::ofstream(dir / "old.png") << "earlier picture";
    const CliRun full =
        run("new --seed 3 --steps 20000 --quiet -o old.png", "trap '' XFSZ; ulimit -f 1;");
    EXPECT_EQ(full.status, 1);
    EXPECT_EQ(full.err, "zarn80-render: error: cannot write 'old.png': File too large\n");
    EXPECT_EQ(read("old.png"), "earlier picture");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), {}), 4) << "a temporary file was left";
}

TEST_F(CliTest, OpenChecksTheImageSizeBeforeIterating) {
    const CliRun saved = run("new --seed 1 --grid 1000 --period 32 --steps 10 --quiet --save "
                             "big.session");
    ASSERT_EQ(saved.status, 0) << saved.err;
    const CliRun bmp = run("open big.session --steps 4000000000 -o out.bmp");
    EXPECT_EQ(bmp.status, 1);
    EXPECT_NE(bmp.err.find("a BMP file holds at most 2147483647 bytes"), std::string::npos)
        << bmp.err;
    const CliRun gif = run("open big.session --view quazi --steps 4000000000 -o out.gif");
    EXPECT_EQ(gif.status, 1);
    EXPECT_NE(gif.err.find("at most 536870911 pixels"), std::string::npos) << gif.err;
}

TEST_F(CliTest, LongAndNonUtf8NamesAreKeptByteForByte) {
    const std::string session = nameOf(255, ".session");
    const std::string colors = nameOf(255, ".qcl");
    const std::string image = "bad\xff\xfe.png";
    const CliRun made =
        run("new --seed 3 --steps 20000 --quiet --save " + session + " -o '" + image + "'");
    ASSERT_EQ(made.status, 0) << made.err;
    EXPECT_EQ(run("open " + session + " --json").status, 0);
    EXPECT_EQ(read(image).substr(0, 4), "\x89PNG");
    const CliRun random = run("colors random --seed 2 -o " + colors);
    ASSERT_EQ(random.status, 0) << random.err;
    EXPECT_EQ(read(colors).size(), 512u);
    // The three files and stderr.txt: nothing renamed, no temporary file left.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), {}), 4);
}

/** Width and height of an image file, as Qt reads its header. */
std::pair<int, int> imageSize(const fs::path& path) {
    const QSize size = QImageReader(QString::fromStdString(path.string())).size();
    return {size.width(), size.height()};
}

std::pair<int, int> polySize(int tiling, double scale = 1.0) {
    zarn::PolyMapping mapping(tiling, 0.04);
    mapping.SetScale(scale);
    return {mapping.ImageWidth(), mapping.ImageHeight()};
}

struct ViewRun {
    const char* label;
    const char* args;
    const char* output;
    std::pair<int, int> size;
};

class ViewRenderTest : public CliTest, public ::testing::WithParamInterface<ViewRun> {};

TEST_P(ViewRenderTest, WritesThePictureOfItsViewReproducibly) {
    const ViewRun& v = GetParam();
    const std::string args = std::string("new --seed 4 --steps 30000 --quiet ") + v.args;
    const CliRun a = run(args + " -o a" + v.output);
    ASSERT_EQ(a.status, 0) << a.err;
    const CliRun b = run(args + " -o b" + v.output);
    ASSERT_EQ(b.status, 0) << b.err;
    EXPECT_EQ(imageSize(dir / (std::string("a") + v.output)), v.size);
    EXPECT_EQ(read(std::string("a") + v.output), read(std::string("b") + v.output));
}

INSTANTIATE_TEST_SUITE_P(
    Views, ViewRenderTest,
    ::testing::Values(
        ViewRun{"QuaziGif", "--grid 300 --view quazi", ".gif", {600, 600}},
        ViewRun{"QuaziPng",
                "--grid 100 --period 3 --view quazi --quazi-lines 7 --quazi-scale 0.3 "
                "--quazi-offset 150,150 --quazi-overlap 0",
                ".png",
                {300, 300}},
        ViewRun{"PolyPng", "--view poly --tiling 3.12.12", ".png", polySize(3)},
        ViewRun{"PolyGif",
                "--view poly --tiling 3.3.3.4.4 --poly-scale 0.75 --poly-offset 0.1,0.4 "
                "--poly-overlap 0.1",
                ".gif", polySize(2, 0.75)},
        ViewRun{"TileGif", "--grid 300 --view tile", ".gif", {600, 600}}),
    [](const auto& info) { return std::string(info.param.label); });

TEST_F(CliTest, ASessionSavedWithAViewReopensWithItOn) {
    const CliRun saved = run("new --seed 6 --steps 30000 --quiet --view poly --tiling 3.6.3.6 "
                             "--poly-scale 2 --save a.session");
    ASSERT_EQ(saved.status, 0) << saved.err;
    const CliRun reopened = run("open a.session -o b.gif --json");
    ASSERT_EQ(reopened.status, 0) << reopened.err;
    EXPECT_NE(reopened.out.find("\"view\": \"poly\""), std::string::npos) << reopened.out;
    // The tiling is kept; the scale is the view's default again.
    EXPECT_EQ(imageSize(dir / "b.gif"), polySize(5));

    const CliRun tiled = run("open a.session --view tile -o c.png --save c.session");
    ASSERT_EQ(tiled.status, 0) << tiled.err;
    EXPECT_EQ(imageSize(dir / "c.png"), std::make_pair(500, 500));
    const CliRun quazi = run("open c.session --view quazi --quazi-scale 0.25 -o d.png --json");
    ASSERT_EQ(quazi.status, 0) << quazi.err;
    EXPECT_NE(quazi.out.find("\"view\": \"quazi\""), std::string::npos) << quazi.out;
    const CliRun wrong = run("open a.session --quazi-scale 0.25 -o e.png");
    EXPECT_EQ(wrong.status, 2) << wrong.err;
}

TEST_F(CliTest, InfoWritesValidUtf8WhateverBytesTheNamesHold) {
    ASSERT_EQ(run("new --seed 3 --steps 20000 --quiet --save a.session").status, 0);
    std::string bytes = read("a.session");
    // quiltName starts at byte 78: put a stray continuation byte and a lone lead byte in it.
    bytes[78] = static_cast<char>(0xFF);
    bytes[79] = static_cast<char>(0xC3);
    bytes[80] = 'x';
    std::ofstream(dir / "b.session", std::ios::binary) << bytes;
    const CliRun info = run("info b.session");
    ASSERT_EQ(info.status, 0) << info.err;
    EXPECT_NE(info.out.find("\\u00ff\\u00c3x"), std::string::npos) << info.out.substr(0, 400);
    EXPECT_EQ(info.out.find(static_cast<char>(0xFF)), std::string::npos);
}

} // namespace

namespace {

TEST_F(CliTest, ColorsListNamesThePresetsAndColorsTakesAPresetByName) {
    const CliRun list = run("colors list");
    ASSERT_EQ(list.status, 0) << list.err;
    EXPECT_GE(std::count(list.out.begin(), list.out.end(), '\n'), 12);
    EXPECT_NE(list.out.find("ember\n"), std::string::npos);

    const CliRun quilt =
        run("new --seed 3 --steps 20000 --grid 40 --colors ember --save e.session --quiet");
    ASSERT_EQ(quilt.status, 0) << quilt.err;
    const CliRun info = run("info e.session");
    EXPECT_NE(info.out.find("\"name\": \"ember\""), std::string::npos);

    const CliRun unknown = run("new --seed 3 --steps 20000 --colors no-such-preset -o a.png");
    EXPECT_EQ(unknown.status, 1);
    EXPECT_NE(unknown.err.find("no colour file or preset named 'no-such-preset'"),
              std::string::npos);
}

TEST_F(CliTest, ColorsUsedDrawsThatManyActiveColours) {
    const CliRun three = run("colors random --seed 4 --colors-used 3 -o three.qcl");
    ASSERT_EQ(three.status, 0) << three.err;
    const CliRun shown = run("colors show three.qcl");
    ASSERT_EQ(shown.status, 0) << shown.err;
    EXPECT_NE(shown.out.find("\"useColors34\": true"), std::string::npos);
    EXPECT_NE(shown.out.find("\"useColors56\": false"), std::string::npos);
    EXPECT_EQ(run("colors random --colors-used 7 -o x.qcl").status, 1);
}

TEST_F(CliTest, LevelsChangesThePictureButNotTheSession) {
    const std::string common = "new --seed 5 --steps 300000 --grid 60 --quiet ";
    ASSERT_EQ(run(common + "-o classic.png --save classic.session").status, 0);
    const CliRun log = run(common + "--levels log -o log.png --save log.session");
    ASSERT_EQ(log.status, 0) << log.err;
    EXPECT_EQ(read("classic.session"), read("log.session"));
    EXPECT_EQ(run("open log.session --levels robust -o robust.png").status, 0);
    EXPECT_GT(read("robust.png").size(), 1000u);
    const CliRun bad = run(common + "--levels linear -o x.png");
    EXPECT_EQ(bad.status, 2);
    EXPECT_NE(bad.err.find("unknown level scale 'linear'"), std::string::npos);
}

TEST_F(CliTest, ExploreWritesASheetAndTheBestKeptQuiltsBestFirst) {
    const CliRun r = run("explore --count 4 --seed 101 --steps 20000 --grid 40 --levels log "
                         "--keep 2 --json --quiet -o sheet.png");
    ASSERT_EQ(r.status, 0) << r.err;
    const QImage sheet(QString::fromStdString((dir / "sheet.png").string()));
    EXPECT_FALSE(sheet.isNull());
    for (const char* name : {"sheet-1.png", "sheet-2.png", "sheet-1.session", "sheet-2.session"}) {
        EXPECT_TRUE(fs::exists(dir / name)) << name;
    }
    EXPECT_FALSE(fs::exists(dir / "sheet-3.png"));
    // The ranking: scores never rise, and the first kept session is the best candidate.
    std::vector<double> scores;
    for (std::size_t at = r.out.find("\"score\": "); at != std::string::npos;
         at = r.out.find("\"score\": ", at + 1)) {
        scores.push_back(std::stod(r.out.substr(at + 9)));
    }
    ASSERT_EQ(scores.size(), 4u);
    EXPECT_TRUE(std::is_sorted(scores.rbegin(), scores.rend()));
    const std::size_t seedAt = r.out.find("\"seed\": ");
    const std::string firstSeed = r.out.substr(seedAt + 8, 3);
    const CliRun info = run("info sheet-1.session");
    ASSERT_EQ(info.status, 0) << info.err;
    const CliRun same = run("new --seed " + firstSeed +
                            " --threads 1 --steps 20000 --grid 40 --quiet --save same.session "
                            "--family " +
                            r.out.substr(r.out.find("\"family\": \"") + 11,
                                         r.out.find('"', r.out.find("\"family\": \"") + 11) -
                                             r.out.find("\"family\": \"") - 11));
    ASSERT_EQ(same.status, 0) << same.err;
    EXPECT_EQ(read("sheet-1.session"), read("same.session"));

    EXPECT_EQ(run("explore --count 2 -o sheet.png --keep 3").status, 2);
    EXPECT_EQ(run("explore -o sheet.png").status, 2);
}

} // namespace
