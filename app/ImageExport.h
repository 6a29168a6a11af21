#pragma once

#include "render/BitmapFill.h"
#include "render/ViewGeometry.h"

#include <QImage>
#include <QString>

#include <span>
#include <string>

namespace zarn {
class CZARN40Doc;
}

namespace zarn::app {

/** One of the Quilt menu's picture exports: its command, the file dialog's default extension
 *  and filter, and the encoder's MIME type. */
struct ExportFormat {
    int command;
    const char* suffix;
    const char* filter;
    const char* mimeType;
};

/** The picture exports: BMP, JPEG (quality 100), TIFF (menu item and toolbar button), GIF,
 *  PNG. */
std::span<const ExportFormat> exportFormats();
/** The export of @p command; null for any other command. */
const ExportFormat* exportFormatFor(int command);
/** "Save 'jpeg' of Selected Window": a JPEG at the encoder's default quality. */
const ExportFormat& windowCaptureFormat();

/**
 * Composes what an export of @p view writes (the window's picture; the poly image in the poly
 * view) and writes it to @p path. Returns an empty string on success, else one line naming the
 * file and the reason. An earlier file of that name survives a failure. Runs on any thread.
 */
std::string exportPicture(const PeriodBitmap& bitmap, const ViewGeometry& view, const QString& path,
                          const ExportFormat& format);
/** Writes @p image as @p format (the window capture); the same message as exportPicture. */
std::string writePicture(const QImage& image, const QString& path, const ExportFormat& format);

/** Which of the document's names an export starts from and keeps its path in. */
enum class ExportName { Quilt, Poly, Window };
/** The name the file dialog proposes. */
QString exportName(const CZARN40Doc& doc, ExportName which);
/** The chosen path becomes that name, so the next export proposes it; a path longer than a
 *  name can hold (a session stores 299 bytes) leaves the name as it was. */
void rememberExportPath(CZARN40Doc& doc, ExportName which, const QString& path);

} // namespace zarn::app
