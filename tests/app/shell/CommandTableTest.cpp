#include "app/CommandTable.h"
#include "ShellTestSupport.h"

#include <QMdiArea>
#include <QMenu>
#include <QMenuBar>
#include <QTest>
#include <QToolBar>

#include <map>
#include <string>
#include <vector>

namespace zarn::app::test {
namespace {

/** Stands for "a prompt of our own": the item has one, whatever its words. */
const char* const kOwnPrompt = "(own)";

struct ExpectedCommand {
    int id;
    /** Menu text; null for commands without a menu item. */
    const char* text;
    const char* prompt;
    /** The tool tip as shown, with its accelerator. */
    const char* toolTip;
    std::vector<const char*> keys;
};

// Menu texts, prompts, tool tips and accelerators as the program has always had them (the Quilt
// commands' prompts and tool tips with their spellings).
const std::vector<ExpectedCommand> kExpected = {
    {57600, "New", kOwnPrompt, "New (Ctrl+N)", {"Ctrl+N"}},
    {57601, "&Open...\tCtrl+O", kOwnPrompt, "Open (Ctrl+O)", {"Ctrl+O"}},
    {57603, "&Save Session", kOwnPrompt, "Save Session (Ctrl+S)", {"Ctrl+S"}},
    {57604, "Save Session As", kOwnPrompt, nullptr, {}},
    {57602, "&Close", kOwnPrompt, nullptr, {}},
    {32809, "Print What", kOwnPrompt, nullptr, {}},
    {57607, "&Print...\tCtrl+P", kOwnPrompt, "Print (Ctrl+P)", {"Ctrl+P"}},
    {57609, "Print Pre&view", kOwnPrompt, nullptr, {}},
    {57606, "P&rint Setup...", kOwnPrompt, nullptr, {}},
    {57665, "E&xit", kOwnPrompt, nullptr, {}},
    {57643, "&Undo\tCtrl+Z", kOwnPrompt, nullptr, {"Ctrl+Z", "Alt+Backspace"}},
    {57634, "&Copy\tCtrl+C", kOwnPrompt, "Copy (Ctrl+C)", {"Ctrl+C", "Ctrl+Ins"}},
    {57635, nullptr, kOwnPrompt, nullptr, {"Ctrl+X", "Shift+Del"}},
    {57637, nullptr, kOwnPrompt, nullptr, {"Ctrl+V", "Shift+Ins"}},
    {59392, "&Toolbar", kOwnPrompt, nullptr, {}},
    {59393, "&Status Bar", kOwnPrompt, nullptr, {}},
    {32805, "Quazi-Maping", "Toggle Quazi Crystal tiling view of sqare maps", nullptr, {"Ctrl+Q"}},
    {32810, "Poly Maping", "", nullptr, {}},
    {32900, "&Classic Level Scale", kOwnPrompt, "Classic Levels", {}},
    {32901, "&Robust Level Scale", kOwnPrompt, "Robust Levels", {}},
    {32902, "&Logarithmic Level Scale", kOwnPrompt, "Logarithmic Levels", {}},
    {57648, "&New Window", kOwnPrompt, nullptr, {}},
    {57650, "&Cascade", kOwnPrompt, nullptr, {}},
    {57651, "&Tile", kOwnPrompt, nullptr, {}},
    {57649, "&Arrange Icons", kOwnPrompt, nullptr, {}},
    {57680, nullptr, kOwnPrompt, nullptr, {"F6"}},
    {57681, nullptr, kOwnPrompt, nullptr, {"Shift+F6"}},
    {32771, "Random New Fractal", "New Random Fractal of Current Type", "Random", {}},
    {32903, "Skip Flat Quilts", kOwnPrompt, "Skip Flat Quilts", {}},
    {32772, "Choose Fractal", "Chose Type of Symetric Fractal", "Choose fractal", {}},
    {32773, "Toggle Detailed Generation", "", nullptr, {}},
    {32776,
     "Set Image Period",
     "Set Period Displayed for Image and Bitmap",
     "Set period viewed",
     {}},
    {32778, "Set Image Colors", "Chose Color Set For Image", "Change Colors", {}},
    {32806,
     "Set Quazi Maping Properties",
     "Set properties of Quazi-crystal type tiling",
     nullptr,
     {}},
    {32811, "Set Poly Mapping Properties", "", nullptr, {}},
    {32775,
     "Re-Construct Current Image",
     "Update Current Image From Iteration Map",
     "Redraw current",
     {}},
    {32777,
     "Iteration Maximum and Current",
     "Show Current Iterations and Maximum Iterations",
     "Iteration count",
     {}},
    {32841, "Threads per Quilt...", kOwnPrompt, nullptr, {}},
    {32808, nullptr, "Set quazi-crystal view and paramaters", "Quazi-crystal display", {}},
    {32813, nullptr, "Set Poly-Map view and paramaters", "Poly-Map display", {}},
    {32780, "Save ('.bmp') of Fractal image", kOwnPrompt, nullptr, {"Ctrl+B"}},
    {32802, "Save ('.jpg') of Fractal image", kOwnPrompt, nullptr, {"Ctrl+J"}},
    {32815, "Save ('.tif') of Fractal image", kOwnPrompt, nullptr, {}},
    {32817, nullptr, kOwnPrompt, nullptr, {}},
    {32821, "Save ('.gif') of Fractal image", kOwnPrompt, nullptr, {}},
    {32840, "Save ('.png') of Fractal image", kOwnPrompt, nullptr, {}},
    {32807, "Save 'jpeg' of Selected Window", kOwnPrompt, nullptr, {"Ctrl+W"}},
    {57667, "&Help Topics", kOwnPrompt, nullptr, {}},
    {57664, "&About ZARN80...", kOwnPrompt, nullptr, {}},
    {57669, nullptr, kOwnPrompt, nullptr, {"Shift+F1"}},
    {57670, nullptr, kOwnPrompt, nullptr, {"F1"}},
};

class CommandTableTest : public ShellTest {
protected:
    /** The menu bar as titles and item ids: 0 a separator, -1 the recent files. */
    std::vector<std::pair<QString, std::vector<int>>> menuBarItems() {
        std::vector<std::pair<QString, std::vector<int>>> menus;
        for (QAction* top : frame().menuBar()->actions()) {
            std::vector<int> items;
            for (QAction* item : top->menu()->actions()) {
                const int id = item->isSeparator() ? 0 : item->data().toInt();
                // The recent files, or the greyed "Recent File" while there are none.
                const bool recent = (id == 0 && !item->isSeparator()) ||
                                    (id >= cmd::FileRecent1 && id < cmd::FileRecent1 + 4);
                if (recent) {
                    if (items.empty() || items.back() != -1) {
                        items.push_back(-1);
                    }
                } else {
                    items.push_back(id);
                }
            }
            menus.emplace_back(top->text(), items);
        }
        return menus;
    }
};

TEST_F(CommandTableTest, EveryCommandHasItsTextPromptToolTipAndAccelerators) {
    ASSERT_EQ(commandTable().size(), kExpected.size());
    for (const ExpectedCommand& expected : kExpected) {
        SCOPED_TRACE(expected.id);
        QAction* action = frame().action(expected.id);
        ASSERT_NE(action, nullptr);
        if (expected.text != nullptr) {
            EXPECT_EQ(action->text(), QString::fromUtf8(expected.text));
        }
        if (expected.prompt == kOwnPrompt) {
            EXPECT_FALSE(action->statusTip().isEmpty());
        } else {
            EXPECT_EQ(action->statusTip(), QString::fromUtf8(expected.prompt));
        }
        if (expected.toolTip != nullptr) {
            EXPECT_EQ(action->toolTip(), QString::fromUtf8(expected.toolTip));
        }
        QList<QKeySequence> keys;
        for (const char* key : expected.keys) {
            keys.append(QKeySequence(QString::fromLatin1(key)));
        }
        EXPECT_EQ(action->shortcuts(), keys);
        if (!keys.isEmpty()) {
            EXPECT_TRUE(action->toolTip().endsWith(
                QStringLiteral("(%1)").arg(keys[0].toString(QKeySequence::NativeText))))
                << action->toolTip().toStdString();
        }
    }
}

TEST_F(CommandTableTest, NoAcceleratorRunsTwoCommands) {
    std::map<QString, int> owner;
    for (const Command& command : commandTable()) {
        for (const QKeySequence& key : command.shortcuts()) {
            const auto [it, added] = owner.emplace(key.toString(), command.id);
            EXPECT_TRUE(added) << key.toString().toStdString() << " runs " << it->second << " and "
                               << command.id;
        }
    }
}

TEST_F(CommandTableTest, WithoutADocumentTheMenuBarIsMenu128) {
    const std::vector<std::pair<QString, std::vector<int>>> expected = {
        {"&File", {57600, 57601, 0, 57606, 0, -1, 0, 57665}},
        {"&View", {59392, 59393}},
        {"&Help", {57667, 0, 57664}},
    };
    EXPECT_EQ(menuBarItems(), expected);
}

TEST_F(CommandTableTest, WithADocumentTheMenuBarIsMenu129AndBackWhenItCloses) {
    DocumentHost* host = openQuiet();
    ASSERT_NE(host, nullptr);
    const std::vector<std::pair<QString, std::vector<int>>> expected = {
        {"&File",
         {57600, 57601, 57603, 57604, 57602, 0, 32809, 57607, 57609, 57606, 0, -1, 0, 57665}},
        {"&Edit", {57643, 0, 57634}},
        {"&View", {59392, 59393, 0, 32805, 32810, 0, 32900, 32901, 32902}},
        {"&Window", {57648, 57650, 57651, 57649}},
        {"&Quilt", {32771, 32903, 32772, 32773, 0,     32776, 32778, 0,     32806, 32811, 0,
                    32775, 32777, 32841, 0,     32780, 32802, 32815, 32821, 32840, 32807}},
        {"&Help", {57667, 0, 57664}},
    };
    EXPECT_EQ(menuBarItems(), expected);

    frame().action(cmd::FileClose)->trigger();
    EXPECT_TRUE(app_->documents().empty());
    EXPECT_EQ(menuBarItems().size(), 3u);
}

TEST_F(CommandTableTest, ToolbarButtonsInOrderWithSeparators) {
    std::vector<int> buttons;
    for (QAction* action : frame().toolBar()->actions()) {
        buttons.push_back(action->isSeparator() ? 0 : action->data().toInt());
    }
    const std::vector<int> expected = {57600, 57601, 57603, 0,     57634, 57607, 32780, 32817,
                                       32802, 32821, 32772, 32808, 32813, 0,     32778, 32776,
                                       32777, 0,     32775, 0,     57664, 57669};
    EXPECT_EQ(buttons, expected);
    for (QAction* action : frame().toolBar()->actions()) {
        EXPECT_TRUE(action->isSeparator() || !action->icon().isNull()) << action->data().toInt();
    }
}

TEST_F(CommandTableTest, DocumentCommandsWaitForADocumentAndUnbuiltOnesStayDisabled) {
    const std::vector<int> unbuilt = {57643, 57635, 57637};
    const std::vector<int> always = {57600, 57601, 57665, 59392, 59393, 57667,
                                     57664, 57669, 57670, 57606, 32841, 32903};
    const std::vector<int> withDocument = {
        57603, 57604, 57648, 57650, 57651, 57649, 57680, 57681, 32771, 32772, 32773, 32776,
        32778, 32775, 32777, 57607, 57609, 32809, 57634, 32780, 32802, 32815, 32817, 32821,
        32840, 32807, 32805, 32806, 32808, 32810, 32811, 32813, 32900, 32901, 32902};
    const auto check = [&](bool documentOpen) {
        for (int id : always) {
            EXPECT_TRUE(frame().action(id)->isEnabled()) << id;
        }
        for (int id : withDocument) {
            EXPECT_EQ(frame().action(id)->isEnabled(), documentOpen) << id;
        }
    };
    check(false);
    openQuiet();
    check(true);
    EXPECT_TRUE(frame().action(cmd::FileClose)->isEnabled());
    for (int id : unbuilt) {
        EXPECT_FALSE(frame().action(id)->isEnabled()) << id;
    }
}

TEST_F(CommandTableTest, CtrlNOpensTheFirstQuiltWindow) {
    frame().activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&frame()));
    QTest::keyClick(&frame(), Qt::Key_N, Qt::ControlModifier);
    ASSERT_EQ(app_->documents().size(), 1u);
    EXPECT_EQ(frame().mdiArea()->subWindowList().size(), 1);
    EXPECT_EQ(frame().menuBar()->actions().size(), 6);
    EXPECT_TRUE(app_->documents().front()->doc().hasWorker());
}

} // namespace
} // namespace zarn::app::test
