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

} // namespace zarn::testing_support
