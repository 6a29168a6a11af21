#include "ShellTestSupport.h"
#include "app/CChildFrame.h"
#include "app/CZARN40View.h"
#include "app/CommandTable.h"
#include "app/PictureRefresher.h"
#include "app/Printing.h"
#include "raster/Compose.h"

#include <QAction>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPixmap>
#include <QScrollBar>
#include <QTest>

#include <cmath>

namespace zarn::app::test {
namespace {

class ViewTest : public ShellTest {
protected:
    /** A 300 x 300 square quilt shown with @p periods periods. */
    CZARN40View* open(std::uint16_t periods) { return openSquare(300, periods); }
};

class ViewTiling : public ViewTest, public ::testing::WithParamInterface<int> {};

// A period of 0 is shown as one period.
INSTANTIATE_TEST_SUITE_P(Periods, ViewTiling, ::testing::Values(0, 1, 2, 3));

TEST_P(ViewTiling, DrawsTheCopiesPixelForPixelAndScrollsOverTheirWholeArea) {
    CZARN40View* view = open(static_cast<std::uint16_t>(GetParam()));
    ASSERT_NE(view, nullptr);
    const int periods = std::max(GetParam(), 1);
    const int side = 300 * periods;
    EXPECT_EQ(view->bitmapSize(), QSize(300, 300));
    EXPECT_EQ(view->periodCount(), periods);

    const CZARN40View::ScrollSizes sizes = view->scrollSizes();
    EXPECT_EQ(sizes.total, QSize(side, side));
    EXPECT_EQ(sizes.line, QSize(3, 3));

    const qreal ratio = view->viewport()->devicePixelRatioF();
    const QImage period =
        wrapPeriod(host_->doc().RenderPeriod()).convertToFormat(QImage::Format_RGB32);
    const QImage screen = shown(view);
    const int visible = std::min(side, std::min(screen.width(), screen.height()));
    ASSERT_GE(visible, 300) << "the window shows less than one period";
    for (int y = 0; y + 300 <= visible; y += 300) {
        for (int x = 0; x + 300 <= visible; x += 300) {
            EXPECT_EQ(screen.copy(x, y, 300, 300), period) << "copy at " << x << ", " << y;
        }
    }
    if (screen.width() > side) {
        // Beyond the picture the window's background.
        EXPECT_EQ(screen.pixel(side, 10), view->palette().color(QPalette::Base).rgb());
    }

    // The scroll bars span what the window cannot show; a page is half the window.
    const int client = static_cast<int>(view->viewport()->width() * ratio);
    EXPECT_EQ(sizes.page.width(), std::min(client / 2, side / 2));
    EXPECT_EQ(view->horizontalScrollBar()->maximum(),
              std::max(0, static_cast<int>(std::ceil(side / ratio)) - view->viewport()->width()));
}

TEST_F(ViewTest, AScrolledWindowShowsTheTilesShiftedByTheScroll) {
    CZARN40View* view = open(2);
    ASSERT_NE(view, nullptr);
    frame().mdiArea()->currentSubWindow()->showNormal();
    frame().mdiArea()->currentSubWindow()->resize(260, 240);
    const qreal ratio = view->viewport()->devicePixelRatioF();
    ASSERT_GT(view->horizontalScrollBar()->maximum(), 0);
    EXPECT_EQ(view->horizontalScrollBar()->singleStep(),
              std::max(1, static_cast<int>(std::ceil(3 / ratio))));

    // Scrolled by about 40 device pixels across and 20 down.
    view->horizontalScrollBar()->setValue(static_cast<int>(40 / ratio));
    view->verticalScrollBar()->setValue(static_cast<int>(20 / ratio));
    const int dx = static_cast<int>(std::lround(view->horizontalScrollBar()->value() * ratio));
    const int dy = static_cast<int>(std::lround(view->verticalScrollBar()->value() * ratio));
    ASSERT_GT(dx, 0);
    const QImage period =
        wrapPeriod(host_->doc().RenderPeriod()).convertToFormat(QImage::Format_RGB32);
    const QImage screen = shown(view);
    EXPECT_EQ(screen.copy(0, 0, 100, 100), period.copy(dx, dy, 100, 100));
}

TEST_F(ViewTest, OnlyDocumentUpdatesRebuildTheBitmap) {
    CZARN40View* view = open(2);
    ASSERT_NE(view, nullptr);
    view->viewport()->repaint();
    const int built = view->bitmapBuilds();
    ASSERT_GE(built, 1);

    view->viewport()->repaint();
    view->verticalScrollBar()->setValue(view->verticalScrollBar()->maximum());
    view->viewport()->repaint();
    EXPECT_EQ(view->bitmapBuilds(), built) << "a plain repaint draws the bitmap it has";

    const struct {
        int hint;
        const char* name;
    } updates[] = {{0, "plain update"},
                   {CZARN40Doc::HINT_REDRAW, "HINT_REDRAW"},
                   {CZARN40Doc::HINT_REBUILD, "HINT_REBUILD"}};
    int expected = built;
    for (const auto& update : updates) {
        host_->UpdateAllViews(update.hint);
        view->viewport()->repaint();
        view->viewport()->repaint();
        EXPECT_EQ(view->bitmapBuilds(), ++expected) << update.name;
    }
}

TEST_F(ViewTest, SlowPicturesAreBuiltOffTheGuiThreadAndNoOlderOneReplacesANewerOne) {
    // 300 x 300 pixels at the guessed cost reach the limit: the first picture is built away too.
    CZARN40View::setPaintBuildLimit(CZARN40View::kGuessedCostPerPixel * 300 * 300);
    CZARN40View* view = open(1);
    ASSERT_NE(view, nullptr);
    const auto arrived = [view] {
        view->viewport()->repaint();
        EXPECT_TRUE(view->awaitingPicture());
        return QTest::qWaitFor([view] { return !view->awaitingPicture(); }, 10000);
    };
    ASSERT_TRUE(arrived());
    ASSERT_NE(view->periodBitmap(), nullptr);

    // New hits on a new level scale: the old picture stays until the new one comes.
    CZARN40View::setPaintBuildLimit(std::chrono::steady_clock::duration::zero());
    const auto iterate = [this] {
        for (std::uint32_t i = 0; i < 20000; ++i) {
            host_->doc().IterateStep();
        }
        host_->doc().RebuildPalette();
    };
    iterate();
    const PeriodBitmap* first = view->periodBitmap();
    view->setLevelScale(LevelScaleKind::Logarithmic);
    ASSERT_TRUE(arrived());
    EXPECT_EQ(view->bitmapBuilds(), 0) << "the GUI thread built no bitmap";
    ASSERT_NE(view->periodBitmap(), first);
    const auto current = [this] { return host_->doc().RenderPeriod(LevelScaleKind::Logarithmic); };
    EXPECT_EQ(view->periodBitmap()->pixels, current().pixels);

    // A picture asked for before the window's last update is not shown; one asked for after is.
    RefreshedPicture picture;
    const auto& bitmap = picture.bitmaps[static_cast<std::size_t>(LevelScaleKind::Logarithmic)];
    picture.bitmaps[static_cast<std::size_t>(LevelScaleKind::Logarithmic)] =
        std::make_shared<const PeriodBitmap>(current());
    picture.generation = host_->pictureGeneration();
    host_->UpdateAllViews(CZARN40Doc::HINT_REDRAW);
    view->OnRefreshed(picture);
    EXPECT_NE(view->periodBitmap(), bitmap.get());
    picture.generation = host_->pictureGeneration();
    view->OnRefreshed(picture);
    EXPECT_EQ(view->periodBitmap(), bitmap.get());

    // A print right after an update takes the new picture, on the window's scale.
    iterate();
    host_->UpdateAllViews(CZARN40Doc::HINT_REDRAW);
    EXPECT_EQ(view->printJob().bitmap.pixels, current().pixels);
}

TEST_F(ViewTest, ANewPeriodTakesEffectAtTheUpdate) {
    CZARN40View* view = open(2);
    ASSERT_NE(view, nullptr);
    host_->doc().SetViewPeriod(3);
    EXPECT_EQ(view->scrollSizes().total, QSize(600, 600)) << "not before the update";
    host_->UpdateAllViews(CZARN40Doc::HINT_REBUILD);
    EXPECT_EQ(view->scrollSizes().total, QSize(900, 900));
}

} // namespace
} // namespace zarn::app::test

namespace zarn::app::test {
namespace {

TEST_F(ViewTest, TheLevelScaleItemsSwitchTheActiveWindowOnly) {
    CZARN40View* first = open(1);
    ASSERT_NE(first, nullptr);
    first->viewport()->repaint();
    EXPECT_TRUE(frame().action(cmd::ViewLevelsClassic)->isChecked());

    frame().action(cmd::ViewLevelsLog)->trigger();
    EXPECT_EQ(first->levelScale(), LevelScaleKind::Logarithmic);
    first->viewport()->repaint();
    ASSERT_NE(first->periodBitmap(), nullptr);
    EXPECT_EQ(first->periodBitmap()->pixels,
              host_->doc().RenderPeriod(LevelScaleKind::Logarithmic).pixels);

    // A second window on the same quilt starts on the classic scale; the checks follow the
    // active window.
    frame().action(cmd::WindowNew)->trigger();
    ASSERT_EQ(host_->views().size(), 2u);
    CZARN40View* second = host_->views().back();
    EXPECT_EQ(second->levelScale(), LevelScaleKind::Classic);
    EXPECT_TRUE(frame().action(cmd::ViewLevelsClassic)->isChecked());
    frame().action(cmd::ViewLevelsRobust)->trigger();
    EXPECT_EQ(second->levelScale(), LevelScaleKind::Robust);
    EXPECT_EQ(first->levelScale(), LevelScaleKind::Logarithmic);
    EXPECT_EQ(host_->viewedScales(), (std::array<bool, 3>{false, true, true}));

    frame().mdiArea()->setActiveSubWindow(qobject_cast<QMdiSubWindow*>(first->parentWidget()));
    EXPECT_TRUE(frame().action(cmd::ViewLevelsLog)->isChecked());
}

} // namespace
} // namespace zarn::app::test
