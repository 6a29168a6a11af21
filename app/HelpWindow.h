#pragma once

#include <QUrl>
#include <QWidget>

#include <optional>

class QTextBrowser;

namespace zarn::app {

/** Help requests, as the menus and keys make them. */
namespace help {
/** Help on the current context (F1, a click in what's-this mode). */
inline constexpr unsigned kContext = 1;
/** The contents. */
inline constexpr unsigned kContents = 3;
/** The list of topics ("&Help Topics"). */
inline constexpr unsigned kFinder = 11;
/** Help on the help command itself. */
inline constexpr unsigned kHelpOnHelp = 0x102;

/** The topics the pages are numbered by. */
inline constexpr int kTopicQuiltWindow = 1;
inline constexpr int kTopicContents = 11;
} // namespace help

/** The topic a help request opens: 1 for a context request, 11 for the contents, the list of
 *  topics and help on help; nothing for any other request. */
std::optional<int> helpTopicFor(unsigned command);
/** The page of a topic in the resources. */
QUrl helpPage(int topic);

/** A what's-this text: @p text and a link to the help page @p page ("menus.html"), which the
 *  application opens in the help window when it is clicked. */
QString whatsThisText(const QString& text, const char* page);

/** The help window: the program's help pages in a browser with Back, Forward and Contents. */
class HelpWindow : public QWidget {
    Q_OBJECT

public:
    explicit HelpWindow(QWidget* parent = nullptr);

    /** Shows the page of @p topic and raises the window. */
    void showTopic(int topic);
    /** Shows @p page (one of the help pages) and raises the window. */
    void showPage(const QUrl& page);
    QUrl source() const;

private:
    QTextBrowser* browser_;
};

} // namespace zarn::app
