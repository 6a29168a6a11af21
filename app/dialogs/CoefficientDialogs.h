#pragma once

#include "FieldDialog.h"
#include "document/DialogApply.h"

namespace zarn::app {

/**
 * The coefficient dialogs of the square, hexagonal and wild-corner families. Each edits a copy
 * of the document's values (from its Fill function); values() holds what OK accepted, checked
 * by the document's Validate function, for its Apply function.
 */

/** "Set Square Quilt ": the five named square coefficients, Emm, offset and grid size. */
class SETQUILT : public ValuesDialog<SetQuiltValues, ValidateSetQuilt> {
public:
    explicit SETQUILT(const SetQuiltValues& values, QWidget* parent = nullptr);
};

/** "All Coificients Dialog": the square map's 6 x 6 detail table, entry (a, b) in column a and
 *  row b, and its settings. */
class GeneralCoif : public ValuesDialog<GeneralCoifValues, ValidateGeneralCoif> {
public:
    explicit GeneralCoif(const GeneralCoifValues& values, QWidget* parent = nullptr);
};

/** "Set Hex Quilt ": the hexagonal map's coefficients, modes and grid size. */
class SetHQuilt : public ValuesDialog<SetHexQuiltValues, ValidateSetHexQuilt> {
public:
    explicit SetHQuilt(const SetHexQuiltValues& values, QWidget* parent = nullptr);
};

/** "Hex Detailing Coificents": twelve rows of weighted detail coefficients, real part left. */
class HexDetail : public ValuesDialog<HexDetailValues, ValidateHexDetail> {
public:
    explicit HexDetail(const HexDetailValues& values, QWidget* parent = nullptr);
};

/** "Corner Wild Coificents": N, depth, the twelve weighted coefficients and the grid size. */
class GetXcoif : public ValuesDialog<CornerValues, ValidateCornerCoefficients> {
public:
    explicit GetXcoif(const CornerValues& values, QWidget* parent = nullptr);
};

} // namespace zarn::app
