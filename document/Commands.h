#pragma once

#include "document/CZARN40Doc.h"
#include "document/MapFamily.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace zarn {

/**
 * The commands a user gives a quilt, shared by the desktop program and zarn80-render: each one
 * applies its settings in the order the quilt needs them, with the family's own step factors,
 * and leaves the worker as the command says (never paused behind the caller's back).
 */

/** A new quilt's settings; what is left empty keeps the new document's own choice. */
struct NewQuiltOptions {
    std::optional<MapFamily> family;
    /** The detailed (true) or plain (false) form of the square map, or with the Hex family of
     *  the hexagonal map. */
    std::optional<bool> detailed;
    /** Hex only: the grid counts lattice coordinates. */
    bool knot = false;
    /** SquareX only: the wild corner's N, 3 to 42 (random 3 to 13 otherwise). */
    std::optional<int> cornerN;
    /** The grid's side, 20 to 1000; growing it raises the step limit as the dialogs do. */
    std::optional<std::uint32_t> gridSize;
    /** The step limit (maxSteps); the quilt takes maxSteps + 1 steps. */
    std::optional<std::uint32_t> maxSteps;
    std::optional<std::uint16_t> viewPeriod;
    /** A colour file (.qcl) to colour the quilt with. */
    std::optional<std::string> colorFile;
};

/** Settings that do not apply to the chosen family ("--knot applies to the Hex family only");
 *  nothing when they all fit. */
std::optional<std::string> NewQuiltOptionsError(const NewQuiltOptions& options);

/**
 * File New with settings: builds the document, applies @p settings, completes it
 * (OnNewDocument) and so starts its worker when it has one. Throws DocumentError (with the
 * reason: an unreadable colour file, memory) and then leaves nothing running.
 */
std::unique_ptr<CZARN40Doc> NewQuilt(const DocumentOptions& options,
                                     const NewQuiltOptions& settings);

/**
 * Lets the quilt take @p steps more steps from where it stands (a finished quilt included) and
 * starts a worker that has not run yet. Throws DocumentError when the count would pass the
 * largest step limit (4,000,000,000).
 */
void IterateMore(CZARN40Doc& doc, std::uint64_t steps);

/** Blocks until the quilt has taken all its steps, calling @p progress with a snapshot every
 *  @p interval (and once at the end). */
void WaitUntilFinished(CZARN40Doc& doc,
                       const std::function<void(const DocumentSnapshot&)>& progress,
                       std::chrono::milliseconds interval = std::chrono::milliseconds(50));

/** What the desktop program's idle refresh leaves after a run: the distinct cells recounted
 *  and the palette built from the grid as it stands, so that a picture or a saved session shows
 *  the quilt as iterated. */
void SettleAfterRun(CZARN40Doc& doc);

/** The largest step limit: the worker stops once stepCount exceeds it, so it stays below
 *  2^32 - 1. */
inline constexpr std::uint64_t kLargestStepLimit = 4000000000u;

} // namespace zarn
