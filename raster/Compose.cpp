#include "Compose.h"

#include <QPainter>

#include <algorithm>

namespace zarn {

QImage wrapPeriod(const PeriodBitmap& bitmap) {
    return QImage(reinterpret_cast<const uchar*>(bitmap.pixels.data()), bitmap.width, bitmap.height,
                  static_cast<qsizetype>(bitmap.stride) * 4, QImage::Format_ARGB32);
}

QImage composeTiled(const PeriodBitmap& bitmap, int periods) {
    periods = std::max(periods, 1);
    const QImage period = wrapPeriod(bitmap);
    QImage out(bitmap.width * periods, bitmap.height * periods, QImage::Format_RGB32);
    if (out.isNull()) {
        return out;
    }
    QPainter painter(&out);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    for (int ty = 0; ty < periods; ++ty) {
        for (int tx = 0; tx < periods; ++tx) {
            painter.drawImage(tx * bitmap.width, ty * bitmap.height, period);
        }
    }
    return out;
}

} // namespace zarn
