#include "StepKernels.h"

namespace zarn {

// One table per level, defined by the copies of EngineKernels.cpp.
namespace isa_baseline {
extern const EngineKernels kEngineKernels;
}
#if defined(ZARN_X86_ISA_VARIANTS)
namespace isa_v3 {
extern const EngineKernels kEngineKernels;
}
namespace isa_v4 {
extern const EngineKernels kEngineKernels;
}
#endif

const EngineKernels* engineKernelsFor(Isa isa) {
#if defined(ZARN_X86_ISA_VARIANTS)
    return variantFor(isa, &isa_baseline::kEngineKernels, &isa_v3::kEngineKernels,
                      &isa_v4::kEngineKernels);
#else
    return variantFor<EngineKernels>(isa, &isa_baseline::kEngineKernels, nullptr, nullptr);
#endif
}

const EngineKernels& engineKernels() {
    static const EngineKernels& active = *engineKernelsFor(activeIsa());
    return active;
}

namespace square {

void plainStep(double& x, double& y, const PlainSet& k, double emm, double offX, double offY,
               double twoPi) {
    engineKernels().squarePlain(x, y, k, emm, offX, offY, twoPi);
}

void detailedStep(double& x, double& y, const CoefGrid& coef, int depth, double emm, double offX,
                  double offY, double twoPi, const DetailTables& t) {
    engineKernels().squareDetailed(x, y, coef, depth, emm, offX, offY, twoPi, t);
}

} // namespace square

} // namespace zarn
