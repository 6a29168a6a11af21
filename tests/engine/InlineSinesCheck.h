#pragma once

// The comparison of the sines computed in registers with the library functions they stand for,
// built once per instruction-set level (InlineSinesCheck.cpp).

#include <cstdint>
#include <string>

namespace zarn {

struct SineComparison {
    /** Vectors compared (each through every form); 0 where the level has no such sines. */
    long compared = 0;
    long differing = 0;
    /** The first difference found: the function and its arguments. */
    std::string first;
};

#if defined(ZARN_X86_ISA_VARIANTS)
namespace isa_v3 {
SineComparison compareInlineSines(std::uint64_t seed, long perRange);
}
namespace isa_v4 {
SineComparison compareInlineSines(std::uint64_t seed, long perRange);
}
#endif

} // namespace zarn
