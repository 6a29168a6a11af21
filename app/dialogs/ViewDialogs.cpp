#include "ViewDialogs.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include <initializer_list>

namespace zarn::app {

namespace {

/** A dialog's check boxes made into one choice: pressing one checks it and clears the
 *  others. */
QButtonGroup* oneChoice(QDialog* dialog, std::initializer_list<QCheckBox*> boxes) {
    auto* group = new QButtonGroup(dialog);
    group->setExclusive(true);
    for (QCheckBox* box : boxes) {
        group->addButton(box);
    }
    return group;
}

QDialogButtonBox* okCancel(QDialog* dialog) {
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    return buttons;
}

QString tilingLabel(int kind) {
    for (const PolyTilingChoice& choice : kPolyTilings) {
        if (choice.kind == kind) {
            return QString::fromLatin1(choice.label);
        }
    }
    return QStringLiteral("4.6.12");
}

} // namespace

QuaziProp::QuaziProp(const QuaziPropValues& values, QWidget* parent)
    : ValuesDialog(QStringLiteral("Quzi-cystal view properties"), values, parent) {
    auto* note = new QLabel(QString::fromLatin1(kNote), this);
    note->setWordWrap(true);
    body()->addWidget(note);
    addForm({
        {"Use Quazi view of bitmap", &v_.useQuaziView},
        {"X Offset in pattern", &v_.offsetX},
        {"Y Offset in pattern", &v_.offsetY},
        {"Scale % for rombi", &v_.scale},
        {"Line set count", &v_.lineSetCount},
        {"Overlap corection", &v_.overlap},
    });
    showControls();
}

POLYVIEW::POLYVIEW(const PolyViewValues& values, QWidget* parent)
    : ValuesDialog(QStringLiteral("POLY VIEW SETTINGS"), values, parent),
      choose_(new QPushButton(QString::fromLatin1(kChooseText), this)), tiling_(new QLabel(this)) {
    addForm({
        {"Scale", &v_.scale},
        {"X offset for period", &v_.offsetX},
        {"Y offset for period", &v_.offsetY},
        {"Overlap corection", &v_.overlap},
        {"Use Poly Mapping view", &v_.usePolyView},
    });
    tiling_->setObjectName(QStringLiteral("tiling"));
    body()->addWidget(tiling_);
    body()->addWidget(choose_);
    connect(choose_, &QPushButton::clicked, this, &POLYVIEW::chooseTiling);
    showControls();
    showTiling();
}

void POLYVIEW::chooseTiling() {
    NEWVIEWMAP choice(v_.tiling, this);
    if (choice.exec() == QDialog::Accepted) {
        v_.tiling = choice.kind(v_.tiling);
        showTiling();
    }
}

void POLYVIEW::showTiling() {
    tiling_->setText(QStringLiteral("Tiling: %1").arg(tilingLabel(v_.tiling)));
}

NEWVIEWMAP::NEWVIEWMAP(int kind, QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Chose View Mapping"));
    setModal(true);
    auto* layout = new QVBoxLayout(this);
    group_ = new QButtonGroup(this);
    group_->setExclusive(true);
    for (std::size_t i = 0; i < kPolyTilings.size(); ++i) {
        auto* box = new QCheckBox(QString::fromLatin1(kPolyTilings[i].label), this);
        box->setObjectName(QString::fromLatin1(kPolyTilings[i].name));
        group_->addButton(box, kPolyTilings[i].kind);
        layout->addWidget(box);
        boxes_[i] = box;
    }
    if (const std::optional<std::size_t> checked = NewViewMapChecked(kind)) {
        boxes_[*checked]->setChecked(true);
    }
    layout->addWidget(okCancel(this));
}

int NEWVIEWMAP::kind(int fallback) const {
    for (std::size_t i = 0; i < boxes_.size(); ++i) {
        if (boxes_[i]->isChecked()) {
            return kPolyTilings[i].kind;
        }
    }
    return fallback;
}

HOWPRINTDIALOG::HOWPRINTDIALOG(bool scaleToPage, QWidget* parent)
    : QDialog(parent), scale_(new QCheckBox(QString::fromLatin1(kScaleText), this)),
      tile_(new QCheckBox(QString::fromLatin1(kTileText), this)) {
    setWindowTitle(QStringLiteral("Print scaled to page or tile"));
    setModal(true);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(scale_);
    layout->addWidget(tile_);
    oneChoice(this, {scale_, tile_});
    (scaleToPage ? scale_ : tile_)->setChecked(true);
    layout->addWidget(okCancel(this));
}

bool HOWPRINTDIALOG::scaleToPage() const {
    return scale_->isChecked();
}

namespace {

/** Shows @p Dialog filled by @p fill; on OK applies its values with @p apply and returns what
 *  changed. The dialog refused invalid values already, so the Apply refuses nothing. */
template <typename Dialog, typename Fill, typename Apply>
std::optional<ViewChange> runViewProperties(QWidget* parent, CZARN40Doc& doc, Fill fill,
                                            Apply apply) {
    Dialog dialog(fill(doc), parent);
    if (dialog.exec() != QDialog::Accepted) {
        return std::nullopt;
    }
    ViewChange change;
    if (apply(doc, dialog.values(), &change)) {
        return std::nullopt;
    }
    return change;
}

} // namespace

std::optional<ViewChange> runQuaziProperties(QWidget* parent, CZARN40Doc& doc) {
    return runViewProperties<QuaziProp>(parent, doc, FillQuaziProp, ApplyQuaziProp);
}

std::optional<ViewChange> runPolyProperties(QWidget* parent, CZARN40Doc& doc) {
    return runViewProperties<POLYVIEW>(parent, doc, FillPolyView, ApplyPolyView);
}

bool runPrintWhat(QWidget* parent, bool scaleToPage, bool quaziView) {
    HOWPRINTDIALOG dialog(scaleToPage, parent);
    if (dialog.exec() == QDialog::Accepted) {
        scaleToPage = dialog.scaleToPage();
    }
    return scaleToPage && !quaziView;
}

} // namespace zarn::app
