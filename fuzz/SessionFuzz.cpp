// libFuzzer target for the session reader. Beyond "no crash", it checks what the reader promises:
// a refused input leaves the document as it was, an accepted one is written again as a file that
// loads and reproduces itself, and the loaded quilt can be iterated, coloured and drawn.

#include "document/CZARN40Doc.h"
#include "document/SessionFile.h"
#include "engine/Archive.h"
#include "render/BitmapFill.h"
#include "render/Palette.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <vector>

namespace {

// Half of it bounds the grid; 4000 x 4000 cells still fit.
constexpr std::uint64_t kMemory = std::uint64_t{256} << 20;
constexpr long long kMaxPixels = 1 << 20;

zarn::CZARN40Doc& document() {
    static zarn::CZARN40Doc* doc = [] {
        zarn::DocumentOptions options;
        options.seed = 1;
        options.startWorker = false;
        options.physicalMemory = kMemory;
        return new zarn::CZARN40Doc(options);
    }();
    return *doc;
}

void loadInto(zarn::CZARN40Doc& doc, std::span<const std::uint8_t> bytes) {
    zarn::ScopedPause pause(doc);
    zarn::LoadSession(doc.State(pause), bytes, kMemory);
}

std::vector<std::uint8_t> storeOf(zarn::CZARN40Doc& doc) {
    zarn::ScopedPause pause(doc);
    return zarn::StoreSession(doc.State(pause));
}

[[noreturn]] void finding(const char* what) {
    std::fprintf(stderr, "session fuzz: %s\n", what);
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    zarn::CZARN40Doc& doc = document();
    const std::span<const std::uint8_t> input(data, size);
    try {
        loadInto(doc, input);
    } catch (const zarn::FormatError&) {
        return 0;
    }

    const std::vector<std::uint8_t> stored = storeOf(doc);
    try {
        loadInto(doc, stored);
    } catch (const zarn::FormatError& e) {
        std::fprintf(stderr, "%s\n", e.what());
        finding("a file this program wrote was refused");
    }
    if (storeOf(doc) != stored) {
        finding("storing a loaded file gave different bytes");
    }

    // A finished quilt sleeps in its step; keep the run going instead.
    if (doc.stepCount() >= doc.maxSteps()) {
        doc.SetMaxSteps(doc.stepCount() + 1000);
    }
    for (int i = 0; i < 200; ++i) {
        doc.IterateStep();
    }
    doc.RebuildPalette();
    const zarn::PeriodSize period = doc.PeriodSizeOf();
    if (period.width > 0 && period.height > 0 &&
        static_cast<long long>(period.width) * period.height <= kMaxPixels) {
        const zarn::PeriodBitmap bitmap = doc.RenderPeriod();
        if (bitmap.width != period.width || bitmap.height != period.height) {
            finding("the period bitmap has the wrong size");
        }
    }
    return 0;
}
