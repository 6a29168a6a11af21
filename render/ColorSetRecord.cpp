#include "ColorSetRecord.h"

#include "engine/Archive.h"
#include "engine/FileIO.h"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <span>
#include <sys/stat.h>
#include <unistd.h>

namespace zarn {

namespace {

template <typename T, std::size_t N>
void ioArray(Archive& ar, std::array<T, N>& values, const char* field) {
    for (T& v : values) {
        ar.io(v, field);
    }
}

std::string quoted(const std::string& path) {
    return "'" + path + "'";
}

} // namespace

void ColorSetRecord::Serialize(Archive& ar) {
    ioArray(ar, blue, "colour set blue");
    ioArray(ar, green, "colour set green");
    ar.io(useColors34, "colour set useColors34");
    ar.io(useColors56, "colour set useColors56");
    ioArray(ar, red, "colour set red");
    ioArray(ar, percent, "colour set percent");
    ioArray(ar, fixed, "colour set fixed");
    ar.io(increment, "colour set increment");
    ioArray(ar, fraction, "colour set fraction");
    ioArray(ar, order, "colour set order");
    ar.io(total, "colour set total");
    ar.io(reserved, "colour set reserved");
    ar.ioBytes(name.data(), name.size(), "colour set name");
    if (ar.isLoading()) {
        // Bytes after the terminator are undefined in stored records; a name that fills all 256
        // bytes is cut so every reader can rely on the terminator.
        name.back() = '\0';
    }
    ar.io(valid, "colour set valid");
    ar.io(sequence, "colour set sequence");
    ar.pad(4, "colour set unused");
}

std::string checkColorSetRecord(const ColorSetRecord& record) {
    for (int k = 0; k < ColorSetRecord::kColors; ++k) {
        const std::string colour = " of colour " + std::to_string(k + 1);
        if (!std::isfinite(record.fraction[k]) || record.fraction[k] < 0.0) {
            return "share" + colour + " is not a finite non-negative number";
        }
        if (!std::isfinite(record.percent[k])) {
            return "percent" + colour + " is not a finite number";
        }
    }
    if (!std::isfinite(record.increment)) {
        return "increment is not a finite number";
    }
    if (!std::isfinite(record.total)) {
        return "total is not a finite number";
    }
    return {};
}

ColorSetRecord& ColorSetHistory::Current() {
    if (current < 0 || current >= kSlots) {
        current = 0;
    }
    return records[static_cast<std::size_t>(current)];
}

void ColorSetHistory::Advance() {
    current = (current < 0 || current >= kSlots - 1) ? 0 : current + 1;
}

void ColorSetHistory::Serialize(Archive& ar) {
    if (ar.isStoring()) {
        ar.io(current, "colour-set history current");
        ar.pad(4, "colour-set history padding");
        for (ColorSetRecord& record : records) {
            record.Serialize(ar);
        }
        return;
    }

    ColorSetHistory loaded;
    ar.io(loaded.current, "colour-set history current");
    if (loaded.current < 0 || loaded.current >= kSlots) {
        Archive::fail("colour-set history current", std::to_string(loaded.current) +
                                                        " is outside 0.." +
                                                        std::to_string(kSlots - 1));
    }
    ar.pad(4, "colour-set history padding");
    for (int i = 0; i < kSlots; ++i) {
        ColorSetRecord& record = loaded.records[static_cast<std::size_t>(i)];
        record.Serialize(ar);
        // Only committed records are ever taken into a colour set; the others may hold anything.
        if (record.valid != 0) {
            const std::string problem = checkColorSetRecord(record);
            if (!problem.empty()) {
                Archive::fail("colour-set history record " + std::to_string(i), problem);
            }
        }
    }
    *this = loaded;
}

bool hasColorFileSuffix(const std::string& path) {
    const std::filesystem::path p(path);
    std::string suffix = p.extension().string();
    for (char& c : suffix) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return suffix == ".qcl" && !p.stem().empty();
}

ColorFileResult writeColorFileRecord(const std::string& path, const ColorSetRecord& record) {
    if (!hasColorFileSuffix(path)) {
        return {"a colour file is written only under a .qcl name, not " + quoted(path)};
    }
    std::vector<std::uint8_t> bytes;
    bytes.reserve(ColorSetRecord::kSize);
    Archive ar(bytes);
    ColorSetRecord copy = record;
    copy.Serialize(ar);
    return writeFileAtomically(path, bytes);
}

std::string checkColorFileRecord(const ColorSetRecord& record) {
    if (std::string problem = checkColorSetRecord(record); !problem.empty()) {
        return problem;
    }
    const auto channel = [](std::int32_t v) { return v >= 0 && v <= 255; };
    const auto flag = [](std::int32_t v) { return v == 0 || v == 1; };
    double activeShares = 0.0;
    for (int k = 0; k < ColorSetRecord::kColors; ++k) {
        const std::string colour = " of colour " + std::to_string(k + 1);
        if (!channel(record.red[k]) || !channel(record.green[k]) || !channel(record.blue[k])) {
            return "a channel" + colour + " is outside 0..255";
        }
        if (!flag(record.fixed[k])) {
            return "the fix flag" + colour + " is neither 0 nor 1";
        }
        const bool active = k < 2 || (k < 4 ? record.useColors34 != 0
                                            : record.useColors34 != 0 && record.useColors56 != 0);
        if (active) {
            activeShares += record.fraction[k];
        }
    }
    if (!flag(record.useColors34) || !flag(record.useColors56)) {
        return "a use-colours flag is neither 0 nor 1";
    }
    if (!(activeShares > 0.0)) {
        return "the active colours have no share of the cells";
    }
    if (std::memchr(record.name.data(), 0, record.name.size()) == nullptr) {
        return "the name has no terminator";
    }
    return {};
}

ColorFileResult readColorFileRecord(const std::string& path, ColorSetRecord& record) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        return {"cannot open colour file " + quoted(path) + ": " + std::strerror(errno)};
    }
    if (!S_ISREG(info.st_mode)) {
        return {quoted(path) + " is not a colour file: it is not a regular file"};
    }
    if (info.st_size != static_cast<off_t>(ColorSetRecord::kSize)) {
        return {quoted(path) + " is not a colour file: it holds " + std::to_string(info.st_size) +
                " bytes, a colour file " + std::to_string(ColorSetRecord::kSize)};
    }
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        return {"cannot open colour file " + quoted(path) + ": " + std::strerror(errno)};
    }
    std::array<std::uint8_t, ColorSetRecord::kSize> bytes{};
    const std::size_t got = std::fread(bytes.data(), 1, bytes.size(), file);
    const bool readError = std::ferror(file) != 0;
    const int savedErrno = errno;
    std::fclose(file);
    if (readError) {
        return {"cannot read colour file " + quoted(path) + ": " + std::strerror(savedErrno)};
    }
    if (got < bytes.size()) {
        return {"colour file " + quoted(path) + " holds " + std::to_string(got) +
                " bytes; a colour file holds " + std::to_string(ColorSetRecord::kSize)};
    }
    ColorSetRecord loaded;
    Archive ar{std::span<const std::uint8_t>(bytes)};
    loaded.Serialize(ar);
    if (const std::string problem = checkColorFileRecord(loaded); !problem.empty()) {
        return {quoted(path) + " is not a usable colour file: " + problem};
    }
    record = loaded;
    return {};
}

} // namespace zarn
