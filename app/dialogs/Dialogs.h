#pragma once

#include "render/LevelScale.h"

class QWidget;

namespace zarn {
class CZARN40Doc;
}

namespace zarn::app {

/**
 * The Quilt menu's dialog commands. Each shows its dialog(s) modally over @p parent, applies what
 * the user accepted through the document/ functions and returns whether the document changed;
 * the caller then updates the document's views with the hint its command calls for. Cancel
 * leaves the document as it was.
 */

/** "Choose Fractal": Choose Map, then (with "Use Random Settings" off) the family's coefficient
 *  dialogs, then the palette. */
bool runChooseFractal(QWidget* parent, CZARN40Doc& doc);
/** "Toggle Detailed Generation": the "Use Detail" dialog. */
bool runDetailSettings(QWidget* parent, CZARN40Doc& doc);
/** "Set Image Period": the "Set View Quilt Periods" dialog. */
bool runImagePeriod(QWidget* parent, CZARN40Doc& doc);
/** "Set Image Colors": the "Color Control" dialog, its palette preview on the classic scale. */
bool runImageColors(QWidget* parent, CZARN40Doc& doc);
/** The same with the preview on the level scale @p scale (the active window's). */
bool runImageColors(QWidget* parent, CZARN40Doc& doc, LevelScaleKind scale);
/** "Iteration Maximum and Current": the "Status" dialog. */
bool runIterationStatus(QWidget* parent, CZARN40Doc& doc);
/** The converged-quilt notice: "This Quilt converged to too few points. Restart it with a new
 *  Setup." with an OK button; returns when it is closed. */
void runConvergedNotice(QWidget* parent);

} // namespace zarn::app
