#include "DialogTestSupport.h"
#include "app/dialogs/ColorControlDialog.h"
#include "app/dialogs/Dialogs.h"
#include "engine/CRandom.h"
#include "render/ColorSetRecord.h"

#include <QColorDialog>
#include <QFileDialog>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace zarn::app {
namespace {

using namespace testing_support;

/** A colour set with its history attached, so that shares and percents are live. */
struct Colors {
    ColorSetHistory history{};
    ColorC set{3.0};

    Colors() {
        set.LoadFromHistory(history);
        set.red = {10, 200, 30, 40, 50, 60};
        set.green = {20, 100, 30, 40, 50, 60};
        set.blue = {30, 0, 30, 40, 50, 60};
    }
};

/** Most cells low, a tail of dense ones: every band gets room in the strip. */
LevelHistogram sampleHistogram() {
    LevelHistogram h{};
    for (int i = 0; i < 400; ++i) {
        h[static_cast<std::size_t>(i)] = 1.0 / 400.0;
    }
    return h;
}

void randomFromFixedSeed(ColorC& c) {
    CRandom generator;
    generator.seed(11);
    c.RandomColors(generator);
}

std::unique_ptr<ColorControlDialog> colorDialog(const ColorC& colors) {
    return std::make_unique<ColorControlDialog>(colors, Palette{}, sampleHistogram(),
                                                randomFromFixedSeed);
}

struct ButtonCase {
    const char* name;
    const char* button;
    std::function<void(ColorC&)> expected;
};

class ColorButtonTest : public ::testing::TestWithParam<ButtonCase> {};

TEST_P(ColorButtonTest, ButtonRunsTheSetsOperationAndShowsTheResult) {
    const ButtonCase& c = GetParam();
    Colors colors;
    colors.set.SetUseColors34(true);
    const auto dialog = colorDialog(colors.set);
    dialog->show();
    ColorC expected = colors.set;
    c.expected(expected);

    named(dialog.get(), QString::fromUtf8(c.button))->click();

    const ColorC& got = dialog->colors();
    EXPECT_EQ(got.fraction, expected.fraction);
    EXPECT_EQ(got.increment, expected.increment);
    EXPECT_EQ(got.red, expected.red);
    EXPECT_EQ(got.useColors34, expected.useColors34);
    EXPECT_EQ(got.useColors56, expected.useColors56);
    for (int k = 0; k < ColorC::kColors; ++k) {
        auto* percent = dialog->findChild<QLineEdit*>(QStringLiteral("Percent %1").arg(k + 1));
        ASSERT_NE(percent, nullptr);
        EXPECT_EQ(percent->text(),
                  QString::number(expected.percent[static_cast<std::size_t>(k)], 'g', 6));
    }
    EXPECT_EQ(qobject_cast<QLineEdit*>(dialog->field(QStringLiteral("Increment")))->text(),
              numberText(expected.increment));
}

INSTANTIATE_TEST_SUITE_P(
    Buttons, ColorButtonTest,
    ::testing::Values(
        ButtonCase{"PlusOne", "plus1", [](ColorC& c) { c.increaseShareButton(0); }},
        ButtonCase{"MinusTwo", "minus2", [](ColorC& c) { c.decreaseShareButton(1); }},
        ButtonCase{"PlusFiveInactive", "plus5", [](ColorC& c) { c.increaseShareButton(4); }},
        ButtonCase{"DoubleIncrement", "incrementPlus", [](ColorC& c) { c.doubleIncrement(); }},
        ButtonCase{"HalveIncrement", "incrementMinus", [](ColorC& c) { c.halveIncrement(); }},
        ButtonCase{"SwitchOffThreeAndFour", "Use colors 3 and 4",
                   [](ColorC& c) { c.SetUseColors34(false); }},
        ButtonCase{"SwitchOnFiveAndSix", "Use colors 5 and 6",
                   [](ColorC& c) { c.SetUseColors56(true); }},
        ButtonCase{"Random", "random", randomFromFixedSeed}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ColorControlTest, ButtonTakesTheTypedValuesFirst) {
    Colors colors;
    const auto dialog = colorDialog(colors.set);
    dialog->show();
    setField(*dialog, QStringLiteral("Red 2"), QStringLiteral("77"));
    named(dialog.get(), QStringLiteral("Fix 1"))->click();
    named(dialog.get(), QStringLiteral("plus1"))->click();
    EXPECT_EQ(dialog->colors().red[1], 77);
    EXPECT_EQ(dialog->colors().fixed[0], 1);
    EXPECT_EQ(dialog->colors().fraction, colors.set.fraction) << "a fixed colour keeps its share";
}

struct RefusalCase {
    const char* name;
    const char* key;
    const char* text;
    const char* message;
};

class ColorRefusalTest : public ::testing::TestWithParam<RefusalCase> {};

TEST_P(ColorRefusalTest, RefusedValueStopsTheButton) {
    const RefusalCase& c = GetParam();
    Colors colors;
    const auto dialog = colorDialog(colors.set);
    dialog->show();
    const std::vector<QString> messages = typeAndPress(
        *dialog, c.key, c.text, named(dialog.get(), QStringLiteral("Use colors 3 and 4")));

    expectRefused(*dialog, messages, c.key, c.message);
    EXPECT_EQ(dialog->colors().useColors34, 0);
    EXPECT_FALSE(named(dialog.get(), QStringLiteral("Use colors 3 and 4"))->isChecked())
        << "a switch that did not happen is shown as it stands";
    EXPECT_EQ(dialog->colors().fraction, colors.set.fraction);
}

INSTANTIATE_TEST_SUITE_P(
    Fields, ColorRefusalTest,
    ::testing::Values(RefusalCase{"ChannelAbove255", "Green 4", "256",
                                  "Please enter an integer between 0 and 255."},
                      RefusalCase{"ChannelUnreadable", "Blue 1", "ff", "Please enter an integer."},
                      RefusalCase{"IncrementAboveRange", "Increment", "0.16",
                                  "Please enter a number between 1e-06 and 0.1."}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ColorControlTest, StripFollowsAColourAsItIsTyped) {
    Colors colors;
    const auto dialog = colorDialog(colors.set);
    const QImage before = dialog->strip()->image();
    setField(*dialog, QStringLiteral("Green 1"), QStringLiteral("255"));
    EXPECT_NE(dialog->strip()->image(), before);
    setField(*dialog, QStringLiteral("Green 1"), QStringLiteral("2x"));
    EXPECT_EQ(dialog->strip()->image(), before) << "unreadable text shows the set's own colour";
}

TEST(ColorControlTest, SelectOffersBlackAndTakesTheChosenColour) {
    Colors colors;
    const auto dialog = colorDialog(colors.set);
    dialog->show();
    QColor offered;
    ModalDriver driver({[&](QWidget* w) {
        auto* chooser = dynamic_cast<QColorDialog*>(w);
        ASSERT_NE(chooser, nullptr);
        offered = chooser->currentColor();
        chooser->setCurrentColor(QColor(1, 2, 3));
        chooser->accept();
    }});
    driver.ignore(dialog.get());
    named(dialog.get(), QStringLiteral("select6"))->click();
    EXPECT_EQ(offered, QColor(Qt::black));
    EXPECT_EQ(dialog->colors().red[5], 1);
    EXPECT_EQ(dialog->colors().green[5], 2);
    EXPECT_EQ(dialog->colors().blue[5], 3);
    EXPECT_EQ(qobject_cast<QLineEdit*>(dialog->field(QStringLiteral("Blue 6")))->text(),
              QStringLiteral("3"));
}

TEST(ColorControlTest, WriteAndReadAColourFileThroughTheFileDialogs) {
    const QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("warm"));
    Colors colors;
    const auto dialog = colorDialog(colors.set);
    dialog->show();
    QStringList filters;
    QString suffix;
    const auto choose = [&](const QString& file) {
        return [&, file](QWidget* w) {
            auto* files = dynamic_cast<QFileDialog*>(w);
            ASSERT_NE(files, nullptr);
            filters = files->nameFilters();
            suffix = files->defaultSuffix();
            // Typed, as a user would; the dialog adds the default suffix.
            files->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(file);
            static_cast<QDialog*>(files)->accept();
        };
    };
    {
        ModalDriver driver({choose(path)});
        driver.ignore(dialog.get());
        named(dialog.get(), QStringLiteral("write"))->click();
        EXPECT_TRUE(driver.stepsDone());
        EXPECT_TRUE(driver.unexpected.empty());
    }
    EXPECT_EQ(filters, QStringList{QStringLiteral("QCL FILES (*.qcl)")});
    EXPECT_EQ(suffix, QStringLiteral("qcl"));
    const QString written = path + QStringLiteral(".qcl");
    ASSERT_TRUE(QFileInfo::exists(written)) << "the default suffix is added";

    setField(*dialog, QStringLiteral("Red 1"), QStringLiteral("99"));
    {
        ModalDriver driver({choose(written)});
        driver.ignore(dialog.get());
        named(dialog.get(), QStringLiteral("read"))->click();
    }
    EXPECT_EQ(dialog->colors().red[0], colors.set.red[0]);
    EXPECT_EQ(qobject_cast<QLineEdit*>(dialog->field(QStringLiteral("Red 1")))->text(),
              QString::number(colors.set.red[0]));
    EXPECT_EQ(dialog->colors().nameString(), written.toStdString());
}

// ---- Set Image Colors on a document -------------------------------------------------------

struct ColorState {
    std::array<std::int32_t, 6> red;
    std::array<double, 6> fraction;
    std::int32_t useColors34;
    std::int32_t sequence;
    std::uint8_t firstRed;

    bool operator==(const ColorState&) const = default;
};

ColorState colorStateOf(CZARN40Doc& doc) {
    ScopedPause pause(doc);
    const QuiltState& s = doc.State(pause);
    return {s.colorSet.red, s.colorSet.fraction, s.colorSet.useColors34, s.colorSet.sequence,
            s.palette[0].red};
}

TEST(ImageColorsTest, CancelRestoresTheSetAsItWasAndOkAppliesTheEdit) {
    const auto doc = quietDocument();
    doc->BeginEditColors();
    const ColorState before = colorStateOf(*doc);
    const auto edit = [](QWidget* w) {
        named(w, QStringLiteral("Use colors 3 and 4"))->click();
        named(w, QStringLiteral("plus3"))->click();
        setField(dynamic_cast<FieldDialog&>(*w), QStringLiteral("Red 1"), QStringLiteral("9"));
    };

    {
        ModalDriver cancel({pressCancel(edit)});
        EXPECT_FALSE(runImageColors(nullptr, *doc));
        EXPECT_EQ(colorStateOf(*doc), before);
    }

    ModalDriver ok({pressOk(edit)});
    EXPECT_TRUE(runImageColors(nullptr, *doc));
    const ColorState after = colorStateOf(*doc);
    EXPECT_EQ(after.red[0], 9);
    EXPECT_EQ(after.useColors34, 1);
    EXPECT_GT(after.fraction[2], before.fraction[2]);
    EXPECT_EQ(after.sequence, before.sequence + 1) << "OK commits the set to the history";
}

} // namespace
} // namespace zarn::app
