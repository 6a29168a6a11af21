#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace zarn {

/** The ten map families. At most one family flag of a document is set; none means Square. */
enum class MapFamily { Square, Oct_Four, SFT, Hex, SquareX, T, ExpA, TWsq, Squaret, Duo };

inline constexpr int kFamilyCount = 10;

inline constexpr std::array<MapFamily, kFamilyCount> kAllFamilies = {
    MapFamily::Square, MapFamily::Oct_Four, MapFamily::SFT,  MapFamily::Hex,     MapFamily::SquareX,
    MapFamily::T,      MapFamily::ExpA,     MapFamily::TWsq, MapFamily::Squaret, MapFamily::Duo};

/** The family's name as the program spells it ("Square", "Oct_Four", ...). */
std::string_view familyName(MapFamily family);
/** The printf format of the family's quilt name, e.g. "Sym_Square%06li". */
const char* autoNameFormat(MapFamily family);
/** Parses a family name, ignoring case; nothing when the name is unknown. */
std::optional<MapFamily> parseFamily(std::string_view name);
/** "Square, Oct_Four, ..." for messages. */
std::string familyNameList();

} // namespace zarn
