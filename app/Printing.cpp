#include "Printing.h"

#include "raster/Compose.h"

#include <QCoreApplication>
#include <QPainter>
#include <QPrinter>

#include <algorithm>

namespace zarn::app {

namespace {

void placeCopies(QPainter& painter, const QImage& image, int periods, bool scaleToPage,
                 const PrinterPage& page) {
    if (image.isNull()) {
        return;
    }
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform, scaleToPage);
    for (const QRect& target : printPlacement(image.size(), periods, scaleToPage, page)) {
        painter.drawImage(target, image);
    }
    painter.restore();
}

} // namespace

PrinterPage pageOf(QPrinter& printer) {
    return {printer.width(), printer.height(), printer.logicalDpiX()};
}

int printSide(const PrinterPage& page) {
    const int margin = page.dpi / 2;
    return std::max(0, std::min(page.width - margin, page.height - margin));
}

std::vector<QRect> printPlacement(QSize picture, int periods, bool scaleToPage,
                                  const PrinterPage& page) {
    const int side = printSide(page);
    if (picture.isEmpty() || side <= 0) {
        return {};
    }
    if (scaleToPage) {
        const int margin = page.dpi / 2;
        return {QRect(margin, margin, side, side)};
    }
    periods = std::max(periods, 1);
    const int columns = std::min(periods, side / picture.width());
    const int rows = std::min(periods, side / picture.height());
    std::vector<QRect> copies;
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < columns; ++c) {
            copies.emplace_back(QPoint(c * picture.width(), r * picture.height()), picture);
        }
    }
    return copies;
}

void PrintPlain(QPainter& painter, const PrintJob& job, const PrinterPage& page) {
    placeCopies(painter, periodSource(job.bitmap), job.view.periods, job.scaleToPage, page);
}

void PrintQuazi(QPainter& painter, const PrintJob& job) {
    if (!job.view.quazi || job.bitmap.width <= 0) {
        return;
    }
    QuaziMapping mapping = *job.view.quazi;
    paintQuazi(painter, periodSource(job.bitmap), mapping, job.bitmap.width - 2);
}

void PrintPoly(QPainter& painter, const PrintJob& job, const PrinterPage& page) {
    if (!job.view.poly) {
        return;
    }
    placeCopies(painter, renderPolyImage(job.bitmap, *job.view.poly), job.view.periods,
                job.scaleToPage, page);
}

void printPicture(QPainter& painter, const PrintJob& job, const PrinterPage& page) {
    switch (job.view.mode) {
    case ViewMode::Poly:
        PrintPoly(painter, job, page);
        return;
    case ViewMode::Quazi:
        PrintQuazi(painter, job);
        return;
    case ViewMode::Tile:
        PrintPlain(painter, job, page);
        return;
    }
}

QString printOn(QPrinter& printer, const PrintJob& job) {
    QPainter painter;
    if (!painter.begin(&printer)) {
        return QCoreApplication::translate("zarn::app", "Could not start print job.");
    }
    printPicture(painter, job, pageOf(printer));
    painter.end();
    return {};
}

} // namespace zarn::app
