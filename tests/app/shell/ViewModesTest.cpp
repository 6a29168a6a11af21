#include "ShellTestSupport.h"
#include "app/CZARN40View.h"
#include "app/CommandTable.h"
#include "document/ViewSettings.h"
#include "raster/Compose.h"

#include <QMdiArea>
#include <QMdiSubWindow>
#include <QTest>

namespace zarn::app::test {
namespace {

class ViewModesTest : public ShellTest {
protected:
    QAction* quaziToggle() { return frame().action(cmd::ViewQuasi); }
    QAction* polyToggle() { return frame().action(cmd::ViewPoly); }

    /** The two marks of the View menu as the user sees them when it opens. */
    std::pair<bool, bool> marks() {
        frame().updateViewChecks();
        return {quaziToggle()->isChecked(), polyToggle()->isChecked()};
    }

    /** Paints @p view and waits for the picture the composer draws for it. */
    bool settle(CZARN40View* view) {
        view->viewport()->repaint();
        return composerIdle(*app_);
    }
};

TEST_F(ViewModesTest, TheTogglesTurnOneViewOnAtATimeAndTheMarksFollow) {
    CZARN40View* view = openSquare(300, 2);
    ASSERT_NE(view, nullptr);
    frame().activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&frame()));

    QTest::keyClick(&frame(), Qt::Key_Q, Qt::ControlModifier);
    EXPECT_EQ(view->viewMode(), ViewMode::Quazi);
    EXPECT_EQ(marks(), std::make_pair(true, false));

    // The first poly toggle opens "POLY VIEW SETTINGS"; Cancel leaves the view on with the
    // default mapping.
    ModalCloser closer;
    polyToggle()->trigger();
    EXPECT_EQ(closer.closed, 1);
    EXPECT_EQ(view->viewMode(), ViewMode::Poly);
    ASSERT_TRUE(view->viewGeometry().poly);
    EXPECT_EQ(view->viewGeometry().poly->tiling, PolyMapping::kDefaultTiling);
    EXPECT_EQ(marks(), std::make_pair(false, true));

    polyToggle()->trigger();
    EXPECT_EQ(view->viewMode(), ViewMode::Tile);
    EXPECT_EQ(marks(), std::make_pair(false, false));
    polyToggle()->trigger();
    EXPECT_EQ(closer.closed, 1) << "the dialog opens only the first time";
    EXPECT_EQ(marks(), std::make_pair(false, true));
    quaziToggle()->trigger();
    EXPECT_EQ(marks(), std::make_pair(true, false));
    quaziToggle()->trigger();
    EXPECT_EQ(view->viewMode(), ViewMode::Tile);
    EXPECT_EQ(marks(), std::make_pair(false, false));
}

TEST_F(ViewModesTest, TheMarksShowTheActiveWindowsViewAndFamiliesWithoutViewsTurnThemOff) {
    CZARN40View* first = openSquare(300, 1);
    ASSERT_NE(first, nullptr);
    quaziToggle()->trigger();
    DocumentHost* hex = openQuiet({}, 0, 9);
    ASSERT_NE(hex, nullptr);
    hex->doc().SelectFamily(MapFamily::Hex);
    EXPECT_EQ(marks(), std::make_pair(false, false));
    quaziToggle()->trigger();
    EXPECT_EQ(hex->views().front()->viewMode(), ViewMode::Tile) << "no quasi-crystal of a Hex";
    EXPECT_EQ(marks(), std::make_pair(false, false));

    frame().mdiArea()->setActiveSubWindow(qobject_cast<QMdiSubWindow*>(first->parentWidget()));
    EXPECT_EQ(marks(), std::make_pair(true, false));

    // A family change turns the view off at the views' update.
    first->host()->doc().SelectFamily(MapFamily::T);
    frame().action(cmd::QuiltReconstruct)->trigger();
    EXPECT_EQ(first->viewMode(), ViewMode::Tile);
    EXPECT_FALSE(quaziToggle()->isChecked());
}

TEST_F(ViewModesTest, TheQuasiCrystalIsDrawnOffTheGuiThreadWhileTheWindowShowsTheLastPicture) {
    CZARN40View* view = openSquare(300, 2);
    ASSERT_NE(view, nullptr);
    ASSERT_TRUE(settle(view));
    const QImage tiled = shown(view);

    quaziToggle()->trigger();
    view->viewport()->repaint();
    // The picture arrives as a queued call: until the event loop runs, the window keeps showing
    // the tiled period.
    EXPECT_EQ(view->shownMode(), ViewMode::Tile);
    EXPECT_EQ(shown(view), tiled);

    ASSERT_TRUE(composerIdle(*app_));
    EXPECT_EQ(view->shownMode(), ViewMode::Quazi);
    const QImage expected = composeView(*view->periodBitmap(), view->viewGeometry());
    ASSERT_EQ(expected.size(), QSize(600, 600));
    EXPECT_EQ(view->composedPicture(), expected) << "the same picture as an export";
    const QImage screen = shown(view);
    const QSize visible = screen.size().boundedTo(expected.size());
    EXPECT_EQ(screen.copy(QRect(QPoint(0, 0), visible)),
              expected.copy(QRect(QPoint(0, 0), visible)))
        << "pixel for pixel in device pixels";
    EXPECT_NE(expected, composeTiled(*view->periodBitmap(), 2));
}

TEST_F(ViewModesTest, ThePolyImageIsKeptUntilTheWorkerOrAnUpdateAsksForANewOne) {
    app_->setRefreshInterval(0);
    CZARN40View* view = openSquare(300, 2);
    ASSERT_NE(view, nullptr);
    {
        ModalCloser closer;
        polyToggle()->trigger();
    }
    ASSERT_TRUE(settle(view));
    ASSERT_EQ(view->shownMode(), ViewMode::Poly);
    // 4.8.8 at scale 1 has a 156-pixel period, shown twice across and down.
    EXPECT_EQ(view->composedPicture().size(), QSize(156, 156));
    EXPECT_EQ(view->scrollSizes().total, QSize(312, 312));
    EXPECT_EQ(view->composedPicture(),
              renderPolyImage(*view->periodBitmap(), *view->viewGeometry().poly));
    const int drawn = view->polyRebuilds();

    const auto grow = [this] {
        for (int i = 0; i < 20000; ++i) {
            host_->doc().IterateStep();
        }
        markDirty(host_->doc());
        refreshAndWait(*app_);
    };
    grow();
    ASSERT_TRUE(settle(view));
    EXPECT_EQ(view->polyRebuilds(), drawn) << "a refreshed bitmap alone keeps the poly image";
    host_->UpdateAllViews(CZARN40Doc::HINT_REDRAW);
    ASSERT_TRUE(settle(view));
    EXPECT_EQ(view->polyRebuilds(), drawn);

    {
        ScopedPause pause(host_->doc());
        host_->doc().State(pause).polyMapping->rebuild = true;
    }
    grow();
    ASSERT_TRUE(settle(view));
    EXPECT_EQ(view->polyRebuilds(), drawn + 1) << "the worker's request";
    EXPECT_EQ(view->composedPicture(),
              renderPolyImage(*view->periodBitmap(), *view->viewGeometry().poly));

    host_->UpdateAllViews(CZARN40Doc::HINT_REBUILD);
    ASSERT_TRUE(settle(view));
    EXPECT_EQ(view->polyRebuilds(), drawn + 2);
}

} // namespace
} // namespace zarn::app::test
