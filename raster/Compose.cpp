#include "Compose.h"

#include <QPainter>

#include <algorithm>

namespace zarn {

QImage wrapPeriod(const PeriodBitmap& bitmap) {
    return QImage(reinterpret_cast<const uchar*>(bitmap.pixels.data()), bitmap.width, bitmap.height,
                  static_cast<qsizetype>(bitmap.stride) * 4, QImage::Format_ARGB32);
}

void paintTiled(QPainter& painter, const QImage& period, int periods, const QRectF& area) {
    periods = std::max(periods, 1);
    const QSizeF size = period.deviceIndependentSize();
    if (size.isEmpty()) {
        return;
    }
    // Only the copies that meet the area: a window shows a small part of a large tiling.
    const int firstX = std::clamp(static_cast<int>(area.left() / size.width()), 0, periods);
    const int lastX = std::clamp(static_cast<int>(area.right() / size.width()) + 1, 0, periods);
    const int firstY = std::clamp(static_cast<int>(area.top() / size.height()), 0, periods);
    const int lastY = std::clamp(static_cast<int>(area.bottom() / size.height()) + 1, 0, periods);
    for (int ty = firstY; ty < lastY; ++ty) {
        for (int tx = firstX; tx < lastX; ++tx) {
            painter.drawImage(QPointF(tx * size.width(), ty * size.height()), period);
        }
    }
}

QImage composeTiled(const PeriodBitmap& bitmap, int periods) {
    periods = std::max(periods, 1);
    QImage out(bitmap.width * periods, bitmap.height * periods, QImage::Format_RGB32);
    if (out.isNull()) {
        return out;
    }
    QPainter painter(&out);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    paintTiled(painter, wrapPeriod(bitmap), periods, QRectF(out.rect()));
    return out;
}

} // namespace zarn
