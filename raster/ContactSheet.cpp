#include "ContactSheet.h"

#include <QFont>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QPainter>

#include <algorithm>

namespace zarn {

namespace {

constexpr int kGap = 8;
const QColor kGround(24, 24, 28);
const QColor kText(230, 230, 230);

} // namespace

void ensureFontSupport() {
    if (QCoreApplication::instance() != nullptr) {
        return;
    }
    // The platform named on the command line wins over QT_QPA_PLATFORM: a renderer needs no
    // display even when one is there.
    static int argc = 3;
    static char name[] = "zarn80-render";
    static char option[] = "-platform";
    static char platform[] = "offscreen";
    static char* argv[] = {name, option, platform, nullptr};
    // Never destroyed: it must outlive every painter, and the program ends soon after.
    static QGuiApplication* const app = new QGuiApplication(argc, argv);
    (void)app;
}

QImage composeContactSheet(const std::vector<SheetEntry>& entries, int columns, int thumb) {
    if (entries.empty() || columns < 1 || thumb < 1) {
        return {};
    }
    QFont font = QGuiApplication::font();
    font.setPixelSize(std::clamp(thumb / 14, 10, 16));
    const QFontMetrics metrics(font);
    const int labelHeight = metrics.height() + kGap / 2;
    const int count = static_cast<int>(entries.size());
    const int across = std::min(columns, count);
    const int down = (count + columns - 1) / columns;
    const int cellWidth = thumb + kGap;
    const int cellHeight = thumb + labelHeight + kGap;

    QImage sheet(across * cellWidth + kGap, down * cellHeight + kGap, QImage::Format_RGB32);
    if (sheet.isNull()) {
        return {};
    }
    sheet.fill(kGround);
    QPainter painter(&sheet);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.setFont(font);
    painter.setPen(kText);
    for (int i = 0; i < count; ++i) {
        const SheetEntry& entry = entries[static_cast<std::size_t>(i)];
        const int left = kGap + (i % columns) * cellWidth;
        const int top = kGap + (i / columns) * cellHeight;
        if (!entry.picture.isNull()) {
            const QSize fitted = entry.picture.size().scaled(thumb, thumb, Qt::KeepAspectRatio);
            const QRect target(left + (thumb - fitted.width()) / 2,
                               top + (thumb - fitted.height()) / 2, fitted.width(),
                               fitted.height());
            painter.drawImage(target, entry.picture);
        }
        const QRect labelBox(left, top + thumb + kGap / 4, thumb, metrics.height());
        painter.drawText(labelBox, Qt::AlignHCenter | Qt::AlignVCenter,
                         metrics.elidedText(entry.label, Qt::ElideRight, thumb));
    }
    return sheet;
}

} // namespace zarn
