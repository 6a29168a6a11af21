#include "raster/Compose.h"
#include "raster/GifEncoder.h"
#include "raster/ImageEncoders.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>
#include <QPainter>

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sys/resource.h>

namespace zarn {
namespace {

namespace fs = std::filesystem;

constexpr QRgb kWhite = 0xFFFFFFFFu;

/** A period whose quadrants differ (top-left red, top-right green, bottom-left blue,
 *  bottom-right yellow), shaded so that it has a few hundred colours. */
PeriodBitmap quadrantPeriod(int w, int h) {
    PeriodBitmap b(w, h);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const bool right = x >= w / 2;
            const bool bottom = y >= h / 2;
            const std::uint32_t shade = static_cast<std::uint32_t>((x + y) * 40 / (w + h));
            std::uint32_t rgb = 0;
            if (!right && !bottom) {
                rgb = (0xD0u + shade) << 16;
            } else if (right && !bottom) {
                rgb = (0xD0u + shade) << 8;
            } else if (!right && bottom) {
                rgb = 0xD0u + shade;
            } else {
                rgb = ((0xD0u + shade) << 16) | ((0xD0u + shade) << 8);
            }
            b.at(x, y) = 0xFF000000u | rgb;
        }
    }
    return b;
}

PeriodBitmap solidPeriod(int w, int h, std::uint32_t argb) {
    PeriodBitmap b(w, h);
    std::fill(b.pixels.begin(), b.pixels.end(), argb);
    return b;
}

QImage whiteCanvas(int w, int h) {
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(Qt::white);
    return image;
}

int countPixels(const QImage& image, QRgb rgb) {
    int n = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            n += image.pixel(x, y) == rgb ? 1 : 0;
        }
    }
    return n;
}

struct OffCanvas {
    const char* name;
    QPointF p0, p1, p2;
};

class TriangleOutsideTest : public ::testing::TestWithParam<OffCanvas> {};

TEST_P(TriangleOutsideTest, DrawsNothing) {
    const QImage source = periodSource(quadrantPeriod(40, 40));
    QImage canvas = whiteCanvas(50, 50);
    {
        QPainter painter(&canvas);
        drawAffineTriangle(painter, source, GetParam().p0, GetParam().p1, GetParam().p2);
        drawAffineParallelogram(painter, source, GetParam().p0, GetParam().p1, GetParam().p2);
    }
    EXPECT_EQ(countPixels(canvas, kWhite), 50 * 50);
}

INSTANTIATE_TEST_SUITE_P(Cases, TriangleOutsideTest,
                         ::testing::Values(OffCanvas{"Right", {60, 0}, {90, 0}, {60, 30}},
                                           OffCanvas{"Left", {-40, 10}, {-10, 10}, {-40, 40}},
                                           OffCanvas{"Below", {0, 51}, {40, 51}, {0, 90}},
                                           OffCanvas{
                                               "AboveAndRight", {55, -30}, {80, -30}, {55, -5}},
                                           OffCanvas{"NoArea", {10, 10}, {30, 30}, {20, 20}}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ComposeTest, TriangleTakesThePeriodsCornersAndNothingBeyondItsEdge) {
    const QImage source = periodSource(quadrantPeriod(40, 40));
    QImage canvas = whiteCanvas(60, 60);
    {
        QPainter painter(&canvas);
        // Mirrored: the period's top-right corner goes to the left.
        drawAffineTriangle(painter, source, QPointF(50, 5), QPointF(10, 5), QPointF(50, 45));
    }
    EXPECT_EQ(qRed(canvas.pixel(47, 8)) > 0xC0 && qGreen(canvas.pixel(47, 8)) == 0, true);
    EXPECT_EQ(qGreen(canvas.pixel(14, 7)) > 0xC0 && qRed(canvas.pixel(14, 7)) == 0, true);
    EXPECT_EQ(qBlue(canvas.pixel(48, 42)) > 0xC0 && qRed(canvas.pixel(48, 42)) == 0, true);
    // Across the hypotenuse (10,5)-(50,45) and outside the target: untouched.
    EXPECT_EQ(canvas.pixel(14, 30), kWhite);
    EXPECT_EQ(canvas.pixel(55, 20), kWhite);
}

class PolyCoverageTest : public ::testing::TestWithParam<PolyTilingChoice> {};

// The placements reach past every edge of the period and the default overlap closes the seams:
// no pixel of the poly image is left white.
TEST_P(PolyCoverageTest, DefaultOverlapLeavesNoGap) {
    for (double scale : {0.5, 1.0, 2.0}) {
        PolyMapping mapping(GetParam().kind, PolyMapping::kDefaultOverlap);
        mapping.SetScale(scale);
        for (double offset : {0.1, 0.25, 0.499}) {
            mapping.SetPeriodOffsets(offset, 0.6 - offset);
            const QImage image = renderPolyImage(solidPeriod(64, 64, 0xFF203040u), mapping);
            ASSERT_EQ(image.width(), mapping.ImageWidth());
            ASSERT_EQ(image.height(), mapping.ImageHeight());
            ASSERT_EQ(countPixels(image, kWhite), 0) << "scale " << scale << " offset " << offset;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Tilings, PolyCoverageTest, ::testing::ValuesIn(kPolyTilings),
                         [](const auto& info) { return "Kind" + std::to_string(info.param.kind); });

TEST(ComposeTest, ViewsComposeAtTheirSizes) {
    const PeriodBitmap period = quadrantPeriod(300, 300);
    RandomSource rng;
    rng.SeedFrom(5.0);
    QuaziMapping quazi(5, QuaziMapping::kBaseSpacing, rng);
    quazi.GenerateTiles();
    ViewGeometry view;
    view.periods = 2;
    view.mode = ViewMode::Quazi;
    view.quazi = quazi;
    const QImage q = composeView(period, view);
    EXPECT_EQ(q.size(), QSize(600, 600));
    // The pattern's centre lies at the offsets (300, 300); the rhombi cover it.
    EXPECT_NE(q.pixel(300, 300), kWhite);

    view.mode = ViewMode::Poly;
    view.poly = PolyMapping(0, 0.04);
    EXPECT_EQ(composeView(period, view).size(), QSize(312, 312));
    EXPECT_EQ(composeExport(period, view).size(), QSize(156, 156));

    view.mode = ViewMode::Tile;
    view.periods = 0;
    EXPECT_EQ(composeExport(period, view).size(), QSize(300, 300));
}

// ---- Export -----------------------------------------------------------------------------------

class ExportTest : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override {
        // One folder per case: ctest runs the cases in parallel.
        std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        std::replace(name.begin(), name.end(), '/', '-');
        dir = fs::temp_directory_path() / ("zarn-raster-" + name);
        fs::remove_all(dir);
        fs::create_directories(dir);
        path = QString::fromStdString((dir / (std::string("quilt.") + GetParam())).string());
    }
    void TearDown() override { fs::remove_all(dir); }

    ImageEncoder encoder() const {
        const std::optional<ImageEncoder> e = FindEncoder(mimeTypeForPath(path));
        EXPECT_TRUE(e.has_value()) << GetParam();
        return e.value_or(ImageEncoder{});
    }

    fs::path dir;
    QString path;
};

TEST_P(ExportTest, TwoPeriodsOfA300PixelQuiltMake600By600) {
    ViewGeometry view;
    view.periods = 2;
    const QImage picture = composeExport(quadrantPeriod(300, 300), view);
    ASSERT_EQ(writeImageFile(picture, path, encoder()), "");
    QImageReader reader(path);
    EXPECT_EQ(reader.size(), QSize(600, 600));
    const QImage back = reader.read();
    ASSERT_FALSE(back.isNull()) << reader.errorString().toStdString();
    // Bottom-right quadrant of the top-left period: yellow in every format, GIF included.
    const QRgb c = back.pixel(225, 225);
    EXPECT_GT(qRed(c), 0xB0);
    EXPECT_GT(qGreen(c), 0xB0);
    EXPECT_LT(qBlue(c), 0x40);
}

TEST_P(ExportTest, AFailedWriteNamesTheFileAndKeepsTheOldOne) {
    {
        std::ofstream old(path.toStdString(), std::ios::binary);
        old << "earlier picture";
    }
    ViewGeometry view;
    view.periods = 2;
    const QImage picture = composeExport(quadrantPeriod(300, 300), view);

    // A full disk, as a limit on the size of any file this process writes.
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 64;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const std::string error = writeImageFile(picture, path, encoder());
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);

    EXPECT_NE(error.find(path.toStdString()), std::string::npos) << error;
    EXPECT_NE(error.find("too large"), std::string::npos) << error;
    std::ifstream in(path.toStdString(), std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "earlier picture");

    const QString nowhere = QString::fromStdString((dir / "missing" / "a.png").string());
    const std::string missing = writeImageFile(picture, nowhere, encoder());
    EXPECT_NE(missing.find(nowhere.toStdString()), std::string::npos) << missing;
}

INSTANTIATE_TEST_SUITE_P(Formats, ExportTest, ::testing::Values("png", "bmp", "jpg", "tif", "gif"));

TEST(EncoderTest, OnlyTheProgramsFormatsHaveEncoders) {
    EXPECT_EQ(FindEncoder("image/jpeg")->quality, 100);
    EXPECT_EQ(FindEncoder("IMAGE/GIF")->format, QByteArray("gif"));
    EXPECT_FALSE(FindEncoder("image/x-portable-pixmap").has_value());
    EXPECT_EQ(mimeTypeForPath("a.GIF"), QStringLiteral("image/gif"));
    EXPECT_TRUE(mimeTypeForPath("a.ppm").isEmpty());
}

TEST(GifTest, DitheredPaletteIsCloseAndTheSameBytesEveryTime) {
    ViewGeometry view;
    const QImage picture = composeExport(quadrantPeriod(300, 300), view);
    const GifEncoding a = encodeGif(picture);
    ASSERT_EQ(a.error, "");
    // Well under the point (about 20) where quantization begins to show.
    EXPECT_GE(a.quantizationError, 0.0);
    EXPECT_LT(a.quantizationError, 5.0);
    EXPECT_EQ(encodeGif(picture).bytes, a.bytes);
    EXPECT_NE(encodeGif(QImage()).error, "");
    EXPECT_NE(encodeGif(QImage(70000, 1, QImage::Format_RGB32)).error, "");
}

TEST(ClipboardTest, OnePeriodAs24BitRowsPaddedToFourBytes) {
    const QImage image = clipboardImage(quadrantPeriod(301, 20));
    EXPECT_EQ(image.format(), QImage::Format_RGB888);
    EXPECT_EQ(image.size(), QSize(301, 20));
    // As a device-independent bitmap (what a BMP file holds after its 14-byte header): 40 bytes
    // of header, then 20 rows of 903 bytes padded to 904.
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    ASSERT_TRUE(image.save(&buffer, "bmp"));
    EXPECT_EQ(buffer.data().size(), 14 + 40 + 20 * 904);
}

} // namespace
} // namespace zarn
