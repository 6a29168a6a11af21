#include "Compose.h"

#include <QBrush>
#include <QPainter>
#include <QPolygonF>
#include <QTransform>

#include <algorithm>
#include <array>
#include <cmath>

namespace zarn {

namespace {

/** The affine map taking @p source's rectangle to p0 (top-left), p1 (top-right), p2
 *  (bottom-left); false when the target has no area. */
bool affineOnto(const QImage& source, QPointF p0, QPointF p1, QPointF p2, QTransform& out) {
    const double w = source.width();
    const double h = source.height();
    if (w <= 0.0 || h <= 0.0) {
        return false;
    }
    const QTransform t((p1.x() - p0.x()) / w, (p1.y() - p0.y()) / w, (p2.x() - p0.x()) / h,
                       (p2.y() - p0.y()) / h, p0.x(), p0.y());
    if (!(std::abs(t.determinant()) > 1e-12)) {
        return false;
    }
    out = t;
    return true;
}

/** Fills @p polygon with @p source mapped by @p t. A texture brush repeats, but only the one
 *  copy inside the polygon is ever sampled (and the period's edges join seamlessly anyway). */
void fillMapped(QPainter& painter, const QImage& source, const QTransform& t,
                const QPointF* polygon, int corners) {
    QBrush brush(source);
    brush.setTransform(t);
    painter.setBrush(brush);
    painter.drawPolygon(polygon, corners);
}

/** Sets what every mapped draw uses; the caller saves and restores the painter around it. */
void prepareMappedDraws(QPainter& painter) {
    painter.setPen(Qt::NoPen);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
    // Neighbours overlap a little instead; smoothed edges would show seams.
    painter.setRenderHint(QPainter::Antialiasing, false);
}

/** Where drawing can land, for skipping shapes outside it; empty when unknown (a transformed
 *  painter), and then nothing is skipped. */
QRectF drawableArea(const QPainter& painter) {
    if (!painter.worldTransform().isIdentity() || painter.device() == nullptr) {
        return {};
    }
    return QRectF(0.0, 0.0, painter.device()->width(), painter.device()->height());
}

bool outside(const QRectF& area, const QPointF* points, int count) {
    if (area.isEmpty()) {
        return false;
    }
    double left = points[0].x();
    double right = left;
    double top = points[0].y();
    double bottom = top;
    for (int i = 1; i < count; ++i) {
        left = std::min(left, points[i].x());
        right = std::max(right, points[i].x());
        top = std::min(top, points[i].y());
        bottom = std::max(bottom, points[i].y());
    }
    return right < area.left() || left > area.right() || bottom < area.top() || top > area.bottom();
}

QImage whiteImage(int width, int height) {
    if (width <= 0 || height <= 0) {
        return {};
    }
    QImage out(width, height, QImage::Format_RGB32);
    if (!out.isNull()) {
        out.fill(Qt::white);
    }
    return out;
}

/** @p image repeated periods x periods times (at least once). */
QImage tiledCopies(const QImage& image, int periods) {
    periods = std::max(periods, 1);
    if (image.isNull()) {
        return {};
    }
    QImage out(image.width() * periods, image.height() * periods, QImage::Format_RGB32);
    if (out.isNull()) {
        return out;
    }
    QPainter painter(&out);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    paintTiled(painter, image, periods, QRectF(out.rect()));
    return out;
}

QPointF toPoint(CornerPoint c) {
    return QPointF(c.x, c.y);
}

} // namespace

void paintTiled(QPainter& painter, const QImage& image, int periods, const QRectF& area) {
    periods = std::max(periods, 1);
    const QSizeF size = image.deviceIndependentSize();
    if (size.isEmpty()) {
        return;
    }
    const int firstX = std::clamp(static_cast<int>(area.left() / size.width()), 0, periods);
    const int lastX = std::clamp(static_cast<int>(area.right() / size.width()) + 1, 0, periods);
    const int firstY = std::clamp(static_cast<int>(area.top() / size.height()), 0, periods);
    const int lastY = std::clamp(static_cast<int>(area.bottom() / size.height()) + 1, 0, periods);
    for (int ty = firstY; ty < lastY; ++ty) {
        for (int tx = firstX; tx < lastX; ++tx) {
            painter.drawImage(QPointF(tx * size.width(), ty * size.height()), image);
        }
    }
}

QImage wrapPeriod(const PeriodBitmap& bitmap) {
    return QImage(reinterpret_cast<const uchar*>(bitmap.pixels.data()), bitmap.width, bitmap.height,
                  static_cast<qsizetype>(bitmap.stride) * 4, QImage::Format_ARGB32);
}

QImage periodSource(const PeriodBitmap& bitmap) {
    return wrapPeriod(bitmap).convertToFormat(QImage::Format_RGB32);
}

QImage composeTiled(const PeriodBitmap& bitmap, int periods) {
    return tiledCopies(wrapPeriod(bitmap), periods);
}

void drawAffineParallelogram(QPainter& painter, const QImage& source, QPointF p0, QPointF p1,
                             QPointF p2) {
    QTransform t;
    if (!affineOnto(source, p0, p1, p2, t)) {
        return;
    }
    const std::array<QPointF, 4> shape{p0, p1, p1 + p2 - p0, p2};
    fillMapped(painter, source, t, shape.data(), 4);
}

void drawAffineTriangle(QPainter& painter, const QImage& source, QPointF p0, QPointF p1,
                        QPointF p2) {
    QTransform t;
    if (!affineOnto(source, p0, p1, p2, t)) {
        return;
    }
    const std::array<QPointF, 3> shape{p0, p1, p2};
    fillMapped(painter, source, t, shape.data(), 3);
}

void paintQuazi(QPainter& painter, const QImage& source, QuaziMapping& mapping,
                double patternScale) {
    mapping.SetPatternScale(patternScale);
    mapping.PlaceTiles();
    painter.save();
    prepareMappedDraws(painter);
    const QRectF area = drawableArea(painter);
    for (int i = 0; i < mapping.TileCount(); ++i) {
        const std::array<QPointF, 3> corners{toPoint(mapping.DrawCorner(i, 0)),
                                             toPoint(mapping.DrawCorner(i, 1)),
                                             toPoint(mapping.DrawCorner(i, 2))};
        const std::array<QPointF, 4> shape{corners[0], corners[1],
                                           corners[1] + corners[2] - corners[0], corners[2]};
        if (outside(area, shape.data(), 4)) {
            continue;
        }
        drawAffineParallelogram(painter, source, corners[0], corners[1], corners[2]);
    }
    painter.restore();
}

QImage composeQuazi(const PeriodBitmap& bitmap, int periods, QuaziMapping mapping) {
    periods = std::max(periods, 1);
    QImage out = whiteImage(bitmap.width * periods, bitmap.height * periods);
    if (out.isNull()) {
        return out;
    }
    QPainter painter(&out);
    paintQuazi(painter, periodSource(bitmap), mapping, bitmap.width - 2);
    return out;
}

void paintPolyTriangles(QPainter& painter, const QImage& source, const PolyMapping& mapping) {
    painter.save();
    prepareMappedDraws(painter);
    const QRectF area = drawableArea(painter);
    for (const Triangle& t : mapping.DrawTriangles()) {
        const std::array<QPointF, 3> p{QPointF(t[0].x, t[0].y), QPointF(t[1].x, t[1].y),
                                       QPointF(t[2].x, t[2].y)};
        if (outside(area, p.data(), 3)) {
            continue;
        }
        drawAffineTriangle(painter, source, p[0], p[1], p[2]);
    }
    painter.restore();
}

QImage renderPolyImage(const PeriodBitmap& bitmap, const PolyMapping& mapping) {
    QImage out = whiteImage(mapping.ImageWidth(), mapping.ImageHeight());
    if (out.isNull() || bitmap.width <= 0 || bitmap.height <= 0) {
        return out;
    }
    QPainter painter(&out);
    paintPolyTriangles(painter, periodSource(bitmap), mapping);
    return out;
}

QImage composePoly(const QImage& polyImage, int periods) {
    return tiledCopies(polyImage, periods);
}

QImage composeView(const PeriodBitmap& bitmap, const ViewGeometry& view) {
    if (view.mode == ViewMode::Quazi && view.quazi) {
        return composeQuazi(bitmap, view.periods, *view.quazi);
    }
    if (view.mode == ViewMode::Poly && view.poly) {
        return composePoly(renderPolyImage(bitmap, *view.poly), view.periods);
    }
    return composeTiled(bitmap, view.periods);
}

QImage composeExport(const PeriodBitmap& bitmap, const ViewGeometry& view) {
    if (view.mode == ViewMode::Poly && view.poly) {
        return renderPolyImage(bitmap, *view.poly);
    }
    return composeView(bitmap, view);
}

QImage clipboardImage(const PeriodBitmap& bitmap) {
    return wrapPeriod(bitmap).convertToFormat(QImage::Format_RGB888);
}

} // namespace zarn
