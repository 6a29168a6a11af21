#include "ChooseMapAll.h"

#include "ExampleQuilts.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QRadioButton>
#include <QVBoxLayout>

namespace zarn::app {

namespace {

struct FamilyRadio {
    const char* text;
    MapFamily family;
};

constexpr FamilyRadio kRadios[] = {
    {"Square Map", MapFamily::Square},
    {"Hex Map", MapFamily::Hex},
    {"Wild Corner (Square)", MapFamily::SquareX},
    {"ExpA", MapFamily::ExpA},
    {"Duodec (experimental)", MapFamily::Duo},
};

ExampleKey exampleOf(const ChooseMapValues& v) {
    const bool detailed = v.family == MapFamily::Hex ? v.useDetailedHex : v.useDetailedSquare;
    return {v.family, detailed};
}

} // namespace

ChooseMapAll::ChooseMapAll(const ChooseMapValues& values, QWidget* parent)
    : FieldDialog(QStringLiteral("Choose Map"), parent), v_(values) {
    auto* grid = new QGridLayout;
    body()->addLayout(grid);

    auto* radios = new QVBoxLayout;
    families_ = new QButtonGroup(this);
    for (const FamilyRadio& r : kRadios) {
        auto* radio = new QRadioButton(QString::fromUtf8(r.text), this);
        families_->addButton(radio, static_cast<int>(r.family));
        radio->setChecked(r.family == v_.family);
        radios->addWidget(radio);
    }
    radios->addStretch();
    grid->addLayout(radios, 0, 0);

    picture_ = new ExamplePicture(exampleOf(v_), this);
    grid->addWidget(picture_, 0, 1, Qt::AlignRight | Qt::AlignTop);

    auto* options = new QVBoxLayout;
    options->addWidget(checkField(QStringLiteral("Use Detailed Square Map"), v_.useDetailedSquare));
    options->addWidget(checkField(QStringLiteral("Use Random Settings"), v_.useRandomSettings));
    options->addWidget(checkField(QStringLiteral("Use Detailed Hex Map"), v_.useDetailedHex));
    grid->addLayout(options, 1, 0, 1, 2);

    auto* note = new QLabel(
        QStringLiteral("The quilt size can be changed only when \"Use Random Settings\" is not "
                       "selected. The View menu offers the quasi-crystal and other ways of "
                       "showing a quilt."),
        this);
    note->setWordWrap(true);
    grid->addWidget(note, 2, 0, 1, 2);

    // A radio button sets the family at once, as the picture shows.
    connect(families_, &QButtonGroup::idClicked, this, [this](int id) {
        v_.family = static_cast<MapFamily>(id);
        picture_->setKey(exampleOf(v_));
    });
    showControls();
}

QAbstractButton* ChooseMapAll::familyButton(MapFamily family) const {
    return families_->button(static_cast<int>(family));
}

} // namespace zarn::app
