#pragma once

#include <cstdint>
#include <string>

namespace zarn {

/** The process-wide bitmap side limit. Starts at 1001 and keeps the value the last document's
 *  sizing left, so later documents start from it. */
int MaxDibSize();
void SetMaxDibSize(int value);

/** The machine's physical memory in bytes (0 when it cannot be read). */
std::uint64_t physicalMemoryBytes();

struct MemorySizing {
    bool ok = false;
    std::uint32_t dibSize = 0; ///< the a that fitted (or the last one tried)
    std::uint32_t request = 0; ///< M for that a
    std::uint32_t halfMemory = 0;
    std::uint32_t gridSize = 0; ///< a / 4
    std::uint32_t dibThird = 0; ///< floor(2a / 3)
};

/**
 * Finds the largest bitmap side a <= @p start, shrinking by 10 % per try, whose request
 * 2a(a + R) + 600040 (R the padded 24-bit row of 2a pixels) stays below half the physical memory.
 * Half the memory is computed in 64 bits and saturated at 2^32 - 1, so machines with 8 GiB or more
 * do not wrap to a tiny figure. Fails once a falls below 200.
 */
MemorySizing computeMemorySizing(std::uint32_t start, std::uint64_t physicalBytes);

/** The text shown when sizing fails. */
std::string memorySizingMessage(const MemorySizing& sizing);

} // namespace zarn
