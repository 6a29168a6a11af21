#pragma once

#include "document/QuiltState.h"
#include "render/LevelScale.h"
#include "render/Palette.h"
#include "render/QuiltScore.h"

namespace zarn {

/** What one picture of a quilt is coloured with: the level scale made for its grid and the
 *  palette that colours those levels, and how many threads may colour it (fillBitmap). */
struct PictureColours {
    LevelScale scale;
    Palette palette;
    int fillThreads = 1;
};

/**
 * The colours of @p s's picture on the level scale @p kind, for code that holds the document's
 * pause; the grid's maximum is refreshed first. The classic scale colours with the stored
 * palette (what the idle refresh and the colour commands last built, and what a session file
 * keeps), so its pictures are what they have always been. Any other scale builds its palette
 * now, from the colour set over the grid's level shares on that scale; the stored palette is
 * left alone.
 */
PictureColours PictureColoursOn(QuiltState& s, LevelScaleKind kind);

/** How much of a picture @p s makes on the scale @p kind (see QuiltScore): its period picture
 *  filled through the family's lookup, with levels for colours. For code holding the pause. */
QuiltScore ScoreQuilt(QuiltState& s, LevelScaleKind kind);

} // namespace zarn
