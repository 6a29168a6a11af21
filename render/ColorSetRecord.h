#pragma once

#include "engine/FileIO.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace zarn {

class Archive;

/**
 * One colour set as stored: the unit of the colour-set history and the whole content of a ".qcl"
 * colour file. 512 bytes, little-endian, written field by field in this order:
 *
 *   0 blue[6]  24 green[6]  48 useColors34  52 useColors56  56 red[6]  80 percent[6]
 *   128 fixed[6]  152 increment  160 fraction[6]  208 order[6]  232 total  240 reserved
 *   244 name[256]  500 valid  504 sequence  508 four unused bytes (written as zeros)
 *
 * Channels and flags are int32, shares and the increment doubles. Storing or loading a record
 * checks nothing; checkColorSetRecord() says whether its values may be taken into a colour set.
 */
struct ColorSetRecord {
    static constexpr std::size_t kSize = 512;
    static constexpr std::size_t kNameSize = 256;
    static constexpr int kColors = 6;

    std::array<std::int32_t, kColors> blue{};
    std::array<std::int32_t, kColors> green{};
    std::int32_t useColors34 = 0;
    std::int32_t useColors56 = 0;
    std::array<std::int32_t, kColors> red{};
    std::array<double, kColors> percent{};
    std::array<std::int32_t, kColors> fixed{};
    double increment = 0.0;
    std::array<double, kColors> fraction{};
    std::array<std::int32_t, kColors> order{};
    double total = 0.0;
    std::int32_t reserved = 0;
    /** NUL-terminated; after a load the last byte is always NUL. */
    std::array<char, kNameSize> name{};
    /** 1 for a committed history entry. */
    std::int32_t valid = 0;
    /** Number of a committed history entry; -1 when not committed. */
    std::int32_t sequence = -1;

    /** Writes or reads the 512 bytes above. */
    void Serialize(Archive& ar);
};

/**
 * Empty when the record's values can be taken into a colour set; otherwise the reason, naming the
 * field. Shares (fraction, percent), increment and total must be finite and the fractions must
 * not be negative, because they are divided by their sum and fed to the palette build. Channel
 * values and flags are not refused: taking a record clamps them.
 */
std::string checkColorSetRecord(const ColorSetRecord& record);

/**
 * The document's ring of colour-set records: int32 current (0..19), 4 bytes of padding, then 20
 * records; 10248 bytes. The newest committed set stands at current.
 */
struct ColorSetHistory {
    static constexpr int kSlots = 20;
    static constexpr std::size_t kSize = 8 + kSlots * ColorSetRecord::kSize;

    std::int32_t current = 0;
    std::array<ColorSetRecord, kSlots> records{};

    /** The record at current (slot 0 if current was set out of range by hand). */
    ColorSetRecord& Current();
    /** Moves current one slot on, wrapping from the last slot to the first. */
    void Advance();

    /**
     * Writes or reads the 10248 bytes. A load checks current and every committed record and
     * throws FormatError naming the field; on failure this history is left as it was.
     */
    void Serialize(Archive& ar);
};

/** Outcome of a colour-file read or write: an empty error means success. */
using ColorFileResult = FileResult;

/**
 * Writes @p record as a 512-byte colour file. The bytes go to a temporary file in the target's
 * folder, which replaces @p path only once every byte is written and flushed to disk, so a
 * failed write leaves any previous file untouched. A name without the ".qcl" suffix is refused.
 */
ColorFileResult writeColorFileRecord(const std::string& path, const ColorSetRecord& record);

/**
 * The one reader of colour files (the CLI's `colors show` and `--colors` and the colour dialog
 * all use it). The file must be a regular file of exactly 512 bytes whose record passes
 * checkColorFileRecord(); otherwise the result names the file and what is wrong, and @p record
 * is unchanged.
 */
ColorFileResult readColorFileRecord(const std::string& path, ColorSetRecord& record);

/**
 * checkColorSetRecord() and what a colour file must hold besides: channels 0..255, flags 0 or
 * 1, a name with its terminator and active colours with a share of the cells (a file of zeros
 * would colour every quilt black).
 */
std::string checkColorFileRecord(const ColorSetRecord& record);

/** Whether @p path ends in ".qcl" (any case) after a name. */
bool hasColorFileSuffix(const std::string& path);

} // namespace zarn
