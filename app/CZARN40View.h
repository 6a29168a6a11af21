#pragma once

#include "render/BitmapFill.h"

#include <QAbstractScrollArea>
#include <QImage>
#include <QSize>

#include <memory>

class QPainter;

namespace zarn::app {

class DocumentHost;

/**
 * The window that shows one quilt: a scroll area drawing viewPeriod x viewPeriod copies of the
 * period bitmap, pixel for pixel in device pixels. The bitmap is rebuilt from the grid at the
 * first paint after a document update, or handed over ready by the idle refresh; a plain repaint
 * (exposure, scrolling) draws the one it has.
 */
class CZARN40View : public QAbstractScrollArea {
    Q_OBJECT

public:
    /** Lines scroll by this many pixels. */
    static constexpr int kLineStep = 3;
    /** A paint that found the document busy tries again after this many milliseconds. */
    static constexpr int kRetryPaintMs = 15;

    explicit CZARN40View(DocumentHost& host, QWidget* parent = nullptr);

    /** Null once the document has let the view go (its window is closing). */
    DocumentHost* host() const { return host_; }
    void detach() { host_ = nullptr; }

    /** Sizes the scrolling area for the document (an update with hint 0). */
    void OnInitialUpdate();
    /** The document changed: the next paint rebuilds the bitmap from the grid, at the period
     *  size of the document's family, whatever the hint (0, HINT_REDRAW or HINT_REBUILD). */
    void OnUpdate(int hint);
    /** The idle refresh built @p bitmap from the refreshed palette on this view's level scale:
     *  shown as it is, unless an update is waiting for the next paint (which is newer). */
    void OnRefreshed(const std::shared_ptr<const PeriodBitmap>& bitmap);

    /** The level scale this window draws its quilt on (View menu); a window of its own, not of
     *  the document, so two windows can show one quilt on two scales. */
    LevelScaleKind levelScale() const { return levelScale_; }
    /** Draws the quilt on @p scale from the next paint on. */
    void setLevelScale(LevelScaleKind scale);

    /** Scrolling sizes in device pixels: the whole picture, a page, a line. */
    struct ScrollSizes {
        QSize total;
        QSize page;
        QSize line;
    };
    ScrollSizes scrollSizes() const;
    /** The period bitmap's size in pixels and the periods shown across and down. */
    QSize bitmapSize() const { return {bitmapWidth_, bitmapHeight_}; }
    int periodCount() const { return periodCount_; }
    /** The period bitmap shown; null before the first paint. */
    const PeriodBitmap* periodBitmap() const { return periodBitmap_.get(); }
    /** How often the view built the period bitmap from the grid itself. */
    int bitmapBuilds() const { return bitmapBuilds_; }

    /** "&Save Session": the title and caption become the session name, then the save. */
    void OnFileSaveSession();
    /** "Save Session As": the save dialog, then the save to the chosen path. */
    void OnFileSaveSessionAs();

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    /** Takes the period count and the period size of the document's family; notes a change. */
    void RefreshPeriodSize();
    void updateScrollBars();
    /**
     * The picture the view shows, in device pixels, and its drawing. The period tiled
     * periodCount x periodCount times is the one mode so far; the quasi-crystal and poly views
     * take over here, and export and printing draw through the same two functions.
     */
    QSize pictureSize() const;
    void paintPicture(QPainter& painter, const QRectF& area);
    void setPeriodBitmap(std::shared_ptr<const PeriodBitmap> bitmap);
    qreal pixelRatio() const;

    /** The paint found the document busy with the refresh: it tries again shortly. */
    void retryPaintSoon();

    DocumentHost* host_;
    /** Shared with the document's other views when it came from the idle refresh. */
    std::shared_ptr<const PeriodBitmap> periodBitmap_;
    /** The bitmap as the window draws it. */
    QImage periodImage_;
    int bitmapWidth_ = 0;
    int bitmapHeight_ = 0;
    int periodCount_ = 1;
    bool rebuildNeeded_ = true;
    bool sizeChanged_ = false;
    bool retryScheduled_ = false;
    /** The device pixel ratio the scroll bars were set for. */
    qreal scrollRatio_ = 1.0;
    int bitmapBuilds_ = 0;
    LevelScaleKind levelScale_ = LevelScaleKind::Classic;
};

} // namespace zarn::app
