#include "SettingDialogs.h"

#include "ExampleQuilts.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QStyle>
#include <QVBoxLayout>

namespace zarn::app {

DetailDialog::DetailDialog(const DetailValues& values, QWidget* parent)
    : ValuesDialog(QStringLiteral("Use Detail"), values, parent) {
    addForm({
        {"Use Detailed Square", &v_.useDetailedSquare},
        {"Square Detailing Depth", &v_.squareDetailDepth},
        {"Use Detailed Hex ", &v_.useDetailedHex},
        {"Hex Detailing Depth", &v_.hexDetailDepth},
    });
    addPicture({MapFamily::Square, true});
    addPicture({MapFamily::Hex, true});
    showControls();
}

Perview::Perview(std::uint32_t periods, QWidget* parent)
    : ValuesDialog(QStringLiteral("Set View Quilt Periods"), periods, parent) {
    addForm({{"Period of Window View", &v_}});
    showControls();
}

ItStat::ItStat(const StatusValues& values, QWidget* parent)
    : ValuesDialog(QStringLiteral("Status"), values, parent) {
    addForm({
        {"Iteration Count", ShownOnly{&v_.stepCount}},
        {"Max Iterations", &v_.maxSteps},
    });
    showControls();
}

Abandilg::Abandilg(QWidget* parent) : QDialog(parent) {
    setModal(true);
    auto* outer = new QVBoxLayout(this);
    auto* row = new QHBoxLayout;
    auto* icon = new QLabel(this);
    const int side = style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, this);
    icon->setPixmap(style()
                        ->standardIcon(QStyle::SP_MessageBoxInformation, nullptr, this)
                        .pixmap(QSize(side, side), devicePixelRatio()));
    row->addWidget(icon, 0, Qt::AlignTop);
    auto* text = new QLabel(QString::fromUtf8(kText), this);
    text->setWordWrap(true);
    row->addWidget(text, 1);
    outer->addLayout(row);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    outer->addWidget(buttons);
}

} // namespace zarn::app
