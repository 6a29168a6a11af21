#include "CMainFrame.h"

#include "CAboutDlg.h"
#include "CChildFrame.h"
#include "CZARN40App.h"
#include "CZARN40View.h"
#include "CommandTable.h"
#include "DocumentHost.h"
#include "FileDialogs.h"
#include "HelpWindow.h"
#include "ImageExport.h"
#include "Printing.h"
#include "RecentFiles.h"
#include "StatusClock.h"
#include "WaitCursor.h"
#include "app/dialogs/Dialogs.h"
#include "app/dialogs/ViewDialogs.h"
#include "document/ViewSettings.h"

#include <QActionGroup>
#include <QCloseEvent>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QInputDialog>
#include <QLabel>
#include <QMdiArea>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QPageSetupDialog>
#include <QPointer>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QScreen>
#include <QSettings>
#include <QStatusBar>
#include <QToolBar>
#include <QWhatsThis>

namespace zarn::app {

namespace {

/** The session files among dropped URLs. */
QStringList droppedSessions(const QMimeData* mime) {
    QStringList paths;
    for (const QUrl& url : mime->urls()) {
        if (url.isLocalFile() &&
            QFileInfo(url.toLocalFile())
                    .suffix()
                    .compare(QLatin1String(kSessionSuffix), Qt::CaseInsensitive) == 0) {
            paths.append(url.toLocalFile());
        }
    }
    return paths;
}

/** A menu entry for a file or window name: '&' would otherwise become a mnemonic. */
QString menuEntry(int number, const QString& name) {
    QString escaped = name;
    escaped.replace(QLatin1Char('&'), QLatin1String("&&"));
    return number < 10 ? QStringLiteral("&%1 %2").arg(number).arg(escaped)
                       : QStringLiteral("%1 %2").arg(number).arg(escaped);
}

} // namespace

CMainFrame::CMainFrame(CZARN40App& app)
    : app_(app), mdiArea_(new QMdiArea(this)), clock_(&localTimeNow) {
    setWindowTitle(CZARN40App::kProgramName);
    setWindowIcon(QIcon(QStringLiteral(":/icons/zarn80.svg")));
    setAcceptDrops(true);

    mdiArea_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    mdiArea_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    mdiArea_->setWhatsThis(whatsThisText(tr("The quilt windows. File New opens a new quilt here; "
                                            "Window New Window shows the active quilt in a "
                                            "second window."),
                                         "window.html"));
    setCentralWidget(mdiArea_);
    connect(mdiArea_, &QMdiArea::subWindowActivated, this, [this] {
        updateWindowTitle();
        updateCommandStates();
        updateViewChecks();
    });

    createActions();
    appMenus_ = createMenus(appMenus());
    documentMenus_ = createMenus(documentMenus());
    for (QMenu* menu : documentMenus_) {
        if (menu->actions().contains(actions_.at(cmd::ViewQuasi))) {
            connect(menu, &QMenu::aboutToShow, this, &CMainFrame::updateViewChecks);
        }
    }
    createToolBar();
    createStatusBar();
    showMenus(false);
    updateRecentFileActions();
    connect(&app_.recentFiles(), &RecentFiles::changed, this, &CMainFrame::updateRecentFileActions);
    updateCommandStates();
    readSettings();

    clockTimer_.setSingleShot(true);
    clockTimer_.setTimerType(Qt::PreciseTimer);
    connect(&clockTimer_, &QTimer::timeout, this, [this] {
        refreshClockPanes();
        scheduleClockTick();
    });
    refreshClockPanes();
    scheduleClockTick();
}

// Out of line: the printer is an incomplete type in the header.
CMainFrame::~CMainFrame() {
    // The area still reports activations while the windows inside it are torn down.
    disconnect(mdiArea_, nullptr, this, nullptr);
}

// ---- Commands, menus, toolbar ---------------------------------------------------------------

void CMainFrame::createActions() {
    for (const Command& command : commandTable()) {
        auto* action = new QAction(this);
        const QString text = QString::fromUtf8(command.text);
        // Toolbar and keyboard commands are named by their tool tip.
        action->setText(text.isEmpty() ? QString::fromUtf8(command.prompt).section('\n', 1, 1)
                                       : text);
        action->setData(command.id);
        action->setObjectName(QStringLiteral("command%1").arg(command.id));
        action->setStatusTip(command.statusPrompt());
        action->setWhatsThis(whatsThisText(command.statusPrompt().isEmpty()
                                               ? action->text().remove(QLatin1Char('&'))
                                               : command.statusPrompt(),
                                           "menus.html"));
        action->setToolTip(command.toolTip());
        action->setShortcuts(command.shortcuts());
        action->setCheckable(command.checkable);
        if (command.icon != nullptr) {
            action->setIcon(
                QIcon(QStringLiteral(":/icons/%1.svg").arg(QLatin1String(command.icon))));
        }
        if (command.handler != nullptr) {
            connect(action, &QAction::triggered, this,
                    [this, &command] { (this->*command.handler)(command); });
        }
        // Accelerators work whichever menu bar is shown.
        addAction(action);
        actions_.emplace(command.id, action);
    }

    for (int i = 0; i < RecentFiles::kMaxFiles; ++i) {
        auto* action = new QAction(this);
        action->setData(cmd::FileRecent1 + i);
        action->setStatusTip(tr("Open this session"));
        connect(action, &QAction::triggered, this, [this, i] {
            const QStringList files = app_.recentFiles().files();
            if (i < files.size()) {
                app_.openSessionFile(files[i]);
            }
        });
        recentActions_[static_cast<std::size_t>(i)] = action;
    }
    noRecentAction_ = new QAction(tr("Recent File"), this);
    noRecentAction_->setEnabled(false);

    auto* scales = new QActionGroup(this);
    for (const int id : kLevelScaleCommands) {
        scales->addAction(actions_.at(id));
    }
}

std::vector<QMenu*> CMainFrame::createMenus(const std::vector<MenuLayout>& layouts) {
    std::vector<QMenu*> menus;
    for (const MenuLayout& layout : layouts) {
        auto* menu = new QMenu(QString::fromUtf8(layout.title), this);
        for (const int item : layout.items) {
            if (item == kSeparator) {
                menu->addSeparator();
            } else if (item == kRecentFiles) {
                menu->addAction(noRecentAction_);
                for (QAction* recent : recentActions_) {
                    menu->addAction(recent);
                }
            } else if (item == kWindowList) {
                connect(menu, &QMenu::aboutToShow, this, [this, menu] { fillWindowList(menu); });
            } else {
                menu->addAction(actions_.at(item));
            }
        }
        menus.push_back(menu);
    }
    return menus;
}

void CMainFrame::createToolBar() {
    toolBar_ = addToolBar(tr("Toolbar"));
    toolBar_->setObjectName(QStringLiteral("toolBar"));
    for (const int item : toolbarLayout()) {
        if (item == kSeparator) {
            toolBar_->addSeparator();
        } else {
            toolBar_->addAction(actions_.at(item));
        }
    }
    QAction* toggle = actions_.at(cmd::ViewToolbar);
    toggle->setChecked(true);
    connect(toolBar_, &QToolBar::visibilityChanged, toggle, &QAction::setChecked);
}

void CMainFrame::createStatusBar() {
    messagePane_ = new QLabel(tr("Ready"), this);
    statusBar()->addWidget(messagePane_, 1);
    datePane_ = new QLabel(this);
    timePane_ = new QLabel(this);
    datePane_->setObjectName(QStringLiteral("datePane"));
    timePane_->setObjectName(QStringLiteral("timePane"));
    for (QLabel* pane : {datePane_, timePane_}) {
        pane->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        statusBar()->addPermanentWidget(pane);
    }
    actions_.at(cmd::ViewStatusBar)->setChecked(true);
}

QAction* CMainFrame::action(int id) const {
    const auto it = actions_.find(id);
    return it == actions_.end() ? nullptr : it->second;
}

void CMainFrame::showMenus(bool withDocument) {
    if (withDocument == showingDocumentMenus_ && !menuBar()->actions().isEmpty()) {
        return;
    }
    showingDocumentMenus_ = withDocument;
    menuBar()->clear();
    for (QMenu* menu : withDocument ? documentMenus_ : appMenus_) {
        menuBar()->addMenu(menu);
    }
}

void CMainFrame::updateCommandStates() {
    const bool haveDocument = activeDocument() != nullptr;
    for (const Command& command : commandTable()) {
        actions_.at(command.id)
            ->setEnabled(command.handler != nullptr &&
                         (command.scope == Scope::App || haveDocument));
    }
    updateLevelScaleChecks();
}

void CMainFrame::updateLevelScaleChecks() {
    const CZARN40View* view = activeView();
    const LevelScaleKind scale = view == nullptr ? LevelScaleKind::Classic : view->levelScale();
    actions_.at(kLevelScaleCommands[static_cast<std::size_t>(scale)])->setChecked(true);
}

void CMainFrame::updateRecentFileActions() {
    const QStringList files = app_.recentFiles().files();
    for (int i = 0; i < RecentFiles::kMaxFiles; ++i) {
        QAction* action = recentActions_[static_cast<std::size_t>(i)];
        action->setVisible(i < files.size());
        if (i < files.size()) {
            action->setText(menuEntry(i + 1, QDir::toNativeSeparators(files[i])));
        }
    }
    noRecentAction_->setVisible(files.isEmpty());
}

void CMainFrame::fillWindowList(QMenu* menu) {
    for (QAction* old : windowListActions_) {
        menu->removeAction(old);
        old->deleteLater();
    }
    windowListActions_.clear();
    const QList<QMdiSubWindow*> windows = mdiArea_->subWindowList();
    if (windows.isEmpty()) {
        return;
    }
    windowListActions_.append(menu->addSeparator());
    QMdiSubWindow* current = mdiArea_->currentSubWindow();
    for (int i = 0; i < windows.size(); ++i) {
        QPointer<QMdiSubWindow> window = windows[i];
        QAction* entry = menu->addAction(menuEntry(i + 1, window->windowTitle()));
        entry->setCheckable(true);
        entry->setChecked(window == current);
        entry->setStatusTip(tr("Activate this window"));
        connect(entry, &QAction::triggered, this, [this, window] {
            if (window) {
                mdiArea_->setActiveSubWindow(window);
            }
        });
        windowListActions_.append(entry);
    }
}

void CMainFrame::documentsChanged() {
    showMenus(!app_.documents().empty());
    updateCommandStates();
    updateWindowTitle();
}

void CMainFrame::updateWindowTitle() {
    const DocumentHost* host = activeDocument();
    setWindowTitle(host == nullptr
                       ? CZARN40App::kProgramName
                       : QStringLiteral("%1 - %2").arg(host->title(), CZARN40App::kProgramName));
}

void CMainFrame::showMessage(const QString& text) {
    statusBar()->showMessage(text, 5000);
}

// ---- Quilt windows --------------------------------------------------------------------------

CChildFrame* CMainFrame::createChildFrame(DocumentHost& host) {
    auto* frame = new CChildFrame(host);
    mdiArea_->addSubWindow(frame);
    frame->resize(frame->sizeHint());
    frame->show();
    mdiArea_->setActiveSubWindow(frame);
    updateCommandStates();
    updateWindowTitle();
    return frame;
}

CChildFrame* CMainFrame::activeChildFrame() const {
    if (auto* current = qobject_cast<CChildFrame*>(mdiArea_->currentSubWindow())) {
        return current;
    }
    // The area names no current window while the main window is inactive; the one used last
    // is still the one the user means.
    const QList<QMdiSubWindow*> windows = mdiArea_->subWindowList(QMdiArea::ActivationHistoryOrder);
    for (auto it = windows.crbegin(); it != windows.crend(); ++it) {
        auto* frame = qobject_cast<CChildFrame*>(*it);
        if (frame != nullptr && frame->view()->host() != nullptr) {
            return frame;
        }
    }
    return nullptr;
}

CZARN40View* CMainFrame::activeView() const {
    CChildFrame* frame = activeChildFrame();
    return frame == nullptr ? nullptr : frame->view();
}

DocumentHost* CMainFrame::activeDocument() const {
    CZARN40View* view = activeView();
    return view == nullptr ? nullptr : view->host();
}

// ---- Handlers -------------------------------------------------------------------------------

void CMainFrame::onFileNew(const Command&) {
    app_.OnFileNew();
}

void CMainFrame::onFileOpen(const Command&) {
    const QStringList recent = app_.recentFiles().files();
    const QString folder =
        recent.isEmpty() ? QDir::currentPath() : QFileInfo(recent.constFirst()).absolutePath();
    const QString path = askSessionToOpen(this, folder);
    if (!path.isEmpty()) {
        app_.openSessionFile(path);
    }
}

void CMainFrame::onFileClose(const Command&) {
    DocumentHost* host = activeDocument();
    if (host == nullptr) {
        return;
    }
    // The last window to close takes the document (and the host) with it.
    QList<QPointer<QMdiSubWindow>> frames;
    for (CZARN40View* view : host->views()) {
        frames.append(qobject_cast<QMdiSubWindow*>(view->parentWidget()));
    }
    for (const QPointer<QMdiSubWindow>& frame : frames) {
        if (frame) {
            frame->close();
        }
    }
}

void CMainFrame::onFileSaveSession(const Command&) {
    if (CZARN40View* view = activeView()) {
        view->OnFileSaveSession();
    }
}

void CMainFrame::onFileSaveSessionAs(const Command&) {
    if (CZARN40View* view = activeView()) {
        view->OnFileSaveSessionAs();
    }
}

void CMainFrame::onAppExit(const Command&) {
    close();
}

void CMainFrame::onViewToolbar(const Command& command) {
    toolBar_->setVisible(actions_.at(command.id)->isChecked());
}

void CMainFrame::onViewStatusBar(const Command& command) {
    statusBar()->setVisible(actions_.at(command.id)->isChecked());
}

void CMainFrame::onWindowNew(const Command&) {
    if (DocumentHost* host = activeDocument()) {
        createChildFrame(*host);
    }
}

void CMainFrame::onWindowCascade(const Command&) {
    mdiArea_->cascadeSubWindows();
}

void CMainFrame::onWindowTile(const Command&) {
    mdiArea_->tileSubWindows();
}

void CMainFrame::onWindowArrange(const Command&) {
    // The minimised windows in rows along the bottom of the area, left to right.
    const QSize area = mdiArea_->viewport()->size();
    QPoint next(0, area.height());
    int rowHeight = 0;
    for (QMdiSubWindow* window : mdiArea_->subWindowList()) {
        if (!window->isMinimized()) {
            continue;
        }
        const QSize size = window->size();
        if (next.x() > 0 && next.x() + size.width() > area.width()) {
            next = QPoint(0, next.y() - rowHeight);
            rowHeight = 0;
        }
        rowHeight = std::max(rowHeight, size.height());
        window->move(next.x(), next.y() - size.height());
        next.rx() += size.width();
    }
}

void CMainFrame::onNextPane(const Command&) {
    mdiArea_->activateNextSubWindow();
}

void CMainFrame::onPrevPane(const Command&) {
    mdiArea_->activatePreviousSubWindow();
}

void CMainFrame::onQuiltRandom(const Command&) {
    DocumentHost* host = activeDocument();
    if (host == nullptr) {
        return;
    }
    if (skipFlatQuilts()) {
        // Trial runs take a moment; they run off the GUI thread and the window follows.
        if (!host->NewRandomQuiltSkippingFlat(activeView()->levelScale())) {
            showMessage(tr("Still looking for a quilt that is not flat"));
        }
        return;
    }
    const auto held = host->access();
    // The views catch up through the idle refresh once the new quilt has grown a little.
    host->doc().NewRandomQuilt();
    host->refreshCaptions();
}

bool CMainFrame::skipFlatQuilts() const {
    return actions_.at(cmd::QuiltSkipFlat)->isChecked();
}

void CMainFrame::onQuiltSkipFlat(const Command& command) {
    app_.settings().setValue(QStringLiteral("Quilt/skipFlatQuilts"),
                             actions_.at(command.id)->isChecked());
}

void CMainFrame::runDocumentDialog(const Command& command,
                                   const std::function<bool(CZARN40Doc&)>& run) {
    DocumentHost* host = activeDocument();
    if (host == nullptr) {
        return;
    }
    // The refresh leaves the document alone while its dialog is open.
    const auto held = host->access();
    const bool changed = run(host->doc());
    if (changed) {
        updateViews(*host, command);
    } else {
        host->refreshCaptions();
    }
}

void CMainFrame::onQuiltDialog(const Command& command) {
    runDocumentDialog(command, [&](CZARN40Doc& doc) { return command.dialog(this, doc); });
}

void CMainFrame::onQuiltColors(const Command& command) {
    const CZARN40View* view = activeView();
    const LevelScaleKind scale = view == nullptr ? LevelScaleKind::Classic : view->levelScale();
    runDocumentDialog(command, [&](CZARN40Doc& doc) { return runImageColors(this, doc, scale); });
}

void CMainFrame::onViewLevelScale(const Command& command) {
    CZARN40View* view = activeView();
    if (view == nullptr) {
        return;
    }
    for (const LevelScaleKind kind : kLevelScaleKinds) {
        if (kLevelScaleCommands[static_cast<std::size_t>(kind)] == command.id) {
            view->setLevelScale(kind);
        }
    }
    updateLevelScaleChecks();
}

void CMainFrame::onQuiltReconstruct(const Command& command) {
    if (DocumentHost* host = activeDocument()) {
        const auto held = host->access();
        host->doc().RebuildPalette();
        updateViews(*host, command);
    }
}

void CMainFrame::updateViews(DocumentHost& host, const Command& command) {
    switch (command.update) {
    case ViewUpdate::None:
        host.refreshCaptions();
        break;
    case ViewUpdate::Rebuild:
        host.UpdateAllViews(CZARN40Doc::HINT_REBUILD);
        break;
    case ViewUpdate::RedrawUnlessPoly:
        host.UpdateAllViews(host.polyViewOn() ? CZARN40Doc::HINT_REBUILD : CZARN40Doc::HINT_REDRAW);
        break;
    }
    // A family the views do not take turns them off.
    updateViewChecks();
}

void CMainFrame::onQuiltThreads(const Command&) {
    bool ok = false;
    const int threads = QInputDialog::getInt(
        this, tr("Threads per Quilt"),
        tr("Threads that iterate each new or opened quilt (1 to %1):").arg(CZARN40Doc::kMaxOrbits),
        app_.threadsPerQuilt(), 1, CZARN40Doc::kMaxOrbits, 1, &ok);
    if (ok) {
        app_.setThreadsPerQuilt(threads);
    }
}

// ---- The quasi-crystal and poly views -------------------------------------------------------

void CMainFrame::updateViewChecks() {
    const CZARN40View* view = activeView();
    const ViewMode mode = view == nullptr ? ViewMode::Tile : view->viewMode();
    actions_.at(cmd::ViewQuasi)->setChecked(mode == ViewMode::Quazi);
    actions_.at(cmd::ViewPoly)->setChecked(mode == ViewMode::Poly);
}

void CMainFrame::onViewQuasi(const Command&) {
    if (DocumentHost* host = activeDocument()) {
        const auto held = host->access();
        if (ToggleQuaziView(host->doc()).changed) {
            host->UpdateAllViews(0);
        }
    }
    updateViewChecks();
}

void CMainFrame::onViewPoly(const Command&) {
    if (DocumentHost* host = activeDocument()) {
        const auto held = host->access();
        const ViewChange change = TogglePolyView(host->doc());
        if (change.openPolyProperties) {
            runPolyProperties(*host, true);
        } else if (change.changed) {
            host->UpdateAllViews(0);
        }
    }
    updateViewChecks();
}

void CMainFrame::onQuasiProperties(const Command&) {
    if (DocumentHost* host = activeDocument()) {
        // The refresh leaves the document alone while its dialog is open.
        const auto held = host->access();
        const std::optional<ViewChange> change = runQuaziProperties(this, host->doc());
        if (change && change->changed) {
            host->UpdateAllViews(CZARN40Doc::HINT_REBUILD);
        }
    }
    updateViewChecks();
}

void CMainFrame::onPolyProperties(const Command&) {
    if (DocumentHost* host = activeDocument()) {
        const auto held = host->access();
        runPolyProperties(*host, false);
    }
    updateViewChecks();
}

void CMainFrame::runPolyProperties(DocumentHost& host, bool viewTurnedOn) {
    QPointer<DocumentHost> alive(&host);
    const std::optional<ViewChange> change = zarn::app::runPolyProperties(this, host.doc());
    // Cancel after the first toggle leaves the view on with the default mapping.
    if (alive && (viewTurnedOn || (change && change->changed))) {
        host.UpdateAllViews(CZARN40Doc::HINT_REBUILD);
    }
}

// ---- Export, clipboard, printing ------------------------------------------------------------

void CMainFrame::onSaveImage(const Command& command) {
    const ExportFormat* format = exportFormatFor(command.id);
    if (CZARN40View* view = activeView(); view != nullptr && format != nullptr) {
        view->OnSaveImage(*format);
    }
}

void CMainFrame::onSaveWindow(const Command&) {
    if (CZARN40View* view = activeView()) {
        view->OnSaveWindow();
    }
}

void CMainFrame::reportExport(const QString& path, const std::string& error) {
    if (error.empty()) {
        showMessage(tr("Saved %1").arg(QDir::toNativeSeparators(path)));
        return;
    }
    QMessageBox::warning(this, CZARN40App::kProgramName, QString::fromStdString(error));
}

void CMainFrame::onEditCopy(const Command&) {
    if (CZARN40View* view = activeView()) {
        view->OnEditCopy();
    }
}

QPrinter& CMainFrame::printer() {
    if (!printer_) {
        printer_ = std::make_unique<QPrinter>(QPrinter::HighResolution);
    }
    return *printer_;
}

void CMainFrame::onPrintWhat(const Command&) {
    if (CZARN40View* view = activeView()) {
        view->setScaleToPage(
            runPrintWhat(this, view->scaleToPage(), view->viewMode() == ViewMode::Quazi));
    }
}

void CMainFrame::onFilePrint(const Command&) {
    QPointer<CZARN40View> view = activeView();
    if (view == nullptr) {
        return;
    }
    QPrintDialog dialog(&printer(), this);
    if (dialog.exec() == QDialog::Accepted && view != nullptr) {
        printView(*view, printer());
    }
}

void CMainFrame::onFilePrintPreview(const Command&) {
    QPointer<CZARN40View> view = activeView();
    if (view == nullptr) {
        return;
    }
    QPrintPreviewDialog preview(&printer(), this);
    connect(&preview, &QPrintPreviewDialog::paintRequested, this, [this, view](QPrinter* target) {
        if (view != nullptr) {
            printView(*view, *target);
        }
    });
    preview.exec();
}

void CMainFrame::onFilePrintSetup(const Command&) {
    QPageSetupDialog dialog(&printer(), this);
    dialog.exec();
}

void CMainFrame::printView(CZARN40View& view, QPrinter& target) {
    if (view.host() == nullptr) {
        return;
    }
    WaitCursor wait;
    const QString error = printOn(target, view.printJob());
    if (!error.isEmpty()) {
        QMessageBox::warning(this, CZARN40App::kProgramName, error);
    }
}

void CMainFrame::onHelpFinder(const Command&) {
    app_.helpRequest(help::kFinder);
}

void CMainFrame::onHelp(const Command&) {
    app_.helpRequest(help::kContext);
}

void CMainFrame::onContextHelp(const Command&) {
    QWhatsThis::enterWhatsThisMode();
}

void CMainFrame::onAppAbout(const Command&) {
    CAboutDlg about(this);
    about.exec();
}

// ---- Status bar clock -----------------------------------------------------------------------

void CMainFrame::setClock(Clock clock) {
    clock_ = std::move(clock);
    refreshClockPanes();
}

void CMainFrame::refreshClockPanes() {
    const std::tm now = clock_();
    datePane_->setText(zarn::app::datePaneText(now));
    timePane_->setText(zarn::app::timePaneText(now));
}

QString CMainFrame::datePaneText() const {
    return datePane_->text();
}

QString CMainFrame::timePaneText() const {
    return timePane_->text();
}

void CMainFrame::scheduleClockTick() {
    // Just after the next full second, so the seconds never skip or stall.
    const qint64 intoSecond = QDateTime::currentMSecsSinceEpoch() % 1000;
    clockTimer_.start(static_cast<int>(1000 - intoSecond) + 5);
}

// ---- Window events and settings -------------------------------------------------------------

void CMainFrame::closeEvent(QCloseEvent* event) {
    mdiArea_->closeAllSubWindows();
    if (!app_.documents().empty()) {
        event->ignore();
        return;
    }
    writeSettings();
    if (app_.helpWindow() != nullptr) {
        app_.helpWindow()->close();
    }
    event->accept();
}

void CMainFrame::dragEnterEvent(QDragEnterEvent* event) {
    if (!droppedSessions(event->mimeData()).isEmpty()) {
        event->acceptProposedAction();
    }
}

void CMainFrame::dropEvent(QDropEvent* event) {
    const QStringList paths = droppedSessions(event->mimeData());
    event->acceptProposedAction();
    for (const QString& path : paths) {
        app_.openSessionFile(path);
    }
}

void CMainFrame::readSettings() {
    QSettings& settings = app_.settings();
    const QByteArray geometry = settings.value(QStringLiteral("MainFrame/geometry")).toByteArray();
    if (geometry.isEmpty() || !restoreGeometry(geometry)) {
        const QRect available = screen()->availableGeometry();
        resize(available.width() * 3 / 4, available.height() * 3 / 4);
    }
    restoreState(settings.value(QStringLiteral("MainFrame/state")).toByteArray());
    actions_.at(cmd::ViewToolbar)->setChecked(!toolBar_->isHidden());
    const bool statusVisible = settings.value(QStringLiteral("MainFrame/statusBar"), true).toBool();
    statusBar()->setVisible(statusVisible);
    actions_.at(cmd::ViewStatusBar)->setChecked(statusVisible);
    actions_.at(cmd::QuiltSkipFlat)
        ->setChecked(settings.value(QStringLiteral("Quilt/skipFlatQuilts"), false).toBool());
}

void CMainFrame::writeSettings() {
    QSettings& settings = app_.settings();
    settings.setValue(QStringLiteral("MainFrame/geometry"), saveGeometry());
    settings.setValue(QStringLiteral("MainFrame/state"), saveState());
    settings.setValue(QStringLiteral("MainFrame/statusBar"), !statusBar()->isHidden());
}

} // namespace zarn::app
