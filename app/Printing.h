#pragma once

#include "render/BitmapFill.h"
#include "render/ViewGeometry.h"

#include <QRect>
#include <QSize>
#include <QString>

#include <vector>

class QPainter;
class QPrinter;

namespace zarn::app {

/** What a print needs to know of the page, in printer pixels. */
struct PrinterPage {
    /** The printable width and height. */
    int width = 0;
    int height = 0;
    /** Printer pixels per inch across. */
    int dpi = 0;
};

/** The page of @p printer as it prints now. */
PrinterPage pageOf(QPrinter& printer);

/** The side of the square a scaled print fills: the page width less half an inch, and never
 *  more than the page height less half an inch (so a landscape page keeps the whole square). */
int printSide(const PrinterPage& page);

/**
 * Where the copies of a @p picture-sized image land on the page: with @p scaleToPage one square
 * of side printSide() half an inch from the top and the left; otherwise the copies pixel for
 * pixel from the top-left corner, @p periods across and down or as many as fit in that side.
 */
std::vector<QRect> printPlacement(QSize picture, int periods, bool scaleToPage,
                                  const PrinterPage& page);

/** What a print draws: a period bitmap built for it, the window's view and its "Print What"
 *  choice. */
struct PrintJob {
    PeriodBitmap bitmap;
    ViewGeometry view;
    bool scaleToPage = false;
};

/** The tiled view: the period scaled to the page, or its copies pixel for pixel. */
void PrintPlain(QPainter& painter, const PrintJob& job, const PrinterPage& page);
/** The quasi-crystal view: every rhombus in printer pixels, unscaled. */
void PrintQuazi(QPainter& painter, const PrintJob& job);
/** The poly view: the poly image scaled to the page, or its copies pixel for pixel. */
void PrintPoly(QPainter& painter, const PrintJob& job, const PrinterPage& page);
/** The print of @p job's view. */
void printPicture(QPainter& painter, const PrintJob& job, const PrinterPage& page);

/** Prints @p job on one page of @p printer; the reason when the job cannot start, else empty. */
QString printOn(QPrinter& printer, const PrintJob& job);

} // namespace zarn::app
