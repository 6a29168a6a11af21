#include "MemorySizing.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <unistd.h>

namespace zarn {

namespace {
std::atomic<int> maxDibSize{1001};
}

int MaxDibSize() {
    return maxDibSize.load();
}
void SetMaxDibSize(int value) {
    maxDibSize.store(value);
}

std::uint64_t physicalMemoryBytes() {
    const long pages = ::sysconf(_SC_PHYS_PAGES);
    const long pageSize = ::sysconf(_SC_PAGE_SIZE);
    if (pages <= 0 || pageSize <= 0) {
        return 0;
    }
    return static_cast<std::uint64_t>(pages) * static_cast<std::uint64_t>(pageSize);
}

MemorySizing computeMemorySizing(std::uint32_t start, std::uint64_t physicalBytes) {
    MemorySizing s;
    s.halfMemory =
        static_cast<std::uint32_t>(std::min<std::uint64_t>(physicalBytes / 2, 4294967295u));
    std::uint32_t a = start;
    for (;;) {
        const std::uint32_t rowBytes = 4u * ((48u * a + 31u) / 32u);
        const std::uint32_t request = 2u * a * (a + rowBytes) + 600040u;
        s.dibSize = a;
        s.request = request;
        if (request < s.halfMemory) {
            s.ok = true;
            s.gridSize = a / 4;
            s.dibThird = (2 * a) / 3;
            return s;
        }
        a = static_cast<std::uint32_t>(a * 0.9);
        if (a < 200) {
            s.dibSize = a;
            return s;
        }
    }
}

std::string memorySizingMessage(const MemorySizing& s) {
    char text[160];
    std::snprintf(
        text, sizeof text,
        "Not enough memory for a quilt. MaxDibSize = %li, Memrequest = %li, Physical memory = %li",
        static_cast<long>(s.dibSize), static_cast<long>(s.request),
        static_cast<long>(s.halfMemory));
    return text;
}

} // namespace zarn
