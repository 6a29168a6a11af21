#include "HelpWindow.h"

#include <QIcon>
#include <QTextBrowser>
#include <QToolBar>
#include <QVBoxLayout>

namespace zarn::app {

std::optional<int> helpTopicFor(unsigned command) {
    switch (command) {
    case help::kContext:
        return help::kTopicQuiltWindow;
    case help::kContents:
    case help::kFinder:
    case help::kHelpOnHelp:
        return help::kTopicContents;
    default:
        return std::nullopt;
    }
}

QUrl helpPage(int topic) {
    return topic == help::kTopicQuiltWindow ? QUrl(QStringLiteral("qrc:/help/window.html"))
                                            : QUrl(QStringLiteral("qrc:/help/index.html"));
}

QString whatsThisText(const QString& text, const char* page) {
    return QStringLiteral("<p>%1</p><p><a href=\"qrc:/help/%2\">%3</a></p>")
        .arg(text.toHtmlEscaped(), QLatin1String(page), HelpWindow::tr("More in the help"));
}

HelpWindow::HelpWindow(QWidget* parent)
    : QWidget(parent, Qt::Window), browser_(new QTextBrowser(this)) {
    setWindowTitle(tr("ZARN80 Help"));
    setObjectName(QStringLiteral("helpWindow"));
    browser_->setOpenExternalLinks(true);

    auto* bar = new QToolBar(this);
    QAction* back = bar->addAction(tr("&Back"), browser_, &QTextBrowser::backward);
    QAction* forward = bar->addAction(tr("&Forward"), browser_, &QTextBrowser::forward);
    bar->addAction(tr("&Contents"), this, [this] { showTopic(help::kTopicContents); });
    back->setShortcut(QKeySequence::Back);
    forward->setShortcut(QKeySequence::Forward);
    back->setEnabled(false);
    forward->setEnabled(false);
    connect(browser_, &QTextBrowser::backwardAvailable, back, &QAction::setEnabled);
    connect(browser_, &QTextBrowser::forwardAvailable, forward, &QAction::setEnabled);
    connect(browser_, &QTextBrowser::sourceChanged, this,
            [this] { setWindowTitle(tr("ZARN80 Help - %1").arg(browser_->documentTitle())); });

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(bar);
    layout->addWidget(browser_);
    resize(720, 640);
}

void HelpWindow::showTopic(int topic) {
    showPage(helpPage(topic));
}

void HelpWindow::showPage(const QUrl& page) {
    browser_->setSource(page);
    show();
    raise();
    activateWindow();
}

QUrl HelpWindow::source() const {
    return browser_->source();
}

} // namespace zarn::app
