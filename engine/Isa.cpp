#include "Isa.h"

#include <cstdlib>

#if defined(__x86_64__)
#include <cpuid.h>
#endif

namespace zarn {

std::string_view isaName(Isa isa) {
    switch (isa) {
    case Isa::Baseline:
        return "baseline";
    case Isa::V3:
        return "x86-64-v3";
    case Isa::V4:
        return "x86-64-v4";
    }
    return "baseline";
}

std::optional<Isa> parseIsa(std::string_view text) {
    if (text == "baseline") {
        return Isa::Baseline;
    }
    if (text == "v3" || text == "x86-64-v3") {
        return Isa::V3;
    }
    if (text == "v4" || text == "x86-64-v4") {
        return Isa::V4;
    }
    return std::nullopt;
}

bool isaVariantsBuilt() {
#if defined(ZARN_X86_ISA_VARIANTS)
    return true;
#else
    return false;
#endif
}

std::vector<Isa> runnableIsas() {
    std::vector<Isa> levels{Isa::Baseline};
    if (isaVariantsBuilt()) {
        for (Isa isa : {Isa::V3, Isa::V4}) {
            if (isa <= hostIsa()) {
                levels.push_back(isa);
            }
        }
    }
    return levels;
}

namespace {

#if defined(__x86_64__)
bool bit(unsigned value, unsigned n) {
    return ((value >> n) & 1u) != 0;
}

unsigned long long enabledStateComponents() {
    unsigned lo = 0;
    unsigned hi = 0;
    // XGETBV with ECX = 0 reads XCR0: which register state the operating system saves.
    __asm__ volatile("xgetbv" : "=a"(lo), "=d"(hi) : "c"(0));
    return (static_cast<unsigned long long>(hi) << 32) | lo;
}

Isa detectHost() {
    unsigned a = 0;
    unsigned b = 0;
    unsigned c = 0;
    unsigned d = 0;
    if (__get_cpuid(1, &a, &b, &c, &d) == 0) {
        return Isa::Baseline;
    }
    const bool fma = bit(c, 12);
    const bool movbe = bit(c, 22);
    const bool osxsave = bit(c, 27);
    const bool avx = bit(c, 28);
    const bool f16c = bit(c, 29);
    if (!osxsave || !avx) {
        return Isa::Baseline;
    }
    const unsigned long long xcr0 = enabledStateComponents();
    // SSE and AVX state (bits 1, 2) must be saved by the system before AVX code may run.
    if ((xcr0 & 0x6u) != 0x6u) {
        return Isa::Baseline;
    }
    unsigned b7 = 0;
    if (__get_cpuid_count(7, 0, &a, &b7, &c, &d) == 0) {
        return Isa::Baseline;
    }
    unsigned ext = 0;
    if (__get_cpuid(0x80000001u, &a, &b, &ext, &d) == 0) {
        return Isa::Baseline;
    }
    const bool lzcnt = bit(ext, 5);
    const bool bmi1 = bit(b7, 3);
    const bool avx2 = bit(b7, 5);
    const bool bmi2 = bit(b7, 8);
    if (!(avx2 && fma && f16c && movbe && lzcnt && bmi1 && bmi2)) {
        return Isa::Baseline;
    }
    const bool avx512 = bit(b7, 16) && bit(b7, 17) && bit(b7, 28) && bit(b7, 30) && bit(b7, 31);
    // Opmask, upper halves of zmm0-15 and zmm16-31 (bits 5, 6, 7).
    const bool zmmSaved = (xcr0 & 0xe0u) == 0xe0u;
    return avx512 && zmmSaved ? Isa::V4 : Isa::V3;
}
#endif

Isa chooseActive() {
    if (!isaVariantsBuilt()) {
        return Isa::Baseline;
    }
    const Isa host = hostIsa();
    const char* wanted = std::getenv("ZARN_ISA");
    if (wanted != nullptr) {
        const std::optional<Isa> asked = parseIsa(wanted);
        if (asked && *asked < host) {
            return *asked;
        }
    }
    return host;
}

} // namespace

Isa hostIsa() {
#if defined(__x86_64__)
    static const Isa host = detectHost();
    return host;
#else
    return Isa::Baseline;
#endif
}

Isa activeIsa() {
    static const Isa active = chooseActive();
    return active;
}

} // namespace zarn
