// Built once per instruction-set level, like the maps' kernels: the TWsq field takes the sinh and
// cosh of -y from those of y, which needs the level's sinhCosh to be odd and even bit for bit.

#include "engine/VectorSines.h"

#include <bit>
#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

namespace zarn::ZARN_ISA_NS {

/** Arguments (of every size the field meets and beyond, both zeros, infinities) whose sinh is not
 *  minus that of their negation or whose cosh is not that of their negation. */
long sinhCoshAsymmetry();

long sinhCoshAsymmetry() {
    std::vector<double> v{0.0,   -0.0,     5e-324,    1e-300, 709.78, 710.4758600739439,
                          800.0, INFINITY, -INFINITY, 1e308};
    std::mt19937_64 random(7);
    for (const double range : {1e-8, 1e-3, 0.5, 3.0, 20.0, 100.0, 720.0}) {
        std::uniform_real_distribution<double> uniform(-range, range);
        for (int i = 0; i < 40000; ++i) {
            v.push_back(uniform(random));
        }
    }
    const int n = static_cast<int>(v.size());
    v.resize(static_cast<std::size_t>(paddedCount(n)), 1.0);
    std::vector<double> negated(v.size());
    for (std::size_t k = 0; k < v.size(); ++k) {
        negated[k] = -v[k];
    }
    std::vector<double> sh(v.size());
    std::vector<double> ch(v.size());
    std::vector<double> shNegated(v.size());
    std::vector<double> chNegated(v.size());
    sinhCosh(v.data(), sh.data(), ch.data(), n);
    sinhCosh(negated.data(), shNegated.data(), chNegated.data(), n);
    long broken = 0;
    for (int k = 0; k < n; ++k) {
        const auto at = static_cast<std::size_t>(k);
        const bool odd =
            std::bit_cast<std::uint64_t>(-shNegated[at]) == std::bit_cast<std::uint64_t>(sh[at]);
        const bool even =
            std::bit_cast<std::uint64_t>(chNegated[at]) == std::bit_cast<std::uint64_t>(ch[at]);
        broken += odd && even ? 0 : 1;
    }
    return broken;
}

} // namespace zarn::ZARN_ISA_NS
