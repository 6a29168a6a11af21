#include "ViewSettings.h"

#include "CZARN40Doc.h"
#include "Validation.h"
#include "engine/CRandom.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace zarn {

namespace {

constexpr int kMinQuaziOffset = 50;
constexpr int kMaxQuaziOffset = 1200;
constexpr int kMinLineSets = 5;
constexpr int kMaxLineSets = 42;
/** The quasi-crystal mapping's source follows the document's (N), colour set's (N + 1) and
 *  sphere map's (N + 2). */
constexpr double kQuaziSeedOffset = 3.0;

constexpr std::uint32_t kQuaziBit = 1u << 0;
constexpr std::uint32_t kPolyBit = 1u << 1;
constexpr std::uint32_t kChosenBit = 1u << 2;
constexpr int kKindShift = 8;
constexpr std::uint32_t kKindMask = 0xFFu << kKindShift;

ViewFlags flagsOf(const QuiltState& s) {
    return {s.quaziView != 0, s.polyView != 0};
}

/** Turns off a view the family does not take; returns whether it did. */
bool settle(QuiltState& s) {
    if (ViewsApplyTo(s.family) || (s.quaziView == 0 && s.polyView == 0)) {
        return false;
    }
    s.quaziView = 0;
    s.polyView = 0;
    return true;
}

/** What a toggle or a dialog leaves for the window: a changed mapping (@p mappingShown when its
 *  view is on) or a view turned on or off asks for an update. */
ViewChange outcome(const QuiltState& s, ViewFlags before, bool mappingShown) {
    ViewChange c;
    c.views = flagsOf(s);
    c.changed = mappingShown || c.views.quaziView != before.quaziView ||
                c.views.polyView != before.polyView;
    c.windowsNtNotice = (c.views.quaziView || c.views.polyView) && s.isWindowsNT == 0;
    return c;
}

/** The poly properties' first step: the default mapping, once. */
void choosePolyOnce(QuiltState& s) {
    if (s.polyViewChosen == 0 || !s.polyMapping) {
        s.polyMapping = DefaultPolyMapping();
        s.polyViewChosen = 1;
    }
}

} // namespace

QuaziMapping NewQuaziMapping(int setCount, std::optional<std::uint64_t> seed, CRandom& crandom) {
    RandomSource rng;
    if (seed) {
        rng.SeedFrom(static_cast<double>(*seed) + kQuaziSeedOffset);
    } else {
        rng.Seed(crandom);
    }
    QuaziMapping m(setCount, QuaziMapping::kBaseSpacing, rng);
    m.GenerateTiles();
    m.patternOffsetX = m.patternOffsetY = QuaziMapping::kDefaultOffset;
    m.rhombusScale = QuaziMapping::kDefaultRhombusScale;
    m.overlap = QuaziMapping::kDefaultOverlap;
    return m;
}

PolyMapping DefaultPolyMapping(int tilingKind) {
    PolyMapping m(tilingKind, PolyMapping::kDefaultOverlap);
    m.SetScale(PolyMapping::kDefaultScale);
    m.SetPeriodOffsets(PolyMapping::kDefaultOffset, PolyMapping::kDefaultOffset);
    return m;
}

bool ViewsApplyTo(MapFamily family) {
    return family != MapFamily::Hex && family != MapFamily::SFT && family != MapFamily::Oct_Four &&
           family != MapFamily::T;
}

ViewFlags SettleViews(CZARN40Doc& doc, bool* turnedOff) {
    ScopedPause pause(doc);
    QuiltState& s = doc.State(pause);
    const bool off = settle(s);
    if (turnedOff) {
        *turnedOff = off;
    }
    return flagsOf(s);
}

ViewChange ToggleQuaziView(CZARN40Doc& doc) {
    ScopedPause pause(doc);
    QuiltState& s = doc.State(pause);
    const ViewFlags before = flagsOf(s);
    s.polyView = 0;
    s.quaziView = (before.quaziView || !ViewsApplyTo(s.family)) ? 0 : 1;
    return outcome(s, before, false);
}

ViewChange TogglePolyView(CZARN40Doc& doc) {
    ScopedPause pause(doc);
    QuiltState& s = doc.State(pause);
    const ViewFlags before = flagsOf(s);
    s.quaziView = 0;
    const bool firstUse = s.polyViewChosen == 0;
    if (before.polyView || !ViewsApplyTo(s.family)) {
        s.polyView = 0;
    } else {
        s.polyView = 1;
        choosePolyOnce(s);
        s.polyMapping->rebuild = true;
    }
    ViewChange change = outcome(s, before, false);
    change.openPolyProperties = change.views.polyView && firstUse;
    return change;
}

// ---- "Quzi-cystal view properties" ------------------------------------------------------------

QuaziPropValues FillQuaziProp(const CZARN40Doc& doc) {
    ScopedPause pause(doc);
    const QuiltState& s = doc.State(pause);
    const QuaziMapping& m = s.quaziMapping;
    QuaziPropValues v;
    v.useQuaziView = s.quaziView != 0;
    v.offsetX = static_cast<int>(m.patternOffsetX);
    v.offsetY = static_cast<int>(m.patternOffsetY);
    v.scale = m.rhombusScale;
    v.lineSetCount = m.setCount;
    v.overlap = m.overlap;
    return v;
}

std::optional<std::string> ValidateQuaziProp(const QuaziPropValues& v) {
    if (auto e = checkInteger(v.offsetX, kMinQuaziOffset, kMaxQuaziOffset, "X Offset in pattern")) {
        return e;
    }
    if (auto e = checkInteger(v.offsetY, kMinQuaziOffset, kMaxQuaziOffset, "Y Offset in pattern")) {
        return e;
    }
    if (auto e = checkNumber(v.scale, 0.05, 3.0, "Scale % for rombi")) {
        return e;
    }
    if (auto e = checkInteger(v.lineSetCount, kMinLineSets, kMaxLineSets, "Line set count")) {
        return e;
    }
    return checkNumber(v.overlap, -0.1, 0.1, "Overlap corection");
}

std::optional<std::string> ApplyQuaziProp(CZARN40Doc& doc, const QuaziPropValues& v,
                                          ViewChange* change) {
    if (auto e = ValidateQuaziProp(v)) {
        return e;
    }
    ScopedPause pause(doc);
    QuiltState& s = doc.State(pause);
    const ViewFlags before = flagsOf(s);
    s.polyView = 0;
    s.quaziView = v.useQuaziView && ViewsApplyTo(s.family) ? 1 : 0;
    bool changed = false;

    QuaziMapping& m = s.quaziMapping;
    if (v.lineSetCount != m.setCount) {
        m = NewQuaziMapping(v.lineSetCount, doc.options().seed, s.crandom);
        changed = true;
    }
    const double offsetX = v.offsetX;
    const double offsetY = v.offsetY;
    if (offsetX != m.patternOffsetX || offsetY != m.patternOffsetY || v.scale != m.rhombusScale ||
        v.overlap != m.overlap) {
        m.patternOffsetX = offsetX;
        m.patternOffsetY = offsetY;
        m.rhombusScale = v.scale;
        m.overlap = v.overlap;
        changed = true;
    }

    if (change) {
        *change = outcome(s, before, changed && s.quaziView != 0);
    }
    return std::nullopt;
}

// ---- "POLY VIEW SETTINGS" ---------------------------------------------------------------------

PolyViewValues FillPolyView(CZARN40Doc& doc) {
    ScopedPause pause(doc);
    QuiltState& s = doc.State(pause);
    choosePolyOnce(s);
    const PolyMapping& m = *s.polyMapping;
    PolyViewValues v;
    v.scale = m.UserScale();
    v.offsetX = m.periodOffsetX;
    v.offsetY = m.periodOffsetY;
    v.overlap = m.OverlapCorrection();
    v.tiling = m.tiling;
    v.usePolyView = s.polyView != 0;
    return v;
}

std::optional<std::string> ValidatePolyView(const PolyViewValues& v) {
    if (auto e = checkNumber(v.scale, 0.5, 10.0, "Scale")) {
        return e;
    }
    if (auto e = checkNumber(v.offsetX, 0.1, 0.499, "X offset for period")) {
        return e;
    }
    if (auto e = checkNumber(v.offsetY, 0.1, 0.499, "Y offset for period")) {
        return e;
    }
    if (auto e = checkNumber(v.overlap, -0.2, 0.2, "Overlap corection")) {
        return e;
    }
    if (!isOfferedPolyTiling(v.tiling)) {
        return "Chose View Mapping: tiling " + std::to_string(v.tiling) + " is not one of " +
               polyTilingNameList() + ".";
    }
    return std::nullopt;
}

std::optional<std::string> ApplyPolyView(CZARN40Doc& doc, const PolyViewValues& v,
                                         ViewChange* change) {
    if (auto e = ValidatePolyView(v)) {
        return e;
    }
    ScopedPause pause(doc);
    QuiltState& s = doc.State(pause);
    const ViewFlags before = flagsOf(s);
    choosePolyOnce(s);
    s.quaziView = 0;
    s.polyView = v.usePolyView && ViewsApplyTo(s.family) ? 1 : 0;

    bool changed = false;
    PolyMapping& m = *s.polyMapping;
    if (v.tiling != m.tiling || v.overlap != m.OverlapCorrection()) {
        m = PolyMapping(v.tiling, v.overlap);
        m.SetScale(v.scale);
        m.SetPeriodOffsets(v.offsetX, v.offsetY);
        changed = true;
    }
    if (v.scale != m.UserScale()) {
        m.SetScale(v.scale);
        changed = true;
    }
    if (v.offsetX != m.periodOffsetX || v.offsetY != m.periodOffsetY) {
        m.SetPeriodOffsets(v.offsetX, v.offsetY);
        changed = true;
    }

    if (change) {
        *change = outcome(s, before, changed && s.polyView != 0);
    }
    return std::nullopt;
}

std::optional<std::size_t> NewViewMapChecked(int kind) {
    if (kind == 4) {
        return std::nullopt;
    }
    for (std::size_t i = 0; i < kPolyTilings.size(); ++i) {
        if (kPolyTilings[i].kind == kind) {
            return i;
        }
    }
    return 0;
}

// ---- Drawing ----------------------------------------------------------------------------------

ViewGeometry TakeViewGeometry(CZARN40Doc& doc, bool* polyRebuild) {
    ScopedPause pause(doc);
    QuiltState& s = doc.State(pause);
    settle(s);
    ViewGeometry view;
    view.periods = std::max<int>(s.viewPeriod, 1);
    bool rebuild = false;
    if (s.polyView != 0 && s.polyMapping) {
        view.mode = ViewMode::Poly;
        view.poly = *s.polyMapping;
        rebuild = s.polyMapping->rebuild;
        s.polyMapping->rebuild = false;
    } else if (s.quaziView != 0) {
        view.mode = ViewMode::Quazi;
        view.quazi = s.quaziMapping;
    }
    if (polyRebuild) {
        *polyRebuild = rebuild;
    }
    return view;
}

// ---- Session files ----------------------------------------------------------------------------

std::uint32_t packViewWord(const QuiltState& s) {
    std::uint32_t word = 0;
    if (s.quaziView != 0) {
        word |= kQuaziBit;
    }
    if (s.polyView != 0) {
        word |= kPolyBit;
    }
    if (s.polyViewChosen != 0 && s.polyMapping) {
        word |= kChosenBit;
        word |= (static_cast<std::uint32_t>(s.polyMapping->tiling) << kKindShift) & kKindMask;
    }
    return word;
}

std::optional<std::string> viewWordError(std::uint32_t word) {
    char hex[16];
    std::snprintf(hex, sizeof hex, "0x%08x", static_cast<unsigned>(word));
    if ((word & ~(kQuaziBit | kPolyBit | kChosenBit | kKindMask)) != 0) {
        return std::string(hex) + " sets bits that name no view";
    }
    if ((word & kQuaziBit) != 0 && (word & kPolyBit) != 0) {
        return std::string(hex) + " turns on both the quasi-crystal and the poly view";
    }
    const int kind = static_cast<int>((word & kKindMask) >> kKindShift);
    if ((word & kChosenBit) == 0) {
        if ((word & kPolyBit) != 0) {
            return std::string(hex) + " turns on the poly view without a tiling";
        }
        if (kind != 0) {
            return std::string(hex) + " names a tiling without choosing one";
        }
    } else if (!isOfferedPolyTiling(kind)) {
        return std::string(hex) + " names tiling " + std::to_string(kind) + ", not one of " +
               polyTilingNameList();
    }
    return std::nullopt;
}

void unpackViewWord(QuiltState& s, std::uint32_t word) {
    s.quaziView = (word & kQuaziBit) != 0 ? 1 : 0;
    s.polyView = (word & kPolyBit) != 0 ? 1 : 0;
    if ((word & kChosenBit) != 0) {
        s.polyViewChosen = 1;
        s.polyMapping = DefaultPolyMapping(static_cast<int>((word & kKindMask) >> kKindShift));
    } else {
        s.polyViewChosen = 0;
        s.polyMapping.reset();
    }
}

} // namespace zarn
