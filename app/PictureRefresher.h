#pragma once

#include "render/BitmapFill.h"
#include "render/LevelScale.h"
#include "render/ViewGeometry.h"

#include <QObject>

#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

namespace zarn::app {

class DocumentHost;

/** What a refresh hands to the views: the new period bitmap on each level scale the document's
 *  views show (null for the others) and what they draw it through. */
struct RefreshedPicture {
    std::array<std::shared_ptr<const PeriodBitmap>, kLevelScaleKinds.size()> bitmaps;
    ViewGeometry view;
    /** The poly image must be drawn anew (the worker asks every 2,400,000 steps). */
    bool polyRebuild = false;
    /** The host's picture generation when the refresh was asked for: the picture shows every
     *  change its views were told of up to that one (DocumentHost::newPictureGeneration). */
    std::uint64_t generation = 0;
    /** What building one bitmap took. */
    std::chrono::steady_clock::duration buildCost{};
};

/**
 * Runs the idle refresh's document work on a thread of its own: CZARN40Doc::RefreshIfDirty() and,
 * when that rebuilt the palette or a view asked for a new picture, the new period bitmap on each
 * level scale its views show and the view geometry. All pause the document's worker, and on a busy
 * machine a worker may not run (and so not park) for tens of milliseconds; this thread waits for it
 * instead of the GUI thread. One refresh at a time; the result reaches the GUI thread as a queued
 * call.
 *
 * A job holds its document's access lock (DocumentHost::tryAccess) for its whole run and skips a
 * document whose lock the GUI holds, so that the GUI's commands and the refresh never work on one
 * document at once.
 */
class PictureRefresher : public QObject {
    Q_OBJECT

public:
    /** Called on the GUI thread when a refresh of the document @p serial is over, with its
     *  picture, or null when it made none (the palette was clean, or the GUI held the document). */
    using Deliver = std::function<void(std::uint64_t serial, const RefreshedPicture* picture)>;

    explicit PictureRefresher(Deliver deliver, QObject* parent = nullptr);
    ~PictureRefresher() override;

    /** Starts refreshing @p host's document; false while the previous refresh runs. With
     *  @p force the pictures are built even when the palette was clean: a view waits for them
     *  after an update (CZARN40App::requestPicture). */
    bool start(DocumentHost& host, bool force = false);
    /** A refresh is under way (its result not yet delivered). */
    bool busy() const { return busy_; }
    /** Until when the idle refresh should leave the documents alone: a refresh pauses the
     *  document's workers while it rebuilds the palette and colours the pictures, and after a
     *  long one (a large hexagonal picture) they get kRestFactor times as long to run. */
    std::chrono::steady_clock::time_point restUntil() const { return restUntil_; }
    static constexpr int kRestFactor = 4;
    /** Called before @p host is destroyed: a refresh of it that has not begun is dropped; one that
     *  has begun holds the host's access lock, which the host's destructor waits for. */
    void cancel(const DocumentHost& host);

private:
    struct Job;
    void run();

    Deliver deliver_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::unique_ptr<Job> pending_;
    bool stop_ = false;
    /** GUI thread only. */
    bool busy_ = false;
    std::chrono::steady_clock::time_point restUntil_{};
    std::thread thread_;
};

} // namespace zarn::app
