#include "CZARN40View.h"

#include "CMainFrame.h"
#include "CZARN40App.h"
#include "DocumentHost.h"
#include "FileDialogs.h"
#include "HelpWindow.h"
#include "RecentFiles.h"
#include "WaitCursor.h"
#include "document/SessionFile.h"
#include "raster/Compose.h"

#include <QMessageBox>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QTimer>

#include <algorithm>
#include <cmath>

namespace zarn::app {

CZARN40View::CZARN40View(DocumentHost& host, QWidget* parent)
    : QAbstractScrollArea(parent), host_(&host) {
    setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    // Every pixel of the viewport is painted by paintEvent.
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    setWhatsThis(whatsThisText(tr("The quilt window shows the quilt as it grows, one period "
                                  "repeated across and down as many times as \"Set Image "
                                  "Period\" says. Scroll to see the rest of a large picture."),
                               "window.html"));
}

qreal CZARN40View::pixelRatio() const {
    return viewport()->devicePixelRatioF();
}

void CZARN40View::OnInitialUpdate() {
    OnUpdate(0);
}

void CZARN40View::OnUpdate(int /*hint*/) {
    if (host_ == nullptr) {
        return;
    }
    {
        const auto held = host_->access();
        RefreshPeriodSize();
    }
    updateScrollBars();
    sizeChanged_ = false;
    rebuildNeeded_ = true;
    // Every paint fills what it repaints (the background, then the picture over it) into a
    // double-buffered window, so painting over the old picture (HINT_REDRAW) and erasing first
    // come to the same.
    viewport()->update();
}

void CZARN40View::OnRefreshed(const std::shared_ptr<const PeriodBitmap>& bitmap) {
    if (host_ == nullptr || rebuildNeeded_) {
        return;
    }
    setPeriodBitmap(bitmap);
    const int periods = std::max(host_->doc().snapshot().viewPeriod, 1);
    if (bitmap->width != bitmapWidth_ || bitmap->height != bitmapHeight_ ||
        periods != periodCount_) {
        bitmapWidth_ = bitmap->width;
        bitmapHeight_ = bitmap->height;
        periodCount_ = periods;
        updateScrollBars();
    }
    viewport()->update();
}

void CZARN40View::setLevelScale(LevelScaleKind scale) {
    if (scale == levelScale_) {
        return;
    }
    levelScale_ = scale;
    OnUpdate(CZARN40Doc::HINT_REDRAW);
}

void CZARN40View::retryPaintSoon() {
    if (retryScheduled_) {
        return;
    }
    retryScheduled_ = true;
    QTimer::singleShot(kRetryPaintMs, this, [this] {
        retryScheduled_ = false;
        viewport()->update();
    });
}

void CZARN40View::RefreshPeriodSize() {
    CZARN40Doc& doc = host_->doc();
    const PeriodSize size = doc.PeriodSizeOf();
    const int periods = std::max(doc.snapshot().viewPeriod, 1);
    if (size.width != bitmapWidth_ || size.height != bitmapHeight_ || periods != periodCount_) {
        sizeChanged_ = true;
    }
    bitmapWidth_ = size.width;
    bitmapHeight_ = size.height;
    periodCount_ = periods;
}

QSize CZARN40View::pictureSize() const {
    return {bitmapWidth_ * periodCount_, bitmapHeight_ * periodCount_};
}

CZARN40View::ScrollSizes CZARN40View::scrollSizes() const {
    const QSize total = pictureSize();
    const qreal ratio = pixelRatio();
    const QSize client(static_cast<int>(viewport()->width() * ratio),
                       static_cast<int>(viewport()->height() * ratio));
    const QSize page(std::min(client.width() / 2, total.width() / 2),
                     std::min(client.height() / 2, total.height() / 2));
    return {total, page, QSize(kLineStep, kLineStep)};
}

void CZARN40View::updateScrollBars() {
    // The scroll bars count logical pixels; the sizes are device pixels.
    const qreal ratio = pixelRatio();
    scrollRatio_ = ratio;
    const ScrollSizes sizes = scrollSizes();
    const auto logical = [ratio](int device) {
        return static_cast<int>(std::ceil(device / ratio));
    };
    const auto setUp = [&](QScrollBar* bar, int total, int client, int page, int line) {
        bar->setRange(0, std::max(0, logical(total) - client));
        bar->setPageStep(std::max(1, logical(page)));
        bar->setSingleStep(std::max(1, logical(line)));
    };
    setUp(horizontalScrollBar(), sizes.total.width(), viewport()->width(), sizes.page.width(),
          sizes.line.width());
    setUp(verticalScrollBar(), sizes.total.height(), viewport()->height(), sizes.page.height(),
          sizes.line.height());
}

void CZARN40View::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    updateScrollBars();
}

void CZARN40View::scrollContentsBy(int /*dx*/, int /*dy*/) {
    viewport()->update();
}

void CZARN40View::paintEvent(QPaintEvent* event) {
    QPainter painter(viewport());
    painter.fillRect(event->rect(), palette().color(QPalette::Base));
    if (host_ == nullptr) {
        return;
    }
    if (rebuildNeeded_ || !periodBitmap_) {
        // The refresh thread may hold the document (waiting for its worker to park): the GUI
        // does not wait with it, but shows the picture it has and tries again shortly.
        const auto held = host_->tryAccess();
        if (held.owns_lock()) {
            CZARN40Doc& doc = host_->doc();
            ScopedPause pause(doc);
            RefreshPeriodSize();
            auto fresh = std::make_shared<PeriodBitmap>(bitmapWidth_, bitmapHeight_);
            doc.BuildBitmap(*fresh, levelScale_);
            setPeriodBitmap(std::move(fresh));
            ++bitmapBuilds_;
            rebuildNeeded_ = false;
        } else {
            retryPaintSoon();
        }
    }
    const qreal ratio = pixelRatio();
    if (sizeChanged_ || ratio != scrollRatio_) {
        sizeChanged_ = false;
        updateScrollBars();
    }
    // The scroll offset on whole device pixels: with a fractional scale a half-pixel shift would
    // resample the copies.
    const auto snapped = [ratio](int logical) { return std::round(logical * ratio) / ratio; };
    const QPointF scroll(snapped(horizontalScrollBar()->value()),
                         snapped(verticalScrollBar()->value()));
    painter.translate(-scroll);
    paintPicture(painter, QRectF(event->rect()).translated(scroll));
}

void CZARN40View::setPeriodBitmap(std::shared_ptr<const PeriodBitmap> bitmap) {
    periodBitmap_ = std::move(bitmap);
    // Converted once here rather than at every paint: opaque RGB32 copies straight onto the
    // window.
    periodImage_ = periodSource(*periodBitmap_);
}

void CZARN40View::paintPicture(QPainter& painter, const QRectF& area) {
    if (periodImage_.isNull()) {
        return;
    }
    // One bitmap pixel on one device pixel, also on a scaled screen.
    periodImage_.setDevicePixelRatio(pixelRatio());
    paintTiled(painter, periodImage_, periodCount_, area);
}

QSize CZARN40View::sizeHint() const {
    const qreal ratio = pixelRatio();
    const QSize picture = pictureSize();
    const int frame = 2 * frameWidth();
    const QSize wanted(static_cast<int>(std::ceil(picture.width() / ratio)) + frame,
                       static_cast<int>(std::ceil(picture.height() / ratio)) + frame);
    return wanted.boundedTo(QSize(640, 640)).expandedTo(QSize(160, 120));
}

void CZARN40View::OnFileSaveSession() {
    if (host_ == nullptr) {
        return;
    }
    FileResult result;
    {
        const auto held = host_->access();
        WaitCursor wait;
        result = SaveSession(host_->doc());
    }
    host_->refreshCaptions();
    if (!result) {
        QMessageBox::warning(this, CZARN40App::kProgramName, QString::fromStdString(result.error));
        return;
    }
    host_->app().mainFrame()->showMessage(tr("Saved %1").arg(host_->title()));
}

void CZARN40View::OnFileSaveSessionAs() {
    if (host_ == nullptr) {
        return;
    }
    DocumentHost* host = host_;
    const QString path =
        askSessionToSave(this, QString::fromStdString(host->doc().snapshot().sessionName));
    if (path.isEmpty() || host_ == nullptr) {
        return;
    }
    FileResult result;
    {
        const auto held = host->access();
        WaitCursor wait;
        result = SaveSessionAs(host->doc(), path.toStdString());
    }
    host->refreshCaptions();
    if (!result) {
        QMessageBox::warning(this, CZARN40App::kProgramName, QString::fromStdString(result.error));
        return;
    }
    host->app().recentFiles().add(path);
    host->app().mainFrame()->showMessage(tr("Saved %1").arg(path));
}

} // namespace zarn::app
