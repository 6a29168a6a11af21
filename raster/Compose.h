#pragma once

#include "render/BitmapFill.h"

#include <QImage>
#include <QRectF>

class QPainter;

namespace zarn {

/** The period bitmap seen as a QImage without copying; valid while @p bitmap lives unchanged. */
QImage wrapPeriod(const PeriodBitmap& bitmap);

/**
 * Draws the period @p periods x @p periods times (at least once) with the first copy's top-left
 * corner at the painter's origin, one copy per period.deviceIndependentSize(): an image whose
 * device pixel ratio matches the target lands pixel for pixel in device pixels. Copies that miss
 * @p area (painter coordinates) are skipped.
 */
void paintTiled(QPainter& painter, const QImage& period, int periods, const QRectF& area);

/** The period repeated @p periods x @p periods times (at least once), as the window shows it. */
QImage composeTiled(const PeriodBitmap& bitmap, int periods);

} // namespace zarn
