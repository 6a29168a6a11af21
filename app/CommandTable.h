#pragma once

#include <QKeySequence>
#include <QList>
#include <QString>

#include <array>
#include <span>
#include <vector>

class QWidget;

namespace zarn {
class CZARN40Doc;
}

namespace zarn::app {

class CMainFrame;
struct Command;

/** The numeric command ids: menus, toolbar buttons and accelerators all name commands by them. */
namespace cmd {
inline constexpr int FileNew = 57600;
inline constexpr int FileOpen = 57601;
inline constexpr int FileClose = 57602;
inline constexpr int FileSaveSession = 57603;
inline constexpr int FileSaveSessionAs = 57604;
inline constexpr int FilePrintSetup = 57606;
inline constexpr int FilePrint = 57607;
inline constexpr int FilePrintPreview = 57609;
inline constexpr int FileRecent1 = 57616; ///< the recent files are 57616 to 57619
inline constexpr int EditCopy = 57634;
inline constexpr int EditCut = 57635;
inline constexpr int EditPaste = 57637;
inline constexpr int EditUndo = 57643;
inline constexpr int WindowNew = 57648;
inline constexpr int WindowArrange = 57649;
inline constexpr int WindowCascade = 57650;
inline constexpr int WindowTile = 57651;
inline constexpr int AppAbout = 57664;
inline constexpr int AppExit = 57665;
inline constexpr int HelpFinder = 57667;
inline constexpr int ContextHelp = 57669;
inline constexpr int Help = 57670;
inline constexpr int NextPane = 57680;
inline constexpr int PrevPane = 57681;
inline constexpr int ViewToolbar = 59392;
inline constexpr int ViewStatusBar = 59393;

inline constexpr int QuiltRandom = 32771;
inline constexpr int QuiltChoose = 32772;
inline constexpr int QuiltDetail = 32773;
inline constexpr int QuiltReconstruct = 32775;
inline constexpr int QuiltPeriod = 32776;
inline constexpr int QuiltIterations = 32777;
inline constexpr int QuiltColors = 32778;
inline constexpr int SaveBmp = 32780;
inline constexpr int SaveJpeg = 32802;
inline constexpr int ViewQuasi = 32805;
inline constexpr int QuasiProperties = 32806;
inline constexpr int SaveWindowJpeg = 32807;
inline constexpr int QuasiDisplay = 32808; ///< toolbar button of the quasi-crystal properties
inline constexpr int PrintWhat = 32809;
inline constexpr int ViewPoly = 32810;
inline constexpr int PolyProperties = 32811;
inline constexpr int PolyDisplay = 32813; ///< toolbar button of the poly properties
inline constexpr int SaveTiff = 32815;
inline constexpr int SaveTiffButton = 32817;
inline constexpr int SaveGif = 32821;
inline constexpr int SavePng = 32840;
inline constexpr int QuiltThreads = 32841;

// The active window's level scale (one of the three is checked) and Random New Fractal's
// skipping of flat quilts.
inline constexpr int ViewLevelsClassic = 32900;
inline constexpr int ViewLevelsRobust = 32901;
inline constexpr int ViewLevelsLog = 32902;
inline constexpr int QuiltSkipFlat = 32903;
} // namespace cmd

/** The View menu's level-scale commands, indexed by LevelScaleKind. */
inline constexpr std::array<int, 3> kLevelScaleCommands = {
    cmd::ViewLevelsClassic, cmd::ViewLevelsRobust, cmd::ViewLevelsLog};

/** Where a command applies: anywhere, or to the active quilt window. */
enum class Scope { App, Document };

/** How a document command's views catch up once it changed the quilt. */
enum class ViewUpdate {
    None,
    /** Repaint over the old picture with a rebuilt bitmap (HINT_REDRAW); HINT_REBUILD while the
     *  poly view is on, whose own picture must be redrawn from the new bitmap. */
    RedrawUnlessPoly,
    /** Rebuild the bitmap at its new size (HINT_REBUILD). */
    Rebuild,
};

/** The Quilt menu's dialog commands (app/dialogs). */
using DialogCommand = bool (*)(QWidget*, CZARN40Doc&);

/** What a menu item, toolbar button or accelerator runs; a command without one is disabled. */
using Handler = void (CMainFrame::*)(const Command&);

/**
 * One user command. The menus, the toolbar, the accelerators, the status-bar prompts and the
 * tool tips are all built from the table of these, walked once.
 */
struct Command {
    int id = 0;
    /** Menu text with its mnemonic (and, after a tab, the accelerator it shows); empty for
     *  commands that live on the toolbar or the keyboard only. */
    const char* text = "";
    /** "status-bar prompt\ntool tip"; either part may be empty. */
    const char* prompt = "";
    /** Accelerators, portable text ("Ctrl+Ins"); the first is the one menus show. */
    std::array<const char*, 2> keys{};
    /** Icon in the resources (":/icons/<name>.svg"), for toolbar buttons. */
    const char* icon = nullptr;
    Scope scope = Scope::App;
    bool checkable = false;
    Handler handler = nullptr;
    DialogCommand dialog = nullptr;
    ViewUpdate update = ViewUpdate::None;

    QString statusPrompt() const;
    /** The tool tip with its accelerator, "Open (Ctrl+O)". */
    QString toolTip() const;
    QList<QKeySequence> shortcuts() const;
};

/** Every command, each id once. */
std::span<const Command> commandTable();
/** The row of @p id; null when there is none. */
const Command* findCommand(int id);

/** Markers in menu and toolbar layouts besides command ids. */
inline constexpr int kSeparator = 0;
inline constexpr int kRecentFiles = -1;
inline constexpr int kWindowList = -2;

struct MenuLayout {
    const char* title;
    std::vector<int> items;
};

/** The menu bar without a document (menu 128). */
const std::vector<MenuLayout>& appMenus();
/** The menu bar with a document (menu 129). */
const std::vector<MenuLayout>& documentMenus();
/** The toolbar's buttons in order; kSeparator between groups. */
std::span<const int> toolbarLayout();

} // namespace zarn::app
