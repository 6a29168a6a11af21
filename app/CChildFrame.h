#pragma once

#include <QMdiSubWindow>

namespace zarn::app {

class CZARN40View;
class DocumentHost;

/** A quilt window inside the main window: one view of a document. Closing the last view of a
 *  document closes the document. */
class CChildFrame : public QMdiSubWindow {
    Q_OBJECT

public:
    explicit CChildFrame(DocumentHost& host, QWidget* parent = nullptr);

    CZARN40View* view() const { return view_; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    CZARN40View* view_;
};

} // namespace zarn::app
