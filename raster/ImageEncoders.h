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

/** The encoder for @p mimeType ("image/bmp", "image/jpeg", "image/tiff", "image/png",
 *  "image/gif"), if this installation can write it. JPEG is written at quality 100 (a window
 *  capture sets quality to -1 for the writer's default); GIF by the program's own encoder, with
 *  a quantized, dithered palette. */
std::optional<ImageEncoder> FindEncoder(const QString& mimeType);

/** The MIME type for a file name's extension (.png, .bmp, .jpg/.jpeg, .tif/.tiff, .gif), empty
 *  when the extension is not one the program writes. */
QString mimeTypeForPath(const QString& path);

/** Writes @p image to @p path with @p encoder through a temporary file that replaces the target
 *  only when complete, so a failed export leaves an earlier file of that name as it was. Returns
 *  an empty string on success, else a message naming the file and the reason ("cannot write
 *  'a.png': No space left on device"). */
std::string writeImageFile(const QImage& image, const QString& path, const ImageEncoder& encoder);

} // namespace zarn
