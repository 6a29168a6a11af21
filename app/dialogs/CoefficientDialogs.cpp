#include "CoefficientDialogs.h"

#include "ExampleQuilts.h"

namespace zarn::app {

SETQUILT::SETQUILT(const SetQuiltValues& values, QWidget* parent)
    : ValuesDialog(QStringLiteral("Set Square Quilt "), values, parent) {
    addForm({
        {"Lamba [-0.2,  0.2]", &v_.lambda},
        {"Alpha [-0.4, 0.4]", &v_.alpha},
        {"Beta [-0.6, 0.2]", &v_.beta},
        {"Gamma [-0.05, 0.11]", &v_.gamma},
        {"Omega [-0.01, 0.01]", &v_.omega},
        {"Emm", &v_.emm},
        {"Offset [0.5 , 0.5]", &v_.offset},
        {"Quilt Size / 2 [in pixels]", &v_.gridSize},
        {"Use New Random Settings", &v_.useNewRandomSettings},
        {"Use Detailed Square Settings", &v_.useDetailed},
    });
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
    addForm({
        {"Quilt Size / 2 [in pixels]", &v_.gridSize},
        {"Use New Random Settings", &v_.useNewRandomSettings},
        {"Offset [0.5 , 0.5]", &v_.offset},
        {"Detailed Settings Depth", &v_.depth},
        {"Use Detailed Settings", &v_.useDetailed},
        {"Emm", &v_.emm},
    });
    showControls();
}

SetHQuilt::SetHQuilt(const SetHexQuiltValues& values, QWidget* parent)
    : ValuesDialog(QStringLiteral("Set Hex Quilt "), values, parent) {
    addForm({
        {"Lamba  Real [-0.2,  0.2]", &v_.lambdaReal},
        {"Lamba Imaginary [0.0, 0.2]", &v_.lambdaImaginary},
        {"Alpha Real [-0.1, 0.1]", &v_.alphaReal},
        {"Alpha Imaginary [-0.1, 0.1]", &v_.alphaImaginary},
        {"H_alpha [-0.15, 0.04]", &v_.hAlpha},
        {"H_Emm", &v_.hEmm},
        {"Quilt Width / 3 [in pixels]", &v_.gridSize},
        {"Use New Random Settings", &v_.useNewRandomSettings},
        {"Use Detailed Hex Map", &v_.useDetailedHex},
        {"Knot Effect", &v_.knotEffect},
    });
    addPicture({MapFamily::Hex, false});
    showControls();
}

HexDetail::HexDetail(const HexDetailValues& values, QWidget* parent)
    : ValuesDialog(QStringLiteral("Hex Detailing Coificents"), values, parent) {
    addComplexRows(v_.shown, [](int row, int column) {
        return QStringLiteral("Hex detail coefficient %1 (%2 part)")
            .arg(row)
            .arg(column == 0 ? QStringLiteral("real") : QStringLiteral("imaginary"));
    });
    addForm({
        {"Knot Effect", &v_.knotEffect},
        {"Quilt Width / 3 [in pixels]", &v_.gridSize},
        {"Use New Random Settings", &v_.useNewRandomSettings},
        {"Use Detailed Settings", &v_.useDetailedHex},
        {"Hex Detail Depth", &v_.detailDepth},
    });
    addPicture({MapFamily::Hex, true});
    showControls();
}

GetXcoif::GetXcoif(const CornerValues& values, QWidget* parent)
    : ValuesDialog(QStringLiteral("Corner Wild Coificents"), values, parent) {
    addComplexRows(v_.map.shown,
                   [](int row, int) { return QStringLiteral("Coefficient %1").arg(row); });
    addForm({
        {"Corner N Value", ReadAsUnsigned{&v_.map.cornerN}},
        {"Depth", ReadAsUnsigned{&v_.map.depth}},
        {"Quilt Width / 2 [in pixels]", &v_.gridSize},
        {"Use New Random Settings", &v_.useNewRandomSettings},
    });
    addPicture({MapFamily::SquareX, false});
    showControls();
}

} // namespace zarn::app
