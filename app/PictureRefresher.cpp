#include "PictureRefresher.h"

#include "DocumentHost.h"
#include "document/ViewSettings.h"

#include <QMetaObject>

#include <algorithm>
#include <optional>

namespace zarn::app {

struct PictureRefresher::Job {
    CZARN40Doc* doc;
    std::recursive_mutex* access;
    std::uint64_t serial;
    std::uint64_t generation;
    /** The level scales the document's views show, by kind. */
    std::array<bool, kLevelScaleKinds.size()> scales;
    bool force;
};

PictureRefresher::PictureRefresher(Deliver deliver, QObject* parent)
    : QObject(parent), deliver_(std::move(deliver)), thread_([this] { run(); }) {}

PictureRefresher::~PictureRefresher() {
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
        pending_.reset();
    }
    wake_.notify_all();
    thread_.join();
}

bool PictureRefresher::start(DocumentHost& host, bool force) {
    if (busy_) {
        return false;
    }
    busy_ = true;
    {
        std::lock_guard lock(mutex_);
        pending_ = std::make_unique<Job>(Job{&host.doc(), &host.accessMutex(), host.serial(),
                                             host.pictureGeneration(), host.viewedScales(), force});
    }
    wake_.notify_all();
    return true;
}

void PictureRefresher::cancel(const DocumentHost& host) {
    std::lock_guard lock(mutex_);
    if (pending_ && pending_->serial == host.serial()) {
        pending_.reset();
        busy_ = false;
    }
}

void PictureRefresher::run() {
    for (;;) {
        std::unique_ptr<Job> job;
        std::unique_lock<std::recursive_mutex> access;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [this] { return stop_ || pending_ != nullptr; });
            if (stop_) {
                return;
            }
            job = std::move(pending_);
            // Taken together with the job, so that cancel() either drops the job or finds the
            // document held until the job is done.
            access = std::unique_lock(*job->access, std::try_to_lock);
        }
        std::optional<RefreshedPicture> picture;
        const auto began = std::chrono::steady_clock::now();
        // A dirty palette is rebuilt first; forced, the pictures are built from a clean one too.
        if (access.owns_lock() && (job->doc->RefreshIfDirty() || job->force)) {
            picture.emplace();
            picture->generation = job->generation;
            const auto building = std::chrono::steady_clock::now();
            int built = 0;
            for (const LevelScaleKind kind : kLevelScaleKinds) {
                const auto k = static_cast<std::size_t>(kind);
                if (job->scales[k]) {
                    picture->bitmaps[k] =
                        std::make_shared<const PeriodBitmap>(job->doc->RenderPeriod(kind));
                    ++built;
                }
            }
            picture->buildCost = (std::chrono::steady_clock::now() - building) / std::max(built, 1);
            picture->view = TakeViewGeometry(*job->doc, &picture->polyRebuild);
        }
        if (access.owns_lock()) {
            access.unlock();
        }
        const auto cost = picture ? std::chrono::steady_clock::now() - began
                                  : std::chrono::steady_clock::duration::zero();
        QMetaObject::invokeMethod(
            this,
            [this, serial = job->serial, picture = std::move(picture), cost] {
                busy_ = false;
                restUntil_ = std::chrono::steady_clock::now() + kRestFactor * cost;
                deliver_(serial, picture ? &*picture : nullptr);
            },
            Qt::QueuedConnection);
    }
}

} // namespace zarn::app
