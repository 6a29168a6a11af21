#pragma once

#include "render/BitmapFill.h"
#include "render/PolyMapping.h"
#include "render/QuaziMapping.h"
#include "render/ViewGeometry.h"

#include <QImage>
#include <QPointF>
#include <QRectF>

class QPainter;

namespace zarn {

/** The period bitmap seen as a QImage without copying; valid while @p bitmap lives unchanged. */
QImage wrapPeriod(const PeriodBitmap& bitmap);

/** The period as a drawing source: opaque RGB32, the format the painter samples fastest. */
QImage periodSource(const PeriodBitmap& bitmap);

/**
 * Draws @p image @p periods x @p periods times (at least once) with the first copy's top-left
 * corner at the painter's origin, one copy per image.deviceIndependentSize(): an image whose
 * device pixel ratio matches the target lands pixel for pixel in device pixels. Copies that miss
 * @p area (painter coordinates) are skipped, so a window draws only what it shows.
 */
void paintTiled(QPainter& painter, const QImage& image, int periods, const QRectF& area);

/** The period repeated @p periods x @p periods times (at least once), as the window shows it. */
QImage composeTiled(const PeriodBitmap& bitmap, int periods);

/**
 * Draws the whole of @p source affinely onto the parallelogram whose top-left, top-right and
 * bottom-left corners are @p p0, @p p1 and @p p2 (bilinear sampling, no edge smoothing). A
 * parallelogram of no area draws nothing.
 */
void drawAffineParallelogram(QPainter& painter, const QImage& source, QPointF p0, QPointF p1,
                             QPointF p2);
/** As drawAffineParallelogram, clipped to the triangle p0, p1, p2. */
void drawAffineTriangle(QPainter& painter, const QImage& source, QPointF p0, QPointF p1,
                        QPointF p2);

/**
 * Draws the quasi-crystal: @p mapping scaled to @p patternScale (the period's width - 2) and
 * placed at its offsets, then @p source onto every rhombus in order, later ones over earlier.
 */
void paintQuazi(QPainter& painter, const QImage& source, QuaziMapping& mapping,
                double patternScale);

/** The quasi-crystal view: a (width x periods) by (height x periods) picture, white where no
 *  rhombus lies. */
QImage composeQuazi(const PeriodBitmap& bitmap, int periods, QuaziMapping mapping);

/** Draws @p source onto every triangle of @p mapping, as placed for the poly image. */
void paintPolyTriangles(QPainter& painter, const QImage& source, const PolyMapping& mapping);

/**
 * The poly image: one period of the polygon tiling (mapping.ImageWidth() x ImageHeight()), white
 * where no triangle lies, with the period bitmap pasted onto every triangle. Its copies join
 * seamlessly. Null when the mapping has no area or memory runs out.
 */
QImage renderPolyImage(const PeriodBitmap& bitmap, const PolyMapping& mapping);

/** @p polyImage repeated @p periods x @p periods times (at least once). */
QImage composePoly(const QImage& polyImage, int periods);

/** What the window shows for @p view: the tiled period, the quasi-crystal or the tiled poly
 *  image. Null when memory runs out. */
QImage composeView(const PeriodBitmap& bitmap, const ViewGeometry& view);

/** What an export writes: the window's picture, except that the poly view writes its poly image
 *  (one period of the polygon tiling). */
QImage composeExport(const PeriodBitmap& bitmap, const ViewGeometry& view);

/** What Copy puts on the clipboard: one period, opaque, 24 bits a pixel. */
QImage clipboardImage(const PeriodBitmap& bitmap);

} // namespace zarn
