#include "DocumentHost.h"

#include "CMainFrame.h"
#include "CZARN40App.h"
#include "CZARN40View.h"
#include "PictureRefresher.h"
#include "app/dialogs/Dialogs.h"

#include <QLocale>
#include <QMdiSubWindow>
#include <QMetaObject>
#include <QPointer>

#include <algorithm>
#include <chrono>

namespace zarn::app {

namespace {

constexpr std::chrono::seconds kTrialTimeLimit{10};

} // namespace

DocumentHost::DocumentHost(CZARN40App& app, std::uint64_t serial) : app_(app), serial_(serial) {}

DocumentHost::~DocumentHost() {
    // A trial run in progress gives up at its next look at the stop request.
    if (drawer_.joinable()) {
        drawer_.request_stop();
        drawer_.join();
    }
    // The worker may still post while it stops; it must be gone before this object is.
    const auto held = access();
    doc_.reset();
}

DocumentOptions DocumentHost::options() {
    DocumentOptions options;
    options.registry = &app_.registry();
    options.observer = this;
    options.orbits = app_.threadsPerQuilt();
    return options;
}

void DocumentHost::attach(std::unique_ptr<CZARN40Doc> doc) {
    doc_ = std::move(doc);
}

QString DocumentHost::title() const {
    return QString::fromStdString(doc_->snapshot().title);
}

bool DocumentHost::polyViewOn() {
    const auto held = access();
    ScopedPause pause(*doc_);
    return doc_->State(pause).polyView != 0;
}

void DocumentHost::addView(CZARN40View* view) {
    views_.push_back(view);
    refreshCaptions();
}

bool DocumentHost::removeView(CZARN40View* view) {
    views_.erase(std::remove(views_.begin(), views_.end(), view), views_.end());
    if (!views_.empty()) {
        refreshCaptions();
    }
    return views_.empty();
}

void DocumentHost::UpdateAllViews(int hint) {
    for (CZARN40View* view : views_) {
        view->OnUpdate(hint);
    }
    refreshCaptions();
}

void DocumentHost::showRefreshed(const RefreshedPicture& picture) {
    if (picture.generation >= wantedGeneration_) {
        wantedGeneration_ = 0;
    }
    for (CZARN40View* view : views_) {
        view->OnRefreshed(picture);
    }
    refreshCaptions();
}

std::array<bool, kLevelScaleKinds.size()> DocumentHost::viewedScales() const {
    std::array<bool, kLevelScaleKinds.size()> scales{};
    for (const CZARN40View* view : views_) {
        scales[static_cast<std::size_t>(view->levelScale())] = true;
    }
    return scales;
}

void DocumentHost::refreshCaptions() {
    const QString current = title();
    for (std::size_t i = 0; i < views_.size(); ++i) {
        if (auto* sub = qobject_cast<QMdiSubWindow*>(views_[i]->parentWidget())) {
            sub->setWindowTitle(
                views_.size() == 1 ? current : QStringLiteral("%1:%2").arg(current).arg(i + 1));
        }
    }
    if (current != lastTitle_) {
        lastTitle_ = current;
        emit captionsChanged();
    }
}

bool DocumentHost::NewRandomQuiltSkippingFlat(LevelScaleKind scale) {
    if (drawing_.exchange(true)) {
        return false;
    }
    if (drawer_.joinable()) {
        drawer_.join(); // finished: it cleared drawing_ as its last act
    }
    drawer_ = std::jthread([this, scale](std::stop_token stop) {
        // Runs @p op under the access lock, waiting for the GUI or the refresher to let go of
        // it; false when the host is closing.
        const auto underAccess = [&](const auto& op) {
            std::unique_lock lock(access_, std::defer_lock);
            while (!lock.try_lock()) {
                if (stop.stop_requested()) {
                    return false;
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            }
            op();
            return true;
        };
        int drawn = 0;
        bool flat = true;
        while (flat && drawn < kMaxTrials) {
            if (!underAccess([&] { doc_->NewRandomQuilt(); })) {
                break;
            }
            ++drawn;
            QMetaObject::invokeMethod(this, &DocumentHost::refreshCaptions, Qt::QueuedConnection);
            // A worker held up (a converged-quilt notice waiting for its answer) ends the trial
            // early: the quilt is scored as far as it got.
            const auto deadline = std::chrono::steady_clock::now() + kTrialTimeLimit;
            while (doc_->stepCount() < kTrialSteps && !doc_->isFinished() &&
                   !stop.stop_requested() && std::chrono::steady_clock::now() < deadline) {
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            }
            if (stop.stop_requested() || !underAccess([&] { flat = doc_->Score(scale).flat(); })) {
                break;
            }
        }
        if (!stop.stop_requested()) {
            QMetaObject::invokeMethod(
                this,
                [this, drawn, flat] {
                    app_.mainFrame()->showMessage(
                        flat ? tr("Drew %1 quilts; all were flat, the last one stays").arg(drawn)
                             : tr("Drew %n quilt(s) to find one that is not flat", nullptr, drawn));
                },
                Qt::QueuedConnection);
        }
        drawing_.store(false);
    });
    return true;
}

bool DocumentHost::quiltConverged(CZARN40Doc& /*doc*/) {
    QMetaObject::invokeMethod(this, &DocumentHost::showConvergedNotice, Qt::QueuedConnection);
    return true;
}

void DocumentHost::quiltReplaced(CZARN40Doc& /*doc*/, ReplaceReason /*reason*/) {
    QMetaObject::invokeMethod(this, &DocumentHost::refreshCaptions, Qt::QueuedConnection);
}

void DocumentHost::finished(CZARN40Doc& doc) {
    const std::uint32_t steps = doc.stepCount();
    QMetaObject::invokeMethod(
        this,
        [this, steps] {
            app_.mainFrame()->showMessage(
                tr("%1 has taken all its steps (%2)")
                    .arg(title(), QLocale().toString(static_cast<qulonglong>(steps))));
        },
        Qt::QueuedConnection);
}

void DocumentHost::showConvergedNotice() {
    // The notice runs its own event loop, in which this document may be closed.
    QPointer<DocumentHost> alive(this);
    runConvergedNotice(app_.mainFrame());
    if (alive) {
        doc_->AnswerConvergedNotice();
    }
}

} // namespace zarn::app
