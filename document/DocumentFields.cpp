#include "DocumentFields.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace zarn {

namespace {

std::uint8_t lowByte(int v) {
    return static_cast<std::uint8_t>(static_cast<unsigned>(v) & 0xFFu);
}

/** The flag of each family the file can name; the sphere, complex-sine and Squaret families
 *  have none and are stored as Square. */
struct FlagOf {
    MapFamily family;
    std::uint8_t DocumentFields::*flag;
};

constexpr std::array<FlagOf, 6> kFlags = {{
    {MapFamily::Hex, &DocumentFields::flagHex},
    {MapFamily::SFT, &DocumentFields::flagSFT},
    {MapFamily::Oct_Four, &DocumentFields::flagOctFour},
    {MapFamily::T, &DocumentFields::flagT},
    {MapFamily::SquareX, &DocumentFields::flagSquareX},
    {MapFamily::ExpA, &DocumentFields::flagExpA},
}};

} // namespace

MapFamily DocumentFields::family() const {
    for (const FlagOf& f : kFlags) {
        if (this->*f.flag != 0) {
            return f.family;
        }
    }
    return MapFamily::Square;
}

void DocumentFields::setFamily(MapFamily family) {
    for (const FlagOf& f : kFlags) {
        this->*f.flag = f.family == family ? 1 : 0;
    }
}

NameBuffer nameBuffer(const std::string& name) {
    NameBuffer buffer{};
    std::memcpy(buffer.data(), name.data(), std::min(name.size(), buffer.size() - 1));
    return buffer;
}

std::string nameString(const NameBuffer& buffer) {
    const void* end = std::memchr(buffer.data(), 0, buffer.size());
    return std::string(buffer.data(), end != nullptr ? static_cast<const char*>(end)
                                                     : buffer.data() + buffer.size());
}

std::string describeNumber(double v) {
    char text[32];
    std::snprintf(text, sizeof text, "%.17g", v);
    return text;
}

DocumentFields fieldsOf(const QuiltState& s) {
    const QuiltStatus& st = s.status;
    DocumentFields f;
    f.finished = st.finished.load();
    f.running = st.running.load();
    f.converged = st.converged.load();
    f.useRandomSettings = lowByte(s.useRandomSettings);
    f.useDetailedSquare = s.useDetailedSquare() ? 1 : 0;
    f.squareDetailDepth = s.squareDetailDepth();
    f.setFamily(s.family);
    f.useDetailedHex = s.useDetailedHex() ? 1 : 0;
    f.hexKnot = s.hexKnot() ? 1 : 0;
    f.hexVariant = s.hexVariant;
    f.imageOption = s.imageOption;
    f.distinctCells = st.distinctCells.load();
    f.minDistinctCells = s.minDistinctCells;
    f.stepCount = st.stepCount.load();
    f.maxSteps = st.maxSteps.load();
    f.gridSizeReal = s.QMap.size;
    f.gridSizeInverse = 1.0 / s.QMap.size;
    f.gridSize = static_cast<std::uint16_t>(s.QMap.size & 0xFFFFu);
    f.hexSizeA = s.hexSizeA();
    f.hexSizeB = s.hexSizeB();
    f.quiltName = nameBuffer(s.names.quiltName);
    f.sessionName = nameBuffer(s.names.sessionName);
    f.viewPeriod = s.viewPeriod;
    f.maxDibThird = s.maxDibThird;
    f.views = packViewWord(s);
    f.torusX = s.torusX;
    f.torusY = s.torusY;
    f.pointX = s.pointX;
    f.pointY = s.pointY;
    f.rawX = s.rawX;
    f.rawY = s.rawY;
    return f;
}

} // namespace zarn
