#include "ShellTestSupport.h"
#include "app/CZARN40View.h"
#include "app/CommandTable.h"
#include "app/ImageExport.h"
#include "app/Printing.h"
#include "document/SessionFile.h"
#include "raster/Compose.h"
#include "tests/app/dialogs/DialogTestSupport.h"

#include <QBuffer>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImageReader>
#include <QImageWriter>
#include <QInputDialog>
#include <QLineEdit>
#include <QPainter>
#include <QPrinter>
#include <QSettings>
#include <QTemporaryDir>
#include <QtEndian>

#include <thread>

namespace zarn::app::test {
namespace {

using testing_support::ModalDriver;

/** What a save dialog proposed when it opened. */
struct Proposal {
    /** The name in its name field, with the default suffix. */
    QString name;
    QString filter;
};

/** A step that answers the save dialog with @p path (Cancel when empty) and notes what it
 *  proposed. */
ModalDriver::Step answerSave(const QString& path, Proposal& proposal) {
    return [path, &proposal](QWidget* w) {
        auto* dialog = qobject_cast<QFileDialog*>(w);
        ASSERT_NE(dialog, nullptr) << w->windowTitle().toStdString();
        proposal.name = QFileInfo(dialog->selectedFiles().value(0)).fileName();
        proposal.filter = dialog->selectedNameFilter();
        if (path.isEmpty()) {
            dialog->reject();
            return;
        }
        // Typed into the name field (selectFile leaves a field with the focus alone).
        auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        ASSERT_NE(name, nullptr);
        name->setText(path);
        static_cast<QDialog*>(dialog)->accept();
    };
}

class ExportTest : public ShellTest {
protected:
    /** Runs @p command with the save dialog answered by @p path; waits for the file. */
    Proposal exportTo(int command, const QString& path, std::vector<QString>* messages = nullptr) {
        Proposal proposal;
        ModalDriver driver({answerSave(path, proposal)});
        frame().action(command)->trigger();
        // A failure's message box comes with the result, and is answered before this returns.
        EXPECT_TRUE(composerIdle(*app_));
        if (messages != nullptr) {
            *messages = driver.messages;
        } else {
            EXPECT_TRUE(driver.messages.empty()) << driver.messages.front().toStdString();
        }
        return proposal;
    }

    QTemporaryDir dir_;
};

class ExportFormats : public ExportTest, public ::testing::WithParamInterface<int> {};

TEST_P(ExportFormats, WritesTheWindowsPictureUnderTheQuiltsName) {
    const ExportFormat& format = *exportFormatFor(GetParam());
    CZARN40View* view = openSquare(300, 2);
    ASSERT_NE(view, nullptr);
    const QString quiltName = QString::fromStdString(host_->doc().snapshot().quiltName);

    const QString path = dir_.filePath(QStringLiteral("quilt"));
    const Proposal proposal = exportTo(format.command, path);
    EXPECT_EQ(proposal.name, quiltName + QLatin1Char('.') + QLatin1String(format.suffix));
    EXPECT_EQ(proposal.filter, QString::fromLatin1(format.filter));

    const QString written = path + QLatin1Char('.') + QLatin1String(format.suffix);
    QImageReader reader(written);
    EXPECT_EQ(reader.size(), QSize(600, 600)) << written.toStdString();
    const QString mime = QString::fromLatin1(format.mimeType);
    if (mime != QLatin1String("image/jpeg") && mime != QLatin1String("image/gif")) {
        const QImage expected = composeTiled(*view->periodBitmap(), 2);
        EXPECT_EQ(reader.read().convertToFormat(QImage::Format_RGB32),
                  expected.convertToFormat(QImage::Format_RGB32));
    }
    EXPECT_EQ(QString::fromStdString(host_->doc().snapshot().quiltName), written)
        << "the next export proposes the last file";
}

INSTANTIATE_TEST_SUITE_P(Commands, ExportFormats,
                         ::testing::Values(cmd::SaveBmp, cmd::SaveJpeg, cmd::SaveTiff,
                                           cmd::SaveTiffButton, cmd::SaveGif, cmd::SavePng));

TEST_F(ExportTest, CancelWritesNothingAndKeepsTheNames) {
    ASSERT_NE(openSquare(300, 2), nullptr);
    const DocumentSnapshot before = host_->doc().snapshot();
    for (const ExportFormat& format : exportFormats()) {
        exportTo(format.command, QString());
    }
    exportTo(cmd::SaveWindowJpeg, QString());
    EXPECT_TRUE(QDir(dir_.path()).isEmpty());
    const DocumentSnapshot after = host_->doc().snapshot();
    EXPECT_EQ(after.quiltName, before.quiltName);
    EXPECT_EQ(after.windowName, before.windowName);
}

TEST_F(ExportTest, SavingAQuiltTheSessionCannotKeepWholeSaysSoTheFirstTime) {
    const QString previous = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(dir_.path())); // Save Session writes to the bare quilt name
    ModalCloser closer;
    const auto save = [&](MapFamily family) {
        NewQuiltOptions settings;
        settings.family = family;
        DocumentHost* host = openQuiet(settings, 2000);
        EXPECT_TRUE(host != nullptr && !host->views().empty());
        if (host == nullptr || host->views().empty()) {
            return;
        }
        host->views().front()->OnFileSaveSession();
        host->views().front()->OnFileSaveSession();
        EXPECT_TRUE(QFileInfo::exists(QString::fromStdString(host->doc().snapshot().sessionName)));
    };
    save(MapFamily::Square);
    EXPECT_TRUE(closer.texts.isEmpty());
    save(MapFamily::TWsq);
    QDir::setCurrent(previous);
    ASSERT_EQ(closer.texts.size(), 1) << "once per quilt";
    EXPECT_EQ(closer.texts.front().toStdString(), SessionFileLimit(MapFamily::TWsq));
}

TEST_F(ExportTest, ThePolyViewExportsItsOwnImageUnderItsPolyName) {
    CZARN40View* view = openSquare(300, 2);
    ASSERT_NE(view, nullptr);
    {
        ModalCloser closer;
        frame().action(cmd::ViewPoly)->trigger();
    }
    const QString ptesName = QString::fromStdString(host_->doc().snapshot().ptesName);
    const QString path = dir_.filePath(QStringLiteral("poly.png"));
    EXPECT_EQ(exportTo(cmd::SavePng, path).name, ptesName + QStringLiteral(".png"));
    const QImage written(path);
    const QImage expected = renderPolyImage(*view->periodBitmap(), *view->viewGeometry().poly);
    EXPECT_EQ(written.size(), QSize(156, 156)) << "one period of 4.8.8, not the window's copies";
    EXPECT_EQ(written.convertToFormat(QImage::Format_RGB32), expected);
    EXPECT_EQ(QString::fromStdString(host_->doc().snapshot().ptesName), path);
}

TEST_F(ExportTest, AFailedExportIsReportedWithTheFileAndTheReason) {
    ASSERT_NE(openSquare(300, 2), nullptr);
    const QString path = dir_.filePath(QStringLiteral("missing/quilt.bmp"));
    std::vector<QString> messages;
    exportTo(cmd::SaveBmp, path, &messages);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_TRUE(messages.front().startsWith(QStringLiteral("cannot write '%1': ").arg(path)))
        << messages.front().toStdString();
    EXPECT_FALSE(QFileInfo::exists(path));
}

TEST_F(ExportTest, TheWindowCaptureIsAJpegOfTheShownPixels) {
    CZARN40View* view = openSquare(300, 2);
    ASSERT_NE(view, nullptr);
    const QString windowName = QString::fromStdString(host_->doc().snapshot().windowName);
    const QString path = dir_.filePath(QStringLiteral("window"));
    EXPECT_EQ(exportTo(cmd::SaveWindowJpeg, path).name, windowName + QStringLiteral(".jpg"));
    QImageReader reader(path + QStringLiteral(".jpg"));
    EXPECT_EQ(reader.format(), QByteArray("jpeg"));
    EXPECT_EQ(reader.size(), shown(view).size());
    EXPECT_EQ(QString::fromStdString(host_->doc().snapshot().windowName), reader.fileName());
}

TEST_F(ExportTest, CopyPutsOnePeriodOnTheClipboardAs24BitRows) {
    CZARN40View* view = openSquare(301, 2);
    ASSERT_NE(view, nullptr);
    QGuiApplication::clipboard()->clear();
    frame().action(cmd::EditCopy)->trigger();
    const QImage copied = QGuiApplication::clipboard()->image();
    ASSERT_EQ(copied.size(), QSize(301, 301)) << "one period, not the window's copies";
    EXPECT_EQ(copied.convertToFormat(QImage::Format_RGB32),
              wrapPeriod(*view->periodBitmap()).convertToFormat(QImage::Format_RGB32));

    // As a device-independent bitmap: 24 bits a pixel, rows bottom-up and padded to 904 bytes.
    QByteArray bmp;
    QBuffer buffer(&bmp);
    buffer.open(QIODevice::WriteOnly);
    ASSERT_TRUE(QImageWriter(&buffer, "bmp").write(copied));
    const auto* header = reinterpret_cast<const uchar*>(bmp.constData()) + 14;
    EXPECT_EQ(qFromLittleEndian<qint32>(header + 8), 301) << "positive height: bottom-up";
    EXPECT_EQ(qFromLittleEndian<quint16>(header + 14), 24);
    EXPECT_EQ(bmp.size() - 54, 301 * 904);
}

// ---- Printing --------------------------------------------------------------------------------

struct PlacementCase {
    const char* name;
    PrinterPage page;
    QSize picture;
    int periods;
    bool scale;
    std::vector<QRect> expected;
};

class PrintPlacementTest : public ::testing::TestWithParam<PlacementCase> {};

TEST_P(PrintPlacementTest, PlacesTheCopiesOnThePage) {
    const PlacementCase& c = GetParam();
    EXPECT_EQ(printPlacement(c.picture, c.periods, c.scale, c.page), c.expected);
}

std::vector<QRect> grid(int columns, int rows, int w, int h) {
    std::vector<QRect> rects;
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < columns; ++c) {
            rects.emplace_back(c * w, r * h, w, h);
        }
    }
    return rects;
}

const PrinterPage kPage600{4800, 6600, 600};

INSTANTIATE_TEST_SUITE_P(
    Pages, PrintPlacementTest,
    ::testing::Values(
        PlacementCase{"ScaledIsASquareHalfAnInchIn",
                      kPage600,
                      {300, 300},
                      2,
                      true,
                      {QRect(300, 300, 4500, 4500)}},
        PlacementCase{
            "TiledStartsAtTheCorner", kPage600, {300, 300}, 2, false, grid(2, 2, 300, 300)},
        PlacementCase{"TiledKeepsWholePeriodsThatFit",
                      kPage600,
                      {300, 300},
                      20,
                      false,
                      grid(15, 15, 300, 300)},
        PlacementCase{"APeriodOfZeroIsOne", kPage600, {156, 130}, 0, false, grid(1, 1, 156, 130)},
        PlacementCase{"ALandscapePageKeepsTheWholeSquare",
                      {6600, 4800, 600},
                      {300, 300},
                      1,
                      true,
                      {QRect(300, 300, 4500, 4500)}},
        PlacementCase{"ATooLargePeriodPrintsNothing", kPage600, {5000, 300}, 2, false, {}}),
    [](const auto& info) { return std::string(info.param.name); });

class PrintTest : public ShellTest {};

/** The smallest rectangle holding every pixel of @p page that is not @p background. */
QRect drawnArea(const QImage& page, QRgb background) {
    QRect area;
    for (int y = 0; y < page.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(page.constScanLine(y));
        for (int x = 0; x < page.width(); ++x) {
            if (row[x] != background) {
                area |= QRect(x, y, 1, 1);
            }
        }
    }
    return area;
}

TEST_F(PrintTest, ThePlainPrintScalesOnePeriodOrTilesThemPixelForPixel) {
    CZARN40View* view = openSquare(300, 2);
    ASSERT_NE(view, nullptr);
    // A page of 1200 x 1500 printer pixels at 150 dpi: a scaled side of 1125.
    const PrinterPage page{1200, 1500, 150};
    const QRgb paper = qRgb(255, 0, 255);
    const auto print = [&](bool scale) {
        QImage sheet(page.width, page.height, QImage::Format_RGB32);
        sheet.fill(paper);
        view->setScaleToPage(scale);
        QPainter painter(&sheet);
        printPicture(painter, view->printJob(), page);
        return sheet;
    };
    EXPECT_EQ(drawnArea(print(true), paper), QRect(75, 75, 1125, 1125));

    const QImage tiled = print(false);
    EXPECT_EQ(drawnArea(tiled, paper), QRect(0, 0, 600, 600));
    const QImage period =
        wrapPeriod(host_->doc().RenderPeriod()).convertToFormat(QImage::Format_RGB32);
    for (const QRect& copy : grid(2, 2, 300, 300)) {
        EXPECT_EQ(tiled.copy(copy), period) << copy.x() << ", " << copy.y();
    }
}

TEST_F(PrintTest, PrintWhatAlwaysPrintsTheQuasiCrystalPixelForPixel) {
    CZARN40View* view = openSquare(300, 1);
    ASSERT_NE(view, nullptr);
    frame().action(cmd::ViewQuasi)->trigger();
    ModalDriver driver({testing_support::pressOk([](QWidget* w) {
        for (auto* box : w->findChildren<QCheckBox*>()) {
            if (box->text().startsWith(QStringLiteral("Scale"))) {
                box->click();
            }
        }
    })});
    frame().action(cmd::PrintWhat)->trigger();
    EXPECT_TRUE(driver.stepsDone());
    EXPECT_FALSE(view->scaleToPage());
    view->setScaleToPage(true);
    EXPECT_FALSE(view->printJob().scaleToPage);
    EXPECT_FALSE(view->scaleToPage());
}

TEST_F(PrintTest, PrintingToAPdfFileNeedsNoPrinter) {
    CZARN40View* view = openSquare(300, 2);
    ASSERT_NE(view, nullptr);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("quilt.pdf"));
    QPrinter& printer = frame().printer();
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(path);
    printer.setResolution(600);
    printer.setFullPage(true);
    printer.setPageSize(QPageSize(QSizeF(8.0, 11.0), QPageSize::Inch));
    const PrinterPage page = pageOf(printer);
    EXPECT_EQ(page.width, 4800);
    EXPECT_EQ(page.dpi, 600);
    EXPECT_EQ(printPlacement({300, 300}, 2, true, page), std::vector{QRect(300, 300, 4500, 4500)});

    // Print (Ctrl+P): the print dialog, accepted as it opens.
    ModalDriver driver({[](QWidget* w) { qobject_cast<QDialog*>(w)->accept(); }});
    frame().action(cmd::FilePrint)->trigger();
    EXPECT_TRUE(driver.stepsDone());
    EXPECT_TRUE(driver.messages.empty());
    QFile pdf(path);
    ASSERT_TRUE(pdf.open(QIODevice::ReadOnly)) << "printed to " << path.toStdString();
    const QByteArray bytes = pdf.readAll();
    EXPECT_TRUE(bytes.startsWith("%PDF"));
    // The dialog puts its own paper in (there is no printer to ask): one page of it.
    EXPECT_TRUE(bytes.contains("/Count 1"));
    EXPECT_TRUE(bytes.contains("/Width 300") && bytes.contains("/Height 300"))
        << "the period drawn as an image";
}

// ---- Threads per quilt -----------------------------------------------------------------------

TEST_F(ShellTest, ThreadsPerQuiltDefaultsToEveryCoreAndIsWhatNewQuiltsIterateWith) {
    const int cores = static_cast<int>(std::clamp(std::thread::hardware_concurrency(), 1u, 64u));
    EXPECT_EQ(app_->threadsPerQuilt(), cores);

    ModalDriver driver({[](QWidget* w) {
        auto* input = qobject_cast<QInputDialog*>(w);
        ASSERT_NE(input, nullptr);
        EXPECT_EQ(input->intMaximum(), 64);
        EXPECT_EQ(input->intMinimum(), 1);
        input->setIntValue(3);
        input->accept();
    }});
    frame().action(cmd::QuiltThreads)->trigger();
    EXPECT_TRUE(driver.stepsDone());
    EXPECT_EQ(app_->threadsPerQuilt(), 3);
    DocumentHost* host = openQuiet();
    ASSERT_NE(host, nullptr);
    EXPECT_EQ(host->doc().orbitCount(), 3);

    app_->setThreadsPerQuilt(0);
    EXPECT_EQ(app_->threadsPerQuilt(), 1);
    app_->setThreadsPerQuilt(65);
    EXPECT_EQ(app_->threadsPerQuilt(), 64);
    app_->settings().remove(QStringLiteral("Quilt/threads"));
}

} // namespace
} // namespace zarn::app::test
