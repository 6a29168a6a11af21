#pragma once

#include <QImage>
#include <QString>

#include <vector>

namespace zarn {

/** One picture of a contact sheet and the line written under it. */
struct SheetEntry {
    QImage picture;
    QString label;
};

/**
 * The pictures in rows of @p columns, in order, each scaled (smoothly, in proportion) into a
 * @p thumb x @p thumb square and labelled below in the application's default font, on a dark
 * ground. Drawing text needs a QGuiApplication (see ensureFontSupport). Null when there is no
 * entry or memory runs out.
 */
QImage composeContactSheet(const std::vector<SheetEntry>& entries, int columns, int thumb);

/**
 * Makes sure a QGuiApplication exists so that text can be drawn, creating one on the offscreen
 * platform (no display needed) if the program has none; it lives until the program ends.
 */
void ensureFontSupport();

} // namespace zarn
