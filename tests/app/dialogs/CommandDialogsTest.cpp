#include "DialogTestSupport.h"
#include "app/dialogs/ChooseMapAll.h"
#include "app/dialogs/Dialogs.h"
#include "document/DialogApply.h"

#include <QCheckBox>
#include <QLabel>

#include <gtest/gtest.h>

namespace zarn::app {
namespace {

using namespace testing_support;

QuiltState& stateOf(CZARN40Doc& doc) {
    ScopedPause pause(doc);
    return doc.State(pause);
}

// ---- Choose Fractal -----------------------------------------------------------------------

class ChooseFractalKeepsFamily : public ::testing::TestWithParam<MapFamily> {};

TEST_P(ChooseFractalKeepsFamily, OkWithNoRadioPressedKeepsTheFamily) {
    const MapFamily family = GetParam();
    const auto doc = quietDocument();
    doc->SelectFamily(family);
    const std::string nameBefore = doc->snapshot().quiltName;
    bool radioState = false;
    bool hasRadio = false;
    ModalDriver driver({pressOk([&](QWidget* w) {
        auto* dialog = dynamic_cast<ChooseMapAll*>(w);
        ASSERT_NE(dialog, nullptr);
        QAbstractButton* radio = dialog->familyButton(family);
        hasRadio = radio != nullptr;
        radioState = radio != nullptr && radio->isChecked();
        int checked = 0;
        for (MapFamily f : kAllFamilies) {
            QAbstractButton* b = dialog->familyButton(f);
            checked += b != nullptr && b->isChecked() ? 1 : 0;
        }
        EXPECT_EQ(checked, hasRadio ? 1 : 0);
    })});

    EXPECT_TRUE(runChooseFractal(nullptr, *doc));
    EXPECT_TRUE(driver.stepsDone());
    EXPECT_TRUE(driver.unexpected.empty());
    EXPECT_EQ(radioState, hasRadio) << "the current family's radio button starts checked";
    EXPECT_EQ(doc->CurrentFamily(), family);
    EXPECT_NE(doc->snapshot().quiltName, nameBefore) << "a new random quilt is drawn";
}

INSTANTIATE_TEST_SUITE_P(EveryFamily, ChooseFractalKeepsFamily, ::testing::ValuesIn(kAllFamilies),
                         [](const auto& info) { return std::string(familyName(info.param)); });

struct FamilyDialogsCase {
    const char* name;
    MapFamily family;
    bool detailed;
    std::vector<QString> titles;
};

class ChooseFractalDialogs : public ::testing::TestWithParam<FamilyDialogsCase> {};

TEST_P(ChooseFractalDialogs, RandomSettingsOffShowsTheFamilysDialog) {
    const FamilyDialogsCase& c = GetParam();
    const auto doc = quietDocument();
    std::vector<QString> shown;
    const auto cancelAndNote = pressCancel([&](QWidget* w) { shown.push_back(w->windowTitle()); });
    ModalDriver driver({pressOk([&](QWidget* w) {
                            auto* dialog = dynamic_cast<ChooseMapAll*>(w);
                            ASSERT_NE(dialog, nullptr);
                            dialog->familyButton(c.family)->click();
                            check(w, QStringLiteral("Use Random Settings"), false);
                            check(w, QStringLiteral("Use Detailed Square Map"), c.detailed);
                            check(w, QStringLiteral("Use Detailed Hex Map"), c.detailed);
                        }),
                        cancelAndNote});

    EXPECT_TRUE(runChooseFractal(nullptr, *doc));
    EXPECT_EQ(shown, c.titles);
    EXPECT_TRUE(driver.unexpected.empty());
    EXPECT_EQ(doc->CurrentFamily(), c.family);
}

INSTANTIATE_TEST_SUITE_P(
    Families, ChooseFractalDialogs,
    ::testing::Values(
        FamilyDialogsCase{
            "Square", MapFamily::Square, false, {QStringLiteral("Set Square Quilt ")}},
        FamilyDialogsCase{
            "DetailedSquare", MapFamily::Square, true, {QStringLiteral("All Coificients Dialog")}},
        FamilyDialogsCase{"Hex", MapFamily::Hex, false, {QStringLiteral("Set Hex Quilt ")}},
        FamilyDialogsCase{
            "DetailedHex", MapFamily::Hex, true, {QStringLiteral("Hex Detailing Coificents")}},
        FamilyDialogsCase{
            "WildCorner", MapFamily::SquareX, false, {QStringLiteral("Corner Wild Coificents")}},
        FamilyDialogsCase{"ExpA", MapFamily::ExpA, false, {}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ChooseFractalTest, ChangingTheDetailChoiceShowsTheOtherDialogAndAppliesTypedValues) {
    const auto doc = quietDocument();
    std::vector<QString> shown;
    ModalDriver driver(
        {pressOk([](QWidget* w) {
             check(w, QStringLiteral("Use Random Settings"), false);
             check(w, QStringLiteral("Use Detailed Square Map"), false);
             dynamic_cast<ChooseMapAll*>(w)->familyButton(MapFamily::Square)->click();
         }),
         pressOk([&](QWidget* w) {
             shown.push_back(w->windowTitle());
             auto& dialog = dynamic_cast<FieldDialog&>(*w);
             setField(dialog, QStringLiteral("Lamba [-0.2,  0.2]"), QStringLiteral("0.15"));
             check(w, QStringLiteral("Use Detailed Square Settings"), true);
         }),
         pressCancel([&](QWidget* w) { shown.push_back(w->windowTitle()); })});

    EXPECT_TRUE(runChooseFractal(nullptr, *doc));
    EXPECT_EQ(shown, (std::vector<QString>{QStringLiteral("Set Square Quilt "),
                                           QStringLiteral("All Coificients Dialog")}));
    const QuiltState& s = stateOf(*doc);
    EXPECT_EQ(s.sqrMap.lambda, 0.15);
    EXPECT_TRUE(s.useDetailedSquare());
    EXPECT_EQ(s.useRandomSettings, 0);
}

TEST(ChooseFractalTest, CancelChangesNothing) {
    const auto doc = quietDocument();
    const DocumentSnapshot before = doc->snapshot();
    ModalDriver driver({pressCancel([](QWidget* w) {
        dynamic_cast<ChooseMapAll*>(w)->familyButton(MapFamily::Hex)->click();
    })});
    EXPECT_FALSE(runChooseFractal(nullptr, *doc));
    EXPECT_EQ(doc->CurrentFamily(), before.family);
    EXPECT_EQ(doc->snapshot().quiltName, before.quiltName);
}

// ---- The other commands: OK applies, Cancel changes nothing --------------------------------

TEST(IterationStatusTest, OkStoresTheLimitAndCancelKeepsIt) {
    const auto doc = quietDocument();
    stateOf(*doc).status.stepCount.store(1500000000u);
    {
        ModalDriver cancel({pressCancel([](QWidget* w) {
            setField(dynamic_cast<FieldDialog&>(*w), QStringLiteral("Max Iterations"),
                     QStringLiteral("5000000"));
        })});
        EXPECT_FALSE(runIterationStatus(nullptr, *doc));
        EXPECT_EQ(doc->maxSteps(), CZARN40Doc::kDefaultMaxSteps);
    }

    ModalDriver ok({pressOk([](QWidget* w) {
        setField(dynamic_cast<FieldDialog&>(*w), QStringLiteral("Max Iterations"),
                 QStringLiteral("3000000000"));
    })});
    EXPECT_TRUE(runIterationStatus(nullptr, *doc)) << "a count past 1,000,000,000 is no obstacle";
    EXPECT_TRUE(ok.messages.empty());
    EXPECT_EQ(doc->maxSteps(), 3000000000u);
    EXPECT_EQ(doc->stepCount(), 1500000000u) << "the shown count is not written back";
}

TEST(ImagePeriodTest, ZeroIsStoredAndCancelKeepsThePeriod) {
    const auto doc = quietDocument();
    const int before = doc->snapshot().viewPeriod;
    {
        ModalDriver cancel({pressCancel([](QWidget* w) {
            setField(dynamic_cast<FieldDialog&>(*w), QStringLiteral("Period of Window View"),
                     QStringLiteral("5"));
        })});
        EXPECT_FALSE(runImagePeriod(nullptr, *doc));
        EXPECT_EQ(doc->snapshot().viewPeriod, before);
    }

    ModalDriver ok({pressOk([](QWidget* w) {
        setField(dynamic_cast<FieldDialog&>(*w), QStringLiteral("Period of Window View"),
                 QStringLiteral("0"));
    })});
    EXPECT_TRUE(runImagePeriod(nullptr, *doc));
    EXPECT_EQ(stateOf(*doc).viewPeriod, 0) << "stored as typed";
    EXPECT_EQ(doc->snapshot().viewPeriod, 1) << "and shown as one period";
}

TEST(DetailSettingsTest, OnlyASquareChangeRedrawsTheQuilt) {
    const auto doc = quietDocument();
    const DetailValues before = FillDetail(*doc);
    {
        ModalDriver hexOnly({pressOk([&](QWidget* w) {
            check(w, QStringLiteral("Use Detailed Hex "), !before.useDetailedHex);
        })});
        EXPECT_FALSE(runDetailSettings(nullptr, *doc));
        EXPECT_EQ(FillDetail(*doc).useDetailedHex, before.useDetailedHex);
    }

    ModalDriver square({pressOk([](QWidget* w) {
        setField(dynamic_cast<FieldDialog&>(*w), QStringLiteral("Square Detailing Depth"),
                 QStringLiteral("4"));
    })});
    EXPECT_TRUE(runDetailSettings(nullptr, *doc));
    EXPECT_EQ(FillDetail(*doc).squareDetailDepth, 4u);
}

TEST(ConvergedNoticeTest, ShowsTheNoticeWithOkOnly) {
    QString text;
    bool cancel = true;
    ModalDriver driver({pressOk([&](QWidget* w) {
        for (auto* label : w->findChildren<QLabel*>()) {
            text += label->text();
        }
        cancel = boxButton(w, QDialogButtonBox::Cancel) != nullptr;
        EXPECT_TRUE(w->windowTitle().isEmpty());
    })});
    runConvergedNotice(nullptr);
    EXPECT_TRUE(driver.stepsDone());
    EXPECT_EQ(text, QStringLiteral(
                        "This Quilt converged to too few points. Restart it with a new Setup."));
    EXPECT_FALSE(cancel);
}

} // namespace
} // namespace zarn::app
