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

namespace zarn::app {

DocumentHost::DocumentHost(CZARN40App& app, std::uint64_t serial) : app_(app), serial_(serial) {}

DocumentHost::~DocumentHost() {
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
    for (CZARN40View* view : views_) {
        view->OnRefreshed(picture);
    }
    refreshCaptions();
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
