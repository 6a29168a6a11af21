#include "MapFamily.h"

#include <algorithm>
#include <cctype>

namespace zarn {

namespace {
struct FamilyInfo {
    MapFamily family;
    std::string_view name;
    const char* format;
};

constexpr std::array<FamilyInfo, kFamilyCount> kInfo = {{
    {MapFamily::Square, "Square", "Sym_Square%06li"},
    {MapFamily::Oct_Four, "Oct_Four", "Sym_Oct_Four%06li"},
    {MapFamily::SFT, "SFT", "Sym_SFT%06li"},
    {MapFamily::Hex, "Hex", "SymHex%06li"},
    {MapFamily::SquareX, "SquareX", "Sym_SquareX%06li"},
    {MapFamily::T, "T", "Sym_T%06li"},
    {MapFamily::ExpA, "ExpA", "USym_Expa%06li"},
    {MapFamily::TWsq, "TWsq", "Sym_TWsq%06li"},
    {MapFamily::Squaret, "Squaret", "Sym_Squaret%06li"},
    {MapFamily::Duo, "Duo", "Sym_Duo%06li"},
}};

const FamilyInfo& info(MapFamily family) {
    return kInfo[static_cast<std::size_t>(family)];
}

bool equalIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}
} // namespace

std::string_view familyName(MapFamily family) {
    return info(family).name;
}

const char* autoNameFormat(MapFamily family) {
    return info(family).format;
}

std::optional<MapFamily> parseFamily(std::string_view name) {
    for (const FamilyInfo& f : kInfo) {
        if (equalIgnoringCase(f.name, name)) {
            return f.family;
        }
    }
    return std::nullopt;
}

std::string familyNameList() {
    std::string list;
    for (const FamilyInfo& f : kInfo) {
        if (!list.empty()) {
            list += ", ";
        }
        list += f.name;
    }
    return list;
}

} // namespace zarn
