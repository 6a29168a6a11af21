// Built once per instruction-set level, like the maps' kernels: the TWsq field takes the sinh and
// cosh of -y from those of y, which needs the level's sinhCosh to be odd and even bit for bit.

#include "engine/VectorSines.h"

#include <bit>
#include <cmath>
#include <random>
#include <vector>

namespace zarn::ZARN_ISA_NS {

/** How many arguments (of every size, zeros, infinities) break the symmetry. */
long sinhCoshAsymmetry();

long sinhCoshAsymmetry() {
    // Each argument, then its negation.
    std::vector<double> v{0.0, 5e-324, 710.4758600739439, 800.0, INFINITY};
    std::mt19937_64 random(7);
    for (int i = 0; i < 140000; ++i) {
        v.push_back(
            std::ldexp(std::uniform_real_distribution<double>(1.0, 2.0)(random), i % 40 - 30));
    }
    const std::size_t n = v.size();
    for (std::size_t k = 0; k < n; ++k) {
        v.push_back(-v[k]);
    }
    std::vector<double> sh(static_cast<std::size_t>(paddedCount(static_cast<int>(2 * n))));
    std::vector<double> ch(sh.size());
    v.resize(sh.size(), 0.0);
    sinhCosh(v.data(), sh.data(), ch.data(), static_cast<int>(2 * n));
    long broken = 0;
    for (std::size_t k = 0; k < n; ++k) {
        broken += std::bit_cast<std::uint64_t>(sh[k]) != std::bit_cast<std::uint64_t>(-sh[n + k]) ||
                  std::bit_cast<std::uint64_t>(ch[k]) != std::bit_cast<std::uint64_t>(ch[n + k]);
    }
    return broken;
}

} // namespace zarn::ZARN_ISA_NS
