#include "DialogApply.h"

#include "CZARN40Doc.h"

#include <cmath>
#include <cstdio>

namespace zarn {

namespace {

constexpr double kSquareStepFactor = 3500000.0;
constexpr double kCornerStepFactor = 9500000.0;
// The corner dialog puts no bound on its grid size; the square dialogs' range is the sane one.
constexpr std::uint32_t kMinGrid = 20;
constexpr std::uint32_t kMaxGrid = 1000;

std::string numberText(double v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%g", v);
    return buf;
}

std::optional<std::string> checkNumber(double v, double lo, double hi, const char* label) {
    if (!std::isfinite(v)) {
        return std::string(label) + ": Please enter a number.";
    }
    if (v < lo || v > hi) {
        return std::string(label) + ": Please enter a number between " + numberText(lo) + " and " +
               numberText(hi) + ".";
    }
    return std::nullopt;
}

std::optional<std::string> checkInteger(long long v, long long lo, long long hi,
                                        const char* label) {
    if (v < lo || v > hi) {
        return std::string(label) + ": Please enter an integer between " + std::to_string(lo) +
               " and " + std::to_string(hi) + ".";
    }
    return std::nullopt;
}

/** "Use New Random Settings": replaces the typed coefficients with a random quilt. */
bool applyRandomSettings(CZARN40Doc& doc, bool wanted) {
    if (!wanted) {
        return false;
    }
    doc.NewRandomQuilt();
    doc.useRandomSettings = 1;
    return true;
}

void setOffsets(SqrMap& m, bool on) {
    m.offX = m.offY = on ? 0.5 : 0.0;
}

} // namespace

SetQuiltValues FillSetQuilt(const CZARN40Doc& doc) {
    const SqrMap& m = doc.sqrMap;
    SetQuiltValues v;
    v.lambda = m.lambda;
    v.alpha = m.alpha;
    v.beta = m.beta;
    v.gamma = m.gamma;
    v.omega = m.omega;
    v.emm = static_cast<int>(m.emm);
    v.offset = m.offX != 0.0;
    v.gridSize = doc.QMap.size;
    v.useNewRandomSettings = doc.useRandomSettings == 1;
    v.useDetailed = doc.useDetailedSquare != 0;
    return v;
}

std::optional<std::string> ValidateSetQuilt(const SetQuiltValues& v) {
    if (auto e = checkNumber(v.lambda, -0.2, 0.2, "Lamba [-0.2,  0.2]"))
        return e;
    if (auto e = checkNumber(v.alpha, -0.4, 0.4, "Alpha [-0.4, 0.4]"))
        return e;
    if (auto e = checkNumber(v.beta, -0.6, 0.2, "Beta [-0.6, 0.2]"))
        return e;
    if (auto e = checkNumber(v.gamma, -0.05, 0.1111, "Gamma [-0.05, 0.11]"))
        return e;
    if (auto e = checkNumber(v.omega, -0.01, 0.01, "Omega [-0.01, 0.01]"))
        return e;
    if (auto e = checkInteger(v.emm, -2, 2, "Emm"))
        return e;
    return checkInteger(v.gridSize, kMinGrid, kMaxGrid, "Quilt Size / 2 [in pixels]");
}

std::optional<std::string> ApplySetQuilt(CZARN40Doc& doc, const SetQuiltValues& v) {
    if (auto e = ValidateSetQuilt(v)) {
        return e;
    }
    ScopedPause pause(doc);
    SqrMap& m = doc.sqrMap;
    m.lambda = v.lambda;
    m.alpha = v.alpha;
    m.beta = v.beta;
    m.gamma = v.gamma;
    m.omega = v.omega;
    m.emm = v.emm;
    setOffsets(m, v.offset);
    doc.useDetailedSquare = v.useDetailed ? 1 : 0;
    // The step reads the map's own flag, so the choice must reach it to take effect.
    m.detail = doc.useDetailedSquare;
    doc.ChangeGridSize(v.gridSize, kSquareStepFactor);
    if (!applyRandomSettings(doc, v.useNewRandomSettings)) {
        doc.RestartIteration();
        doc.BuildAutoNames();
    }
    return std::nullopt;
}

GeneralCoifValues PrepareGeneralCoif(CZARN40Doc& doc) {
    ScopedPause pause(doc);
    SqrMap& m = doc.sqrMap;
    m.SetDepth(doc.squareDetailDepth);
    m.detail = doc.useDetailedSquare;
    GeneralCoifValues v;
    v.coef = m.coef;
    v.depth = doc.squareDetailDepth;
    v.useDetailed = doc.useDetailedSquare != 0;
    v.gridSize = doc.QMap.size;
    v.useNewRandomSettings = doc.useRandomSettings == 1;
    v.emm = static_cast<int>(m.emm);
    v.offset = m.offX != 0.0;
    return v;
}

std::optional<std::string> ValidateGeneralCoif(const GeneralCoifValues& v) {
    for (int i = 0; i < 6; ++i) {
        for (int j = 0; j < 6; ++j) {
            const std::string label =
                "Coefficient (" + std::to_string(i) + ", " + std::to_string(j) + ")";
            if (auto e = checkNumber(v.coef[i][j], -0.4, 0.4, label.c_str())) {
                return e;
            }
        }
    }
    if (auto e = checkInteger(v.gridSize, kMinGrid, kMaxGrid, "Quilt Size / 2 [in pixels]"))
        return e;
    if (auto e = checkInteger(v.depth, 3, 6, "Detailed Settings Depth"))
        return e;
    return checkInteger(v.emm, -4, 4, "Emm");
}

std::optional<std::string> ApplyGeneralCoif(CZARN40Doc& doc, const GeneralCoifValues& v) {
    if (auto e = ValidateGeneralCoif(v)) {
        return e;
    }
    ScopedPause pause(doc);
    SqrMap& m = doc.sqrMap;
    m.coef = v.coef;
    doc.squareDetailDepth = static_cast<std::uint16_t>(v.depth);
    m.SetDepth(static_cast<int>(v.depth));
    doc.useDetailedSquare = v.useDetailed ? 1 : 0;
    m.detail = doc.useDetailedSquare;
    m.emm = v.emm;
    setOffsets(m, v.offset);
    doc.ChangeGridSize(v.gridSize, kSquareStepFactor);
    if (!applyRandomSettings(doc, v.useNewRandomSettings)) {
        doc.BuildAutoNames();
    }
    doc.RestartIteration();
    return std::nullopt;
}

SetHexQuiltValues FillSetHexQuilt(const CZARN40Doc& doc) {
    SetHexQuiltValues v;
    doc.hexMap.FillSetHexQuilt(v);
    v.gridSize = doc.QMap.size;
    v.useNewRandomSettings = doc.useRandomSettings == 1;
    v.useDetailedHex = doc.useDetailedHex != 0;
    v.knotEffect = doc.hexKnot != 0;
    return v;
}

namespace {
/** What both hexagonal dialogs do after the map took its values. */
void finishHexDialog(CZARN40Doc& doc, bool detailed, bool knot, std::uint32_t grid) {
    doc.useDetailedHex = detailed ? 1 : 0;
    doc.hexKnot = knot ? 1 : 0;
    doc.ChangeGridSize(grid, kSquareStepFactor);
    doc.hexMap.SetSize(doc.QMap.size);
    doc.hexSizeA = doc.hexMap.periodWidth;
    doc.hexSizeB = doc.hexMap.periodHeight;
}
} // namespace

std::optional<std::string> ApplySetHexQuilt(CZARN40Doc& doc, const SetHexQuiltValues& v) {
    if (auto e = HexMap::ValidateSetHexQuilt(v)) {
        return e;
    }
    ScopedPause pause(doc);
    doc.SelectFamily(MapFamily::Hex);
    doc.hexMap.ApplySetHexQuilt(v);
    finishHexDialog(doc, v.useDetailedHex, v.knotEffect, v.gridSize);
    if (!applyRandomSettings(doc, v.useNewRandomSettings)) {
        doc.BuildAutoNames();
    }
    doc.RestartIteration();
    return std::nullopt;
}

HexDetailValues FillHexDetail(const CZARN40Doc& doc) {
    HexDetailValues v;
    doc.hexMap.FillHexDetail(v);
    v.detailDepth = doc.hexDetailDepth;
    v.gridSize = static_cast<std::int32_t>(doc.QMap.size);
    v.useNewRandomSettings = doc.useRandomSettings == 1;
    v.useDetailedHex = doc.useDetailedHex != 0;
    v.knotEffect = doc.hexKnot != 0;
    return v;
}

std::optional<std::string> ApplyHexDetail(CZARN40Doc& doc, const HexDetailValues& v) {
    if (auto e = HexMap::ValidateHexDetail(v)) {
        return e;
    }
    ScopedPause pause(doc);
    doc.SelectFamily(MapFamily::Hex);
    doc.hexMap.ApplyHexDetail(v);
    doc.hexDetailDepth = v.detailDepth;
    finishHexDialog(doc, v.useDetailedHex, v.knotEffect, static_cast<std::uint32_t>(v.gridSize));
    if (!applyRandomSettings(doc, v.useNewRandomSettings)) {
        doc.BuildAutoNames();
    }
    return std::nullopt;
}

CornerValues FillCornerCoefficients(const CZARN40Doc& doc) {
    CornerValues v;
    v.map = doc.cornerMap.CurrentDialogValues();
    v.gridSize = doc.QMap.size;
    v.useNewRandomSettings = doc.useRandomSettings == 1;
    return v;
}

std::optional<std::string> ValidateCornerCoefficients(const CornerValues& v) {
    if (auto e = WildCornerMap::ValidateDialogValues(v.map)) {
        return e;
    }
    return checkInteger(v.gridSize, kMinGrid, kMaxGrid, "Quilt Width / 2 [in pixels]");
}

std::optional<std::string> ApplyCornerCoefficients(CZARN40Doc& doc, const CornerValues& v) {
    if (auto e = ValidateCornerCoefficients(v)) {
        return e;
    }
    ScopedPause pause(doc);
    doc.cornerMap.ApplyDialogValues(v.map);
    doc.ChangeGridSize(v.gridSize, kCornerStepFactor);
    if (!applyRandomSettings(doc, v.useNewRandomSettings)) {
        doc.BuildAutoNames();
    }
    return std::nullopt;
}

} // namespace zarn
