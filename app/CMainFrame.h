#pragma once

#include <QMainWindow>
#include <QTimer>

#include <array>
#include <ctime>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

class QLabel;
class QMdiArea;
class QMenu;
class QPrinter;
class QToolBar;

namespace zarn {
class CZARN40Doc;
}

namespace zarn::app {

class CChildFrame;
class CZARN40App;
class CZARN40View;
class DocumentHost;
struct Command;
struct MenuLayout;

/**
 * The main window: the quilt windows in an MDI area, the menus (128 without a document, 129 with
 * one), the toolbar and the status bar with its Date and Time panes. Menus, toolbar, accelerators,
 * prompts and tool tips all come from the command table; its handlers are the on... members.
 */
class CMainFrame : public QMainWindow {
    Q_OBJECT

public:
    explicit CMainFrame(CZARN40App& app);
    ~CMainFrame() override;

    QMdiArea* mdiArea() const { return mdiArea_; }
    QToolBar* toolBar() const { return toolBar_; }
    /** The action of a command id; null for an id the table does not have. */
    QAction* action(int id) const;

    /** Opens a new quilt window on @p host's document and makes it the active one. */
    CChildFrame* createChildFrame(DocumentHost& host);
    CChildFrame* activeChildFrame() const;
    CZARN40View* activeView() const;
    DocumentHost* activeDocument() const;

    /** Menus and command states follow the open documents. */
    void documentsChanged();
    void updateWindowTitle();
    /** A message in the status bar's message pane for a few seconds. */
    void showMessage(const QString& text);
    /** The outcome of a picture export: "Saved ..." in the status bar, or @p error (which names
     *  the file and the reason) in a message box. */
    void reportExport(const QString& path, const std::string& error);
    /** The View menu's "Quazi-Maping" and "Poly Maping" marks follow the active window's view. */
    void updateViewChecks();
    /** The printer the print commands share (its set-up kept between prints). */
    QPrinter& printer();

    /** Where the Date and Time panes read the time; the local time unless a test sets one. */
    using Clock = std::function<std::tm()>;
    void setClock(Clock clock);
    void refreshClockPanes();
    QString datePaneText() const;
    QString timePaneText() const;

    // Command handlers.
    void onFileNew(const Command& command);
    void onFileOpen(const Command& command);
    void onFileClose(const Command& command);
    void onFileSaveSession(const Command& command);
    void onFileSaveSessionAs(const Command& command);
    void onAppExit(const Command& command);
    void onViewToolbar(const Command& command);
    void onViewStatusBar(const Command& command);
    void onWindowNew(const Command& command);
    void onWindowCascade(const Command& command);
    void onWindowTile(const Command& command);
    void onWindowArrange(const Command& command);
    void onNextPane(const Command& command);
    void onPrevPane(const Command& command);
    void onQuiltRandom(const Command& command);
    void onQuiltSkipFlat(const Command& command);
    void onQuiltDialog(const Command& command);
    /** "Set Image Colors": the dialog previews the palette on the active window's level scale. */
    void onQuiltColors(const Command& command);
    void onViewLevelScale(const Command& command);

    /** Random New Fractal skips flat quilts (the Quilt menu's check, kept in the settings). */
    bool skipFlatQuilts() const;
    void onQuiltReconstruct(const Command& command);
    void onQuiltThreads(const Command& command);
    void onViewQuasi(const Command& command);
    void onViewPoly(const Command& command);
    void onQuasiProperties(const Command& command);
    void onPolyProperties(const Command& command);
    void onSaveImage(const Command& command);
    void onSaveWindow(const Command& command);
    void onEditCopy(const Command& command);
    void onPrintWhat(const Command& command);
    void onFilePrint(const Command& command);
    void onFilePrintPreview(const Command& command);
    void onFilePrintSetup(const Command& command);
    void onHelpFinder(const Command& command);
    void onHelp(const Command& command);
    void onContextHelp(const Command& command);
    void onAppAbout(const Command& command);

protected:
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void createActions();
    std::vector<QMenu*> createMenus(const std::vector<MenuLayout>& layouts);
    void createToolBar();
    void createStatusBar();
    void showMenus(bool withDocument);
    void updateCommandStates();
    void updateRecentFileActions();
    void fillWindowList(QMenu* menu);
    void updateViews(DocumentHost& host, const Command& command);
    /** Runs the poly properties; @p viewTurnedOn when the first poly toggle opened them. */
    void runPolyProperties(DocumentHost& host, bool viewTurnedOn);
    /** Prints @p view's picture on @p printer; a job that cannot start is reported. */
    void printView(CZARN40View& view, QPrinter& printer);
    /** Runs a Quilt menu dialog command on the active document: @p run shows the dialog and
     *  says whether it changed the document. */
    void runDocumentDialog(const Command& command, const std::function<bool(CZARN40Doc&)>& run);
    /** The level-scale items show the active window's scale. */
    void updateLevelScaleChecks();
    void scheduleClockTick();
    void readSettings();
    void writeSettings();

    CZARN40App& app_;
    QMdiArea* mdiArea_;
    QToolBar* toolBar_ = nullptr;
    QLabel* messagePane_ = nullptr;
    QLabel* datePane_ = nullptr;
    QLabel* timePane_ = nullptr;
    std::map<int, QAction*> actions_;
    std::vector<QMenu*> appMenus_;
    std::vector<QMenu*> documentMenus_;
    std::array<QAction*, 4> recentActions_{};
    QAction* noRecentAction_ = nullptr;
    QList<QAction*> windowListActions_;
    bool showingDocumentMenus_ = false;
    QTimer clockTimer_;
    Clock clock_;
    std::unique_ptr<QPrinter> printer_;
};

} // namespace zarn::app
