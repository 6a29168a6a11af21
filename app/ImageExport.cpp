#include "ImageExport.h"

#include "CommandTable.h"
#include "document/CZARN40Doc.h"
#include "raster/Compose.h"
#include "raster/ImageEncoders.h"

#include <QFile>

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <optional>

namespace zarn::app {

namespace {

constexpr ExportFormat kFormats[] = {
    {cmd::SaveBmp, "bmp", "BMP FILES (*.bmp)", "image/bmp"},
    {cmd::SaveJpeg, "jpg", "JPG FILES (*.jpg)", "image/jpeg"},
    {cmd::SaveTiff, "tif", "TIFF FILES (*.tif)", "image/tiff"},
    {cmd::SaveTiffButton, "tif", "TIFF FILES (*.tif)", "image/tiff"},
    {cmd::SaveGif, "gif", "Gif FILES (*.gif)", "image/gif"},
    {cmd::SavePng, "png", "PNG FILES (*.png)", "image/png"},
};

constexpr ExportFormat kWindowCapture = {cmd::SaveWindowJpeg, "jpg", "JPG FILES (*.jpg)",
                                         "image/jpeg"};

/** The encoder of @p format, or why there is none. */
std::optional<ImageEncoder> encoderFor(const ExportFormat& format, std::string& error,
                                       const QString& path) {
    std::optional<ImageEncoder> encoder = FindEncoder(QString::fromLatin1(format.mimeType));
    if (!encoder) {
        error = "cannot write '" + path.toStdString() + "': this installation has no encoder for " +
                format.mimeType;
        return std::nullopt;
    }
    if (format.command == cmd::SaveWindowJpeg) {
        // A window capture takes the encoder's own quality.
        encoder->quality = -1;
    }
    return encoder;
}

std::string& nameOf(QuiltNames& names, ExportName which) {
    switch (which) {
    case ExportName::Poly:
        return names.ptesName;
    case ExportName::Window:
        return names.windowName;
    case ExportName::Quilt:
        break;
    }
    return names.quiltName;
}

} // namespace

std::span<const ExportFormat> exportFormats() {
    return kFormats;
}

const ExportFormat* exportFormatFor(int command) {
    const auto it = std::find_if(std::begin(kFormats), std::end(kFormats),
                                 [command](const ExportFormat& f) { return f.command == command; });
    return it == std::end(kFormats) ? nullptr : &*it;
}

const ExportFormat& windowCaptureFormat() {
    return kWindowCapture;
}

std::string exportPicture(const PeriodBitmap& bitmap, const ViewGeometry& view, const QString& path,
                          const ExportFormat& format) {
    std::string error;
    const std::optional<ImageEncoder> encoder = encoderFor(format, error, path);
    if (!encoder) {
        return error;
    }
    const std::int64_t periods = std::max(view.periods, 1);
    const bool poly = view.mode == ViewMode::Poly && view.poly;
    const std::int64_t width = poly ? view.poly->ImageWidth() : bitmap.width * periods;
    const std::int64_t height = poly ? view.poly->ImageHeight() : bitmap.height * periods;
    if (const std::string limit = imageSizeLimitError(*encoder, width, height); !limit.empty()) {
        return "cannot write '" + path.toStdString() + "': " + limit;
    }
    const QImage image = composeExport(bitmap, view);
    if (image.isNull()) {
        return "cannot write '" + path.toStdString() + "': not enough memory for a " +
               std::to_string(width) + " x " + std::to_string(height) + " picture";
    }
    return writeImageFile(image, path, *encoder);
}

std::string writePicture(const QImage& image, const QString& path, const ExportFormat& format) {
    std::string error;
    const std::optional<ImageEncoder> encoder = encoderFor(format, error, path);
    if (!encoder) {
        return error;
    }
    if (const std::string limit = imageSizeLimitError(*encoder, image.width(), image.height());
        !limit.empty()) {
        return "cannot write '" + path.toStdString() + "': " + limit;
    }
    return writeImageFile(image, path, *encoder);
}

QString exportName(const CZARN40Doc& doc, ExportName which) {
    DocumentSnapshot snapshot = doc.snapshot();
    QuiltNames names{snapshot.quiltName, snapshot.sessionName, snapshot.ptesName,
                     snapshot.windowName, 0};
    return QString::fromStdString(nameOf(names, which));
}

void rememberExportPath(CZARN40Doc& doc, ExportName which, const QString& path) {
    const QByteArray bytes = QFile::encodeName(path);
    if (bytes.size() >= CZARN40Doc::kNameLength) {
        return;
    }
    ScopedPause pause(doc);
    nameOf(doc.State(pause).names, which) = bytes.toStdString();
}

} // namespace zarn::app
