#include "PictureColours.h"

#include "Families.h"

namespace zarn {

PictureColours PictureColoursOn(QuiltState& s, LevelScaleKind kind) {
    s.QMap.RefreshMax();
    if (kind == LevelScaleKind::Classic) {
        return {LevelScale(s.QMap.maxCount), s.palette};
    }
    PictureColours colours{LevelScale(kind, s.QMap), s.palette};
    buildPalette(colours.palette, s.colorSet, s.QMap, colours.scale);
    return colours;
}

QuiltScore ScoreQuilt(QuiltState& s, LevelScaleKind kind) {
    s.QMap.RefreshMax();
    const PictureColours codes{LevelScale(kind, s.QMap), levelCodePalette()};
    return withFamily(s.family, [&](auto traits) {
        using Traits = decltype(traits);
        const PeriodSize size = Traits::periodSize(s);
        PeriodBitmap picture(size.width, size.height);
        Traits::fill(s, picture, codes);
        return scoreLevelShares(levelSharesOfCodes(picture));
    });
}

} // namespace zarn
