#pragma once

#include "engine/Complex.h"
#include "maps/HexMap.h"
#include "maps/WildCornerMap.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace zarn {

class CZARN40Doc;

/**
 * What the coefficient dialogs apply when they end with OK, as functions on plain values. A dialog
 * fills its values with the Fill function, lets the user edit them, checks them with the Validate
 * function (an error names the field: "Emm: Please enter an integer between -2 and 2.") and applies
 * them. Every Apply pauses the worker for its whole run, refuses invalid values without changing
 * anything, and returns the error it refused with.
 */

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
/** Pushes the document's detail depth and flag into the square map (as opening the dialog does)
 *  and returns the values it shows. */
GeneralCoifValues PrepareGeneralCoif(CZARN40Doc& doc);
std::optional<std::string> ValidateGeneralCoif(const GeneralCoifValues& v);
std::optional<std::string> ApplyGeneralCoif(CZARN40Doc& doc, const GeneralCoifValues& v);

/** "Set Hex Quilt ": the hexagonal map's coefficients, modes and grid size. */
SetHexQuiltValues FillSetHexQuilt(const CZARN40Doc& doc);
std::optional<std::string> ApplySetHexQuilt(CZARN40Doc& doc, const SetHexQuiltValues& v);

/** "Hex Detailing Coificents": the twelve detail coefficients (shown times their weights). */
HexDetailValues FillHexDetail(const CZARN40Doc& doc);
std::optional<std::string> ApplyHexDetail(CZARN40Doc& doc, const HexDetailValues& v);

/** "Corner Wild Coificents": N, depth, the twelve coefficients and the grid size. */
struct CornerValues {
    WildCornerMap::DialogValues map;
    std::uint32_t gridSize = 250;
    bool useNewRandomSettings = false;
};
CornerValues FillCornerCoefficients(const CZARN40Doc& doc);
std::optional<std::string> ValidateCornerCoefficients(const CornerValues& v);
std::optional<std::string> ApplyCornerCoefficients(CZARN40Doc& doc, const CornerValues& v);

} // namespace zarn
