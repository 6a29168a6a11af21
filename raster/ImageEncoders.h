#pragma once

#include <QImage>
#include <QString>

#include <cstdint>
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
 *  capture sets quality to -1 for the writer's default); PNG and GIF by the program's own
 *  encoders, GIF with a quantized, dithered palette. */
std::optional<ImageEncoder> FindEncoder(const QString& mimeType);

/** The MIME type for a file name's extension (.png, .bmp, .jpg/.jpeg, .tif/.tiff, .gif), empty
 *  when the extension is not one the program writes. The byte string overload reads the name as
 *  the bytes it is, whatever their encoding. */
QString mimeTypeForPath(const std::string& path);
QString mimeTypeForPath(const QString& path);
inline QString mimeTypeForPath(const char* path) {
    return mimeTypeForPath(std::string(path));
}

/**
 * Why @p encoder cannot write a @p width x @p height picture, or empty when it can: the limits of
 * the format and of the encoder behind it, known before the picture is drawn.
 *
 * - PNG: at most 1,000,000 pixels a side (the PNG library's limit for a header it writes).
 * - BMP: the file size field is a signed 32-bit number: 54 header bytes plus rows of 24-bit
 *   pixels, each padded to 4 bytes, times the height must stay at most 2,147,483,647.
 * - JPEG: at most 65,500 pixels a side.
 * - TIFF: a classic TIFF file addresses at most 4 GiB; the picture is written as 24-bit pixels.
 * - GIF: at most 65,535 pixels a side, and at most 536,870,911 pixels in all (the colour
 *   quantizer's limit: four bytes a pixel within a signed 32-bit size).
 */
std::string imageSizeLimitError(const ImageEncoder& encoder, std::int64_t width,
                                std::int64_t height);

/**
 * Writes @p image to @p path with @p encoder through a temporary file that replaces the target
 * only when complete, so a failed export leaves an earlier file of that name as it was. Returns
 * an empty string on success, else one line naming the file and the reason ("cannot write
 * 'a.png': No space left on device", "cannot encode 'a.jpg': Maximum supported image dimension
 * is 65500 pixels"). What the image libraries say while encoding becomes the reason; none of it
 * is printed.
 *
 * @p path is kept byte for byte; the QString overload turns a name into the bytes the file
 * system uses (QFile::encodeName).
 */
std::string writeImageFile(const QImage& image, const std::string& path,
                           const ImageEncoder& encoder);
std::string writeImageFile(const QImage& image, const QString& path, const ImageEncoder& encoder);
inline std::string writeImageFile(const QImage& image, const char* path,
                                  const ImageEncoder& encoder) {
    return writeImageFile(image, std::string(path), encoder);
}

} // namespace zarn
