#include "Dialogs.h"

#include "ChooseMapAll.h"
#include "CoefficientDialogs.h"
#include "ColorControlDialog.h"
#include "SettingDialogs.h"
#include "document/CZARN40Doc.h"
#include "document/DialogApply.h"
#include "document/PictureColours.h"

namespace zarn::app {

namespace {

/** Shows @p Dialog filled with @p values; on OK hands its values to @p apply and returns what
 *  that says; on Cancel returns false. */
template <typename Dialog, typename Values, typename Apply>
bool runDialog(QWidget* parent, const Values& values, Apply apply) {
    Dialog dialog(values, parent);
    if (dialog.exec() != QDialog::Accepted) {
        return false;
    }
    return apply(dialog.values());
}

/** Shows a coefficient dialog and applies what OK accepted (the dialog checked it already). */
template <typename Dialog, typename Fill, typename Apply>
void runCoefficients(QWidget* parent, CZARN40Doc& doc, Fill fill, Apply apply) {
    runDialog<Dialog>(parent, fill(doc), [&](const auto& v) { return !apply(doc, v); });
}

/**
 * The detailed and the plain dialog of a family: the one the family's detail choice names,
 * then the other one when the first changed that choice.
 */
template <typename DetailedFn, typename PlainFn>
void runDetailPair(CZARN40Doc& doc, bool ChooseMapValues::*detail, DetailedFn detailed,
                   PlainFn plain) {
    const bool first = FillChooseMap(doc).*detail;
    first ? detailed() : plain();
    if (FillChooseMap(doc).*detail != first) {
        first ? plain() : detailed();
    }
}

void runFamilyDialogs(QWidget* parent, CZARN40Doc& doc, FamilyDialogs dialogs) {
    switch (dialogs) {
    case FamilyDialogs::None:
        return;
    case FamilyDialogs::Square:
        runDetailPair(
            doc, &ChooseMapValues::useDetailedSquare,
            [&] { runCoefficients<GeneralCoif>(parent, doc, FillGeneralCoif, ApplyGeneralCoif); },
            [&] { runCoefficients<SETQUILT>(parent, doc, FillSetQuilt, ApplySetQuilt); });
        return;
    case FamilyDialogs::Hex:
        runDetailPair(
            doc, &ChooseMapValues::useDetailedHex,
            [&] { runCoefficients<HexDetail>(parent, doc, FillHexDetail, ApplyHexDetail); },
            [&] { runCoefficients<SetHQuilt>(parent, doc, FillSetHexQuilt, ApplySetHexQuilt); });
        return;
    case FamilyDialogs::Corner:
        runCoefficients<GetXcoif>(parent, doc, FillCornerCoefficients, ApplyCornerCoefficients);
        return;
    }
}

} // namespace

bool runChooseFractal(QWidget* parent, CZARN40Doc& doc) {
    // The whole command, coefficient dialogs included, runs in one pause.
    ScopedPause pause(doc);
    return runDialog<ChooseMapAll>(parent, FillChooseMap(doc), [&](const ChooseMapValues& v) {
        const FamilyDialogs next = ApplyChooseMap(doc, v);
        runFamilyDialogs(parent, doc, next);
        FinishChooseMap(doc, next != FamilyDialogs::None);
        return true;
    });
}

bool runDetailSettings(QWidget* parent, CZARN40Doc& doc) {
    ScopedPause pause(doc);
    return runDialog<DetailDialog>(parent, FillDetail(doc), [&](const DetailValues& v) {
        bool changed = false;
        return !ApplyDetail(doc, v, &changed) && changed;
    });
}

bool runImagePeriod(QWidget* parent, CZARN40Doc& doc) {
    return runDialog<Perview>(parent, FillViewPeriod(doc), [&](std::uint32_t periods) {
        ApplyViewPeriod(doc, periods);
        return true;
    });
}

bool runImageColors(QWidget* parent, CZARN40Doc& doc) {
    return runImageColors(parent, doc, LevelScaleKind::Classic);
}

bool runImageColors(QWidget* parent, CZARN40Doc& doc, LevelScaleKind scale) {
    ColorC colors(0.0);
    Palette palette;
    LevelHistogram histogram{};
    {
        ScopedPause pause(doc);
        colors = doc.BeginEditColors();
        QuiltState& s = doc.State(pause);
        const PictureColours shown = PictureColoursOn(s, scale);
        histogram = shown.scale.histogram(s.QMap);
        palette = shown.palette;
    }
    const auto randomize = [&doc](ColorC& c) {
        ScopedPause pause(doc);
        c.RandomColors(doc.State(pause).crandom);
    };
    ColorControlDialog dialog(colors, palette, histogram, randomize, parent);
    if (dialog.exec() != QDialog::Accepted) {
        return false;
    }
    doc.ApplyEditedColors(dialog.colors());
    return true;
}

bool runIterationStatus(QWidget* parent, CZARN40Doc& doc) {
    const StatusValues before = FillStatus(doc);
    return runDialog<ItStat>(parent, before, [&](const StatusValues& v) {
        return !ApplyStatus(doc, v) && v.maxSteps != before.maxSteps;
    });
}

void runConvergedNotice(QWidget* parent) {
    Abandilg notice(parent);
    notice.exec();
}

} // namespace zarn::app
