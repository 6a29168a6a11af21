#include "PictureColours.h"

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

} // namespace zarn
