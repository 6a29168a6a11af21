#include "MapKernels.h"

namespace zarn {

// One table per level, defined by the copies of MapKernels.cpp.
namespace isa_baseline {
extern const MapKernels kMapKernels;
}
#if defined(ZARN_X86_ISA_VARIANTS)
namespace isa_v3 {
extern const MapKernels kMapKernels;
}
namespace isa_v4 {
extern const MapKernels kMapKernels;
}
#endif

const MapKernels* mapKernelsFor(Isa isa) {
#if defined(ZARN_X86_ISA_VARIANTS)
    return variantFor(isa, &isa_baseline::kMapKernels, &isa_v3::kMapKernels, &isa_v4::kMapKernels);
#else
    return variantFor<MapKernels>(isa, &isa_baseline::kMapKernels, nullptr, nullptr);
#endif
}

const MapKernels& mapKernels() {
    static const MapKernels& active = *mapKernelsFor(activeIsa());
    return active;
}

} // namespace zarn
