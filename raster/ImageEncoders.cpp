#include "ImageEncoders.h"

#include <QFileInfo>
#include <QImageWriter>
#include <QSaveFile>

namespace zarn {

namespace {
struct KnownEncoder {
    const char* mime;
    const char* format;
    int quality;
};

constexpr KnownEncoder kKnown[] = {
    {"image/png", "png", -1},
    {"image/bmp", "bmp", -1},
    {"image/jpeg", "jpeg", 100},
    {"image/tiff", "tiff", -1},
};
} // namespace

std::optional<ImageEncoder> FindEncoder(const QString& mimeType) {
    const QList<QByteArray> available = QImageWriter::supportedMimeTypes();
    for (const KnownEncoder& k : kKnown) {
        if (mimeType.compare(QLatin1String(k.mime), Qt::CaseInsensitive) == 0 &&
            available.contains(QByteArray(k.mime))) {
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
    return {};
}

std::string writeImageFile(const QImage& image, const QString& path, const ImageEncoder& encoder) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        return "cannot write '" + path.toStdString() + "': " + file.errorString().toStdString();
    }
    QImageWriter writer(&file, encoder.format);
    if (encoder.quality >= 0) {
        writer.setQuality(encoder.quality);
    }
    // JPEG and BMP carry no alpha; the picture is opaque anyway.
    const QImage opaque =
        image.hasAlphaChannel() ? image.convertToFormat(QImage::Format_RGB32) : image;
    if (!writer.write(opaque)) {
        file.cancelWriting();
        return "cannot encode '" + path.toStdString() + "': " + writer.errorString().toStdString();
    }
    if (!file.commit()) {
        return "cannot write '" + path.toStdString() + "': " + file.errorString().toStdString();
    }
    return {};
}

} // namespace zarn
