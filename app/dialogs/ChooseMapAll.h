#pragma once

#include "FieldDialog.h"
#include "document/DialogApply.h"

class QAbstractButton;
class QButtonGroup;

namespace zarn::app {

class ExamplePicture;

/**
 * "Choose Map": five radio buttons for the families that have one and the three options. The
 * family starts as the document's; a family without a radio button shows none checked and is
 * kept when none is pressed.
 */
class ChooseMapAll : public FieldDialog {
    Q_OBJECT

public:
    explicit ChooseMapAll(const ChooseMapValues& values, QWidget* parent = nullptr);

    const ChooseMapValues& values() const { return v_; }
    /** The radio button of @p family, or null for a family without one. */
    QAbstractButton* familyButton(MapFamily family) const;

private:
    ChooseMapValues v_;
    QButtonGroup* families_ = nullptr;
    ExamplePicture* picture_ = nullptr;
};

} // namespace zarn::app
