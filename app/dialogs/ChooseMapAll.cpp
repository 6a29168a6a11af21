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

ExampleKey exampleOf(MapFamily family, bool detailedSquare, bool detailedHex) {
    return {family, family == MapFamily::Hex ? detailedHex : detailedSquare};
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

    picture_ =
        new ExamplePicture(exampleOf(v_.family, v_.useDetailedSquare, v_.useDetailedHex), this);
    grid->addWidget(picture_, 0, 1, Qt::AlignRight | Qt::AlignTop);

    auto* options = new QVBoxLayout;
    QCheckBox* detailedSquare =
        checkField(QStringLiteral("Use Detailed Square Map"), v_.useDetailedSquare);
    options->addWidget(detailedSquare);
    options->addWidget(checkField(QStringLiteral("Use Random Settings"), v_.useRandomSettings));
    QCheckBox* detailedHex = checkField(QStringLiteral("Use Detailed Hex Map"), v_.useDetailedHex);
    options->addWidget(detailedHex);
    grid->addLayout(options, 1, 0, 1, 2);

    auto* note = new QLabel(
        QStringLiteral("The quilt size can be changed only when \"Use Random Settings\" is not "
                       "selected. The View menu offers the quasi-crystal and other ways of "
                       "showing a quilt."),
        this);
    note->setWordWrap(true);
    grid->addWidget(note, 2, 0, 1, 2);

    showControls();
    // The picture follows the choice as it is made; a radio button sets the family at once.
    const auto showChoice = [this, detailedSquare, detailedHex] {
        picture_->setKey(
            exampleOf(v_.family, detailedSquare->isChecked(), detailedHex->isChecked()));
    };
    connect(families_, &QButtonGroup::idClicked, this, [this, showChoice](int id) {
        v_.family = static_cast<MapFamily>(id);
        showChoice();
    });
    connect(detailedSquare, &QCheckBox::toggled, this, showChoice);
    connect(detailedHex, &QCheckBox::toggled, this, showChoice);
}

QAbstractButton* ChooseMapAll::familyButton(MapFamily family) const {
    return families_->button(static_cast<int>(family));
}

} // namespace zarn::app
