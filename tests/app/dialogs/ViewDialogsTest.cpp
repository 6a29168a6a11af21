#include "app/dialogs/ViewDialogs.h"
#include "DialogTestSupport.h"

#include <QLabel>
#include <QPushButton>

#include <gtest/gtest.h>

namespace zarn::app {
namespace {

using namespace testing_support;

// ---- "Chose View Mapping" ------------------------------------------------------------------

struct OpeningCase {
    const char* name;
    int kind;
    /** The box checked on opening; -1 for none. */
    int checked;
};

class NewViewMapOpening : public ::testing::TestWithParam<OpeningCase> {};

TEST_P(NewViewMapOpening, ChecksTheBoxOfTheCurrentKind) {
    const OpeningCase& c = GetParam();
    const NEWVIEWMAP dialog(c.kind);
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Chose View Mapping"));
    for (std::size_t i = 0; i < kPolyTilings.size(); ++i) {
        EXPECT_EQ(dialog.box(i)->text(), QString::fromLatin1(kPolyTilings[i].label));
        EXPECT_EQ(dialog.box(i)->isChecked(), static_cast<int>(i) == c.checked) << i;
    }
    const int expected =
        c.checked < 0 ? -1 : kPolyTilings[static_cast<std::size_t>(c.checked)].kind;
    EXPECT_EQ(dialog.kind(-1), expected);
}

// Kind 4 builds 4.6.12 but is not offered: no box; any other unknown kind opens on "4.8.8".
INSTANTIATE_TEST_SUITE_P(Kinds, NewViewMapOpening,
                         ::testing::Values(OpeningCase{"Kind0", 0, 0}, OpeningCase{"Kind1", 1, 1},
                                           OpeningCase{"Kind2", 2, 2}, OpeningCase{"Kind3", 3, 3},
                                           OpeningCase{"Kind5", 5, 4},
                                           OpeningCase{"Kind4ChecksNone", 4, -1},
                                           OpeningCase{"UnknownKindChecks488", 9, 0}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(NewViewMapTest, PressingABoxChecksItAndClearsTheOthers) {
    NEWVIEWMAP dialog(0);
    dialog.box(3)->click();
    dialog.box(3)->click();
    for (std::size_t i = 0; i < kPolyTilings.size(); ++i) {
        EXPECT_EQ(dialog.box(i)->isChecked(), i == 3) << i;
    }
    EXPECT_EQ(dialog.kind(-1), 3);
}

// ---- "Print scaled to page or tile" ----------------------------------------------------------

TEST(HowPrintDialogTest, TheTwoBoxesActAsAPair) {
    HOWPRINTDIALOG dialog(false);
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Print scaled to page or tile"));
    EXPECT_FALSE(dialog.scaleBox()->isChecked());
    EXPECT_TRUE(dialog.tileBox()->isChecked());
    dialog.scaleBox()->click();
    dialog.scaleBox()->click();
    EXPECT_TRUE(dialog.scaleBox()->isChecked());
    EXPECT_FALSE(dialog.tileBox()->isChecked());
    EXPECT_TRUE(dialog.scaleToPage());
    dialog.tileBox()->click();
    EXPECT_FALSE(dialog.scaleToPage());
}

TEST(HowPrintDialogTest, OkTakesTheChoiceCancelKeepsItAndTheQuasiCrystalPrintsPixelForPixel) {
    const auto chooseScale = [](QWidget* w) {
        dynamic_cast<HOWPRINTDIALOG&>(*w).scaleBox()->click();
    };
    {
        ModalDriver driver({pressOk(chooseScale)});
        EXPECT_TRUE(runPrintWhat(nullptr, false, false));
    }
    {
        ModalDriver driver({pressCancel(chooseScale)});
        EXPECT_FALSE(runPrintWhat(nullptr, false, false));
    }
    {
        ModalDriver driver({pressCancel()});
        EXPECT_TRUE(runPrintWhat(nullptr, true, false));
    }
    ModalDriver driver({pressOk(chooseScale)});
    EXPECT_FALSE(runPrintWhat(nullptr, true, true));
}

// ---- The properties dialogs ----------------------------------------------------------------

TEST(QuaziPropTest, CancelChangesNothingAndOkAppliesTheViewAndANewLineSetCount) {
    const auto doc = quietDocument();
    const QuaziPropValues before = FillQuaziProp(*doc);
    const auto edit = [](QWidget* w) {
        check(w, QStringLiteral("Use Quazi view of bitmap"), true);
        setField(dynamic_cast<FieldDialog&>(*w), QStringLiteral("Line set count"),
                 QStringLiteral("6"));
    };
    {
        ModalDriver driver({pressCancel(edit)});
        EXPECT_FALSE(runQuaziProperties(nullptr, *doc));
        const QuaziPropValues after = FillQuaziProp(*doc);
        EXPECT_FALSE(after.useQuaziView);
        EXPECT_EQ(after.lineSetCount, before.lineSetCount);
    }

    QString note;
    QString title;
    ModalDriver driver({pressOk([&](QWidget* w) {
        title = w->windowTitle();
        for (auto* label : w->findChildren<QLabel*>()) {
            note += label->text();
        }
        edit(w);
    })});
    const std::optional<ViewChange> change = runQuaziProperties(nullptr, *doc);
    ASSERT_TRUE(change);
    EXPECT_EQ(title, QStringLiteral("Quzi-cystal view properties"));
    EXPECT_TRUE(note.contains(QString::fromLatin1(QuaziProp::kNote)));
    EXPECT_TRUE(change->views.quaziView);
    EXPECT_FALSE(change->views.polyView);
    EXPECT_TRUE(change->changed);
    EXPECT_EQ(FillQuaziProp(*doc).lineSetCount, 6);
}

TEST(PolyViewTest, TheChooseButtonPicksTheTilingThatOkApplies) {
    const auto doc = quietDocument();
    QString title;
    QString shownTiling;
    ModalDriver driver({[&](QWidget* w) {
                            title = w->windowTitle();
                            auto& dialog = dynamic_cast<POLYVIEW&>(*w);
                            EXPECT_EQ(dialog.chooseButton()->text(),
                                      QStringLiteral("PRESS TO Choose a new PolyView"));
                            check(w, QStringLiteral("Use Poly Mapping view"), true);
                            dialog.chooseButton()->click();
                        },
                        pressOk([](QWidget* w) {
                            auto& choice = dynamic_cast<NEWVIEWMAP&>(*w);
                            EXPECT_TRUE(choice.box(0)->isChecked()) << "opens on 4.8.8";
                            choice.box(3)->click();
                        }),
                        pressOk([&](QWidget* w) {
                            shownTiling = w->findChild<QLabel*>(QStringLiteral("tiling"))->text();
                        })});
    const std::optional<ViewChange> change = runPolyProperties(nullptr, *doc);
    EXPECT_TRUE(driver.stepsDone());
    ASSERT_TRUE(change);
    EXPECT_EQ(title, QStringLiteral("POLY VIEW SETTINGS"));
    EXPECT_EQ(shownTiling, QStringLiteral("Tiling: 3.12.12"));
    EXPECT_TRUE(change->views.polyView);
    EXPECT_TRUE(change->changed);
    const PolyViewValues after = FillPolyView(*doc);
    EXPECT_EQ(after.tiling, 3);
    EXPECT_TRUE(after.usePolyView);
}

TEST(PolyViewTest, CancelLeavesTheTilingAndTheViewAsTheyWere) {
    const auto doc = quietDocument();
    ModalDriver driver({[](QWidget* w) {
                            check(w, QStringLiteral("Use Poly Mapping view"), true);
                            dynamic_cast<POLYVIEW&>(*w).chooseButton()->click();
                        },
                        pressOk([](QWidget* w) { dynamic_cast<NEWVIEWMAP&>(*w).box(1)->click(); }),
                        pressCancel()});
    EXPECT_FALSE(runPolyProperties(nullptr, *doc));
    const PolyViewValues after = FillPolyView(*doc);
    EXPECT_EQ(after.tiling, PolyMapping::kDefaultTiling);
    EXPECT_FALSE(after.usePolyView);
}

} // namespace
} // namespace zarn::app
