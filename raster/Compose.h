#pragma once

#include "render/BitmapFill.h"

#include <QImage>

namespace zarn {

/** The period bitmap seen as a QImage without copying; valid while @p bitmap lives unchanged. */
QImage wrapPeriod(const PeriodBitmap& bitmap);

/** The period repeated @p periods x @p periods times (at least once), as the window shows it. */
QImage composeTiled(const PeriodBitmap& bitmap, int periods);

} // namespace zarn
