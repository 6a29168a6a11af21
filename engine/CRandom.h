#pragma once

#include <cstdlib>

namespace zarn {

/** The C library generator that the program uses for small whole-number choices (Emm, offsets,
 *  the wild-corner N, colours). Seeded with the time at document construction, or with the run's
 *  seed when one is given. */
inline int crand() {
    return std::rand();
}
inline void cseed(unsigned seed) {
    std::srand(seed);
}

} // namespace zarn
