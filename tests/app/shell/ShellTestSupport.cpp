#include "ShellTestSupport.h"

#include "app/CZARN40View.h"
#include "app/PictureComposer.h"

#include <QApplication>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMessageBox>
#include <QTest>

namespace zarn::app::test {

ModalCloser::ModalCloser(std::function<bool()> ready) {
    timer_.setInterval(10);
    connect(&timer_, &QTimer::timeout, this, [this, ready] {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal == nullptr || (ready && !ready())) {
            return;
        }
        ++closed;
        if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            texts.append(box->text());
        }
        if (auto* dialog = qobject_cast<QDialog*>(modal)) {
            dialog->reject();
        } else {
            modal->close();
        }
    });
    timer_.start();
}

std::unique_ptr<CZARN40Doc> quietQuilt(DocumentOptions options, const NewQuiltOptions& settings,
                                       std::uint32_t steps, std::uint64_t seed) {
    options.startWorker = false;
    options.seed = seed;
    std::unique_ptr<CZARN40Doc> doc = NewQuilt(options, settings);
    for (std::uint32_t i = 0; i < steps; ++i) {
        doc->IterateStep();
    }
    if (steps > 0) {
        doc->RebuildPalette();
    }
    return doc;
}

NewQuiltOptions squareQuilt(std::uint32_t grid, std::uint16_t periods) {
    NewQuiltOptions settings;
    settings.family = MapFamily::Square;
    settings.gridSize = grid;
    settings.viewPeriod = periods;
    return settings;
}

QImage shown(CZARN40View* view) {
    return view->viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

void markDirty(CZARN40Doc& doc) {
    ScopedPause pause(doc);
    doc.State(pause).status.imageDirty.store(1);
}

CZARN40Doc* refreshAndWait(CZARN40App& app) {
    CZARN40Doc* visited = app.refreshNext();
    EXPECT_TRUE(QTest::qWaitFor([&app] { return !app.refreshing(); }, 10000));
    return visited;
}

void ShellTest::SetUp() {
    // Every window builds its bitmap at the paint, however long that takes on a slow build, so
    // that the tests see the same order of events; tests of the other way lower the limit.
    CZARN40View::setPaintBuildLimit(std::chrono::hours(1));
    app_ = std::make_unique<CZARN40App>();
    app_->InitInstance();
    // Paints happen only once the window is on the (offscreen) screen.
    ASSERT_TRUE(QTest::qWaitForWindowExposed(app_->mainFrame()));
}

void ShellTest::TearDown() {
    host_ = nullptr;
    app_.reset();
    CZARN40View::setPaintBuildLimit(CZARN40View::kPaintBuildLimit);
}

CZARN40View* ShellTest::openSquare(std::uint32_t grid, std::uint16_t periods) {
    host_ = openQuiet(squareQuilt(grid, periods), 60000);
    if (host_ == nullptr || host_->views().size() != 1) {
        return nullptr;
    }
    frame().mdiArea()->currentSubWindow()->showMaximized();
    frame().resize(1100, 1000);
    return host_->views().front();
}

bool ShellTest::composerIdle(CZARN40App& app) {
    return QTest::qWaitFor([&app] { return app.composer().outstanding() == 0; }, 20000);
}

DocumentHost* ShellTest::openQuiet(const NewQuiltOptions& settings, std::uint32_t steps,
                                   std::uint64_t seed) {
    return app_->createDocument([&](const DocumentOptions& options, std::string&) {
        return quietQuilt(options, settings, steps, seed);
    });
}

} // namespace zarn::app::test
