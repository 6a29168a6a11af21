#pragma once

#include "document/MapFamily.h"
#include "render/PolyMapping.h"
#include "render/QuaziMapping.h"
#include "render/ViewGeometry.h"

#include <cstdint>
#include <optional>
#include <string>

namespace zarn {

class CRandom;
class CZARN40Doc;
struct QuiltState;

/**
 * The quasi-crystal and poly views as the document keeps them: the two mappings, the toggles of
 * the View menu, the two properties dialogs ("Quzi-cystal view properties", "POLY VIEW
 * SETTINGS" with "Chose View Mapping") and what a window takes to draw. Like DialogApply, each
 * function pauses the worker itself.
 *
 * The quasi-crystal and the poly view are never both on, and neither is on for the Hex, SFT,
 * Oct_Four and T families, whose periods they do not take.
 */

/** The mapping a document starts with: @p setCount line sets spaced from 50.0, its own random
 *  source seeded from @p seed + 3 (from the clock and @p crandom without a seed), tiles made,
 *  offsets 300.0, rhombus scale 0.5, overlap 0.02. */
QuaziMapping NewQuaziMapping(int setCount, std::optional<std::uint64_t> seed, CRandom& crandom);
/** The poly mapping the first use of the poly view makes: 4.8.8, overlap 0.04, scale 1.0,
 *  period offsets 0.25, to be rebuilt. */
PolyMapping DefaultPolyMapping(int tilingKind = PolyMapping::kDefaultTiling);

/** Whether the two views take the period of @p family (not Hex, SFT, Oct_Four or T). */
bool ViewsApplyTo(MapFamily family);

/** Which views are on. */
struct ViewFlags {
    bool quaziView = false;
    bool polyView = false;
};
/** The views as the menu's check marks show them, after turning off a view the current family
 *  does not take (what a window does when it is activated or updated). @p turnedOff tells
 *  whether one was turned off. */
ViewFlags SettleViews(CZARN40Doc& doc, bool* turnedOff = nullptr);

/** What a toggle or a properties dialog leaves for the window to do. */
struct ViewChange {
    ViewFlags views;
    /** Something the picture shows changed: update the views (HINT_REBUILD). */
    bool changed = false;
    /** A view is on and the document's isWindowsNT is clear: the "Warning: Windows NT only"
     *  notice is due. */
    bool windowsNtNotice = false;
    /** The poly view was turned on for the first time: open "POLY VIEW SETTINGS" now (the
     *  default mapping is in place, so Cancel leaves the view on with it). */
    bool openPolyProperties = false;
};

/** "Quazi-Maping" (Ctrl+Q): turns the quasi-crystal view on or off and the poly view off. A
 *  family the view does not take leaves it off. */
ViewChange ToggleQuaziView(CZARN40Doc& doc);
/** "Poly Maping": turns the poly view on or off and the quasi-crystal view off; the first time
 *  it makes the default poly mapping and asks for the properties dialog. */
ViewChange TogglePolyView(CZARN40Doc& doc);

/** "Quzi-cystal view properties". */
struct QuaziPropValues {
    bool useQuaziView = false;
    int offsetX = 300;
    int offsetY = 300;
    double scale = QuaziMapping::kDefaultRhombusScale;
    int lineSetCount = QuaziMapping::kDefaultSetCount;
    double overlap = QuaziMapping::kDefaultOverlap;
};
/** The view flag and the mapping's values (the offsets as integers, truncated). */
QuaziPropValues FillQuaziProp(const CZARN40Doc& doc);
/** Offsets 50..1200, scale 0.05..3, line sets 5..42, overlap -0.1..0.1. */
std::optional<std::string> ValidateQuaziProp(const QuaziPropValues& v);
/** The dialog's OK: the view on or off (the poly view off), a new mapping when the line set
 *  count changed (new random spacings), the other values stored. */
std::optional<std::string> ApplyQuaziProp(CZARN40Doc& doc, const QuaziPropValues& v,
                                          ViewChange* change = nullptr);

/** "POLY VIEW SETTINGS" and the kind "Chose View Mapping" picks. */
struct PolyViewValues {
    double scale = PolyMapping::kDefaultScale;
    double offsetX = PolyMapping::kDefaultOffset;
    double offsetY = PolyMapping::kDefaultOffset;
    double overlap = PolyMapping::kDefaultOverlap;
    int tiling = PolyMapping::kDefaultTiling;
    bool usePolyView = false;
};
/** Makes the default poly mapping when none has been chosen yet, then reads its values. */
PolyViewValues FillPolyView(CZARN40Doc& doc);
/** Scale 0.5..10, offsets 0.1..0.499, overlap -0.2..0.2, a tiling "Chose View Mapping"
 *  offers. */
std::optional<std::string> ValidatePolyView(const PolyViewValues& v);
/** The dialog's OK: the view on or off (the quasi-crystal view off either way), a new mapping
 *  when the tiling or the overlap changed, the scale and offsets stored; the poly image is
 *  rebuilt when any of them changed. */
std::optional<std::string> ApplyPolyView(CZARN40Doc& doc, const PolyViewValues& v,
                                         ViewChange* change = nullptr);

/** "Chose View Mapping" opening on @p kind: the index in kPolyTilings of the box it checks, or
 *  nothing (kind 4, which builds 4.6.12, checks none); any other kind checks "4.8.8". */
std::optional<std::size_t> NewViewMapChecked(int kind);

/**
 * What a window needs to draw the quilt besides its period bitmap: the view (a view the family
 * does not take is turned off first), the periods across and down (at least 1) and a copy of the
 * mapping. @p polyRebuild receives and clears the poly mapping's request for a new poly image
 * (new values, or the worker's every 2,400,000 steps).
 */
ViewGeometry TakeViewGeometry(CZARN40Doc& doc, bool* polyRebuild = nullptr);

/** The view choice a session file keeps in the first reserved word after maxDibThird: bit 0
 *  the quasi-crystal view, bit 1 the poly view, bit 2 a poly tiling chosen, bits 8 to 15 its
 *  kind. Files that predate it hold 0: every view off. */
std::uint32_t packViewWord(const QuiltState& s);
/** Why @p word cannot be a view choice; nothing when it can. */
std::optional<std::string> viewWordError(std::uint32_t word);
/** Restores the view choice; a chosen tiling gets the default mapping of its kind. */
void unpackViewWord(QuiltState& s, std::uint32_t word);

} // namespace zarn
