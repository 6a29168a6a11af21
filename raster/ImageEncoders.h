#pragma once

#include <QImage>
#include <QString>

#include <optional>
#include <string>

namespace zarn {

/** An image encoder: what the program asks for by MIME type, and what Qt's writer calls it. */
struct ImageEncoder {
    QString mimeType;  ///< "image/png"
    QByteArray format; ///< Qt's format name, "png"
    int quality = -1;  ///< encoder quality parameter, -1 for the writer's default
};

/** The encoder for @p mimeType ("image/bmp", "image/jpeg", "image/tiff", "image/png"), if this
 *  installation can write it. JPEG is written at quality 100. */
std::optional<ImageEncoder> FindEncoder(const QString& mimeType);

/** The MIME type for a file name's extension (.png, .bmp, .jpg/.jpeg, .tif/.tiff), empty when
 *  the extension is not one the program writes. */
QString mimeTypeForPath(const QString& path);

/** Writes @p image to @p path with @p encoder through a temporary file that replaces the target
 *  only when complete. Returns an empty string on success, else the reason. */
std::string writeImageFile(const QImage& image, const QString& path, const ImageEncoder& encoder);

} // namespace zarn
