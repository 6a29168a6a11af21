#include "CoefficientDialogs.h"

#include "ExampleQuilts.h"

#include <QFormLayout>
#include <QLineEdit>
#include <QStringList>

#include <array>

namespace zarn::app {

namespace {

QStringList indexHeads(int count) {
    QStringList heads;
    for (int i = 0; i < count; ++i) {
        heads << QString::number(i);
    }
    return heads;
}

const QStringList kComplexHeads = {QStringLiteral("Real"), QStringLiteral("Imaginary")};

/** The part of coefficient @p row that column @p column of a complex grid shows. */
double& part(std::array<Complex, 12>& values, int row, int column) {
    Complex& c = values[static_cast<std::size_t>(row)];
    return column == 0 ? c.re : c.im;
}

} // namespace

SETQUILT::SETQUILT(const SetQuiltValues& values, QWidget* parent)
    : ValuesDialog(QStringLiteral("Set Square Quilt "), values, parent) {
    QFormLayout* f = addForm();
    addRow(f, QStringLiteral("Lamba [-0.2,  0.2]"), v_.lambda);
    addRow(f, QStringLiteral("Alpha [-0.4, 0.4]"), v_.alpha);
    addRow(f, QStringLiteral("Beta [-0.6, 0.2]"), v_.beta);
    addRow(f, QStringLiteral("Gamma [-0.05, 0.11]"), v_.gamma);
    addRow(f, QStringLiteral("Omega [-0.01, 0.01]"), v_.omega);
    addRow(f, QStringLiteral("Emm"), v_.emm);
    addCheckRow(f, QStringLiteral("Offset [0.5 , 0.5]"), v_.offset);
    addRow(f, QStringLiteral("Quilt Size / 2 [in pixels]"), v_.gridSize);
    addCheckRow(f, QStringLiteral("Use New Random Settings"), v_.useNewRandomSettings);
    addCheckRow(f, QStringLiteral("Use Detailed Square Settings"), v_.useDetailed);
    addPicture({MapFamily::Square, false});
    showControls();
}

GeneralCoif::GeneralCoif(const GeneralCoifValues& values, QWidget* parent)
    : ValuesDialog(QStringLiteral("All Coificients Dialog"), values, parent) {
    addNumberGrid(
        indexHeads(6), indexHeads(6),
        [](int row, int column) {
            return QStringLiteral("Coefficient (%1, %2)").arg(column).arg(row);
        },
        [this](int row, int column) -> double& {
            return v_.coef[static_cast<std::size_t>(column)][static_cast<std::size_t>(row)];
        });
    QFormLayout* f = addForm();
    addRow(f, QStringLiteral("Quilt Size / 2 [in pixels]"), v_.gridSize);
    addCheckRow(f, QStringLiteral("Use New Random Settings"), v_.useNewRandomSettings);
    addCheckRow(f, QStringLiteral("Offset [0.5 , 0.5]"), v_.offset);
    addRow(f, QStringLiteral("Detailed Settings Depth"), v_.depth);
    addCheckRow(f, QStringLiteral("Use Detailed Settings"), v_.useDetailed);
    addRow(f, QStringLiteral("Emm"), v_.emm);
    showControls();
}

SetHQuilt::SetHQuilt(const SetHexQuiltValues& values, QWidget* parent)
    : ValuesDialog(QStringLiteral("Set Hex Quilt "), values, parent) {
    QFormLayout* f = addForm();
    addRow(f, QStringLiteral("Lamba  Real [-0.2,  0.2]"), v_.lambdaReal);
    addRow(f, QStringLiteral("Lamba Imaginary [0.0, 0.2]"), v_.lambdaImaginary);
    addRow(f, QStringLiteral("Alpha Real [-0.1, 0.1]"), v_.alphaReal);
    addRow(f, QStringLiteral("Alpha Imaginary [-0.1, 0.1]"), v_.alphaImaginary);
    addRow(f, QStringLiteral("H_alpha [-0.15, 0.04]"), v_.hAlpha);
    addRow(f, QStringLiteral("H_Emm"), v_.hEmm);
    addRow(f, QStringLiteral("Quilt Width / 3 [in pixels]"), v_.gridSize);
    addCheckRow(f, QStringLiteral("Use New Random Settings"), v_.useNewRandomSettings);
    addCheckRow(f, QStringLiteral("Use Detailed Hex Map"), v_.useDetailedHex);
    addCheckRow(f, QStringLiteral("Knot Effect"), v_.knotEffect);
    addPicture({MapFamily::Hex, false});
    showControls();
}

HexDetail::HexDetail(const HexDetailValues& values, QWidget* parent)
    : ValuesDialog(QStringLiteral("Hex Detailing Coificents"), values, parent) {
    addNumberGrid(
        kComplexHeads, indexHeads(12),
        [](int row, int column) {
            return QStringLiteral("Hex detail coefficient %1 (%2 part)")
                .arg(row)
                .arg(column == 0 ? QStringLiteral("real") : QStringLiteral("imaginary"));
        },
        [this](int row, int column) -> double& { return part(v_.shown, row, column); });
    QFormLayout* f = addForm();
    addCheckRow(f, QStringLiteral("Knot Effect"), v_.knotEffect);
    addRow(f, QStringLiteral("Quilt Width / 3 [in pixels]"), v_.gridSize);
    addCheckRow(f, QStringLiteral("Use New Random Settings"), v_.useNewRandomSettings);
    addCheckRow(f, QStringLiteral("Use Detailed Settings"), v_.useDetailedHex);
    addRow(f, QStringLiteral("Hex Detail Depth"), v_.detailDepth);
    addPicture({MapFamily::Hex, true});
    showControls();
}

GetXcoif::GetXcoif(const CornerValues& values, QWidget* parent)
    : ValuesDialog(QStringLiteral("Corner Wild Coificents"), values, parent) {
    addNumberGrid(
        kComplexHeads, indexHeads(12),
        [](int row, int) { return QStringLiteral("Coefficient %1").arg(row); },
        [this](int row, int column) -> double& { return part(v_.map.shown, row, column); });
    QFormLayout* f = addForm();
    const QString n = QStringLiteral("Corner N Value");
    f->addRow(n, unsignedField(n, v_.map.cornerN));
    const QString depth = QStringLiteral("Depth");
    f->addRow(depth, unsignedField(depth, v_.map.depth));
    addRow(f, QStringLiteral("Quilt Width / 2 [in pixels]"), v_.gridSize);
    addCheckRow(f, QStringLiteral("Use New Random Settings"), v_.useNewRandomSettings);
    addPicture({MapFamily::SquareX, false});
    showControls();
}

} // namespace zarn::app
