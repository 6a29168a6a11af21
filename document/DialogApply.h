#pragma once

#include "document/MapFamily.h"
#include "engine/Complex.h"
#include "maps/WildCornerMap.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace zarn {

class CZARN40Doc;

/**
 * What the quilt dialogs show and what their OK applies, as functions on plain values. A dialog
 * fills its values with the Fill function, lets the user edit them, checks them with the Validate
 * function (an error names the field: "Emm: Please enter an integer between -2 and 2.") and
 * applies them. Fill reads under a pause; every Apply pauses the worker for its whole run,
 * refuses invalid values without changing anything, and returns the error it refused with.
 */

/** "Choose Map": the family and the three options. */
struct ChooseMapValues {
    MapFamily family = MapFamily::Square;
    bool useRandomSettings = true;
    bool useDetailedSquare = false;
    bool useDetailedHex = false;
};
/** Which coefficient dialogs a chosen family still wants when random settings are off. */
enum class FamilyDialogs {
    None,
    /** "All Coificients Dialog" when the square map is detailed, else "Set Square Quilt "; then
     *  the other one when the first changed the detail choice. */
    Square,
    /** "Hex Detailing Coificents" when the hexagonal map is detailed, else "Set Hex Quilt ";
     *  then the other one when the first changed the detail choice. */
    Hex,
    /** "Corner Wild Coificents". */
    Corner,
};
ChooseMapValues FillChooseMap(const CZARN40Doc& doc);
/**
 * Choose Map's OK: selects the family, stores the options and draws a new random quilt. With
 * random settings off the families without a dialog draw again; the square, hexagonal and
 * wild-corner families return the dialogs to show next, after which the caller runs
 * FinishChooseMap(doc, true). The palette is rebuilt by FinishChooseMap.
 */
FamilyDialogs ApplyChooseMap(CZARN40Doc& doc, const ChooseMapValues& v);
/** Ends Choose Map: new names when coefficient dialogs were shown, then the palette. */
void FinishChooseMap(CZARN40Doc& doc, bool dialogsShown);

/** "Use Detail": the detail choices of the square and hexagonal maps. */
struct DetailValues {
    bool useDetailedSquare = false;
    std::uint32_t squareDetailDepth = 6;
    bool useDetailedHex = false;
    std::uint32_t hexDetailDepth = 11;
};
DetailValues FillDetail(const CZARN40Doc& doc);
std::optional<std::string> ValidateDetail(const DetailValues& v);
/** Applies the four values and draws a new quilt, but only when the square choice or depth
 *  changed: hexagonal changes alone are not kept. Returns whether the quilt changed. */
std::optional<std::string> ApplyDetail(CZARN40Doc& doc, const DetailValues& v,
                                       bool* changed = nullptr);

/** "Set View Quilt Periods": any value; its low 16 bits are stored, 0 shows one period. */
std::uint32_t FillViewPeriod(const CZARN40Doc& doc);
/** Stores the period and rebuilds the palette. */
void ApplyViewPeriod(CZARN40Doc& doc, std::uint32_t periods);

/** "Status": the step count (shown only) and the step limit. */
struct StatusValues {
    std::uint32_t stepCount = 0;
    std::uint32_t maxSteps = 0;
};
StatusValues FillStatus(const CZARN40Doc& doc);
/** Checks Max Iterations (1,000,000 to 3,000,000,000). The read-only count is not checked, so
 *  a quilt past a thousand million steps can still get a new limit. */
std::optional<std::string> ValidateStatus(const StatusValues& v);
std::optional<std::string> ApplyStatus(CZARN40Doc& doc, const StatusValues& v);

/** "Set Square Quilt ": the five named square coefficients, Emm, offset and grid size. */
struct SetQuiltValues {
    double lambda = 0.0;
    double alpha = 0.0;
    double beta = 0.0;
    double gamma = 0.0;
    double omega = 0.0;
    int emm = 0;
    bool offset = false;
    std::uint32_t gridSize = 250;
    bool useNewRandomSettings = false;
    bool useDetailed = false;
};
SetQuiltValues FillSetQuilt(const CZARN40Doc& doc);
std::optional<std::string> ValidateSetQuilt(const SetQuiltValues& v);
std::optional<std::string> ApplySetQuilt(CZARN40Doc& doc, const SetQuiltValues& v);

/** "All Coificients Dialog": the square map's 6 x 6 detail table and its settings. */
struct GeneralCoifValues {
    std::array<std::array<double, 6>, 6> coef{};
    std::uint32_t gridSize = 250;
    bool useNewRandomSettings = false;
    bool offset = false;
    std::uint32_t depth = 6;
    bool useDetailed = true;
    int emm = 0;
};
GeneralCoifValues FillGeneralCoif(const CZARN40Doc& doc);
std::optional<std::string> ValidateGeneralCoif(const GeneralCoifValues& v);
std::optional<std::string> ApplyGeneralCoif(CZARN40Doc& doc, const GeneralCoifValues& v);

/** "Set Hex Quilt ": the hexagonal map's coefficients, modes and grid size. */
struct SetHexQuiltValues {
    double lambdaReal = 0.0;
    double lambdaImaginary = 0.0;
    double alphaReal = 0.0;
    double alphaImaginary = 0.0;
    double hAlpha = 0.0;
    std::uint32_t hEmm = 0;
    std::uint32_t gridSize = 0;
    bool useNewRandomSettings = false;
    bool useDetailedHex = false;
    bool knotEffect = false;
};
SetHexQuiltValues FillSetHexQuilt(const CZARN40Doc& doc);
std::optional<std::string> ValidateSetHexQuilt(const SetHexQuiltValues& v);
std::optional<std::string> ApplySetHexQuilt(CZARN40Doc& doc, const SetHexQuiltValues& v);

/** "Hex Detailing Coificents": every detail coefficient multiplied by its weight n_i^2, so that
 *  all twelve share the range [-0.3, 0.3]. */
struct HexDetailValues {
    std::array<Complex, 12> shown{};
    std::int32_t detailDepth = 11;
    std::int32_t gridSize = 0;
    bool useNewRandomSettings = false;
    bool useDetailedHex = false;
    bool knotEffect = false;
};
HexDetailValues FillHexDetail(const CZARN40Doc& doc);
std::optional<std::string> ValidateHexDetail(const HexDetailValues& v);
std::optional<std::string> ApplyHexDetail(CZARN40Doc& doc, const HexDetailValues& v);

/** "Corner Wild Coificents": N, depth, the twelve coefficients and the grid size. */
struct CornerValues {
    WildCornerMap::DialogValues map;
    std::uint32_t gridSize = 250;
    bool useNewRandomSettings = false;
};
CornerValues FillCornerCoefficients(const CZARN40Doc& doc);
/** N 3..42, depth 4..11, coefficients any finite value, grid 20..1000 (the dialog itself puts
 *  no bound on the grid; the square dialogs' range is the sane one). */
std::optional<std::string> ValidateCornerCoefficients(const CornerValues& v);
std::optional<std::string> ApplyCornerCoefficients(CZARN40Doc& doc, const CornerValues& v);

} // namespace zarn
