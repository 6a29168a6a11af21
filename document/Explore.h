#pragma once

#include "document/CZARN40Doc.h"
#include "document/Commands.h"
#include "document/MapFamily.h"
#include "render/BitmapFill.h"
#include "render/LevelScale.h"
#include "render/QuiltScore.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace zarn {

/** What to explore: @p count seeded quilts, candidate i with seed firstSeed + i. */
struct ExploreOptions {
    /** One family for every candidate; without it candidate i takes family i mod 10 in
     *  kAllFamilies order, so a run covers every family in turn. */
    std::optional<MapFamily> family;
    int count = 1;
    std::uint64_t firstSeed = 0;
    /** Each candidate's new-quilt settings besides family (grid, steps, colours ...). */
    NewQuiltOptions settings;
    /** The scale the candidates are scored and drawn on. */
    LevelScaleKind scale = LevelScaleKind::Classic;
    /** Candidates iterated at once, one single-orbit document each. */
    int threads = 1;
    /** How many of the best candidates keep their document (for saving). */
    int keep = 0;
};

/** One explored quilt. */
struct ExploreCandidate {
    std::uint64_t seed = 0;
    MapFamily family = MapFamily::Square;
    QuiltScore score;
    /** One period of its picture on the explored scale. */
    PeriodBitmap period;
    /** The finished quilt, for the best ExploreOptions::keep candidates only. */
    std::unique_ptr<CZARN40Doc> doc;
};

/** The family candidate @p index of a run takes. */
MapFamily exploreFamily(const ExploreOptions& options, int index);

/**
 * Iterates every candidate to its step limit (ExploreOptions::threads at a time), settles it as
 * a finished run is settled, scores it and draws its period; returns the candidates best first
 * (higher score first, then lower seed), the first `keep` of them with their documents.
 * @p done is called (from the working threads, one call at a time) after each candidate.
 * Throws DocumentError when a candidate cannot be built (an unreadable colour file).
 */
std::vector<ExploreCandidate> Explore(const ExploreOptions& options,
                                      const std::function<void(int finished)>& done = {});

} // namespace zarn
