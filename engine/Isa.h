#pragma once

#include <optional>
#include <string_view>
#include <vector>

namespace zarn {

/**
 * The instruction-set levels the hot step code is built for (cmake/IsaVariants.cmake): the
 * x86-64 baseline (SSE2), x86-64-v3 (AVX2, FMA) and x86-64-v4 (AVX-512 F/BW/CD/DQ/VL). Ordered:
 * a machine that runs a level runs every level below it. Other processors have the baseline only.
 */
enum class Isa { Baseline = 0, V3 = 1, V4 = 2 };

/** "baseline", "x86-64-v3" or "x86-64-v4". */
std::string_view isaName(Isa isa);

/** Parses the values ZARN_ISA accepts: baseline, v3, v4 (or x86-64-v3, x86-64-v4). */
std::optional<Isa> parseIsa(std::string_view text);

/** The highest level this processor and operating system run (CPUID and XGETBV). */
Isa hostIsa();

/**
 * The level the step code uses in this process, fixed at the first call: hostIsa(), lowered to
 * the level named by the environment variable ZARN_ISA when that is set, valid and not above
 * the host's. Lowering it is meant for comparing variants on one machine; a seeded run is
 * byte-reproducible for one machine and one level.
 */
Isa activeIsa();

/** Whether variants above the baseline were built (x86-64 builds only). */
bool isaVariantsBuilt();

/** Every level that was built and that this machine runs, lowest first. */
std::vector<Isa> runnableIsas();

/** Of one table per level, the one for @p isa; nullptr when this machine cannot run that level
 *  or the level was not built (pass nullptr for levels that were not). */
template <typename Table>
const Table* variantFor(Isa isa, const Table* baseline, const Table* v3, const Table* v4) {
    if (isa > hostIsa() || (isa != Isa::Baseline && !isaVariantsBuilt())) {
        return nullptr;
    }
    switch (isa) {
    case Isa::Baseline:
        return baseline;
    case Isa::V3:
        return v3;
    case Isa::V4:
        return v4;
    }
    return nullptr;
}

} // namespace zarn
