#include "CAboutDlg.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QIcon>
#include <QLabel>
#include <QPlainTextEdit>

namespace zarn::app {

QString CAboutDlg::noticeText() {
    const QString text =
        tr("ZARN80 %1\n\n"
           "Symmetric chaotic-map quilts: the attractor of a map with wallpaper symmetry, "
           "iterated on a torus and coloured by how often each cell of a grid was hit. One "
           "period tiles the plane.\n\n"
           "Ten map families, colour sets and colour files, session files, and the "
           "zarn80-render command-line renderer on the same engine.\n\n"
           "Built with Qt %2. Press F1 for help.")
            .arg(QApplication::applicationVersion(), QString::fromLatin1(qVersion()));
    return text.left(kNoticeLimit);
}

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(tr("About ZARN80"));

    auto* icon = new QLabel(this);
    const int side = 64;
    icon->setPixmap(
        QIcon(QStringLiteral(":/icons/zarn80.svg")).pixmap(QSize(side, side), devicePixelRatioF()));
    icon->setAlignment(Qt::AlignTop | Qt::AlignHCenter);

    auto* caption = new QLabel(QStringLiteral("ZARN80 "), this);
    QFont big = caption->font();
    big.setPointSizeF(big.pointSizeF() * 1.6);
    big.setBold(true);
    caption->setFont(big);

    auto* notice = new QPlainTextEdit(noticeText(), this);
    notice->setReadOnly(true);
    notice->setObjectName(QStringLiteral("notice"));
    notice->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    notice->setMinimumSize(380, 200);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto* layout = new QGridLayout(this);
    layout->addWidget(icon, 0, 0, 2, 1);
    layout->addWidget(caption, 0, 1);
    layout->addWidget(notice, 1, 1);
    layout->addWidget(buttons, 2, 0, 1, 2);
}

} // namespace zarn::app
