#include "ColorPresets.h"

#include "engine/CRandom.h"
#include "render/ColorC.h"
#include "render/ColorSetRecord.h"

#include <algorithm>
#include <map>
#include <system_error>

namespace zarn {

namespace fs = std::filesystem;

namespace {

const char* const kPresetFolder = "share/zarn80/colors";

void addIfFolder(std::vector<fs::path>& folders, const fs::path& folder) {
    std::error_code ec;
    if (!fs::is_directory(folder, ec)) {
        return;
    }
    const fs::path canonical = fs::weakly_canonical(folder, ec);
    const fs::path& key = ec ? folder : canonical;
    if (std::find(folders.begin(), folders.end(), key) == folders.end()) {
        folders.push_back(key);
    }
}

} // namespace

std::vector<fs::path> colorPresetFolders() {
    std::vector<fs::path> folders;
    std::error_code ec;
    const fs::path program = fs::read_symlink("/proc/self/exe", ec);
    if (!ec) {
        addIfFolder(folders, program.parent_path().parent_path() / kPresetFolder);
    }
#ifdef ZARN_PRESETS_INSTALL_DIR
    addIfFolder(folders, ZARN_PRESETS_INSTALL_DIR);
#endif
#ifdef ZARN_PRESETS_SOURCE_DIR
    addIfFolder(folders, ZARN_PRESETS_SOURCE_DIR);
#endif
    return folders;
}

std::vector<ColorPreset> listColorPresets(const std::vector<fs::path>& folders) {
    std::map<std::string, fs::path> byName;
    for (const fs::path& folder : folders) {
        std::error_code ec;
        for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
            const fs::path& path = it->path();
            if (!hasColorFileSuffix(path.string())) {
                continue;
            }
            byName.emplace(path.stem().string(), path);
        }
    }
    std::vector<ColorPreset> presets;
    for (auto& [name, path] : byName) {
        presets.push_back({name, path});
    }
    return presets;
}

std::vector<ColorPreset> listColorPresets() {
    return listColorPresets(colorPresetFolders());
}

std::optional<ColorPreset> findColorPreset(const std::string& name) {
    for (ColorPreset& preset : listColorPresets()) {
        if (preset.name == name) {
            return std::move(preset);
        }
    }
    return std::nullopt;
}

std::array<double, 6> roomShares(int active) {
    switch (active) {
    // Pure colours sit at 0, 0.15, 0.33, 0.51 and 0.69 of the cells, the last one is mostly
    // reached by the densest cells.
    case 6:
        return {0.06, 0.09, 0.09, 0.09, 0.09, 0.58};
    // At 0, 0.25 and 0.55, the last one reached three quarters of the way.
    case 4:
        return {0.10, 0.15, 0.15, 0.60, ColorC::kIdleShare, ColorC::kIdleShare};
    default:
        break;
    }
    return {
        0.5, 0.5, ColorC::kIdleShare, ColorC::kIdleShare, ColorC::kIdleShare, ColorC::kIdleShare};
}

void RandomColorsUsing(ColorC& colors, CRandom& cRandom, int used) {
    used = std::clamp(used, 2, ColorC::kColors);
    colors.fixed.fill(0);
    colors.useColors34 = used >= 3 ? 1 : 0;
    colors.useColors56 = used >= 5 ? 1 : 0;
    colors.RandomColors(cRandom);
    const int active = (used + 1) / 2 * 2;
    if (used % 2 != 0) {
        const std::size_t last = static_cast<std::size_t>(active - 1);
        colors.red[last] = colors.red[last - 1];
        colors.green[last] = colors.green[last - 1];
        colors.blue[last] = colors.blue[last - 1];
    }
    const std::array<double, 6> shares = roomShares(active);
    for (std::size_t k = 0; k < shares.size(); ++k) {
        const bool isActive = static_cast<int>(k) < active;
        colors.fraction[k] = isActive ? shares[k] * (0.75 + 0.5 * colors.rng.Uniform()) : shares[k];
    }
    colors.Normalize();
    for (std::size_t k = 0; k < shares.size(); ++k) {
        colors.percent[k] = colors.fraction[k] * 100.0;
    }
}

} // namespace zarn
