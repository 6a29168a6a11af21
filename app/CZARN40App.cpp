#include "CZARN40App.h"

#include "CChildFrame.h"
#include "CMainFrame.h"
#include "DocumentHost.h"
#include "HelpWindow.h"
#include "PictureComposer.h"
#include "PictureRefresher.h"
#include "RecentFiles.h"
#include "WaitCursor.h"
#include "document/Commands.h"
#include "document/SessionFile.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QFileInfo>
#include <QMdiArea>
#include <QMessageBox>
#include <QSettings>
#include <QWhatsThisClickedEvent>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <thread>

// The icons and help pages live in a static library: their initialiser is named once here so
// that the linker keeps it.
static void initResources() {
    Q_INIT_RESOURCE(zarn80);
}

namespace zarn::app {

CZARN40App::CZARN40App(QObject* parent)
    : QObject(parent),
      // An INI file named after the program, in the user's configuration folder.
      settings_(std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope,
                                            kProgramName, kProgramName)),
      recentFiles_(std::make_unique<RecentFiles>(*settings_)),
      refresher_(std::make_unique<PictureRefresher>(
          [this](std::uint64_t serial, const RefreshedPicture* picture) {
              if (picture == nullptr) {
                  // A wait that found the document held is served again at the next tick, not
                  // at once.
                  return;
              }
              for (const auto& host : hosts_) {
                  if (host->serial() == serial) {
                      host->showRefreshed(*picture);
                  }
              }
              serveWantedPicture();
          })),
      composer_(std::make_unique<PictureComposer>()) {
    initResources();
    refreshTimer_.setInterval(kRefreshIntervalMs);
    connect(&refreshTimer_, &QTimer::timeout, this, [this] {
        if (serveWantedPicture()) {
            return;
        }
        if (std::chrono::steady_clock::now() >= refreshRestUntil()) {
            refreshNext();
        }
    });
}

CZARN40App::~CZARN40App() {
    refreshTimer_.stop();
    // The refresher first (it may hold a document), then the windows; then each document stops
    // its worker. The composer works on copies only: its results go with it.
    refresher_.reset();
    composer_.reset();
    mainFrame_.reset();
    hosts_.clear();
}

void CZARN40App::InitInstance(const StartupOptions& options) {
    mainFrame_ = std::make_unique<CMainFrame>(*this);
    QApplication::instance()->installEventFilter(this);
    connect(this, &CZARN40App::documentsChanged, mainFrame_.get(), &CMainFrame::documentsChanged);
    if (options.windowSize.isValid()) {
        mainFrame_->resize(options.windowSize);
    }
    mainFrame_->show();
    for (const QString& file : options.files) {
        openSessionFile(file);
    }
    arrangeWindows(options.layout);
    if (!options.screenshot.isEmpty()) {
        QTimer::singleShot(options.screenshotDelayMs, this,
                           [this, path = options.screenshot] { takeScreenshot(path); });
    }
}

void CZARN40App::arrangeWindows(const QString& layout) {
    QMdiArea* area = mainFrame_->mdiArea();
    if (layout == QLatin1String("tile")) {
        area->tileSubWindows();
    } else if (layout == QLatin1String("cascade")) {
        area->cascadeSubWindows();
    } else if (layout == QLatin1String("maximized") && area->currentSubWindow() != nullptr) {
        area->currentSubWindow()->showMaximized();
    }
}

void CZARN40App::takeScreenshot(const QString& path) {
    const bool saved = mainFrame_->grab().save(path, "PNG");
    if (!saved) {
        std::fprintf(stderr, "zarn80: error: cannot write the screenshot '%s'\n",
                     path.toLocal8Bit().constData());
    }
    mainFrame_->close();
    QApplication::exit(saved ? 0 : 1);
}

DocumentHost* CZARN40App::createDocument(const DocumentBuilder& build) {
    auto host = std::make_unique<DocumentHost>(*this, nextSerial_++);
    std::string error;
    try {
        std::unique_ptr<CZARN40Doc> doc = build(host->options(), error);
        if (!doc) {
            showError(QString::fromStdString(error));
            return nullptr;
        }
        host->attach(std::move(doc));
    } catch (const DocumentError& e) {
        showError(QString::fromUtf8(e.what()));
        return nullptr;
    } catch (const std::bad_alloc&) {
        showError(tr("There is not enough memory for another quilt."));
        return nullptr;
    }
    DocumentHost* opened = hosts_.emplace_back(std::move(host)).get();
    connect(opened, &DocumentHost::captionsChanged, mainFrame_.get(),
            &CMainFrame::updateWindowTitle);
    mainFrame_->createChildFrame(*opened);
    if (!refreshTimer_.isActive() && refreshTimer_.interval() > 0) {
        refreshTimer_.start();
    }
    emit documentsChanged();
    return opened;
}

DocumentHost* CZARN40App::OnFileNew() {
    return createDocument([](const DocumentOptions& options, std::string&) {
        return NewQuilt(options, NewQuiltOptions{});
    });
}

DocumentHost* CZARN40App::openSessionFile(const QString& path) {
    DocumentHost* host =
        createDocument([&path](const DocumentOptions& options, std::string& error) {
            WaitCursor wait;
            return OpenSessionFile(path.toStdString(), options, error);
        });
    if (host == nullptr) {
        // As a recent file that has gone, it leaves the list.
        recentFiles_->remove(path);
        return nullptr;
    }
    recentFiles_->add(path);
    host->doc().StartWorker();
    return host;
}

void CZARN40App::closeDocument(DocumentHost* host) {
    const auto it = std::find_if(hosts_.begin(), hosts_.end(),
                                 [host](const auto& owned) { return owned.get() == host; });
    if (it == hosts_.end()) {
        return;
    }
    // Destroying the host stops the worker: a short wait for it to leave its step (and for a
    // refresh that has begun on it).
    refresher_->cancel(*host);
    std::unique_ptr<DocumentHost> closing = std::move(*it);
    hosts_.erase(it);
    closing.reset();
    if (hosts_.empty()) {
        refreshTimer_.stop();
    }
    emit documentsChanged();
}

DocumentHost* CZARN40App::hostOf(const CZARN40Doc* doc) const {
    for (const auto& host : hosts_) {
        if (&host->doc() == doc) {
            return host.get();
        }
    }
    return nullptr;
}

CZARN40Doc* CZARN40App::refreshNext() {
    if (refresher_->busy()) {
        return nullptr;
    }
    CZARN40Doc* doc = registry_.next();
    if (doc == nullptr) {
        return nullptr;
    }
    if (DocumentHost* host = hostOf(doc)) {
        refresher_->start(*host);
    }
    return doc;
}

void CZARN40App::requestPicture(DocumentHost& host) {
    host.wantPicture();
    serveWantedPicture();
}

bool CZARN40App::serveWantedPicture() {
    if (refresher_->busy()) {
        return false;
    }
    for (const auto& host : hosts_) {
        if (host->pictureWanted()) {
            return refresher_->start(*host, true);
        }
    }
    return false;
}

bool CZARN40App::refreshing() const {
    return refresher_->busy();
}

std::chrono::steady_clock::time_point CZARN40App::refreshRestUntil() const {
    return refresher_->restUntil();
}

void CZARN40App::setRefreshInterval(int ms) {
    refreshTimer_.setInterval(ms);
    if (ms <= 0) {
        refreshTimer_.stop();
    } else if (!hosts_.empty()) {
        refreshTimer_.start();
    }
}

namespace {
/** Where the threads setting lives in the settings file. */
constexpr const char* kThreadsKey = "Quilt/threads";
} // namespace

int CZARN40App::threadsPerQuilt() const {
    bool chosen = false;
    const int threads = settings_->value(QLatin1String(kThreadsKey)).toInt(&chosen);
    if (chosen) {
        return std::clamp(threads, 1, CZARN40Doc::kMaxOrbits);
    }
    const unsigned cores = std::thread::hardware_concurrency();
    return static_cast<int>(std::clamp(cores, 1u, static_cast<unsigned>(CZARN40Doc::kMaxOrbits)));
}

void CZARN40App::setThreadsPerQuilt(int threads) {
    settings_->setValue(QLatin1String(kThreadsKey), std::clamp(threads, 1, CZARN40Doc::kMaxOrbits));
}

void CZARN40App::helpRequest(unsigned command) {
    if (const std::optional<int> topic = helpTopicFor(command)) {
        showHelpPage(helpPage(*topic));
    }
}

void CZARN40App::showHelpPage(const QUrl& page) {
    if (helpWindow_ == nullptr) {
        helpWindow_ = new HelpWindow(mainFrame_.get());
    }
    helpWindow_->showPage(page);
}

bool CZARN40App::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::WhatsThisClicked) {
        showHelpPage(QUrl(static_cast<QWhatsThisClickedEvent*>(event)->href()));
        return true;
    }
    return QObject::eventFilter(watched, event);
}

void CZARN40App::showError(const QString& text) {
    QMessageBox::warning(mainFrame_.get(), kProgramName, text);
}

} // namespace zarn::app

namespace zarn::app {

StartupOptions parseCommandLine(const QStringList& arguments) {
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Generates, shows and exports symmetric chaotic-map quilts."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("files"),
                                 QStringLiteral("Session files (.session) to open."),
                                 QStringLiteral("[FILE.session...]"));
    const QCommandLineOption screenshot(
        QStringLiteral("screenshot"),
        QStringLiteral("Write a PNG picture of the main window to FILE once the session files "
                       "are shown, then quit."),
        QStringLiteral("FILE"));
    const QCommandLineOption delay(QStringLiteral("delay"),
                                   QStringLiteral("Milliseconds to wait before the screenshot "
                                                  "(default 1500)."),
                                   QStringLiteral("MS"), QStringLiteral("1500"));
    const QCommandLineOption layout(
        QStringLiteral("layout"),
        QStringLiteral("Arrange the opened windows: tile, cascade or maximized."),
        QStringLiteral("HOW"));
    const QCommandLineOption size(QStringLiteral("size"),
                                  QStringLiteral("Size of the main window, WIDTHxHEIGHT."),
                                  QStringLiteral("WxH"));
    parser.addOptions({screenshot, delay, layout, size});
    parser.process(arguments);

    StartupOptions options;
    options.files = parser.positionalArguments();
    options.screenshot = parser.value(screenshot);
    options.layout = parser.value(layout);
    bool delayOk = false;
    options.screenshotDelayMs = parser.value(delay).toInt(&delayOk);
    const QStringList sides = parser.value(size).split(QLatin1Char('x'));
    if (!delayOk || options.screenshotDelayMs < 0) {
        std::fprintf(stderr, "zarn80: error: --delay wants a number of milliseconds\n");
        std::exit(1);
    }
    if (parser.isSet(size)) {
        const int width = sides.value(0).toInt();
        const int height = sides.value(1).toInt();
        if (sides.size() != 2 || width <= 0 || height <= 0) {
            std::fprintf(stderr, "zarn80: error: --size wants WIDTHxHEIGHT, e.g. 1280x800\n");
            std::exit(1);
        }
        options.windowSize = QSize(width, height);
    }
    const QStringList layouts = {QStringLiteral("tile"), QStringLiteral("cascade"),
                                 QStringLiteral("maximized")};
    if (!options.layout.isEmpty() && !layouts.contains(options.layout)) {
        std::fprintf(stderr, "zarn80: error: --layout wants tile, cascade or maximized\n");
        std::exit(1);
    }
    return options;
}

int runApplication(int argc, char* argv[]) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(CZARN40App::kProgramName);
    QApplication::setApplicationVersion(QStringLiteral(ZARN80_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("zarn80"));
    const StartupOptions options = parseCommandLine(QApplication::arguments());
    CZARN40App app;
    app.InitInstance(options);
    return QApplication::exec();
}

} // namespace zarn::app
