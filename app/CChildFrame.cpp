#include "CChildFrame.h"

#include "CZARN40App.h"
#include "CZARN40View.h"
#include "DocumentHost.h"

#include <QCloseEvent>
#include <QIcon>

namespace zarn::app {

CChildFrame::CChildFrame(DocumentHost& host, QWidget* parent)
    : QMdiSubWindow(parent), view_(new CZARN40View(host, this)) {
    setAttribute(Qt::WA_DeleteOnClose);
    setWidget(view_);
    setWindowIcon(QIcon(QStringLiteral(":/icons/zarn80.svg")));
    host.addView(view_);
    view_->OnInitialUpdate();
}

void CChildFrame::closeEvent(QCloseEvent* event) {
    QMdiSubWindow::closeEvent(event);
    if (!event->isAccepted()) {
        return;
    }
    DocumentHost* host = view_->host();
    if (host == nullptr) {
        return;
    }
    view_->detach();
    if (host->removeView(view_)) {
        host->app().closeDocument(host);
    }
}

} // namespace zarn::app
