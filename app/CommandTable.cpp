#include "CommandTable.h"

#include "CMainFrame.h"
#include "app/dialogs/Dialogs.h"

#include <algorithm>

namespace zarn::app {

namespace {

using F = CMainFrame;
constexpr Scope kApp = Scope::App;
constexpr Scope kDoc = Scope::Document;

// Rows without a handler belong to the export, clipboard, printing and quasi-crystal / poly view
// features: their items and buttons are in place and stay disabled until those are built.
const Command kCommands[] = {
    // id, text, "prompt\ntool tip", keys, icon, scope, checkable, handler, dialog, update
    {cmd::FileNew,
     "New",
     "Start a new random quilt in a new window\nNew",
     {"Ctrl+N"},
     "new",
     kApp,
     false,
     &F::onFileNew},
    {cmd::FileOpen,
     "&Open...\tCtrl+O",
     "Open a saved quilt session\nOpen",
     {"Ctrl+O"},
     "open",
     kApp,
     false,
     &F::onFileOpen},
    {cmd::FileSaveSession,
     "&Save Session",
     "Save the active quilt to the session file it is named after\nSave Session",
     {"Ctrl+S"},
     "save",
     kDoc,
     false,
     &F::onFileSaveSession},
    {cmd::FileSaveSessionAs,
     "Save Session As",
     "Save the active quilt to a session file of your choice\nSave Session As",
     {},
     nullptr,
     kDoc,
     false,
     &F::onFileSaveSessionAs},
    {cmd::FileClose,
     "&Close",
     "Close the active quilt and all its windows\nClose",
     {},
     nullptr,
     kDoc,
     false,
     &F::onFileClose},
    {cmd::PrintWhat,
     "Print What",
     "Choose between one period scaled to the page and all periods pixel for pixel\nPrint What",
     {},
     nullptr,
     kDoc},
    {cmd::FilePrint,
     "&Print...\tCtrl+P",
     "Print the active quilt\nPrint",
     {"Ctrl+P"},
     "print",
     kDoc},
    {cmd::FilePrintPreview,
     "Print Pre&view",
     "Show the printed page on the screen\nPrint Preview",
     {},
     nullptr,
     kDoc},
    {cmd::FilePrintSetup,
     "P&rint Setup...",
     "Choose a printer and its options\nPrint Setup",
     {},
     nullptr,
     kApp},
    {cmd::AppExit,
     "E&xit",
     "Close every quilt and quit ZARN80\nExit",
     {},
     nullptr,
     kApp,
     false,
     &F::onAppExit},

    {cmd::EditUndo,
     "&Undo\tCtrl+Z",
     "Undo the last action\nUndo",
     {"Ctrl+Z", "Alt+Backspace"},
     nullptr,
     kDoc},
    {cmd::EditCopy,
     "&Copy\tCtrl+C",
     "Copy one period of the picture to the clipboard\nCopy",
     {"Ctrl+C", "Ctrl+Ins"},
     "copy",
     kDoc},
    {cmd::EditCut,
     "",
     "Cut the selection to the clipboard\nCut",
     {"Ctrl+X", "Shift+Del"},
     nullptr,
     kDoc},
    {cmd::EditPaste,
     "",
     "Insert the clipboard contents\nPaste",
     {"Ctrl+V", "Shift+Ins"},
     nullptr,
     kDoc},

    {cmd::ViewToolbar,
     "&Toolbar",
     "Show or hide the toolbar\nToggle Toolbar",
     {},
     nullptr,
     kApp,
     true,
     &F::onViewToolbar},
    {cmd::ViewStatusBar,
     "&Status Bar",
     "Show or hide the status bar\nToggle Status Bar",
     {},
     nullptr,
     kApp,
     true,
     &F::onViewStatusBar},
    {cmd::ViewQuasi,
     "Quazi-Maping",
     "Toggle Quazi Crystal tiling view of sqare maps",
     {"Ctrl+Q"},
     nullptr,
     kDoc,
     true},
    {cmd::ViewPoly, "Poly Maping", "", {}, nullptr, kDoc, true},

    {cmd::WindowNew,
     "&New Window",
     "Open another window on the active quilt\nNew Window",
     {},
     nullptr,
     kDoc,
     false,
     &F::onWindowNew},
    {cmd::WindowCascade,
     "&Cascade",
     "Arrange the windows so that they overlap\nCascade Windows",
     {},
     nullptr,
     kDoc,
     false,
     &F::onWindowCascade},
    {cmd::WindowTile,
     "&Tile",
     "Arrange the windows side by side\nTile Windows",
     {},
     nullptr,
     kDoc,
     false,
     &F::onWindowTile},
    {cmd::WindowArrange,
     "&Arrange Icons",
     "Line up the minimised windows along the bottom\nArrange Icons",
     {},
     nullptr,
     kDoc,
     false,
     &F::onWindowArrange},
    {cmd::NextPane,
     "",
     "Move to the next quilt window\nNext Window",
     {"F6"},
     nullptr,
     kDoc,
     false,
     &F::onNextPane},
    {cmd::PrevPane,
     "",
     "Move to the previous quilt window\nPrevious Window",
     {"Shift+F6"},
     nullptr,
     kDoc,
     false,
     &F::onPrevPane},

    {cmd::QuiltRandom,
     "Random New Fractal",
     "New Random Fractal of Current Type\nRandom",
     {},
     nullptr,
     kDoc,
     false,
     &F::onQuiltRandom},
    {cmd::QuiltChoose,
     "Choose Fractal",
     "Chose Type of Symetric Fractal\nChoose fractal",
     {},
     "choose",
     kDoc,
     false,
     &F::onQuiltDialog,
     &runChooseFractal,
     ViewUpdate::Rebuild},
    {cmd::QuiltDetail,
     "Toggle Detailed Generation",
     "",
     {},
     nullptr,
     kDoc,
     false,
     &F::onQuiltDialog,
     &runDetailSettings,
     ViewUpdate::None},
    {cmd::QuiltPeriod,
     "Set Image Period",
     "Set Period Displayed for Image and Bitmap\nSet period viewed",
     {},
     "period",
     kDoc,
     false,
     &F::onQuiltDialog,
     &runImagePeriod,
     ViewUpdate::Rebuild},
    {cmd::QuiltColors,
     "Set Image Colors",
     "Chose Color Set For Image\nChange Colors",
     {},
     "colors",
     kDoc,
     false,
     &F::onQuiltDialog,
     &runImageColors,
     ViewUpdate::RedrawUnlessPoly},
    {cmd::QuasiProperties,
     "Set Quazi Maping Properties",
     "Set properties of Quazi-crystal type tiling",
     {},
     nullptr,
     kDoc},
    {cmd::PolyProperties, "Set Poly Mapping Properties", "", {}, nullptr, kDoc},
    {cmd::QuiltReconstruct,
     "Re-Construct Current Image",
     "Update Current Image From Iteration Map\nRedraw current",
     {},
     "reconstruct",
     kDoc,
     false,
     &F::onQuiltReconstruct,
     nullptr,
     ViewUpdate::RedrawUnlessPoly},
    {cmd::QuiltIterations,
     "Iteration Maximum and Current",
     "Show Current Iterations and Maximum Iterations\nIteration count",
     {},
     "iterations",
     kDoc,
     false,
     &F::onQuiltDialog,
     &runIterationStatus,
     ViewUpdate::None},
    {cmd::QuasiDisplay,
     "",
     "Set quazi-crystal view and paramaters\nQuazi-crystal display",
     {},
     "quasi",
     kDoc},
    {cmd::PolyDisplay, "", "Set Poly-Map view and paramaters\nPoly-Map display", {}, "poly", kDoc},

    {cmd::SaveBmp,
     "Save ('.bmp') of Fractal image",
     "Save the picture as a BMP file\nSave BMP",
     {"Ctrl+B"},
     "save-bmp",
     kDoc},
    {cmd::SaveJpeg,
     "Save ('.jpg') of Fractal image",
     "Save the picture as a JPEG file\nSave JPEG",
     {"Ctrl+J"},
     "save-jpeg",
     kDoc},
    {cmd::SaveTiff,
     "Save ('.tif') of Fractal image",
     "Save the picture as a TIFF file\nSave TIFF",
     {},
     nullptr,
     kDoc},
    {cmd::SaveTiffButton, "", "Save the picture as a TIFF file\nSave TIFF", {}, "save-tiff", kDoc},
    {cmd::SaveGif,
     "Save ('.gif') of Fractal image",
     "Save the picture as a GIF file\nSave GIF",
     {},
     "save-gif",
     kDoc},
    {cmd::SaveWindowJpeg,
     "Save 'jpeg' of Selected Window",
     "Save what the active window shows as a JPEG file\nSave Window",
     {"Ctrl+W"},
     nullptr,
     kDoc},

    {cmd::HelpFinder,
     "&Help Topics",
     "List the help topics\nHelp Topics",
     {},
     nullptr,
     kApp,
     false,
     &F::onHelpFinder},
    {cmd::AppAbout,
     "&About ZARN80...",
     "Show the program's name, version and notice\nAbout",
     {},
     "about",
     kApp,
     false,
     &F::onAppAbout},
    {cmd::ContextHelp,
     "",
     "Click a button, a menu item or a window to learn what it does\nHelp",
     {"Shift+F1"},
     "context-help",
     kApp,
     false,
     &F::onContextHelp},
    {cmd::Help,
     "",
     "Show help on the quilt windows\nHelp",
     {"F1"},
     nullptr,
     kApp,
     false,
     &F::onHelp},
};

const std::vector<MenuLayout> kAppMenus = {
    {"&File",
     {cmd::FileNew, cmd::FileOpen, kSeparator, cmd::FilePrintSetup, kSeparator, kRecentFiles,
      kSeparator, cmd::AppExit}},
    {"&View", {cmd::ViewToolbar, cmd::ViewStatusBar}},
    {"&Help", {cmd::HelpFinder, kSeparator, cmd::AppAbout}},
};

const std::vector<MenuLayout> kDocumentMenus = {
    {"&File",
     {cmd::FileNew, cmd::FileOpen, cmd::FileSaveSession, cmd::FileSaveSessionAs, cmd::FileClose,
      kSeparator, cmd::PrintWhat, cmd::FilePrint, cmd::FilePrintPreview, cmd::FilePrintSetup,
      kSeparator, kRecentFiles, kSeparator, cmd::AppExit}},
    {"&Edit", {cmd::EditUndo, kSeparator, cmd::EditCopy}},
    {"&View", {cmd::ViewToolbar, cmd::ViewStatusBar, kSeparator, cmd::ViewQuasi, cmd::ViewPoly}},
    {"&Window",
     {cmd::WindowNew, cmd::WindowCascade, cmd::WindowTile, cmd::WindowArrange, kWindowList}},
    {"&Quilt",
     {cmd::QuiltRandom, cmd::QuiltChoose, cmd::QuiltDetail, kSeparator, cmd::QuiltPeriod,
      cmd::QuiltColors, kSeparator, cmd::QuasiProperties, cmd::PolyProperties, kSeparator,
      cmd::QuiltReconstruct, cmd::QuiltIterations, kSeparator, cmd::SaveBmp, cmd::SaveJpeg,
      cmd::SaveTiff, cmd::SaveGif, cmd::SaveWindowJpeg}},
    {"&Help", {cmd::HelpFinder, kSeparator, cmd::AppAbout}},
};

const int kToolbar[] = {
    cmd::FileNew,         cmd::FileOpen,    cmd::FileSaveSession,  kSeparator,
    cmd::EditCopy,        cmd::FilePrint,   cmd::SaveBmp,          cmd::SaveTiffButton,
    cmd::SaveJpeg,        cmd::SaveGif,     cmd::QuiltChoose,      cmd::QuasiDisplay,
    cmd::PolyDisplay,     kSeparator,       cmd::QuiltColors,      cmd::QuiltPeriod,
    cmd::QuiltIterations, kSeparator,       cmd::QuiltReconstruct, kSeparator,
    cmd::AppAbout,        cmd::ContextHelp,
};

} // namespace

QString Command::statusPrompt() const {
    return QString::fromUtf8(prompt).section(QLatin1Char('\n'), 0, 0);
}

QString Command::toolTip() const {
    QString tip = QString::fromUtf8(prompt).section(QLatin1Char('\n'), 1, 1);
    if (tip.isEmpty()) {
        // The menu text without its mnemonic and accelerator column.
        tip = QString::fromUtf8(text).section(QLatin1Char('\t'), 0, 0).remove(QLatin1Char('&'));
    }
    if (keys[0] != nullptr) {
        tip += QStringLiteral(" (%1)").arg(
            QKeySequence(QString::fromLatin1(keys[0])).toString(QKeySequence::NativeText));
    }
    return tip;
}

QList<QKeySequence> Command::shortcuts() const {
    QList<QKeySequence> list;
    for (const char* key : keys) {
        if (key != nullptr) {
            list.append(QKeySequence(QString::fromLatin1(key), QKeySequence::PortableText));
        }
    }
    return list;
}

std::span<const Command> commandTable() {
    return kCommands;
}

const Command* findCommand(int id) {
    const auto it = std::find_if(std::begin(kCommands), std::end(kCommands),
                                 [id](const Command& c) { return c.id == id; });
    return it == std::end(kCommands) ? nullptr : &*it;
}

const std::vector<MenuLayout>& appMenus() {
    return kAppMenus;
}

const std::vector<MenuLayout>& documentMenus() {
    return kDocumentMenus;
}

std::span<const int> toolbarLayout() {
    return kToolbar;
}

} // namespace zarn::app
