#include "ShellTestSupport.h"
#include "app/CZARN40View.h"
#include "app/CommandTable.h"
#include "app/HelpWindow.h"
#include "app/PictureRefresher.h"
#include "app/RecentFiles.h"
#include "document/SessionFile.h"

#include <QDropEvent>
#include <QFile>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QMimeData>
#include <QTemporaryDir>
#include <QTest>
#include <QWhatsThisClickedEvent>

#include <limits>

#include <vector>

namespace zarn::app::test {
namespace {

using ApplicationTest = ShellTest;

TEST_F(ApplicationTest, IdleRefreshVisitsTheDocumentsInTurnAndRefreshesTheDirtyOnes) {
    app_->setRefreshInterval(0);
    std::vector<CZARN40Doc*> docs;
    for (std::uint64_t seed : {1, 2, 3}) {
        DocumentHost* host = openQuiet({}, 20000, seed);
        ASSERT_NE(host, nullptr);
        docs.push_back(&host->doc());
    }
    const auto dirty = [](CZARN40Doc* doc) { return doc->snapshot().imageDirty; };

    for (CZARN40Doc* doc : docs) {
        markDirty(*doc);
    }
    for (int round = 0; round < 2; ++round) {
        for (std::size_t i = 0; i < docs.size(); ++i) {
            EXPECT_EQ(refreshAndWait(*app_), docs[i]) << "round " << round << ", tick " << i;
            EXPECT_FALSE(dirty(docs[i]));
            for (std::size_t later = i + 1; later < docs.size(); ++later) {
                EXPECT_EQ(dirty(docs[later]), round == 0) << "visited out of turn";
            }
        }
    }

    // A document its owner holds paused is left alone; its turn comes round again.
    markDirty(*docs[0]);
    {
        ScopedPause held(*docs[0]);
        EXPECT_EQ(refreshAndWait(*app_), docs[0]);
        EXPECT_TRUE(dirty(docs[0]));
    }
    EXPECT_EQ(refreshAndWait(*app_), docs[1]);
    EXPECT_EQ(refreshAndWait(*app_), docs[2]);
    EXPECT_EQ(refreshAndWait(*app_), docs[0]);
    EXPECT_FALSE(dirty(docs[0]));
}

TEST_F(ApplicationTest, TheRefreshHandsTheNewPictureToEveryViewOfItsDocument) {
    app_->setRefreshInterval(0);
    DocumentHost* host = openQuiet({}, 20000);
    ASSERT_NE(host, nullptr);
    frame().action(cmd::WindowNew)->trigger();
    ASSERT_EQ(host->views().size(), 2u);
    for (CZARN40View* view : host->views()) {
        view->viewport()->repaint();
    }
    const PeriodBitmap* before = host->views().front()->periodBitmap();
    ASSERT_NE(before, nullptr);

    refreshAndWait(*app_);
    EXPECT_EQ(host->views().front()->periodBitmap(), before) << "a clean picture stays";

    for (std::uint32_t i = 0; i < 20000; ++i) {
        host->doc().IterateStep();
    }
    markDirty(host->doc());
    refreshAndWait(*app_);
    const PeriodBitmap* after = host->views().front()->periodBitmap();
    ASSERT_NE(after, before);
    EXPECT_EQ(host->views().back()->periodBitmap(), after);
    EXPECT_EQ(after->pixels, host->doc().RenderPeriod().pixels);
    EXPECT_FALSE(host->doc().snapshot().imageDirty);
    for (CZARN40View* view : host->views()) {
        EXPECT_EQ(view->bitmapBuilds(), 1) << "the GUI thread built no bitmap for the refresh";
    }
}

TEST_F(ApplicationTest, TheTimedRefreshRestsAfterARebuildInProportionToItsCost) {
    app_->setRefreshInterval(0);
    DocumentHost* host = openQuiet({}, 20000);
    ASSERT_NE(host, nullptr);
    host->views().front()->viewport()->repaint();
    markDirty(host->doc());
    const auto before = std::chrono::steady_clock::now();
    refreshAndWait(*app_);
    const auto delivered = std::chrono::steady_clock::now();
    // The rebuild paused the worker for some time; the timed visits leave it four times as long.
    EXPECT_GT(app_->refreshRestUntil(), before);
    EXPECT_LE(app_->refreshRestUntil(),
              delivered + PictureRefresher::kRestFactor * (delivered - before));
    // A visit that found nothing to do paused nothing: no rest after it.
    refreshAndWait(*app_);
    EXPECT_LE(app_->refreshRestUntil(), std::chrono::steady_clock::now());
}

TEST_F(ApplicationTest, TheHundredAndFirstDocumentIsRefusedAndAClosedOneMakesRoom) {
    std::vector<std::unique_ptr<CZARN40Doc>> others;
    for (std::size_t i = 0; i < DocumentRegistry::kMaxDocuments; ++i) {
        DocumentOptions options;
        options.registry = &app_->registry();
        others.push_back(quietQuilt(options, {}));
    }
    ModalCloser closer;
    frame().action(cmd::FileNew)->trigger();
    EXPECT_EQ(closer.texts, QStringList{QStringLiteral("An invalid argument was encountered.")});
    EXPECT_TRUE(app_->documents().empty());
    EXPECT_EQ(app_->registry().count(), DocumentRegistry::kMaxDocuments);
    EXPECT_EQ(frame().menuBar()->actions().size(), 3) << "still the menus without a document";

    others.pop_back();
    frame().action(cmd::FileNew)->trigger();
    EXPECT_EQ(closer.texts.size(), 1);
    EXPECT_EQ(app_->documents().size(), 1u);
    EXPECT_EQ(app_->registry().count(), DocumentRegistry::kMaxDocuments);
}

TEST_F(ApplicationTest, AConvergedQuiltWaitsForItsNoticeAndIsReplacedWhenItIsClosed) {
    DocumentHost* host = app_->createDocument([](DocumentOptions options, std::string&) {
        options.seed = 5;
        NewQuiltOptions settings;
        settings.gridSize = 20;
        std::unique_ptr<CZARN40Doc> doc = NewQuilt(options, settings);
        ScopedPause pause(*doc);
        QuiltState& s = doc->State(pause);
        s.useRandomSettings = 0;
        // Judged collapsed as soon as its steps outnumber a hundred times its cells.
        s.minDistinctCells = std::numeric_limits<int>::max();
        return doc;
    });
    ASSERT_NE(host, nullptr);
    const QString firstTitle = host->title();

    // The notice stays up until the worker is seen parked, waiting for the answer.
    ModalCloser closer([host] { return host->doc().snapshot().awaitingAnswer; });
    ASSERT_TRUE(QTest::qWaitFor([&closer] { return closer.closed == 1; }, 30000));
    EXPECT_TRUE(QTest::qWaitFor([host] { return !host->doc().snapshot().awaitingAnswer; }, 5000));
    // At least this quilt was replaced; the replacement is a new random quilt, which may itself
    // collapse (and be counted) before this line runs on a fast worker.
    EXPECT_GE(host->doc().snapshot().collapsedReplacements, 1u);
    QMdiSubWindow* window = frame().mdiArea()->subWindowList().value(0);
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(QTest::qWaitFor([&] { return window->windowTitle() != firstTitle; }, 5000))
        << "the replaced quilt has a new name";
    EXPECT_EQ(window->windowTitle(), host->title());
}

struct MalformedSession {
    const char* name;
    /** Bytes of a valid session kept (-1: the file does not exist). */
    qsizetype keep;
    const char* reason;
};

class MalformedSessionTest : public ShellTest,
                             public ::testing::WithParamInterface<MalformedSession> {};

INSTANTIATE_TEST_SUITE_P(Files, MalformedSessionTest,
                         ::testing::Values(MalformedSession{"Missing", -1, ""},
                                           MalformedSession{"Empty", 0, ""},
                                           MalformedSession{"HeaderOnly", 700, ""},
                                           MalformedSession{"CutInTheGrid", 5000, "grid"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_P(MalformedSessionTest, IsReportedWithTheReadersMessageAndChangesNothing) {
    QTemporaryDir dir;
    const QString valid = dir.filePath(QStringLiteral("valid.session"));
    const QString broken = dir.filePath(QStringLiteral("broken.session"));
    DocumentHost* open = openQuiet({}, 5000);
    ASSERT_NE(open, nullptr);
    ASSERT_TRUE(SaveSessionFile(open->doc(), valid.toStdString()));
    if (GetParam().keep >= 0) {
        QFile in(valid);
        QFile out(broken);
        ASSERT_TRUE(in.open(QIODevice::ReadOnly) && out.open(QIODevice::WriteOnly));
        out.write(in.read(GetParam().keep));
    }
    const DocumentSnapshot before = open->doc().snapshot();
    const QStringList recent = app_->recentFiles().files();

    ModalCloser closer;
    EXPECT_EQ(app_->openSessionFile(broken), nullptr);
    ASSERT_EQ(closer.texts.size(), 1);
    const QString message = closer.texts.front();
    EXPECT_TRUE(message.startsWith(QStringLiteral("Failed to open document.")))
        << message.toStdString();
    EXPECT_TRUE(message.contains(broken)) << message.toStdString();
    EXPECT_TRUE(message.contains(QLatin1String(GetParam().reason))) << message.toStdString();

    EXPECT_EQ(app_->documents().size(), 1u);
    EXPECT_EQ(app_->registry().count(), 1u);
    EXPECT_EQ(frame().mdiArea()->subWindowList().size(), 1);
    const DocumentSnapshot after = open->doc().snapshot();
    EXPECT_EQ(after.title, before.title);
    EXPECT_EQ(after.stepCount, before.stepCount);
    EXPECT_EQ(after.quiltName, before.quiltName);
    EXPECT_EQ(app_->recentFiles().files(), recent);
}

TEST_F(ApplicationTest, SessionsOpenFromADropAndFromTheRecentFiles) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("kept.session"));
    {
        // A finished quilt: opened, it stays as saved (a young one might be judged collapsed
        // and replaced, under a new name, as soon as its worker runs).
        NewQuiltOptions finished;
        finished.maxSteps = 4999;
        DocumentHost* source = openQuiet(finished, 5000);
        ASSERT_NE(source, nullptr);
        ASSERT_TRUE(SaveSessionFile(source->doc(), path.toStdString()));
        frame().action(cmd::FileClose)->trigger();
        ASSERT_TRUE(app_->documents().empty());
    }

    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(path), QUrl::fromLocalFile(dir.filePath("notes.txt"))});
    QDragEnterEvent enter(QPoint(50, 50), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&frame(), &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(50, 50), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&frame(), &drop);
    ASSERT_EQ(app_->documents().size(), 1u) << "the text file is not a session";
    DocumentHost* opened = app_->documents().front().get();
    EXPECT_EQ(opened->title(), QStringLiteral("kept.session"));
    EXPECT_EQ(frame().mdiArea()->currentSubWindow()->windowTitle(), QStringLiteral("kept.session"));
    EXPECT_TRUE(opened->doc().hasWorker());
    EXPECT_EQ(app_->recentFiles().files().value(0), path);

    const QAction* recent = nullptr;
    for (QAction* action : frame().findChildren<QAction*>()) {
        if (action->data().toInt() == cmd::FileRecent1) {
            recent = action;
        }
    }
    ASSERT_NE(recent, nullptr);
    EXPECT_TRUE(recent->isVisible());
    EXPECT_TRUE(recent->text().startsWith(QStringLiteral("&1 "))) << recent->text().toStdString();
    const_cast<QAction*>(recent)->trigger();
    EXPECT_EQ(app_->documents().size(), 2u);
}

TEST_F(ApplicationTest, NewWindowShowsTheSameQuiltAndTheLastWindowClosesIt) {
    DocumentHost* host = openQuiet({}, 5000);
    ASSERT_NE(host, nullptr);
    const QString title = host->title();
    frame().action(cmd::WindowNew)->trigger();
    ASSERT_EQ(host->views().size(), 2u);
    QList<QMdiSubWindow*> windows = frame().mdiArea()->subWindowList();
    ASSERT_EQ(windows.size(), 2);
    EXPECT_EQ(windows[0]->windowTitle(), title + ":1");
    EXPECT_EQ(windows[1]->windowTitle(), title + ":2");

    windows[0]->close();
    ASSERT_EQ(app_->documents().size(), 1u);
    EXPECT_EQ(host->views().size(), 1u);
    EXPECT_EQ(windows[1]->windowTitle(), title);

    windows[1]->close();
    EXPECT_TRUE(app_->documents().empty());
    EXPECT_EQ(app_->registry().count(), 0u);
    EXPECT_EQ(frame().menuBar()->actions().size(), 3);
}

TEST_F(ApplicationTest, ClosingTheMainWindowClosesEveryQuilt) {
    openQuiet({}, 0, 1);
    openQuiet({}, 0, 2);
    frame().action(cmd::WindowNew)->trigger();
    ASSERT_EQ(app_->documents().size(), 2u);
    EXPECT_TRUE(frame().close());
    EXPECT_TRUE(app_->documents().empty());
    EXPECT_EQ(app_->registry().count(), 0u);
}

struct HelpCase {
    unsigned command;
    const char* page; ///< null: the request is ignored
};

class HelpRequestTest : public ShellTest, public ::testing::WithParamInterface<HelpCase> {};

INSTANTIATE_TEST_SUITE_P(
    Requests, HelpRequestTest,
    ::testing::Values(HelpCase{1, "qrc:/help/window.html"}, HelpCase{3, "qrc:/help/index.html"},
                      HelpCase{11, "qrc:/help/index.html"}, HelpCase{0x102, "qrc:/help/index.html"},
                      HelpCase{0, nullptr}, HelpCase{2, nullptr}, HelpCase{15, nullptr}));

TEST_P(HelpRequestTest, OpensTheTopicsPageOrNothing) {
    app_->helpRequest(GetParam().command);
    if (GetParam().page == nullptr) {
        EXPECT_EQ(app_->helpWindow(), nullptr);
        return;
    }
    ASSERT_NE(app_->helpWindow(), nullptr);
    EXPECT_TRUE(app_->helpWindow()->isVisible());
    EXPECT_EQ(app_->helpWindow()->source(), QUrl(QString::fromLatin1(GetParam().page)));
}

TEST_F(ApplicationTest, F1HelpTopicsAndWhatsThisLinksReachTheirPages) {
    frame().action(cmd::Help)->trigger();
    ASSERT_NE(app_->helpWindow(), nullptr);
    EXPECT_EQ(app_->helpWindow()->source(), helpPage(help::kTopicQuiltWindow));
    frame().action(cmd::HelpFinder)->trigger();
    EXPECT_EQ(app_->helpWindow()->source(), helpPage(help::kTopicContents));

    // What's this? on a quilt window, then the link in its text.
    DocumentHost* host = openQuiet();
    ASSERT_NE(host, nullptr);
    CZARN40View* view = host->views().front();
    EXPECT_TRUE(view->whatsThis().contains(QLatin1String("qrc:/help/window.html")));
    QWhatsThisClickedEvent click(QStringLiteral("qrc:/help/window.html"));
    QCoreApplication::sendEvent(view, &click);
    EXPECT_EQ(app_->helpWindow()->source(), QUrl(QStringLiteral("qrc:/help/window.html")));
}

} // namespace
} // namespace zarn::app::test
