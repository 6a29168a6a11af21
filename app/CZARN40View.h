#pragma once

#include "render/BitmapFill.h"

#include <QAbstractScrollArea>
#include <QSize>

class QPainter;

namespace zarn::app {

class DocumentHost;

/**
 * The window that shows one quilt: a scroll area drawing viewPeriod x viewPeriod copies of the
 * period bitmap, pixel for pixel in device pixels. The bitmap is rebuilt from the grid only at
 * the first paint after a document update; a plain repaint (exposure, scrolling) draws the one
 * it has.
 */
class CZARN40View : public QAbstractScrollArea {
    Q_OBJECT

public:
    /** Lines scroll by this many pixels. */
    static constexpr int kLineStep = 3;

    explicit CZARN40View(DocumentHost& host, QWidget* parent = nullptr);

    /** Null once the document has let the view go (its window is closing). */
    DocumentHost* host() const { return host_; }
    void detach() { host_ = nullptr; }

    /** Sizes the scrolling area for the document (an update with hint 0). */
    void OnInitialUpdate();
    /** The document changed: 0 and HINT_REBUILD rebuild the bitmap at a possibly new size,
     *  HINT_REDRAW rebuilds it in place and paints over the old picture. */
    void OnUpdate(int hint);

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
    /** How often the period bitmap was built from the grid. */
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
    qreal pixelRatio() const;

    DocumentHost* host_;
    PeriodBitmap periodBitmap_;
    int bitmapWidth_ = 0;
    int bitmapHeight_ = 0;
    int periodCount_ = 1;
    bool rebuildNeeded_ = true;
    bool sizeChanged_ = false;
    /** Discard the bitmap at the next paint rather than rebuild it in place. */
    bool recreate_ = false;
    /** The device pixel ratio the scroll bars were set for. */
    qreal scrollRatio_ = 1.0;
    int bitmapBuilds_ = 0;
};

} // namespace zarn::app
