#include "ImageEncoders.h"

#include "GifEncoder.h"
#include "LibraryMessages.h"
#include "PngEncoder.h"

#include "engine/FileIO.h"

#include <QBuffer>
#include <QFile>
#include <QImageWriter>

#include <cstdint>
#include <new>

namespace zarn {

namespace {

struct KnownEncoder {
    const char* mime;
    const char* format;
    int quality;
    /** Written by the program itself rather than by Qt's image writers. */
    bool own;
};

constexpr KnownEncoder kKnown[] = {
    {"image/png", "png", -1, true},     {"image/bmp", "bmp", -1, false},
    {"image/jpeg", "jpeg", 100, false}, {"image/tiff", "tiff", -1, false},
    {"image/gif", "gif", -1, true},
};

constexpr std::int64_t kMaxJpegSide = 65500;
constexpr std::int64_t kMaxGifSide = 65535;
/** The colour quantizer holds a picture of four bytes a pixel within a signed 32-bit size. */
constexpr std::int64_t kMaxGifPixels = 2147483647 / 4;
constexpr std::int64_t kMaxBmpBytes = 2147483647;
constexpr std::int64_t kBmpHeaderBytes = 54;
constexpr std::int64_t kMaxTiffBytes = 4294967295;

/** "PNG", "JPEG": the format as people name it. */
std::string formatLabel(const ImageEncoder& encoder) {
    return encoder.format.toUpper().toStdString();
}

std::string sizeText(std::int64_t width, std::int64_t height) {
    return std::to_string(width) + " x " + std::to_string(height);
}

/** Encodes with Qt's writer for the format, into @p bytes; the reason when it fails. */
std::string encodeWithQt(const QImage& image, const ImageEncoder& encoder, QByteArray& bytes) {
    LibraryMessages messages;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, encoder.format);
    if (encoder.quality >= 0) {
        writer.setQuality(encoder.quality);
    }
    // JPEG and BMP carry no alpha; the picture is opaque anyway.
    const QImage opaque =
        image.hasAlphaChannel() ? image.convertToFormat(QImage::Format_RGB32) : image;
    if (opaque.isNull()) {
        return "not enough memory to convert the picture";
    }
    if (writer.write(opaque)) {
        return {};
    }
    if (!messages.reason().empty()) {
        return messages.reason();
    }
    if (writer.error() != QImageWriter::UnknownError) {
        return writer.errorString().toStdString();
    }
    return "the " + formatLabel(encoder) + " writer stopped without giving a reason";
}

/** The encoded file, or the reason there is none. */
std::string encode(const QImage& image, const ImageEncoder& encoder, QByteArray& bytes) {
    try {
        if (encoder.format == "gif") {
            GifEncoding gif = encodeGif(image);
            bytes = std::move(gif.bytes);
            return gif.error;
        }
        if (encoder.format == "png") {
            PngEncoding png = encodePng(image);
            bytes = std::move(png.bytes);
            return png.error;
        }
        return encodeWithQt(image, encoder, bytes);
    } catch (const std::bad_alloc&) {
        bytes.clear();
        return "not enough memory to encode the picture";
    }
}

} // namespace

std::optional<ImageEncoder> FindEncoder(const QString& mimeType) {
    const QList<QByteArray> available = QImageWriter::supportedMimeTypes();
    for (const KnownEncoder& k : kKnown) {
        if (mimeType.compare(QLatin1String(k.mime), Qt::CaseInsensitive) == 0 &&
            (k.own || available.contains(QByteArray(k.mime)))) {
            return ImageEncoder{QString::fromLatin1(k.mime), QByteArray(k.format), k.quality};
        }
    }
    return std::nullopt;
}

QString mimeTypeForPath(const std::string& path) {
    // The extension is ASCII; whatever else the name holds is never decoded.
    const std::size_t slash = path.rfind('/');
    const std::size_t dot = path.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) {
        return {};
    }
    std::string ext = path.substr(dot + 1);
    for (char& c : ext) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    if (ext == "png") {
        return QStringLiteral("image/png");
    }
    if (ext == "bmp") {
        return QStringLiteral("image/bmp");
    }
    if (ext == "jpg" || ext == "jpeg") {
        return QStringLiteral("image/jpeg");
    }
    if (ext == "tif" || ext == "tiff") {
        return QStringLiteral("image/tiff");
    }
    if (ext == "gif") {
        return QStringLiteral("image/gif");
    }
    return {};
}

QString mimeTypeForPath(const QString& path) {
    return mimeTypeForPath(QFile::encodeName(path).toStdString());
}

std::string imageSizeLimitError(const ImageEncoder& encoder, std::int64_t width,
                                std::int64_t height) {
    const std::string label = formatLabel(encoder);
    const auto tooWide = [&](std::int64_t side) {
        return "a " + label + " holds at most " + std::to_string(side) + " pixels a side, not " +
               sizeText(width, height);
    };
    if (width <= 0 || height <= 0) {
        return "the picture is empty";
    }
    if (encoder.format == "png" && (width > kMaxPngSide || height > kMaxPngSide)) {
        return tooWide(kMaxPngSide);
    }
    if (encoder.format == "jpeg" && (width > kMaxJpegSide || height > kMaxJpegSide)) {
        return tooWide(kMaxJpegSide);
    }
    if (encoder.format == "gif") {
        if (width > kMaxGifSide || height > kMaxGifSide) {
            return tooWide(kMaxGifSide);
        }
        if (width * height > kMaxGifPixels) {
            return "the GIF encoder's colour quantizer takes at most " +
                   std::to_string(kMaxGifPixels) + " pixels (23170 x 23170), not " +
                   sizeText(width, height) + " = " + std::to_string(width * height);
        }
    }
    if (encoder.format == "bmp") {
        const std::int64_t bytes = kBmpHeaderBytes + (width * 3 + 3) / 4 * 4 * height;
        if (bytes > kMaxBmpBytes) {
            return "a BMP file holds at most " + std::to_string(kMaxBmpBytes) + " bytes; " +
                   sizeText(width, height) + " pixels take " + std::to_string(bytes);
        }
    }
    if (encoder.format == "tiff") {
        // Pixels, strip tables (at most one strip a row) and the header and directory.
        const std::int64_t bytes = width * height * 3 + height * 8 + 4096;
        if (bytes > kMaxTiffBytes) {
            return "a TIFF file holds at most " + std::to_string(kMaxTiffBytes) + " bytes; " +
                   sizeText(width, height) + " pixels take " + std::to_string(bytes);
        }
    }
    return {};
}

std::string writeImageFile(const QImage& image, const std::string& path,
                           const ImageEncoder& encoder) {
    const std::string quoted = "'" + path + "'";
    if (image.isNull()) {
        return "cannot write " + quoted + ": the picture is empty";
    }
    if (const std::string limit = imageSizeLimitError(encoder, image.width(), image.height());
        !limit.empty()) {
        return "cannot write " + quoted + ": " + limit;
    }
    // The file is encoded in memory first and written by the one writer that checks every write,
    // the sync and the rename: a full disk must never pass for a finished export.
    QByteArray bytes;
    if (const std::string error = encode(image, encoder, bytes); !error.empty()) {
        return "cannot encode " + quoted + ": " + error;
    }
    return writeFileAtomically(path, reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                               static_cast<std::size_t>(bytes.size()))
        .error;
}

std::string writeImageFile(const QImage& image, const QString& path, const ImageEncoder& encoder) {
    return writeImageFile(image, QFile::encodeName(path).toStdString(), encoder);
}

} // namespace zarn
