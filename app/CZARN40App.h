#pragma once

#include "document/CZARN40Doc.h"
#include "document/DocumentRegistry.h"

#include <QObject>
#include <QSize>
#include <QStringList>
#include <QTimer>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class QSettings;

namespace zarn::app {

class CMainFrame;
class DocumentHost;
class PictureComposer;
class PictureRefresher;
class HelpWindow;
class RecentFiles;

/** How the program was started: session files to open and, for the screenshot script, where
 *  to write a picture of the main window once they are shown. */
struct StartupOptions {
    QStringList files;
    QString screenshot;
    /** "tile", "cascade" or "maximized": how the opened windows are arranged. */
    QString layout;
    QSize windowSize;
    int screenshotDelayMs = 1500;
};

/**
 * The application object: the list of open documents (room for 100), the idle refresh that
 * visits them in turn, the settings with the recent files, help requests and the main frame.
 */
class CZARN40App : public QObject {
    Q_OBJECT

public:
    static inline const QString kProgramName = QStringLiteral("ZARN80");
    /** Time between two visits of the idle refresh, each to the next open document. */
    static constexpr int kRefreshIntervalMs = 50;

    explicit CZARN40App(QObject* parent = nullptr);
    ~CZARN40App() override;

    /** Start-up: builds and shows the main frame (empty) and opens the session files named in
     *  @p options. */
    void InitInstance(const StartupOptions& options = {});

    CMainFrame* mainFrame() const { return mainFrame_.get(); }
    DocumentRegistry& registry() { return registry_; }
    QSettings& settings() { return *settings_; }
    RecentFiles& recentFiles() { return *recentFiles_; }
    /** Draws the quasi-crystal and poly pictures and the exports off the GUI thread. */
    PictureComposer& composer() { return *composer_; }

    /** "Threads per Quilt": the orbits each new or opened quilt iterates at once, each on a
     *  thread of its own (1 to CZARN40Doc::kMaxOrbits; every core unless the user chose). */
    int threadsPerQuilt() const;
    void setThreadsPerQuilt(int threads);

    /** Builds a document for a new host (from the host's options); returns null and sets the
     *  error, or throws DocumentError, when it cannot. */
    using DocumentBuilder =
        std::function<std::unique_ptr<CZARN40Doc>(const DocumentOptions&, std::string& error)>;
    /** Opens a document built by @p build in a new quilt window; a refusal is shown in a
     *  message box and leaves the open documents as they were. */
    DocumentHost* createDocument(const DocumentBuilder& build);
    /** File New: a new random quilt. */
    DocumentHost* OnFileNew();
    /** Opens a session file in a new window and starts its quilt; a refused file is reported with
     *  the reader's message. */
    DocumentHost* openSessionFile(const QString& path);
    /** Closes the document (its windows are closed already or closing). */
    void closeDocument(DocumentHost* host);

    const std::vector<std::unique_ptr<DocumentHost>>& documents() const { return hosts_; }
    DocumentHost* hostOf(const CZARN40Doc* doc) const;

    /**
     * One tick of the idle refresh: takes the next open document in turn and has the picture
     * refresher look at it. When its worker is not held paused and its picture is marked dirty,
     * the palette is rebuilt (RefreshIfDirty) and its views show the new bitmap. Returns the
     * document visited; null when none is open or the previous visit has not finished.
     */
    CZARN40Doc* refreshNext();
    /** The last visit of the idle refresh has not reached the views yet. */
    bool refreshing() const;
    /** A view of @p host was updated and builds its new picture off the GUI thread: the picture
     *  refresher builds it as soon as it is free, before the timed visits go on. */
    void requestPicture(DocumentHost& host);
    /** Until when the timed visits wait after the last refresh (PictureRefresher::restUntil). */
    std::chrono::steady_clock::time_point refreshRestUntil() const;
    /** Time between two visits of the idle refresh; 0 leaves the visits to refreshNext() calls
     *  (tests that count them). */
    void setRefreshInterval(int ms);

    /** A help request: 1 opens topic 1; 3, 11 and 0x102 open topic 11; others are ignored. */
    void helpRequest(unsigned command);
    /** Opens the help window on @p page. */
    void showHelpPage(const QUrl& page);
    HelpWindow* helpWindow() const { return helpWindow_; }

    /** Shows @p text in a message box over the main frame. */
    void showError(const QString& text);

signals:
    /** A document was opened or closed. */
    void documentsChanged();

protected:
    /** A link clicked in a what's-this text opens its help page. */
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    /** Has the refresher build the picture a view waits for, if it is free; true if it does. */
    bool serveWantedPicture();
    void arrangeWindows(const QString& layout);
    void takeScreenshot(const QString& path);

    DocumentRegistry registry_;
    std::unique_ptr<QSettings> settings_;
    std::unique_ptr<RecentFiles> recentFiles_;
    std::vector<std::unique_ptr<DocumentHost>> hosts_;
    std::uint64_t nextSerial_ = 1;
    std::unique_ptr<PictureRefresher> refresher_;
    std::unique_ptr<PictureComposer> composer_;
    std::unique_ptr<CMainFrame> mainFrame_;
    HelpWindow* helpWindow_ = nullptr;
    QTimer refreshTimer_;
};

/** Reads the program's command line; --help and --version print and end the program, and so
 *  does an unusable option (with status 1). */
StartupOptions parseCommandLine(const QStringList& arguments);

/** The program: the Qt application, the application object and the event loop. */
int runApplication(int argc, char* argv[]);

} // namespace zarn::app
