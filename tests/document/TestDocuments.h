#pragma once

#include "document/CZARN40Doc.h"

#include <cstdint>

namespace zarn::testing_support {

/** A seeded document without a worker: the test drives IterateStep itself. */
inline DocumentOptions driven(std::uint64_t seed = 3) {
    DocumentOptions o;
    o.seed = seed;
    o.startWorker = false;
    return o;
}

/** The state of a document without a worker (no pause is needed to hold on to it). */
inline QuiltState& stateOf(CZARN40Doc& doc) {
    ScopedPause pause(doc);
    return doc.State(pause);
}

/** Turns the square map into the identity: every point is a fixed point, so the quilt
 *  collapses at its 10,000th step. */
inline void makeFixedPointQuilt(QuiltState& s) {
    SqrMap& m = s.sqrMap;
    m.lambda = m.alpha = m.beta = m.gamma = m.omega = 0.0;
    m.offX = m.offY = 0.0;
    m.emm = 1.0;
    m.detail = 0;
    for (auto& row : m.coef) {
        row.fill(0.0);
    }
}

} // namespace zarn::testing_support
