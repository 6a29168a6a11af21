#pragma once

#include <array>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace zarn {

class ColorC;
class CRandom;

/** A colour set shipped with the program: a colour file (NAME.qcl) in a presets folder. */
struct ColorPreset {
    std::string name;
    std::filesystem::path path;
};

/**
 * The folders the presets are looked for in, in order: share/zarn80/colors beside the running
 * program's bin/ folder (any install prefix), the folder of the configured install prefix, and
 * the source tree's share/zarn80/colors (a program run from its build tree). Folders that do not
 * exist are left out.
 */
std::vector<std::filesystem::path> colorPresetFolders();

/** Every preset in @p folders, sorted by name; a name found in an earlier folder hides the same
 *  name in later ones. Files that are not .qcl files are skipped (they are not checked here:
 *  reading one goes through the colour-file reader). */
std::vector<ColorPreset> listColorPresets(const std::vector<std::filesystem::path>& folders);
std::vector<ColorPreset> listColorPresets();

/** The preset called @p name (exactly, as listed), if there is one. */
std::optional<ColorPreset> findColorPreset(const std::string& name);

/**
 * Shares for @p active colours (2, 4 or 6) that give every colour room. The palette build walks
 * one band from each colour to the next, each band as long as the two colours' shares together,
 * so inner colours count twice and the walk passes the last colour only beyond the last cell;
 * these shares place every colour, the last one included, inside the cells' range.
 */
std::array<double, 6> roomShares(int active);

/**
 * New random colours for a set with @p used distinct active colours (2 to 6): colours 3 and 4
 * are switched on from 3 used colours, 5 and 6 from 5; with an odd count the last active colour
 * repeats the one before it, so exactly @p used colours show. The shares are roomShares(), each
 * varied by up to a quarter from the set's own random source, and every colour is unfixed.
 */
void RandomColorsUsing(ColorC& colors, CRandom& cRandom, int used);

} // namespace zarn
