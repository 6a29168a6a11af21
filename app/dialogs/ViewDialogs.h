#pragma once

#include "FieldDialog.h"
#include "document/ViewSettings.h"

#include <QDialog>

#include <array>
#include <optional>

class QButtonGroup;
class QCheckBox;
class QLabel;
class QPushButton;

namespace zarn::app {

/** "Quzi-cystal view properties": the quasi-crystal view on or off and its mapping's values. */
class QuaziProp : public ValuesDialog<QuaziPropValues, ValidateQuaziProp> {
public:
    static constexpr const char* kNote =
        "Another way of viewing square images as a quazi-crystaline maping.";

    explicit QuaziProp(const QuaziPropValues& values, QWidget* parent = nullptr);
};

/** "POLY VIEW SETTINGS": the poly view on or off, its scale, offsets and overlap, and the tiling
 *  that "PRESS TO Choose a new PolyView" picks in "Chose View Mapping". */
class POLYVIEW : public ValuesDialog<PolyViewValues, ValidatePolyView> {
public:
    static constexpr const char* kChooseText = "PRESS TO Choose a new PolyView";

    explicit POLYVIEW(const PolyViewValues& values, QWidget* parent = nullptr);

    QPushButton* chooseButton() const { return choose_; }

private:
    void chooseTiling();
    void showTiling();

    QPushButton* choose_;
    QLabel* tiling_;
};

/** "Chose View Mapping": five check boxes that act as one choice of tiling. */
class NEWVIEWMAP : public QDialog {
    Q_OBJECT

public:
    /** Opens on the box of @p kind (none for kind 4, "4.8.8" for a kind it does not offer). */
    explicit NEWVIEWMAP(int kind, QWidget* parent = nullptr);

    /** The kind of the checked box, tested in the order shown; @p fallback when none is. */
    int kind(int fallback) const;
    QCheckBox* box(std::size_t index) const { return boxes_[index]; }

private:
    std::array<QCheckBox*, kPolyTilings.size()> boxes_{};
    QButtonGroup* group_;
};

/** "Print scaled to page or tile": two check boxes that act as one choice. */
class HOWPRINTDIALOG : public QDialog {
    Q_OBJECT

public:
    static constexpr const char* kScaleText = "Scale a single image period to fit the page";
    static constexpr const char* kTileText =
        "Print all periods of the image exactly in 1/1 mode. (Warning: This will also print the "
        "quazi-crystal mapping but will use a very large amount of memory)";

    explicit HOWPRINTDIALOG(bool scaleToPage, QWidget* parent = nullptr);

    bool scaleToPage() const;
    QCheckBox* scaleBox() const { return scale_; }
    QCheckBox* tileBox() const { return tile_; }

private:
    QCheckBox* scale_;
    QCheckBox* tile_;
};

/** "Set Quazi Maping Properties": the dialog, then its OK applied; nothing on Cancel. */
std::optional<ViewChange> runQuaziProperties(QWidget* parent, CZARN40Doc& doc);
/** "Set Poly Mapping Properties": the dialog, then its OK applied; nothing on Cancel. */
std::optional<ViewChange> runPolyProperties(QWidget* parent, CZARN40Doc& doc);
/** "Print What": the choice after the dialog (Cancel keeps @p scaleToPage); the quasi-crystal
 *  view always prints pixel for pixel. */
bool runPrintWhat(QWidget* parent, bool scaleToPage, bool quaziView);

} // namespace zarn::app
