#pragma once

#include "app/PictureRefresher.h"
#include "document/CZARN40Doc.h"
#include "render/BitmapFill.h"

#include <QObject>
#include <QString>

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <stop_token>
#include <thread>
#include <vector>

namespace zarn::app {

class CZARN40App;
class CZARN40View;
struct RefreshedPicture;

/**
 * One open quilt on the GUI side: owns the document, knows its views, and hears the document's
 * worker. Every observer call only posts to the GUI thread, so the worker never waits for the
 * GUI; a posted call addressed to a host that has closed meanwhile is dropped with it.
 *
 * Two threads give the document commands: the GUI thread and the picture refresher. Each holds
 * the host's access lock while it does, so that their pauses never overlap on one document.
 */
class DocumentHost : public QObject, public DocumentObserver {
    Q_OBJECT

public:
    DocumentHost(CZARN40App& app, std::uint64_t serial);
    /** Stops and destroys the document first (once no refresh works on it), so that no observer
     *  call can arrive afterwards. */
    ~DocumentHost() override;

    /** Takes the document built with options() (whose observer is this host). */
    void attach(std::unique_ptr<CZARN40Doc> doc);
    /** What a document for this host is built with: the application's registry, this observer. */
    DocumentOptions options();

    CZARN40Doc& doc() { return *doc_; }
    const CZARN40Doc& doc() const { return *doc_; }
    CZARN40App& app() { return app_; }
    /** Names this host for the length of the program (addresses are reused). */
    std::uint64_t serial() const { return serial_; }

    /** The access lock, for the GUI thread's commands (it may nest). */
    std::unique_lock<std::recursive_mutex> access() { return std::unique_lock(access_); }
    /** The access lock if it is free now. */
    std::unique_lock<std::recursive_mutex> tryAccess() {
        return std::unique_lock(access_, std::try_to_lock);
    }
    std::recursive_mutex& accessMutex() { return access_; }
    /** The document's title, what the window captions show. */
    QString title() const;
    /** The poly view is on: its picture is made from the bitmap, so a colour change must rebuild
     *  it rather than repaint over it. */
    bool polyViewOn();

    const std::vector<CZARN40View*>& views() const { return views_; }
    void addView(CZARN40View* view);
    /** The view's window is closing; returns whether it was the document's last view. */
    bool removeView(CZARN40View* view);

    /** Steps of a trial run, and the most quilts one Random New Fractal draws while they are
     *  flat. */
    static constexpr std::uint32_t kTrialSteps = 300000;
    static constexpr int kMaxTrials = 12;

    /**
     * Random New Fractal skipping flat quilts: on a thread of its own, draws a new quilt, lets
     * the worker take kTrialSteps and scores the quilt on @p scale (QuiltScore), and draws
     * again while it is flat, kMaxTrials quilts at most (the last one stays). It takes the
     * access lock only for each draw and each score, so the GUI never waits for a trial run.
     * Returns false (and does nothing) while an earlier call is still drawing.
     */
    bool NewRandomQuiltSkippingFlat(LevelScaleKind scale);
    /** A NewRandomQuiltSkippingFlat() is still drawing. */
    bool drawingQuilts() const { return drawing_.load(); }

    /** Tells every view what to redraw (0, CZARN40Doc::HINT_REDRAW or HINT_REBUILD) and brings
     *  the window captions up to date. */
    void UpdateAllViews(int hint);
    /** The idle refresh rebuilt the palette and made @p picture from it, or made it because a
     *  view asked: the views show it. */
    void showRefreshed(const RefreshedPicture& picture);

    /** Numbers the updates the views were told of: a view's update takes the next number, and a
     *  refreshed picture carries the number current when it was asked for. */
    std::uint64_t newPictureGeneration() { return ++pictureGeneration_; }
    std::uint64_t pictureGeneration() const { return pictureGeneration_; }
    /** A view waits for a picture that shows the updates so far (CZARN40App::requestPicture);
     *  a refreshed picture that does ends the wait. */
    void wantPicture() { wantedGeneration_ = pictureGeneration_; }
    bool pictureWanted() const { return wantedGeneration_ != 0; }
    /** The level scales the views show, by kind. */
    std::array<bool, kLevelScaleKinds.size()> viewedScales() const;
    /** Sets each view window's caption from the title, numbered "title:1", "title:2" when the
     *  document has several. */
    void refreshCaptions();

    // DocumentObserver: called on the worker thread.
    bool quiltConverged(CZARN40Doc& doc) override;
    void quiltReplaced(CZARN40Doc& doc, ReplaceReason reason) override;
    void finished(CZARN40Doc& doc) override;

signals:
    /** The title may have changed (the main window's caption follows the active one). */
    void captionsChanged();

private:
    std::uint64_t pictureGeneration_ = 1;
    /** 0: no view waits. */
    std::uint64_t wantedGeneration_ = 0;

    /** On the GUI thread: the converged notice, then the answer the waiting worker needs. */
    void showConvergedNotice();

    CZARN40App& app_;
    const std::uint64_t serial_;
    std::recursive_mutex access_;
    std::unique_ptr<CZARN40Doc> doc_;
    std::vector<CZARN40View*> views_;
    QString lastTitle_;
    std::atomic<bool> drawing_{false};
    std::jthread drawer_;
};

} // namespace zarn::app
