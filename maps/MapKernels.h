#pragma once

#include "engine/Complex.h"
#include "engine/Isa.h"

namespace zarn {

class DuoMap;
class HexMap;
class TwsqMap;
class WildCornerMap;

/**
 * The hot steps of the further families, one table per instruction-set level
 * (maps/MapKernels.cpp, built by zarn_add_isa_variants); see engine/StepKernels.h. The map
 * classes call mapKernels(), the table of the running machine.
 */
struct MapKernels {
    /** The plain hexagonal sum F(z) (sets accumulator and sineValues). */
    Complex (*hexPlainSum)(HexMap& map, Complex z);
    /** The detailed hexagonal sum D(z). */
    Complex (*hexDetailSum)(const HexMap& map, Complex z);
    /** The complex-sine field F(x, y), before the wrap. */
    Complex (*twsqField)(const TwsqMap& map, Complex point);
    /** The wild-corner map G(z), unfolded. */
    Complex (*cornerStep)(const WildCornerMap& map, Complex z);
    /** The sphere map's sum of waves, pulled back onto the sphere into map.sphere. Returns false
     *  (and leaves the sphere as it was) when the sum cannot be normalised; the caller then
     *  draws a new point. */
    bool (*duoAdvance)(DuoMap& map);
};

/** The table for activeIsa(). */
const MapKernels& mapKernels();

/** The table for @p isa, or nullptr when this machine cannot run it or it was not built. */
const MapKernels* mapKernelsFor(Isa isa);

} // namespace zarn

#if defined(ZARN_ISA_NS)
/** In code built by zarn_add_isa_variants, the kernels of the level being compiled, to call
 *  directly from a loop built for the same level (see engine/StepKernels.h). */
namespace zarn::ZARN_ISA_NS {
Complex hexPlainSum(HexMap& map, Complex z);
Complex hexDetailSum(const HexMap& map, Complex z);
Complex twsqField(const TwsqMap& map, Complex point);
Complex cornerStep(const WildCornerMap& map, Complex z);
bool duoAdvance(DuoMap& map);
} // namespace zarn::ZARN_ISA_NS
#endif
