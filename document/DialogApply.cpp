#include "DialogApply.h"

#include "CZARN40Doc.h"
#include "QuiltOps.h"
#include "Validation.h"

#include <cmath>

namespace zarn {

namespace {

constexpr std::uint32_t kMinGrid = 20;
constexpr std::uint32_t kMaxGrid = 1000;
constexpr std::uint32_t kMinMaxSteps = 1000000;
constexpr std::uint32_t kMaxMaxSteps = 3000000000u;

/** "Use New Random Settings": replaces the typed coefficients with a random quilt. */
bool applyRandomSettings(QuiltState& s, bool wanted) {
    if (!wanted) {
        return false;
    }
    NewRandomQuilt(s);
    s.useRandomSettings = 1;
    return true;
}

void setOffsets(SqrMap& m, bool on) {
    m.offX = m.offY = on ? 0.5 : 0.0;
}

/** The dialog shows hEmm truncated to an unsigned integer; a stored value that has no such
 *  reading (negative, huge, NaN) is shown as 0 rather than converted undefinedly. */
std::uint32_t truncatedUnsigned(double v) {
    if (!(v >= 0.0) || v >= 4294967296.0) {
        return 0;
    }
    return static_cast<std::uint32_t>(v);
}

/** What both hexagonal dialogs do after the map took its values. */
void finishHexDialog(QuiltState& s, bool detailed, bool knot, std::uint32_t grid) {
    s.setUseDetailedHex(detailed);
    s.setHexKnot(knot);
    ChangeGridSize(s, grid, StepFactor(MapFamily::Hex));
    s.hexMap.SetSize(s.QMap.size);
}

} // namespace

// ---- Choose Map ---------------------------------------------------------------------------

ChooseMapValues FillChooseMap(const CZARN40Doc& doc) {
    ScopedPause pause(doc);
    const QuiltState& s = doc.State(pause);
    ChooseMapValues v;
    v.family = s.family;
    v.useRandomSettings = s.useRandomSettings != 0;
    v.useDetailedSquare = s.useDetailedSquare();
    v.useDetailedHex = s.useDetailedHex();
    return v;
}

FamilyDialogs ApplyChooseMap(CZARN40Doc& doc, const ChooseMapValues& v) {
    ScopedPause pause(doc);
    QuiltState& s = doc.State(pause);
    CoefficientsChanged(s);
    s.family = v.family;
    s.useRandomSettings = v.useRandomSettings ? 1 : 0;
    s.setUseDetailedSquare(v.useDetailedSquare);
    s.setUseDetailedHex(v.useDetailedHex);
    NewRandomQuilt(s);
    if (s.useRandomSettings != 0) {
        return FamilyDialogs::None;
    }
    switch (s.family) {
    case MapFamily::Square:
        return FamilyDialogs::Square;
    case MapFamily::Hex:
        return FamilyDialogs::Hex;
    case MapFamily::SquareX:
        return FamilyDialogs::Corner;
    default:
        // Families without a coefficient dialog draw once more.
        NewRandomQuilt(s);
        return FamilyDialogs::None;
    }
}

void FinishChooseMap(CZARN40Doc& doc, bool dialogsShown) {
    {
        ScopedPause pause(doc);
        if (dialogsShown) {
            BuildAutoNames(doc.State(pause));
        }
    }
    doc.RebuildPalette();
}

// ---- Use Detail ---------------------------------------------------------------------------

DetailValues FillDetail(const CZARN40Doc& doc) {
    ScopedPause pause(doc);
    const QuiltState& s = doc.State(pause);
    DetailValues v;
    v.useDetailedSquare = s.useDetailedSquare();
    v.squareDetailDepth = s.squareDetailDepth() < 3 ? 6 : s.squareDetailDepth();
    v.useDetailedHex = s.useDetailedHex();
    v.hexDetailDepth = static_cast<std::uint32_t>(std::max(s.hexDetailDepth(), 0));
    return v;
}

std::optional<std::string> ValidateDetail(const DetailValues& v) {
    if (auto e = checkInteger(v.squareDetailDepth, 3, 6, "Square Detailing Depth")) {
        return e;
    }
    return checkInteger(v.hexDetailDepth, HexMap::kMinDialogDepth, HexMap::kMaxDialogDepth,
                        "Hex Detailing Depth");
}

std::optional<std::string> ApplyDetail(CZARN40Doc& doc, const DetailValues& v, bool* changed) {
    if (auto e = ValidateDetail(v)) {
        return e;
    }
    ScopedPause pause(doc);
    QuiltState& s = doc.State(pause);
    CoefficientsChanged(s);
    const bool squareChanged = v.useDetailedSquare != s.useDetailedSquare() ||
                               v.squareDetailDepth != s.squareDetailDepth();
    if (changed) {
        *changed = squareChanged;
    }
    if (squareChanged) {
        s.setUseDetailedSquare(v.useDetailedSquare);
        s.setSquareDetailDepth(static_cast<int>(v.squareDetailDepth));
        s.setUseDetailedHex(v.useDetailedHex);
        s.setHexDetailDepth(static_cast<int>(v.hexDetailDepth));
        NewRandomQuilt(s);
    }
    return std::nullopt;
}

// ---- Period and status --------------------------------------------------------------------

std::uint32_t FillViewPeriod(const CZARN40Doc& doc) {
    return static_cast<std::uint32_t>(doc.snapshot().viewPeriod);
}

void ApplyViewPeriod(CZARN40Doc& doc, std::uint32_t periods) {
    doc.SetViewPeriod(static_cast<std::uint16_t>(periods & 0xFFFFu));
    doc.RebuildPalette();
}

StatusValues FillStatus(const CZARN40Doc& doc) {
    return {doc.stepCount(), doc.maxSteps()};
}

std::optional<std::string> ValidateStatus(const StatusValues& v) {
    return checkInteger(v.maxSteps, kMinMaxSteps, kMaxMaxSteps, "Max Iterations");
}

std::optional<std::string> ApplyStatus(CZARN40Doc& doc, const StatusValues& v) {
    if (auto e = ValidateStatus(v)) {
        return e;
    }
    doc.SetMaxSteps(v.maxSteps);
    return std::nullopt;
}

// ---- Square coefficients ------------------------------------------------------------------

SetQuiltValues FillSetQuilt(const CZARN40Doc& doc) {
    ScopedPause pause(doc);
    const QuiltState& s = doc.State(pause);
    const SqrMap& m = s.sqrMap;
    SetQuiltValues v;
    v.lambda = m.lambda;
    v.alpha = m.alpha;
    v.beta = m.beta;
    v.gamma = m.gamma;
    v.omega = m.omega;
    v.emm = static_cast<int>(m.emm);
    v.offset = m.offX != 0.0;
    v.gridSize = s.QMap.size;
    v.useNewRandomSettings = s.useRandomSettings == 1;
    v.useDetailed = s.useDetailedSquare();
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
    QuiltState& s = doc.State(pause);
    CoefficientsChanged(s);
    SqrMap& m = s.sqrMap;
    m.lambda = v.lambda;
    m.alpha = v.alpha;
    m.beta = v.beta;
    m.gamma = v.gamma;
    m.omega = v.omega;
    m.emm = v.emm;
    setOffsets(m, v.offset);
    s.setUseDetailedSquare(v.useDetailed);
    ChangeGridSize(s, v.gridSize, StepFactor(MapFamily::Square));
    if (!applyRandomSettings(s, v.useNewRandomSettings)) {
        RestartIteration(s);
        BuildAutoNames(s);
    }
    return std::nullopt;
}

GeneralCoifValues FillGeneralCoif(const CZARN40Doc& doc) {
    ScopedPause pause(doc);
    const QuiltState& s = doc.State(pause);
    const SqrMap& m = s.sqrMap;
    GeneralCoifValues v;
    v.coef = m.coef;
    v.depth = m.depth;
    v.useDetailed = s.useDetailedSquare();
    v.gridSize = s.QMap.size;
    v.useNewRandomSettings = s.useRandomSettings == 1;
    v.emm = static_cast<int>(m.emm);
    v.offset = m.offX != 0.0;
    return v;
}

std::optional<std::string> ValidateGeneralCoif(const GeneralCoifValues& v) {
    for (int i = 0; i < 6; ++i) {
        for (int j = 0; j < 6; ++j) {
            const std::string label =
                "Coefficient (" + std::to_string(i) + ", " + std::to_string(j) + ")";
            if (auto e = checkNumber(v.coef[i][j], -0.4, 0.4, label)) {
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
    QuiltState& s = doc.State(pause);
    CoefficientsChanged(s);
    SqrMap& m = s.sqrMap;
    m.coef = v.coef;
    s.setSquareDetailDepth(static_cast<int>(v.depth));
    s.setUseDetailedSquare(v.useDetailed);
    m.emm = v.emm;
    setOffsets(m, v.offset);
    ChangeGridSize(s, v.gridSize, StepFactor(MapFamily::Square));
    if (!applyRandomSettings(s, v.useNewRandomSettings)) {
        BuildAutoNames(s);
    }
    RestartIteration(s);
    return std::nullopt;
}

// ---- Hexagonal coefficients ---------------------------------------------------------------

SetHexQuiltValues FillSetHexQuilt(const CZARN40Doc& doc) {
    ScopedPause pause(doc);
    const QuiltState& s = doc.State(pause);
    const HexMap& m = s.hexMap;
    SetHexQuiltValues v;
    v.lambdaReal = m.lambda.re;
    v.lambdaImaginary = m.lambda.im;
    v.alphaReal = m.alpha.re;
    v.alphaImaginary = m.alpha.im;
    v.hAlpha = m.hAlpha;
    v.hEmm = truncatedUnsigned(m.hEmm);
    v.gridSize = s.QMap.size;
    v.useNewRandomSettings = s.useRandomSettings == 1;
    v.useDetailedHex = s.useDetailedHex();
    v.knotEffect = s.hexKnot();
    return v;
}

std::optional<std::string> ValidateSetHexQuilt(const SetHexQuiltValues& v) {
    if (auto e = checkNumber(v.lambdaReal, -0.2, 0.2, "Lamba  Real [-0.2,  0.2]"))
        return e;
    if (auto e = checkNumber(v.lambdaImaginary, 0.0, 0.2, "Lamba Imaginary [0.0, 0.2]"))
        return e;
    if (auto e = checkNumber(v.alphaReal, -0.1, 0.1, "Alpha Real [-0.1, 0.1]"))
        return e;
    if (auto e = checkNumber(v.alphaImaginary, -0.1, 0.1, "Alpha Imaginary [-0.1, 0.1]"))
        return e;
    if (auto e = checkNumber(v.hAlpha, -0.15, 0.04, "H_alpha [-0.15, 0.04]"))
        return e;
    if (auto e = checkInteger(v.hEmm, 0, 1, "H_Emm"))
        return e;
    return checkInteger(v.gridSize, 50, 1000, "Quilt Width / 3 [in pixels]");
}

std::optional<std::string> ApplySetHexQuilt(CZARN40Doc& doc, const SetHexQuiltValues& v) {
    if (auto e = ValidateSetHexQuilt(v)) {
        return e;
    }
    ScopedPause pause(doc);
    QuiltState& s = doc.State(pause);
    CoefficientsChanged(s);
    s.family = MapFamily::Hex;
    HexMap& m = s.hexMap;
    m.lambda = {v.lambdaReal, v.lambdaImaginary};
    m.alpha = {v.alphaReal, v.alphaImaginary};
    m.hEmm = static_cast<double>(v.hEmm);
    m.hAlpha = v.hAlpha;
    finishHexDialog(s, v.useDetailedHex, v.knotEffect, v.gridSize);
    if (!applyRandomSettings(s, v.useNewRandomSettings)) {
        BuildAutoNames(s);
    }
    RestartIteration(s);
    return std::nullopt;
}

HexDetailValues FillHexDetail(const CZARN40Doc& doc) {
    ScopedPause pause(doc);
    const QuiltState& s = doc.State(pause);
    const HexMap& m = s.hexMap;
    HexDetailValues v;
    for (int k = 0; k < HexMap::kDetailOrbits; ++k) {
        const double weight = HexMap::kDetailOrder[k] * HexMap::kDetailOrder[k];
        v.shown[k] = weight * m.detailCoefs[0][k];
    }
    v.detailDepth = m.detailDepth;
    v.gridSize = static_cast<std::int32_t>(s.QMap.size);
    v.useNewRandomSettings = s.useRandomSettings == 1;
    v.useDetailedHex = s.useDetailedHex();
    v.knotEffect = s.hexKnot();
    return v;
}

std::optional<std::string> ValidateHexDetail(const HexDetailValues& v) {
    for (int k = 0; k < HexMap::kDetailOrbits; ++k) {
        const std::string label = "Hex detail coefficient " + std::to_string(k);
        if (auto e = checkNumber(v.shown[k].re, -0.3, 0.3, label + " (real part)"))
            return e;
        if (auto e = checkNumber(v.shown[k].im, -0.3, 0.3, label + " (imaginary part)"))
            return e;
    }
    if (auto e = checkInteger(v.gridSize, 20, 2000, "Quilt Width / 3 [in pixels]"))
        return e;
    return checkInteger(v.detailDepth, HexMap::kMinDialogDepth, HexMap::kMaxDialogDepth,
                        "Hex Detail Depth");
}

std::optional<std::string> ApplyHexDetail(CZARN40Doc& doc, const HexDetailValues& v) {
    if (auto e = ValidateHexDetail(v)) {
        return e;
    }
    ScopedPause pause(doc);
    QuiltState& s = doc.State(pause);
    CoefficientsChanged(s);
    s.family = MapFamily::Hex;
    for (int k = 0; k < HexMap::kDetailOrbits; ++k) {
        const double factor = HexMap::kDetailDialogFactor[k];
        s.hexMap.SetDetailCoefficient(k, {v.shown[k].re * factor, v.shown[k].im * factor});
    }
    s.setHexDetailDepth(v.detailDepth);
    finishHexDialog(s, v.useDetailedHex, v.knotEffect, static_cast<std::uint32_t>(v.gridSize));
    if (!applyRandomSettings(s, v.useNewRandomSettings)) {
        BuildAutoNames(s);
    }
    return std::nullopt;
}

// ---- Wild corner --------------------------------------------------------------------------

CornerValues FillCornerCoefficients(const CZARN40Doc& doc) {
    ScopedPause pause(doc);
    const QuiltState& s = doc.State(pause);
    CornerValues v;
    v.map = s.cornerMap.CurrentDialogValues();
    v.gridSize = s.QMap.size;
    v.useNewRandomSettings = s.useRandomSettings == 1;
    return v;
}

std::optional<std::string> ValidateCornerCoefficients(const CornerValues& v) {
    if (auto e = checkInteger(v.map.cornerN, WildCornerMap::kMinCornerN, WildCornerMap::kMaxCornerN,
                              "Corner N Value"))
        return e;
    if (auto e = checkInteger(v.map.depth, WildCornerMap::kMinDialogDepth,
                              WildCornerMap::kMaxDialogDepth, "Depth"))
        return e;
    for (int j = 0; j < WildCornerMap::kHarmonics; ++j) {
        const Complex c = v.map.shown[static_cast<std::size_t>(j)];
        const std::string label = "Coefficient " + std::to_string(j);
        if (auto e = checkFinite(c.re, label))
            return e;
        if (auto e = checkFinite(c.im, label))
            return e;
    }
    return checkInteger(v.gridSize, kMinGrid, kMaxGrid, "Quilt Width / 2 [in pixels]");
}

std::optional<std::string> ApplyCornerCoefficients(CZARN40Doc& doc, const CornerValues& v) {
    if (auto e = ValidateCornerCoefficients(v)) {
        return e;
    }
    ScopedPause pause(doc);
    QuiltState& s = doc.State(pause);
    CoefficientsChanged(s);
    s.cornerMap.ApplyDialogValues(v.map);
    ChangeGridSize(s, v.gridSize, StepFactor(MapFamily::SquareX));
    if (!applyRandomSettings(s, v.useNewRandomSettings)) {
        BuildAutoNames(s);
    }
    return std::nullopt;
}

} // namespace zarn
