#include "CZARN40View.h"

#include "CMainFrame.h"
#include "CZARN40App.h"
#include "DocumentHost.h"
#include "FileDialogs.h"
#include "HelpWindow.h"
#include "ImageExport.h"
#include "PictureComposer.h"
#include "PictureRefresher.h"
#include "Printing.h"
#include "RecentFiles.h"
#include "WaitCursor.h"
#include "document/SessionFile.h"
#include "document/ViewSettings.h"
#include "raster/Compose.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMessageBox>
#include <QMimeData>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <functional>

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

namespace {
std::chrono::steady_clock::duration paintBuildLimit = CZARN40View::kPaintBuildLimit;
} // namespace

void CZARN40View::setPaintBuildLimit(std::chrono::steady_clock::duration limit) {
    paintBuildLimit = limit;
}

qreal CZARN40View::pixelRatio() const {
    return viewport()->devicePixelRatioF();
}

void CZARN40View::OnInitialUpdate() {
    OnUpdate(0);
}

void CZARN40View::OnUpdate(int hint) {
    if (host_ == nullptr) {
        return;
    }
    {
        const auto held = host_->access();
        RefreshPeriodSize();
        takeGeometry();
    }
    if (hint != CZARN40Doc::HINT_REDRAW) {
        polyStale_ = true;
    }
    updateScrollBars();
    sizeChanged_ = false;
    rebuildNeeded_ = true;
    pictureAsked_ = false;
    neededGeneration_ = host_->newPictureGeneration();
    // Every paint fills what it repaints (the background, then the picture over it) into a
    // double-buffered window, so painting over the old picture (HINT_REDRAW) and erasing first
    // come to the same.
    viewport()->update();
}

void CZARN40View::OnRefreshed(const RefreshedPicture& picture) {
    if (host_ == nullptr) {
        return;
    }
    polyStale_ = polyStale_ || picture.polyRebuild;
    const auto& bitmap = picture.bitmaps[static_cast<std::size_t>(levelScale_)];
    // A picture asked for before this window's last update may show the document as it was: the
    // window keeps its own, which is newer or on its way.
    if (!bitmap || picture.generation < neededGeneration_) {
        return;
    }
    if (rebuildNeeded_) {
        rebuildNeeded_ = false;
        lastBuildCost_ = picture.buildCost;
    }
    const QSize before = pictureSize();
    setPeriodBitmap(bitmap);
    geometry_ = picture.view;
    bitmapWidth_ = bitmap->width;
    bitmapHeight_ = bitmap->height;
    periodCount_ = std::max(geometry_.periods, 1);
    if (pictureSize() != before) {
        updateScrollBars();
    }
    pictureInputsChanged();
    viewport()->update();
}

void CZARN40View::takeGeometry() {
    bool polyRebuild = false;
    geometry_ = TakeViewGeometry(host_->doc(), &polyRebuild);
    if (polyRebuild) {
        // The request is the document's, taken once: every window of it draws anew.
        for (CZARN40View* view : host_->views()) {
            view->polyStale_ = true;
        }
    }
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
    if (geometry_.mode == ViewMode::Poly && geometry_.poly) {
        return {geometry_.poly->ImageWidth() * periodCount_,
                geometry_.poly->ImageHeight() * periodCount_};
    }
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
    // Before the first bitmap its cost is guessed from its size.
    const auto cost = periodBitmap_
                          ? lastBuildCost_
                          : kGuessedCostPerPixel * (static_cast<std::int64_t>(bitmapWidth_) *
                                                    static_cast<std::int64_t>(bitmapHeight_));
    if ((rebuildNeeded_ || !periodBitmap_) && cost >= paintBuildLimit) {
        // Too slow to build here (a large hexagonal quilt): the picture refresher builds it and
        // the window shows the one it has (or none yet) until then.
        if (!pictureAsked_) {
            pictureAsked_ = true;
            host_->app().requestPicture(*host_);
        }
    } else if (rebuildNeeded_ || !periodBitmap_) {
        // The refresh thread may hold the document (waiting for its worker to park): the GUI
        // does not wait with it, but shows the picture it has and tries again shortly.
        const auto held = host_->tryAccess();
        if (held.owns_lock()) {
            CZARN40Doc& doc = host_->doc();
            ScopedPause pause(doc);
            RefreshPeriodSize();
            auto fresh = std::make_shared<PeriodBitmap>(bitmapWidth_, bitmapHeight_);
            const auto began = std::chrono::steady_clock::now();
            doc.BuildBitmap(*fresh, levelScale_);
            lastBuildCost_ = std::chrono::steady_clock::now() - began;
            setPeriodBitmap(std::move(fresh));
            ++bitmapBuilds_;
            rebuildNeeded_ = false;
            pictureInputsChanged();
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
    // One picture pixel on one device pixel, also on a scaled screen.
    const qreal ratio = pixelRatio();
    switch (shownMode_) {
    case ViewMode::Tile:
        if (!periodImage_.isNull()) {
            periodImage_.setDevicePixelRatio(ratio);
            paintTiled(painter, periodImage_, periodCount_, area);
        }
        return;
    case ViewMode::Quazi:
        picture_.setDevicePixelRatio(ratio);
        painter.drawImage(QPointF(0.0, 0.0), picture_);
        return;
    case ViewMode::Poly:
        picture_.setDevicePixelRatio(ratio);
        paintTiled(painter, picture_, periodCount_, area);
        return;
    }
}

bool CZARN40View::composing() const {
    return host_ != nullptr && host_->app().composer().outstandingFor(this) > 0;
}

void CZARN40View::pictureInputsChanged() {
    if (!periodBitmap_ || host_ == nullptr) {
        return;
    }
    const ViewMode mode = geometry_.mode;
    if (mode == ViewMode::Tile || (mode == ViewMode::Quazi && !geometry_.quazi) ||
        (mode == ViewMode::Poly && !geometry_.poly)) {
        // Drawn straight from the period at every paint; a result still on its way is stale.
        shownRequest_ = ++requested_;
        shownMode_ = ViewMode::Tile;
        picture_ = QImage();
        return;
    }
    if (mode == ViewMode::Poly) {
        const bool current = shownMode_ == ViewMode::Poly && !picture_.isNull();
        const bool underway = postedMode_ == ViewMode::Poly && composing();
        if (!polyStale_ && (current || underway)) {
            return;
        }
        polyStale_ = false;
        ++polyRebuilds_;
    }

    // The work sees only copies: the bitmap is shared and never changes once built.
    std::function<QImage()> work;
    if (mode == ViewMode::Quazi) {
        work = [bitmap = periodBitmap_, periods = geometry_.periods, mapping = *geometry_.quazi] {
            return composeQuazi(*bitmap, periods, mapping);
        };
    } else {
        work = [bitmap = periodBitmap_, mapping = *geometry_.poly] {
            return renderPolyImage(*bitmap, mapping);
        };
    }
    const std::uint64_t request = ++requested_;
    postedMode_ = mode;
    host_->app().composer().post(this, this, [this, work = std::move(work), request, mode] {
        QImage image = work();
        // Runs on the GUI thread, and only while this window lives.
        return PictureComposer::Delivery([this, image = std::move(image), request, mode] {
            if (request <= shownRequest_ || mode != geometry_.mode || image.isNull()) {
                return;
            }
            shownRequest_ = request;
            picture_ = image;
            shownMode_ = mode;
            viewport()->update();
        });
    });
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
    reportSaved(host_->title());
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
    if (host_ == host) {
        reportSaved(path);
    } else {
        host->app().mainFrame()->showMessage(tr("Saved %1").arg(path));
    }
}

void CZARN40View::reportSaved(const QString& where) {
    const QString limit = QString::fromStdString(SessionFileLimit(host_->doc().CurrentFamily()));
    host_->app().mainFrame()->showMessage(limit.isEmpty() ? tr("Saved %1").arg(where)
                                                          : tr("Saved %1. %2").arg(where, limit));
    if (!limit.isEmpty() && !sessionLimitTold_) {
        sessionLimitTold_ = true;
        QMessageBox::information(this, CZARN40App::kProgramName, limit);
    }
}

// ---- Export, clipboard, printing --------------------------------------------------------------

std::shared_ptr<const PeriodBitmap> CZARN40View::currentBitmap() {
    // An export or a print right after an update takes the new picture, also when the window
    // still waits for it.
    if ((!periodBitmap_ || rebuildNeeded_) && host_ != nullptr) {
        const auto held = host_->access();
        ScopedPause pause(host_->doc());
        RefreshPeriodSize();
        auto fresh = std::make_shared<PeriodBitmap>(bitmapWidth_, bitmapHeight_);
        host_->doc().BuildBitmap(*fresh, levelScale_);
        setPeriodBitmap(std::move(fresh));
        ++bitmapBuilds_;
    }
    return periodBitmap_;
}

void CZARN40View::OnSaveImage(const ExportFormat& format) {
    if (host_ == nullptr) {
        return;
    }
    DocumentHost* host = host_;
    const ExportName name = geometry_.mode == ViewMode::Poly ? ExportName::Poly : ExportName::Quilt;
    const QString path =
        askImageToSave(this, QString::fromLatin1(format.filter), QString::fromLatin1(format.suffix),
                       exportName(host->doc(), name));
    if (path.isEmpty() || host_ == nullptr) {
        return;
    }
    rememberExportPath(host->doc(), name, path);
    // Composed and encoded off the GUI thread from the picture as it stands now; the main window
    // reports the outcome, also when this window has closed meanwhile.
    CMainFrame* frame = host->app().mainFrame();
    host->app().composer().post(
        frame, nullptr, [bitmap = currentBitmap(), view = geometry_, path, format, frame] {
            const std::string error = exportPicture(*bitmap, view, path, format);
            return PictureComposer::Delivery(
                [frame, path, error] { frame->reportExport(path, error); });
        });
}

void CZARN40View::OnSaveWindow() {
    if (host_ == nullptr) {
        return;
    }
    DocumentHost* host = host_;
    const ExportFormat& format = windowCaptureFormat();
    const QString path =
        askImageToSave(this, QString::fromLatin1(format.filter), QString::fromLatin1(format.suffix),
                       exportName(host->doc(), ExportName::Window));
    if (path.isEmpty() || host_ == nullptr) {
        return;
    }
    rememberExportPath(host->doc(), ExportName::Window, path);
    // The pixels the window shows, in device pixels, opaque.
    const QImage shown = viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
    CMainFrame* frame = host->app().mainFrame();
    host->app().composer().post(frame, nullptr, [shown, path, format, frame] {
        const std::string error = writePicture(shown, path, format);
        return PictureComposer::Delivery(
            [frame, path, error] { frame->reportExport(path, error); });
    });
}

void CZARN40View::OnEditCopy() {
    if (host_ == nullptr) {
        return;
    }
    WaitCursor wait;
    const std::shared_ptr<const PeriodBitmap> bitmap = currentBitmap();
    const QImage period = clipboardImage(*bitmap);
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (!period.isNull()) {
        clipboard->setImage(period);
    }
    const QMimeData* held = clipboard->mimeData();
    if (period.isNull() || held == nullptr || !held->hasImage()) {
        QMessageBox::warning(this, CZARN40App::kProgramName,
                             QStringLiteral(" 0 returned by OpenClipBoard"));
    }
}

PrintJob CZARN40View::printJob() {
    // The quasi-crystal print is always pixel for pixel.
    if (geometry_.mode == ViewMode::Quazi) {
        scaleToPage_ = false;
    }
    PrintJob job;
    job.view = geometry_;
    job.scaleToPage = scaleToPage_;
    if (host_ != nullptr) {
        const auto held = host_->access();
        job.bitmap = host_->doc().RenderPeriod(levelScale_);
    }
    return job;
}

} // namespace zarn::app
