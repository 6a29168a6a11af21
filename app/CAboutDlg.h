#pragma once

#include <QDialog>

namespace zarn::app {

/** "&About ZARN80...": the program's icon, its caption, a notice and OK. */
class CAboutDlg : public QDialog {
    Q_OBJECT

public:
    /** The notice box holds at most this many characters. */
    static constexpr int kNoticeLimit = 500;

    explicit CAboutDlg(QWidget* parent = nullptr);

    /** The notice text shown in the dialog. */
    static QString noticeText();
};

} // namespace zarn::app
