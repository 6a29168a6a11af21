#include "ImageEncoders.h"

#include "GifEncoder.h"

#include "engine/FileIO.h"

#include <QBuffer>
#include <QFileInfo>
#include <QImageWriter>

#include <cstdint>
#include <vector>

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
    {"image/png", "png", -1, false},    {"image/bmp", "bmp", -1, false},
    {"image/jpeg", "jpeg", 100, false}, {"image/tiff", "tiff", -1, false},
    {"image/gif", "gif", -1, true},
};

std::string failure(const char* what, const QString& path, const QString& reason) {
    return std::string(what) + " '" + path.toStdString() + "': " + reason.toStdString();
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

QString mimeTypeForPath(const QString& path) {
    const QString ext = QFileInfo(path).suffix().toLower();
    if (ext == QLatin1String("png")) {
        return QStringLiteral("image/png");
    }
    if (ext == QLatin1String("bmp")) {
        return QStringLiteral("image/bmp");
    }
    if (ext == QLatin1String("jpg") || ext == QLatin1String("jpeg")) {
        return QStringLiteral("image/jpeg");
    }
    if (ext == QLatin1String("tif") || ext == QLatin1String("tiff")) {
        return QStringLiteral("image/tiff");
    }
    if (ext == QLatin1String("gif")) {
        return QStringLiteral("image/gif");
    }
    return {};
}

std::string writeImageFile(const QImage& image, const QString& path, const ImageEncoder& encoder) {
    if (image.isNull()) {
        return failure("cannot write", path, QStringLiteral("the picture is empty"));
    }
    // The file is encoded in memory first and written by the one writer that checks every write,
    // the sync and the rename: Qt's buffered file devices can lose a failed flush, and a full
    // disk must never pass for a finished export.
    QByteArray bytes;
    if (encoder.format == "gif") {
        GifEncoding gif = encodeGif(image);
        if (!gif.error.empty()) {
            return failure("cannot encode", path, QString::fromStdString(gif.error));
        }
        bytes = std::move(gif.bytes);
    } else {
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        QImageWriter writer(&buffer, encoder.format);
        if (encoder.quality >= 0) {
            writer.setQuality(encoder.quality);
        }
        // JPEG and BMP carry no alpha; the picture is opaque anyway.
        const QImage opaque =
            image.hasAlphaChannel() ? image.convertToFormat(QImage::Format_RGB32) : image;
        if (!writer.write(opaque)) {
            return failure("cannot encode", path, writer.errorString());
        }
    }
    const std::vector<std::uint8_t> data(bytes.begin(), bytes.end());
    return writeFileAtomically(path.toStdString(), data).error;
}

} // namespace zarn
