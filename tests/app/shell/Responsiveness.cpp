// Measures how long the GUI thread goes without handling events while quilts iterate: the
// program opens N quilt windows (real workers), tiles them, and a 1 ms timer records the time
// between its ticks for a while. Every stall of the event loop (a long pause, a slow repaint)
// shows as a long gap. Prints the figures; exits 1 when the longest gap reaches 50 ms.
//
//   zarn80_responsiveness [--documents N] [--seconds S] [--view tile|quazi|poly]
//                         [--family F --grid G] [--updates MS]
// --family and --grid open quilts of one family and grid side instead of random new ones;
// --updates tells every window of every quilt to redraw every MS milliseconds, as a colour
// command does. Without a display it runs on the offscreen platform.

#include "app/CMainFrame.h"
#include "app/CZARN40App.h"
#include "app/CZARN40View.h"
#include "app/DocumentHost.h"
#include "document/Commands.h"
#include "document/MapFamily.h"
#include "document/ViewSettings.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QMdiArea>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

/** The slowest of a kind of event: how long, and what it was ("77 to a CMainFrame"). */
struct Slowest {
    double ms = 0.0;
    QByteArray what;
};

/** Times every event the GUI thread handles and keeps the slowest, and the slowest dispatched
 *  from inside another (which names the culprit of a slow top-level event). */
class TimingApplication : public QApplication {
public:
    using QApplication::QApplication;

    bool notify(QObject* receiver, QEvent* event) override {
        const int depth = ++depth_;
        QElapsedTimer timer;
        timer.start();
        const QByteArray what = QByteArray::number(static_cast<int>(event->type())) + " to a " +
                                receiver->metaObject()->className();
        const bool handled = QApplication::notify(receiver, event);
        const double ms = static_cast<double>(timer.nsecsElapsed()) / 1e6;
        --depth_;
        Slowest* record = depth == 1 ? &slowest : depth == 2 ? &slowestInner : nullptr;
        if (record != nullptr && ms > record->ms) {
            *record = {ms, what};
        }
        return handled;
    }

    Slowest slowest;
    Slowest slowestInner;

private:
    int depth_ = 0;
};

} // namespace

int main(int argc, char* argv[]) {
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
        qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    TimingApplication application(argc, argv);
    QCommandLineParser parser;
    const QCommandLineOption documents(QStringLiteral("documents"),
                                       QStringLiteral("Quilt windows (default 4)."),
                                       QStringLiteral("N"), QStringLiteral("4"));
    const QCommandLineOption seconds(QStringLiteral("seconds"),
                                     QStringLiteral("Measuring time (default 10)."),
                                     QStringLiteral("S"), QStringLiteral("10"));
    const QCommandLineOption view(
        QStringLiteral("view"), QStringLiteral("The windows' view: tile (default), quazi or poly."),
        QStringLiteral("MODE"), QStringLiteral("tile"));
    const QCommandLineOption family(QStringLiteral("family"),
                                    QStringLiteral("The quilts' family (default: random)."),
                                    QStringLiteral("F"));
    const QCommandLineOption grid(QStringLiteral("grid"),
                                  QStringLiteral("The quilts' grid side (with --family)."),
                                  QStringLiteral("G"));
    const QCommandLineOption updates(
        QStringLiteral("updates"),
        QStringLiteral("Tell the windows to redraw every MS milliseconds (default: never)."),
        QStringLiteral("MS"), QStringLiteral("0"));
    parser.addHelpOption();
    parser.addOptions({documents, seconds, view, family, grid, updates});
    parser.process(application);
    const int documentCount = std::max(1, parser.value(documents).toInt());
    const int measureMs = std::max(1, parser.value(seconds).toInt()) * 1000;

    zarn::app::StartupOptions options;
    options.windowSize = QSize(1200, 900);
    zarn::app::CZARN40App app;
    app.InitInstance(options);
    zarn::NewQuiltOptions settings;
    if (parser.isSet(family)) {
        settings.family = zarn::parseFamily(parser.value(family).toStdString());
        if (!settings.family) {
            std::fprintf(stderr, "unknown family %s\n", parser.value(family).toUtf8().constData());
            return 1;
        }
        if (parser.isSet(grid)) {
            settings.gridSize = parser.value(grid).toUInt();
        }
    }
    for (int i = 0; i < documentCount; ++i) {
        if (settings.family) {
            app.createDocument([&](const zarn::DocumentOptions& documentOptions, std::string&) {
                return zarn::NewQuilt(documentOptions, settings);
            });
        } else {
            app.OnFileNew();
        }
    }
    app.mainFrame()->mdiArea()->tileSubWindows();
    if (static_cast<int>(app.documents().size()) != documentCount) {
        std::fprintf(stderr, "could not open %d quilts\n", documentCount);
        return 1;
    }
    const QString mode = parser.value(view);
    for (const auto& host : app.documents()) {
        // Every quilt window redraws its quasi-crystal (or poly image) with each refresh.
        if (mode == QLatin1String("quazi")) {
            zarn::ToggleQuaziView(host->doc());
        } else if (mode == QLatin1String("poly")) {
            zarn::TogglePolyView(host->doc());
        }
        host->UpdateAllViews(0);
    }

    std::vector<double> gaps;
    gaps.reserve(static_cast<std::size_t>(measureMs) * 2);
    QElapsedTimer clock;
    qint64 last = 0;
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    ticker.setInterval(1);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        gaps.push_back(static_cast<double>(now - last) / 1e6);
        last = now;
    });
    QTimer updater;
    updater.setInterval(parser.value(updates).toInt());
    QObject::connect(&updater, &QTimer::timeout, [&] {
        for (const auto& host : app.documents()) {
            host->UpdateAllViews(zarn::CZARN40Doc::HINT_REDRAW);
        }
    });
    if (updater.interval() > 0) {
        updater.start();
    }
    // Let the windows settle (first paint, first refreshes) before measuring.
    std::uint64_t steps = 0;
    int builds = 0;
    int showing = 0;
    Slowest slowest;
    Slowest slowestInner;
    QTimer::singleShot(500, [&] {
        application.slowest = {};
        application.slowestInner = {};
        clock.start();
        ticker.start();
        QTimer::singleShot(measureMs, [&] {
            ticker.stop();
            slowest = application.slowest;
            slowestInner = application.slowestInner;
            for (const auto& host : app.documents()) {
                steps += host->doc().stepCount();
                for (const zarn::app::CZARN40View* view : host->views()) {
                    builds += view->bitmapBuilds();
                    showing += view->shownMode() == view->viewMode() ? 1 : 0;
                }
            }
            QCoreApplication::exit(0);
        });
    });
    QApplication::exec();
    app.mainFrame()->close();

    if (gaps.empty()) {
        std::fprintf(stderr, "no timer ticks recorded\n");
        return 1;
    }
    std::vector<double> sorted = gaps;
    std::sort(sorted.begin(), sorted.end());
    const auto percentile = [&](double p) {
        return sorted[static_cast<std::size_t>(p * static_cast<double>(sorted.size() - 1))];
    };
    std::printf("documents: %d, measured: %.1f s, ticks: %zu\n", documentCount, measureMs / 1000.0,
                gaps.size());
    std::printf("gap between processed events: median %.2f ms, 99%% %.2f ms, 99.9%% %.2f ms, "
                "longest %.2f ms\n",
                percentile(0.5), percentile(0.99), percentile(0.999), sorted.back());
    std::printf("slowest event: %.2f ms (type %s)\n", slowest.ms, slowest.what.constData());
    std::printf("slowest event inside another: %.2f ms (type %s)\n", slowestInner.ms,
                slowestInner.what.constData());
    std::printf("quilt steps taken: %llu, period bitmaps built by the views: %d, windows showing "
                "their %s view: %d\n",
                static_cast<unsigned long long>(steps), builds, mode.toUtf8().constData(), showing);
    return sorted.back() < 50.0 ? 0 : 1;
}
