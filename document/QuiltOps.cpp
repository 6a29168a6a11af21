#include "QuiltOps.h"

#include "Families.h"

#include <cstdio>

namespace zarn {

namespace {

constexpr double kSquareStepFactor = 3500000.0;
constexpr double kCornerStepFactor = 9500000.0;
// The worker finishes once stepCount exceeds maxSteps, so the limit stays below 2^32 - 1.
constexpr double kLargestStepLimit = 4000000000.0;

std::string formatName(const char* format, const std::string& arg) {
    char buffer[QuiltState::kNameLength];
    std::snprintf(buffer, sizeof buffer, format, arg.c_str());
    return buffer;
}

} // namespace

double StepFactor(MapFamily family) {
    return family == MapFamily::SquareX ? kCornerStepFactor : kSquareStepFactor;
}

void RestartIteration(QuiltState& s) {
    const std::uint32_t n = s.QMap.size;
    QuiltStatus& st = s.status;
    st.finished.store(0);
    st.running.store(1);
    st.converged.store(0);
    st.distinctCells.store(0);
    st.stepCount.store(0);
    st.maxCount.store(0);
    s.minDistinctCells = static_cast<int>((n * n) / 10);
    s.torusX = s.random.Uniform();
    s.torusY = s.random.Uniform();
    s.leadSteps = 0;
    ++s.restarts;
    if (s.orbitCount > 1 || !s.orbits.empty()) {
        PrepareOrbits(s);
    }
    s.QMap.Clear();
}

void PrepareOrbits(QuiltState& s) {
    const std::size_t extra = s.orbitCount > 1 ? static_cast<std::size_t>(s.orbitCount - 1) : 0;
    s.orbits.resize(extra);
    withFamily(s.family, [&](auto traits) {
        using Traits = decltype(traits);
        for (Orbit& orbit : s.orbits) {
            orbit.map = Traits::map(s);
            orbit.steps = 0;
            Traits::startOrbit(orbit, s);
        }
    });
    s.orbitsGeneration = s.mapGeneration;
}

void CoefficientsChanged(QuiltState& s) {
    ++s.mapGeneration;
}

void BuildAutoNames(QuiltState& s) {
    const double r = s.random.Uniform();
    QuiltNames& names = s.names;
    names.nameNumber = static_cast<int>(r * 999999.0);
    char buffer[QuiltState::kNameLength];
    std::snprintf(buffer, sizeof buffer, autoNameFormat(s.family),
                  static_cast<long>(names.nameNumber));
    names.quiltName = buffer;
    names.sessionName = formatName("%s.session", names.quiltName);
    names.ptesName = formatName("ptes_%s", names.quiltName);
    names.windowName = formatName("window_%s", names.quiltName);
    s.title = names.sessionName;
}

void NewRandomQuilt(QuiltState& s) {
    withFamily(s.family, [&](auto traits) { decltype(traits)::setUp(s); });
    BuildAutoNames(s);
}

void NewRandomCornerQuilt(QuiltState& s, int cornerN) {
    s.family = MapFamily::SquareX;
    family_detail::commonSetUp(s, [&] { s.cornerMap.RandomCornerQuilt(cornerN, s.random); });
    BuildAutoNames(s);
}

void ChangeGridSize(QuiltState& s, std::uint32_t newSize, double stepFactor) {
    const std::uint32_t oldSize = s.QMap.size;
    if (newSize == oldSize) {
        return;
    }
    s.QMap.BuildSize(newSize);
    s.QMap.maxCount = 0;
    s.QMap.minCount = 0;
    s.status.maxCount.store(0);
    if (oldSize < newSize && oldSize > 100) {
        const double steps = (newSize / 100.0) * (newSize / 100.0) * stepFactor;
        s.status.maxSteps.store(steps >= kLargestStepLimit ? 4000000000u
                                                           : static_cast<std::uint32_t>(steps));
    }
    // The hexagonal picture's cells and period follow the grid.
    s.hexMap.SetSize(newSize);
    CoefficientsChanged(s);
}

void CountDistinctCells(QuiltState& s) {
    s.status.distinctCells.store(static_cast<int>(s.QMap.CountNonZero()));
}

void FoldToTorus(QuiltState& s) {
    s.torusX = foldToUnit(s.torusX);
    s.torusY = foldToUnit(s.torusY);
}

} // namespace zarn
