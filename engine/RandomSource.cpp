#include "RandomSource.h"

#include "CRandom.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace zarn {

namespace {
constexpr std::array<double, RandomSource::kGenerators> kModulus = {
    259200, 134456, 243000, 139968, 214326, 120050, 145800, 121500, 175000, 510300};
constexpr std::array<double, RandomSource::kGenerators> kMultiplier = {
    7141, 8121, 4561, 3877, 3613, 2311, 3661, 4081, 2661, 17221};
constexpr std::array<double, RandomSource::kGenerators> kAddend = {
    54773, 28411, 51349, 29573, 45289, 25367, 30809, 25673, 36979, 107839};
constexpr int kDigitsUsed = 30; // ten generators, three digits each
constexpr int kMaxDirectoryEntries = 100;
} // namespace

RandomSource::LaggedTable::LaggedTable() {
    f[41] = 1;
    f[40] = 2;
    for (int i = 39; i >= 0; --i) {
        f[i] = f[i + 1] + f[i + 2];
    }
}

std::uint64_t RandomSource::LaggedTable::Step() {
    f[j] += f[k]; // wraps modulo 2^64 once the table has grown; only the low digits matter
    const std::uint64_t out = f[j];
    j = (j == 1) ? 41 : j - 1;
    k = (k == 1) ? 41 : k - 1;
    return out;
}

RandomSource::RandomSource() {
    FillTable();
}

void RandomSource::FillTable() {
    modulus = kModulus;
    multiplier = kMultiplier;
    addend = kAddend;
    selectorBase = 10.0;
}

double RandomSource::Draw() {
    double s = lastOutput;
    for (int i = 0; i < 3; ++i) {
        const int k = static_cast<int>(std::fabs(std::trunc(std::fmod(s, selectorBase))));
        chosen[i] = k;
        stageState[i] = std::fmod(multiplier[k] * stageState[i] + addend[k], modulus[k]);
        s = stageState[i];
    }
    lastOutput = std::fmod(stageState[2] * stageState[1] + stageState[0], modulus[chosen[2]]);
    return lastOutput;
}

void RandomSource::ShuffleDigits(CRandom& cRandom) {
    // Every character but the last of the digit string takes part.
    const int n = static_cast<int>(std::strlen(digits.data())) - 1;
    for (int i = n - 1; i > 0; --i) {
        const int other = cRandom() % (i + 1);
        std::swap(digits[i], digits[other]);
    }
}

void RandomSource::SeedState(double r) {
    auto index = [this](int pos) { return static_cast<unsigned char>(digits[pos]) % 10; };
    auto start = [&](int g) {
        return std::fmod(multiplier[g] * std::fmod(r, modulus[g]) + addend[g], modulus[g]) /
               modulus[g];
    };
    stageState[0] = start(index(0));
    stageState[1] = start(index(1));
    stageState[2] = start(index(2));
    lastOutput = start(index(3));
}

void RandomSource::Seed(CRandom& cRandom) {
    SeedAt(std::time(nullptr), cRandom);
}

void RandomSource::SeedAt(std::time_t now, CRandom& cRandom) {
    FillTable();
    LaggedTable lagged;
    const double s = static_cast<double>(now % 1000);

    digits.fill('\0');
    std::memset(digits.data(), '0', kDigitsUsed);
    for (int g = 0; g < kGenerators; ++g) {
        const double v = std::fmod(multiplier[g] * s + addend[g], modulus[g]) / modulus[g];
        // Three decimals without the point and without leading zeros: 0.045 gives "45".
        char text[8];
        std::snprintf(text, sizeof text, "%d", static_cast<int>(std::lround(v * 1000.0)) % 1000);
        std::memcpy(digits.data() + 3 * g, text, std::strlen(text));
        ShuffleDigits(cRandom);
    }

    const int warmUp = digits[0] - '0';
    for (int i = 0; i <= warmUp; ++i) {
        lagged.Step();
    }

    double product = 1.0;
    int seen = 0;
    std::error_code ec;
    for (std::filesystem::directory_iterator it(".", ec), end;
         !ec && it != end && seen <= kMaxDirectoryEntries; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.empty()) {
            continue;
        }
        const unsigned char c = static_cast<unsigned char>(name[lagged.Step() % name.size()]);
        product = (seen == 0) ? c : product * c;
        ++seen;
    }

    const int shuffles = static_cast<int>(std::fmod(product, 100.0)) + 1;
    for (int i = 0; i < shuffles; ++i) {
        ShuffleDigits(cRandom);
    }

    SeedState(std::fabs(std::strtod(digits.data(), nullptr)));
    Draw();
}

void RandomSource::SeedFrom(double v) {
    FillTable();
    digits.fill('\0');
    std::snprintf(digits.data(), digits.size(), "%.15f", v);
    SeedState(v);
    Draw();
}

} // namespace zarn
