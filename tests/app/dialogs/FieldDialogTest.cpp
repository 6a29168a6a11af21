#include "DialogTestSupport.h"
#include "app/dialogs/CoefficientDialogs.h"
#include "app/dialogs/SettingDialogs.h"
#include "app/dialogs/ViewDialogs.h"
#include "document/DialogApply.h"

#include <QGridLayout>

#include <gtest/gtest.h>

namespace zarn::app {
namespace {

using namespace testing_support;

using DialogFactory = std::function<std::unique_ptr<FieldDialog>(CZARN40Doc&)>;

template <typename Dialog, typename Fill> DialogFactory factory(Fill fill) {
    return [fill](CZARN40Doc& doc) { return std::make_unique<Dialog>(fill(doc)); };
}

struct RangeCase {
    const char* name;
    DialogFactory make;
    const char* key;
    const char* text;
    /** Empty when the value is accepted. */
    const char* message;
};

class FieldRangeTest : public ::testing::TestWithParam<RangeCase> {};

TEST_P(FieldRangeTest, RefusedValueKeepsTheDialogOpenAndFocusesTheField) {
    const RangeCase& c = GetParam();
    const auto doc = quietDocument();
    const std::unique_ptr<FieldDialog> dialog = c.make(*doc);
    dialog->show();
    ASSERT_NE(dialog->field(QString::fromUtf8(c.key)), nullptr) << c.key;
    const std::vector<QString> messages =
        typeAndPress(*dialog, c.key, c.text, boxButton(dialog.get(), QDialogButtonBox::Ok));

    if (QString::fromUtf8(c.message).isEmpty()) {
        EXPECT_TRUE(messages.empty()) << messages.front().toStdString();
        EXPECT_EQ(dialog->result(), QDialog::Accepted);
        EXPECT_FALSE(dialog->isVisible());
        return;
    }
    expectRefused(*dialog, messages, c.key, c.message);
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_NE(dialog->result(), QDialog::Accepted);
}

const DialogFactory kSetQuilt = factory<SETQUILT>(FillSetQuilt);
const DialogFactory kGeneralCoif = factory<GeneralCoif>(FillGeneralCoif);
const DialogFactory kSetHQuilt = factory<SetHQuilt>(FillSetHexQuilt);
const DialogFactory kHexDetail = factory<HexDetail>(FillHexDetail);
const DialogFactory kGetXcoif = factory<GetXcoif>(FillCornerCoefficients);
const DialogFactory kDetail = factory<DetailDialog>(FillDetail);
const DialogFactory kPerview = factory<Perview>(FillViewPeriod);
const DialogFactory kItStat = factory<ItStat>(FillStatus);
const DialogFactory kQuaziProp = factory<QuaziProp>(FillQuaziProp);
const DialogFactory kPolyView = factory<POLYVIEW>(FillPolyView);

INSTANTIATE_TEST_SUITE_P(
    Dialogs, FieldRangeTest,
    ::testing::Values(
        RangeCase{"GammaAboveRange", kSetQuilt, "Gamma [-0.05, 0.11]", "0.1112",
                  "Please enter a number between -0.05 and 0.1111."},
        RangeCase{"GammaAboveItsLabel", kSetQuilt, "Gamma [-0.05, 0.11]", "0.111", ""},
        RangeCase{"LambdaUnreadable", kSetQuilt, "Lamba [-0.2,  0.2]", "0.1x",
                  "Please enter a number."},
        RangeCase{"LambdaInfinite", kSetQuilt, "Lamba [-0.2,  0.2]", "inf",
                  "Please enter a number."},
        RangeCase{"EmmFraction", kSetQuilt, "Emm", "1.5", "Please enter an integer."},
        RangeCase{"EmmAboveRange", kSetQuilt, "Emm", "3",
                  "Please enter an integer between -2 and 2."},
        RangeCase{"SquareGridAboveRange", kSetQuilt, "Quilt Size / 2 [in pixels]", "1001",
                  "Please enter an integer between 20 and 1000."},
        RangeCase{"TableEntryAboveRange", kGeneralCoif, "Coefficient (2, 3)", "0.41",
                  "Please enter a number between -0.4 and 0.4."},
        RangeCase{"TableEmmBelowRange", kGeneralCoif, "Emm", "-5",
                  "Please enter an integer between -4 and 4."},
        RangeCase{"TableDepthAboveRange", kGeneralCoif, "Detailed Settings Depth", "7",
                  "Please enter an integer between 3 and 6."},
        RangeCase{"HexLambdaImaginaryNegative", kSetHQuilt, "Lamba Imaginary [0.0, 0.2]", "-0.01",
                  "Please enter a number between 0 and 0.2."},
        RangeCase{"HexEmmSigned", kSetHQuilt, "H_Emm", "-1", "Please enter a positive integer."},
        RangeCase{"HexEmmAboveRange", kSetHQuilt, "H_Emm", "2",
                  "Please enter an integer between 0 and 1."},
        RangeCase{"HexGridBelowRange", kSetHQuilt, "Quilt Width / 3 [in pixels]", "49",
                  "Please enter an integer between 50 and 1000."},
        RangeCase{"HexDetailRow10Imaginary", kHexDetail,
                  "Hex detail coefficient 10 (imaginary part)", "0.31",
                  "Please enter a number between -0.3 and 0.3."},
        RangeCase{"HexDetailGridAboveRange", kHexDetail, "Quilt Width / 3 [in pixels]", "2001",
                  "Please enter an integer between 20 and 2000."},
        RangeCase{"CornerNAboveRange", kGetXcoif, "Corner N Value", "43",
                  "Please enter an integer between 3 and 42."},
        RangeCase{"CornerDepthSigned", kGetXcoif, "Depth", "-4",
                  "Please enter a positive integer."},
        RangeCase{"CornerCoefficientUnbounded", kGetXcoif, "Coefficient 5", "12.5", ""},
        RangeCase{"CornerGridZero", kGetXcoif, "Quilt Width / 2 [in pixels]", "0",
                  "Please enter an integer between 20 and 1000."},
        RangeCase{"SquareDepthBelowRange", kDetail, "Square Detailing Depth", "2",
                  "Please enter an integer between 3 and 6."},
        RangeCase{"PeriodSigned", kPerview, "Period of Window View", "-1",
                  "Please enter a positive integer."},
        RangeCase{"PeriodZero", kPerview, "Period of Window View", "0", ""},
        RangeCase{"PeriodBeyond32Bits", kPerview, "Period of Window View", "4294967296",
                  "Please enter a positive integer."},
        RangeCase{"MaxIterationsBelowRange", kItStat, "Max Iterations", "999999",
                  "Please enter an integer between 1000000 and 3000000000."},
        RangeCase{"QuaziOffsetXBelowRange", kQuaziProp, "X Offset in pattern", "49",
                  "Please enter an integer between 50 and 1200."},
        RangeCase{"QuaziOffsetYAboveRange", kQuaziProp, "Y Offset in pattern", "1201",
                  "Please enter an integer between 50 and 1200."},
        RangeCase{"QuaziOffsetFraction", kQuaziProp, "X Offset in pattern", "300.5",
                  "Please enter an integer."},
        RangeCase{"QuaziScaleAboveRange", kQuaziProp, "Scale % for rombi", "3.01",
                  "Please enter a number between 0.05 and 3."},
        RangeCase{"QuaziLineSetsAboveRange", kQuaziProp, "Line set count", "43",
                  "Please enter an integer between 5 and 42."},
        RangeCase{"QuaziLineSetsMost", kQuaziProp, "Line set count", "42", ""},
        RangeCase{"QuaziOverlapBelowRange", kQuaziProp, "Overlap corection", "-0.11",
                  "Please enter a number between -0.1 and 0.1."},
        RangeCase{"PolyScaleBelowRange", kPolyView, "Scale", "0.49",
                  "Please enter a number between 0.5 and 10."},
        RangeCase{"PolyScaleLargest", kPolyView, "Scale", "10", ""},
        RangeCase{"PolyOffsetXAtHalf", kPolyView, "X offset for period", "0.5",
                  "Please enter a number between 0.1 and 0.499."},
        RangeCase{"PolyOffsetYUnreadable", kPolyView, "Y offset for period", "quarter",
                  "Please enter a number."},
        RangeCase{"PolyOverlapAboveRange", kPolyView, "Overlap corection", "0.21",
                  "Please enter a number between -0.2 and 0.2."}),
    [](const ::testing::TestParamInfo<RangeCase>& info) { return std::string(info.param.name); });

TEST(GeneralCoifTest, EntryAbStandsInColumnAAndRowB) {
    const auto doc = quietDocument();
    const GeneralCoifValues values = FillGeneralCoif(*doc);
    GeneralCoif dialog(values);
    for (int a = 0; a < 6; ++a) {
        for (int b = 0; b < 6; ++b) {
            auto* edit = qobject_cast<QLineEdit*>(
                dialog.field(QStringLiteral("Coefficient (%1, %2)").arg(a).arg(b)));
            ASSERT_NE(edit, nullptr);
            EXPECT_EQ(edit->text(), numberText(values.coef[a][b]));
            QGridLayout* grid = nullptr;
            for (QGridLayout* g : dialog.findChildren<QGridLayout*>()) {
                if (g->indexOf(edit) >= 0) {
                    grid = g;
                }
            }
            ASSERT_NE(grid, nullptr);
            int row = 0, column = 0, rowSpan = 0, columnSpan = 0;
            grid->getItemPosition(grid->indexOf(edit), &row, &column, &rowSpan, &columnSpan);
            EXPECT_EQ(column, a + 1) << "headings take the first column";
            EXPECT_EQ(row, b + 1) << "headings take the first row";
        }
    }
}

TEST(FieldDialogTest, AcceptedValuesReadBackExactly) {
    const auto doc = quietDocument();
    SETQUILT dialog(FillSetQuilt(*doc));
    dialog.show();
    setField(dialog, QStringLiteral("Lamba [-0.2,  0.2]"), QStringLiteral(" -0.123456789012345 "));
    setField(dialog, QStringLiteral("Emm"), QStringLiteral("-2"));
    boxButton(&dialog, QDialogButtonBox::Ok)->click();
    ASSERT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.values().lambda, -0.123456789012345);
    EXPECT_EQ(dialog.values().emm, -2);
}

TEST(ItStatTest, CountIsShownOnlyAndNeverRefused) {
    StatusValues values;
    values.stepCount = 1000000001u; // past the count's old range of 0 to 1,000,000,000
    values.maxSteps = 60000000u;
    ItStat dialog(values);
    dialog.show();
    auto* count = qobject_cast<QLineEdit*>(dialog.field(QStringLiteral("Iteration Count")));
    ASSERT_NE(count, nullptr);
    EXPECT_TRUE(count->isReadOnly());
    EXPECT_EQ(count->text(), QStringLiteral("1000000001"));
    const ModalDriver driver = ModalDriver::messagesOnly();
    boxButton(&dialog, QDialogButtonBox::Ok)->click();
    EXPECT_TRUE(driver.messages.empty());
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
}

} // namespace
} // namespace zarn::app
