#include "ColorC.h"

#include "engine/Archive.h"
#include "engine/CRandom.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>

namespace zarn {

namespace {

/** Redistribution stops when the other active unfixed colours hold less than this together. */
constexpr double kMinAvailableShare = 0.001;
constexpr double kIncrementCeiling = 0.2;
/** Bytes of the session image taken by the record and the scratch sums and arrays. */
constexpr std::size_t kStateUsed = ColorSetRecord::kSize + 2 * 8 + 6 * 4 + 6 * 8;
static_assert(kStateUsed <= ColorC::kStateSize);

std::int32_t clampChannel(std::int32_t v) {
    return std::clamp<std::int32_t>(v, 0, 255);
}
std::int32_t asFlag(std::int32_t v) {
    return v != 0 ? 1 : 0;
}

} // namespace

ColorC::ColorC(double seed) {
    setDefaults();
    rng.SeedFrom(seed);
}

ColorC::ColorC(CRandom& cRandom) {
    setDefaults();
    rng.Seed(cRandom);
}

void ColorC::setDefaults() {
    setDefaultShares();
    for (int k = 0; k < kColors; ++k) {
        order[k] = k;
    }
    setName("default");
}

void ColorC::setDefaultShares() {
    fraction = {0.4998, 0.4998, kIdleShare, kIdleShare, kIdleShare, kIdleShare};
}

bool ColorC::isActive(int k) const {
    if (k == 0 || k == 1) {
        return true;
    }
    if (k == 2 || k == 3) {
        return useColors34 != 0;
    }
    if (k == 4 || k == 5) {
        return useColors34 != 0 && useColors56 != 0;
    }
    return false;
}

double ColorC::Normalize() {
    fraction[0] += kIdleShare;
    fraction[1] += kIdleShare;
    for (int k = 2; k < kColors; ++k) {
        if (isActive(k)) {
            fraction[k] += kIdleShare;
        } else {
            fraction[k] = kIdleShare;
        }
    }

    double sum = 0.0;
    for (int k = 0; k < kColors; ++k) {
        if (isActive(k)) {
            sum += fraction[k];
        }
    }
    // Shares only become unusable if a caller wrote them by hand; start over rather than let a
    // NaN or a zero sum reach the palette.
    if (!std::isfinite(sum) || !(sum > 0.0)) {
        setDefaultShares();
        return Normalize();
    }
    for (int k = 0; k < kColors; ++k) {
        if (isActive(k)) {
            fraction[k] /= sum;
        }
    }

    total = 0.0;
    unfixedSum = 0.0;
    for (int k = 0; k < kColors; ++k) {
        if (isActive(k)) {
            total += fraction[k];
            if (fixed[k] == 0) {
                unfixedSum += fraction[k];
            }
        }
    }
    fixedSum = total - unfixedSum;
    return total;
}

void ColorC::RefreshPercents() {
    if (history == nullptr) {
        return;
    }
    Normalize();
    for (int k = 0; k < kColors; ++k) {
        percent[k] = fraction[k] * 100.0;
    }
}

int ColorC::computeWeights(int k) {
    double sum = 0.0;
    int count = 0;
    weight.fill(0.0);
    for (int j = 0; j < kColors; ++j) {
        if (j != k && isActive(j) && fixed[j] == 0) {
            sum += fraction[j];
            ++count;
        }
    }
    for (int j = 0; j < kColors; ++j) {
        if (j != k && isActive(j) && fixed[j] == 0) {
            weight[j] = sum > 0.0 ? fraction[j] / sum : 1.0 / count;
        }
    }
    return count;
}

void ColorC::IncreaseShare(int k, double amount) {
    if (!validIndex(k)) {
        return;
    }
    Normalize();
    if (!std::isfinite(amount) || !(amount > 0.0)) {
        return;
    }
    const double available = total - fixedSum - fraction[k];
    if (available < kMinAvailableShare) {
        return;
    }
    const double moved = std::min(available, amount);
    computeWeights(k);
    for (int j = 0; j < kColors; ++j) {
        if (j != k && isActive(j) && fixed[j] == 0) {
            fraction[j] -= moved * weight[j];
        }
    }
    fraction[k] += moved;
}

void ColorC::DecreaseShare(int k, double amount) {
    if (!validIndex(k)) {
        return;
    }
    Normalize();
    if (computeWeights(k) == 0) {
        return;
    }
    if (!std::isfinite(amount) || !(amount > 0.0)) {
        return;
    }
    const double moved = std::min(amount, fraction[k]);
    for (int j = 0; j < kColors; ++j) {
        if (j != k && isActive(j) && fixed[j] == 0) {
            fraction[j] += moved * weight[j];
        }
    }
    fraction[k] -= moved;
}

void ColorC::increaseShareButton(int k) {
    if (validIndex(k) && isActive(k) && fixed[k] == 0) {
        IncreaseShare(k, increment);
    }
    RefreshPercents();
}

void ColorC::decreaseShareButton(int k) {
    if (validIndex(k) && isActive(k) && fixed[k] == 0 && fraction[k] > 0.0) {
        DecreaseShare(k, increment);
    }
    RefreshPercents();
}

void ColorC::doubleIncrement() {
    if (increment < kIncrementCeiling) {
        increment *= 2.0;
    }
}

void ColorC::halveIncrement() {
    if (increment > 0.0) {
        increment /= 2.0;
    }
}

void ColorC::SetUseColors34(bool on) {
    useColors34 = on ? 1 : 0;
    if (!on) {
        useColors56 = 0;
        // Colours 1 and 2 must be free to take the shares handed back; their own Fix returns after.
        savedFixed = fixed;
        fixed[0] = 0;
        fixed[1] = 0;
        for (int k = 2; k < kColors; ++k) {
            DecreaseShare(k, fraction[k]);
        }
        fixed = savedFixed;
    }
    RefreshPercents();
}

void ColorC::SetUseColors56(bool on) {
    useColors56 = on ? 1 : 0;
    if (useColors56 != 0 && useColors34 == 0) {
        useColors56 = 0;
    }
    if (useColors56 == 0 && useColors34 != 0) {
        savedFixed = fixed;
        for (int k = 0; k < 4; ++k) {
            fixed[k] = 0;
        }
        DecreaseShare(4, fraction[4]);
        DecreaseShare(5, fraction[5]);
        fixed = savedFixed;
    }
    RefreshPercents();
}

void ColorC::RandomColors(CRandom& cRandom) {
    for (int k = 0; k < kColors; ++k) {
        if (fixed[k] == 0) {
            blue[k] = cRandom() & 255;
            green[k] = cRandom() & 255;
            red[k] = cRandom() & 255;
        }
    }
    for (int k = 0; k < kColors; ++k) {
        if (isActive(k) && fixed[k] == 0) {
            fraction[k] = rng.Uniform();
        }
    }
    if (history != nullptr) {
        Normalize();
        RefreshPercents();
    }
}

void ColorC::LoadFromHistory(ColorSetHistory& h) {
    for (int k = 0; k < kColors; ++k) {
        order[k] = k;
    }
    setDefaultShares();
    history = &h;
    increment = kDefaultIncrement;
    setName("default");

    const ColorSetRecord& record = h.Current();
    if (record.valid != 0 && checkColorSetRecord(record).empty()) {
        takeRecord(record);
    } else {
        sequence = 0;
    }
    Normalize();
    RefreshPercents();
}

bool ColorC::CommitToHistory() {
    if (history == nullptr) {
        return false;
    }
    history->Current() = makeRecord(1, sequence);
    ++sequence;
    history->Advance();
    history->Current() = makeRecord(1, sequence);
    return true;
}

ColorSetRecord ColorC::makeRecord(std::int32_t valid, std::int32_t number) const {
    ColorSetRecord r;
    r.blue = blue;
    r.green = green;
    r.useColors34 = useColors34;
    r.useColors56 = useColors56;
    r.red = red;
    r.percent = percent;
    r.fixed = fixed;
    r.increment = increment;
    r.fraction = fraction;
    r.order = order;
    r.total = total;
    r.reserved = reserved;
    r.name = name;
    r.name.back() = '\0';
    r.valid = valid;
    r.sequence = number;
    return r;
}

void ColorC::takeRecord(const ColorSetRecord& r) {
    for (int k = 0; k < kColors; ++k) {
        red[k] = clampChannel(r.red[k]);
        green[k] = clampChannel(r.green[k]);
        blue[k] = clampChannel(r.blue[k]);
        fixed[k] = asFlag(r.fixed[k]);
    }
    useColors34 = asFlag(r.useColors34);
    useColors56 = asFlag(r.useColors56);
    percent = r.percent;
    fraction = r.fraction;
    increment = std::clamp(r.increment, kMinIncrement, kMaxIncrement);
    order = r.order;
    total = r.total;
    reserved = r.reserved;
    name = r.name;
    name.back() = '\0';
}

void ColorC::setName(const std::string& path) {
    constexpr std::size_t kMaxLength = ColorSetRecord::kNameSize - 1;
    std::string kept = path;
    if (kept.size() > kMaxLength) {
        kept = std::filesystem::path(path).filename().string();
        if (kept.size() > kMaxLength) {
            // Keep the end of the name, starting on a whole UTF-8 character.
            std::size_t start = kept.size() - kMaxLength;
            while (start < kept.size() &&
                   (static_cast<unsigned char>(kept[start]) & 0xC0) == 0x80) {
                ++start;
            }
            kept.erase(0, start);
        }
    }
    name.fill('\0');
    std::memcpy(name.data(), kept.data(), kept.size());
}

std::string ColorC::nameString() const {
    return std::string(name.begin(), std::find(name.begin(), name.end(), '\0'));
}

ColorFileResult ColorC::WriteColorFile(const std::string& path) {
    const auto previousName = name;
    setName(path);
    ColorFileResult result = writeColorFileRecord(path, makeRecord(0, -1));
    if (!result) {
        name = previousName;
    }
    return result;
}

ColorFileResult ColorC::ReadColorFile(const std::string& path) {
    ColorSetRecord record;
    ColorFileResult result = readColorFileRecord(path, record);
    if (!result) {
        return result;
    }
    takeRecord(record);
    RefreshPercents();
    return {};
}

void ColorC::serializeState(Archive& ar) {
    ColorSetRecord record = makeRecord(1, sequence);
    double unfixed = unfixedSum;
    double fixedPart = fixedSum;
    auto saved = savedFixed;
    auto weights = weight;

    record.Serialize(ar);
    ar.io(unfixed, "colour set unfixedSum");
    ar.io(fixedPart, "colour set fixedSum");
    for (std::int32_t& v : saved) {
        ar.io(v, "colour set savedFixed");
    }
    for (double& v : weights) {
        ar.io(v, "colour set weight");
    }
    ar.pad(kStateSize - kStateUsed, "colour set unused");
    if (ar.isStoring()) {
        return;
    }

    const std::string problem = checkColorSetRecord(record);
    if (!problem.empty()) {
        Archive::fail("colour set", problem);
    }
    requireFinite(unfixed, "colour set unfixedSum");
    requireFinite(fixedPart, "colour set fixedSum");
    for (double v : weights) {
        requireFinite(v, "colour set weight");
    }
    takeRecord(record);
    sequence = record.sequence;
    unfixedSum = unfixed;
    fixedSum = fixedPart;
    savedFixed = saved;
    weight = weights;
}

} // namespace zarn
