#include "QuiltState.h"

#include <ctime>

namespace zarn {

namespace {

std::optional<double> derivedSeed(std::optional<std::uint64_t> seed, int offset) {
    if (!seed) {
        return std::nullopt;
    }
    return static_cast<double>(*seed) + offset;
}

unsigned initialCSeed(std::optional<std::uint64_t> seed) {
    return seed ? static_cast<unsigned>(*seed) : static_cast<unsigned>(std::time(nullptr));
}

ColorC makeColorSet(std::optional<std::uint64_t> seed, CRandom& crandom) {
    const std::optional<double> s = derivedSeed(seed, 1);
    return s ? ColorC(*s) : ColorC(crandom);
}

DuoMap makeDuoMap(std::optional<std::uint64_t> seed) {
    const std::optional<double> s = derivedSeed(seed, 2);
    return s ? DuoMap(*s) : DuoMap();
}

} // namespace

QuiltState::QuiltState(std::optional<std::uint64_t> seed)
    : crandom(initialCSeed(seed)), colorSet(makeColorSet(seed, crandom)), duoMap(makeDuoMap(seed)),
      cornerMap(crandom) {}

} // namespace zarn
