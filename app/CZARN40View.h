#pragma once

#include "render/BitmapFill.h"
#include "render/ViewGeometry.h"

#include <QAbstractScrollArea>
#include <QImage>
#include <QSize>

#include <chrono>
#include <cstdint>
#include <memory>

class QPainter;

namespace zarn::app {

class DocumentHost;
struct ExportFormat;
struct PrintJob;
struct RefreshedPicture;

/**
 * The window that shows one quilt: a scroll area drawing viewPeriod x viewPeriod copies of the
 * period bitmap, pixel for pixel in device pixels, or the period pasted onto the quasi-crystal's
 * rhombi, or the poly image (one period of a polygon tiling) tiled the same way. The bitmap is
 * rebuilt from the grid at the first paint after a document update (or, when that would take
 * long, by the picture refresher while the window shows the old one), or handed over ready by the
 * idle refresh; a plain repaint draws the one it has.
 *
 * The quasi-crystal picture and the poly image take too long to draw on the GUI thread: the
 * application's picture composer draws them, and meanwhile the window paints the last picture
 * it finished. The poly image is kept and drawn again only when the document asks for it (new
 * mapping values, the worker's periodic request) or an update other than HINT_REDRAW.
 */
class CZARN40View : public QAbstractScrollArea {
    Q_OBJECT

public:
    /** Lines scroll by this many pixels. */
    static constexpr int kLineStep = 3;
    /** A paint that found the document busy tries again after this many milliseconds. */
    static constexpr int kRetryPaintMs = 15;
    /** A window whose last bitmap took at least this long to build (or, before its first, whose
     *  guessed cost is this long) has the next one built off the GUI thread, and shows the one
     *  it has meanwhile; a cheaper one is built at the paint. */
    static constexpr std::chrono::milliseconds kPaintBuildLimit{30};
    /** Before its first bitmap, a window guesses the cost from the pixels: the slowest lookup
     *  but the hexagonal one takes about this long a pixel. */
    static constexpr std::chrono::nanoseconds kGuessedCostPerPixel{20};
    /** For tests: the limit for every window (kPaintBuildLimit unless set). */
    static void setPaintBuildLimit(std::chrono::steady_clock::duration limit);

    explicit CZARN40View(DocumentHost& host, QWidget* parent = nullptr);

    /** Null once the document has let the view go (its window is closing). */
    DocumentHost* host() const { return host_; }
    void detach() { host_ = nullptr; }

    /** Sizes the scrolling area for the document (an update with hint 0). */
    void OnInitialUpdate();
    /** The document changed: the next paint rebuilds the bitmap from the grid (or has it
     *  rebuilt off the GUI thread, see kPaintBuildLimit), at the period size of the document's
     *  family, whatever the hint (0, HINT_REDRAW or HINT_REBUILD); any hint but HINT_REDRAW also
     *  has the poly image drawn anew. The view geometry is taken now (a view the family does not
     *  take is turned off). */
    void OnUpdate(int hint);
    /** The idle refresh built a bitmap from the refreshed palette, or the one this window asked
     *  for after an update: shown as it is, unless it is older than the window's last update. */
    void OnRefreshed(const RefreshedPicture& picture);

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
    /** The window shows an older picture (or none yet) while its new one is built off the GUI
     *  thread. */
    bool awaitingPicture() const { return rebuildNeeded_ && pictureAsked_; }

    /** The view the window draws (as of the last update or refresh). */
    ViewMode viewMode() const { return geometry_.mode; }
    const ViewGeometry& viewGeometry() const { return geometry_; }
    /** A quasi-crystal picture or a poly image is being drawn for this window. */
    bool composing() const;
    /** What the window shows besides the tiled period: the quasi-crystal picture or the poly
     *  image it finished last (null in the tiled view). */
    const QImage& composedPicture() const { return picture_; }
    ViewMode shownMode() const { return shownMode_; }
    /** How often a poly image was asked for. */
    int polyRebuilds() const { return polyRebuilds_; }

    /** "&Save Session": the title and caption become the session name, then the save. */
    void OnFileSaveSession();
    /** "Save Session As": the save dialog, then the save to the chosen path. */
    void OnFileSaveSessionAs();
    /** After a save: what the file could not keep of this quilt, in the status bar every time
     *  and in a message box the first time. */
    void reportSaved(const QString& where);

    /** The picture exports: the file dialog (proposing the quilt's name, or its poly name in the
     *  poly view), then the picture composed and written off the GUI thread; a failure is shown
     *  in a message box. */
    void OnSaveImage(const ExportFormat& format);
    /** "Save 'jpeg' of Selected Window": what the window shows, as a JPEG file. */
    void OnSaveWindow();
    /** Copy: one period on the clipboard. */
    void OnEditCopy();

    /** "Print What": scale one period to the page (true) or print the periods pixel for pixel. */
    bool scaleToPage() const { return scaleToPage_; }
    void setScaleToPage(bool scale) { scaleToPage_ = scale; }
    /** What a print of this window draws: a period bitmap built for it, the view, the choice. */
    PrintJob printJob();

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    /** Takes the period count and the period size of the document's family; notes a change. */
    void RefreshPeriodSize();
    void updateScrollBars();
    /** Takes the view geometry from the document (under the caller's access lock). */
    void takeGeometry();
    /** The picture the view shows, in device pixels, and its drawing. */
    QSize pictureSize() const;
    void paintPicture(QPainter& painter, const QRectF& area);
    void setPeriodBitmap(std::shared_ptr<const PeriodBitmap> bitmap);
    /** The bitmap or the geometry changed: the tiled view shows it at once, the other two have
     *  their picture drawn by the composer. */
    void pictureInputsChanged();
    /** The period bitmap, built now when the window has not painted yet. */
    std::shared_ptr<const PeriodBitmap> currentBitmap();
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
    /** The update the bitmap must show (DocumentHost::newPictureGeneration). */
    std::uint64_t neededGeneration_ = 0;
    /** Since the last update, the new bitmap was asked of the picture refresher. */
    bool pictureAsked_ = false;
    /** What building the last bitmap took, here or off the GUI thread. */
    std::chrono::steady_clock::duration lastBuildCost_{};
    bool sizeChanged_ = false;
    bool retryScheduled_ = false;
    /** The device pixel ratio the scroll bars were set for. */
    qreal scrollRatio_ = 1.0;
    int bitmapBuilds_ = 0;

    /** The view to draw and the mapping it draws through. */
    ViewGeometry geometry_;
    /** The poly image must be drawn anew before it is shown again. */
    bool polyStale_ = true;
    /** The last finished quasi-crystal picture or poly image, and which of the two it is; the
     *  tiled view needs none. */
    QImage picture_;
    ViewMode shownMode_ = ViewMode::Tile;
    /** The view of the last picture given to the composer. */
    ViewMode postedMode_ = ViewMode::Tile;
    /** Numbers the composer's jobs, so that a late result never replaces a newer one. */
    std::uint64_t requested_ = 0;
    std::uint64_t shownRequest_ = 0;
    int polyRebuilds_ = 0;

    bool scaleToPage_ = false;
    LevelScaleKind levelScale_ = LevelScaleKind::Classic;
    /** The quilt's family cannot be kept whole in a session file, and the user was told. */
    bool sessionLimitTold_ = false;
};

} // namespace zarn::app
