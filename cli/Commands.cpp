#include "Commands.h"

#include "Args.h"
#include "Progress.h"
#include "document/Commands.h"
#include "document/DocumentJson.h"
#include "document/SessionFile.h"
#include "engine/CRandom.h"
#include "raster/Compose.h"
#include "raster/ImageEncoders.h"

#include <QString>

#include <cstdio>
#include <ctime>
#include <filesystem>
#include <iostream>
#include <unistd.h>

namespace zarn::cli {

namespace {

constexpr std::uint64_t kMaxSeed = 4294967295u;
constexpr std::uint64_t kMaxSteps = kLargestStepLimit;
constexpr int kMaxImageSide = 32000;

/** Fails early, before a long run, when @p path cannot be written. */
void requireWritableTarget(const std::string& path, const char* what) {
    namespace fs = std::filesystem;
    const fs::path p(path);
    if (p.filename().empty()) {
        throw InputError(std::string(what) + " '" + path + "' names a folder, not a file");
    }
    std::error_code ec;
    if (fs::is_directory(p, ec)) {
        throw InputError(std::string(what) + " '" + path + "' is a folder");
    }
    const fs::path folder = p.has_parent_path() ? p.parent_path() : fs::path(".");
    if (!fs::is_directory(folder, ec)) {
        throw InputError(std::string(what) + " '" + path + "': the folder '" + folder.string() +
                         "' does not exist");
    }
    if (::access(folder.c_str(), W_OK) != 0) {
        throw InputError(std::string(what) + " '" + path + "': the folder '" + folder.string() +
                         "' is not writable");
    }
}

ImageEncoder encoderFor(const std::string& path) {
    const QString mime = mimeTypeForPath(QString::fromStdString(path));
    if (mime.isEmpty()) {
        throw UsageError("cannot tell the image format of '" + path +
                         "': use .png, .bmp, .jpg, .jpeg, .tif or .tiff");
    }
    const std::optional<ImageEncoder> encoder = FindEncoder(mime);
    if (!encoder) {
        throw InputError("no encoder for " + mime.toStdString() + " is installed");
    }
    return *encoder;
}

/** Waits for the worker to take the steps it has left. The bar counts the steps of this run:
 *  from @p first (the count before the run started) to maxSteps + 1. */
void iterateToTheEnd(CZARN40Doc& doc, std::uint64_t first, bool showProgress) {
    const std::uint64_t last = static_cast<std::uint64_t>(doc.maxSteps()) + 1;
    const std::uint64_t total = last > first ? last - first : 1;
    ProgressBar bar(showProgress, total);
    WaitUntilFinished(doc, [&](const DocumentSnapshot& snap) {
        bar.update(snap.stepCount > first ? snap.stepCount - first : 0);
    });
    bar.finish(total);
    SettleAfterRun(doc);
}

void writeImage(CZARN40Doc& doc, const std::string& path, const ImageEncoder& encoder) {
    const PeriodBitmap period = doc.RenderPeriod();
    const int periods = doc.snapshot().viewPeriod;
    if (static_cast<long long>(period.width) * periods > kMaxImageSide ||
        static_cast<long long>(period.height) * periods > kMaxImageSide) {
        throw InputError("the image would be larger than " + std::to_string(kMaxImageSide) +
                         " pixels on a side");
    }
    const QImage image = composeTiled(period, periods);
    if (image.isNull()) {
        throw InputError("not enough memory for a " + std::to_string(period.width * periods) +
                         " x " + std::to_string(period.height * periods) + " image");
    }
    const std::string error = writeImageFile(image, QString::fromStdString(path), encoder);
    if (!error.empty()) {
        throw InputError(error);
    }
}

void printState(CZARN40Doc& doc) {
    JsonWriter writer;
    writer.beginObject();
    {
        ScopedPause pause(doc);
        writeDocumentState(writer, doc.State(pause));
    }
    writer.endObject();
    std::cout << writer.text();
}

void saveSession(CZARN40Doc& doc, const std::string& path) {
    const FileResult saved = SaveSessionFile(doc, path);
    if (!saved) {
        throw InputError(saved.error);
    }
}

/** Opens a session without starting its worker. */
std::unique_ptr<CZARN40Doc> openSession(const std::string& path,
                                        std::optional<std::uint64_t> seed) {
    DocumentOptions options;
    options.seed = seed;
    std::string error;
    std::unique_ptr<CZARN40Doc> doc = OpenSessionFile(path, options, error);
    if (!doc) {
        throw InputError(error);
    }
    return doc;
}

bool progressWanted(bool quiet) {
    return !quiet && ::isatty(STDERR_FILENO);
}

} // namespace

int runNew(std::vector<std::string> words) {
    Args args(std::move(words));
    const std::optional<std::string> familyText = args.option("--family");
    const std::optional<std::uint64_t> seed = args.number("--seed", 0, kMaxSeed);
    const std::optional<std::uint64_t> steps = args.number("--steps", 1, kMaxSteps);
    const std::optional<std::uint64_t> grid = args.number("--grid", 20, 1000);
    const std::optional<std::uint64_t> period = args.number("--period", 1, 64);
    const bool knot = args.flag("--knot");
    const std::optional<std::uint64_t> cornerN = args.number("--corner-n", 3, 42);
    const bool detailed = args.flag("--detailed");
    const bool plain = args.flag("--plain");
    const std::optional<std::string> colors = args.option("--colors");
    const std::optional<std::string> output = args.option("--output", "-o");
    const bool json = args.flag("--json");
    const bool quiet = args.flag("--quiet");
    const std::optional<std::string> saveTo = args.option("--save");
    args.finish();

    if (detailed && plain) {
        throw UsageError("--detailed and --plain exclude each other");
    }
    if (!output && !json && !saveTo) {
        throw UsageError("new needs -o IMAGE (or --json or --save)");
    }
    NewQuiltOptions settings;
    if (familyText) {
        settings.family = parseFamily(*familyText);
        if (!settings.family) {
            throw InputError("unknown family '" + *familyText + "' (one of " + familyNameList() +
                             ")");
        }
    }
    if (detailed || plain) {
        settings.detailed = detailed;
    }
    settings.knot = knot;
    if (cornerN) {
        settings.cornerN = static_cast<int>(*cornerN);
    }
    if (grid) {
        settings.gridSize = static_cast<std::uint32_t>(*grid);
    }
    if (steps) {
        settings.maxSteps = static_cast<std::uint32_t>(*steps);
    }
    if (period) {
        settings.viewPeriod = static_cast<std::uint16_t>(*period);
    }
    settings.colorFile = colors;
    if (auto e = NewQuiltOptionsError(settings)) {
        throw UsageError(*e);
    }
    std::optional<ImageEncoder> encoder;
    if (output) {
        encoder = encoderFor(*output);
        requireWritableTarget(*output, "output");
    }
    if (saveTo) {
        requireWritableTarget(*saveTo, "session");
    }

    DocumentOptions options;
    options.seed = seed;
    std::unique_ptr<CZARN40Doc> doc;
    try {
        doc = NewQuilt(options, settings);
    } catch (const DocumentError& e) {
        throw InputError(e.what());
    }
    iterateToTheEnd(*doc, 0, progressWanted(quiet));
    if (output) {
        writeImage(*doc, *output, *encoder);
    }
    if (saveTo) {
        saveSession(*doc, *saveTo);
    }
    if (json) {
        printState(*doc);
    }
    return 0;
}

int runOpen(std::vector<std::string> words) {
    Args args(std::move(words));
    const std::optional<std::uint64_t> seed = args.number("--seed", 0, kMaxSeed);
    const std::optional<std::uint64_t> steps = args.number("--steps", 1, kMaxSteps);
    const std::optional<std::string> output = args.option("--output", "-o");
    const std::optional<std::string> saveTo = args.option("--save");
    const bool json = args.flag("--json");
    const bool quiet = args.flag("--quiet");
    const std::optional<std::string> path = args.positional();
    args.finish();
    if (!path) {
        throw UsageError("open needs a FILE.session");
    }
    if (!output && !json && !saveTo) {
        throw UsageError("open needs -o IMAGE, --save OUT.session or --json");
    }
    std::optional<ImageEncoder> encoder;
    if (output) {
        encoder = encoderFor(*output);
        requireWritableTarget(*output, "output");
    }
    if (saveTo) {
        requireWritableTarget(*saveTo, "session");
    }

    std::unique_ptr<CZARN40Doc> doc = openSession(*path, seed);
    if (steps) {
        const std::uint64_t first = doc->stepCount();
        try {
            IterateMore(*doc, *steps);
        } catch (const DocumentError& e) {
            throw InputError(e.what());
        }
        iterateToTheEnd(*doc, first, progressWanted(quiet));
    }
    // Without new steps the picture comes from the stored palette, as it was saved.
    if (output) {
        writeImage(*doc, *output, *encoder);
    }
    if (saveTo) {
        saveSession(*doc, *saveTo);
    }
    if (json) {
        printState(*doc);
    }
    return 0;
}

int runInfo(std::vector<std::string> words) {
    Args args(std::move(words));
    const std::optional<std::string> path = args.positional();
    args.finish();
    if (!path) {
        throw UsageError("info needs a FILE.session");
    }
    std::unique_ptr<CZARN40Doc> doc = openSession(*path, std::nullopt);
    JsonWriter writer;
    writer.beginObject();
    {
        ScopedPause pause(*doc);
        writeSessionInfo(writer, doc->State(pause));
    }
    writer.endObject();
    std::cout << writer.text();
    return 0;
}

int runColors(std::vector<std::string> words) {
    Args args(std::move(words));
    const std::optional<std::string> action = args.positional();
    if (!action) {
        throw UsageError("colors needs 'random' or 'show'");
    }
    if (*action == "random") {
        const std::optional<std::uint64_t> seed = args.number("--seed", 0, kMaxSeed);
        const std::optional<std::string> output = args.option("--output", "-o");
        args.finish();
        if (!output) {
            throw UsageError("colors random needs -o FILE.qcl");
        }
        if (!hasColorFileSuffix(*output)) {
            throw UsageError("colors random writes a .qcl file, not '" + *output + "'");
        }
        CRandom crandom(seed ? static_cast<unsigned>(*seed)
                             : static_cast<unsigned>(std::time(nullptr)));
        ColorC colors = seed ? ColorC(static_cast<double>(*seed)) : ColorC(crandom);
        ColorSetHistory history;
        colors.LoadFromHistory(history);
        colors.RandomColors(crandom);
        const ColorFileResult written = colors.WriteColorFile(*output);
        if (!written) {
            throw InputError(written.error);
        }
        return 0;
    }
    if (*action == "show") {
        const std::optional<std::string> path = args.positional();
        args.finish();
        if (!path) {
            throw UsageError("colors show needs a FILE.qcl");
        }
        ColorSetRecord record;
        const ColorFileResult read = readColorFileRecord(*path, record);
        if (!read) {
            throw InputError(read.error);
        }
        JsonWriter writer;
        writer.beginObject();
        writeColorRecord(writer, record);
        writer.endObject();
        std::cout << writer.text();
        return 0;
    }
    throw UsageError("unknown colors action '" + *action + "' (use 'random' or 'show')");
}

std::string usageText() {
    return R"(Usage: zarn80-render COMMAND [OPTIONS]

Renders symmetric chaotic-map quilts without a window.

Commands:
  new        iterate a new random quilt and write its picture
  open       reopen a session file, optionally iterate further, render or save it again
  info       print every field of a session file as JSON
  colors     make or show colour files (.qcl)

zarn80-render new [OPTIONS] -o IMAGE
  --family NAME      map family (Square, Oct_Four, SFT, Hex, SquareX, T, ExpA, TWsq,
                     Squaret, Duo; case-insensitive); default Square
  --seed N           reproducible run: the same N gives byte-identical output
  --steps N          iterations to run (the quilt's step limit); default 60000000
  --grid N           grid size, 20 to 1000 (default 250)
  --detailed         iterate the detailed (Fourier) form of the square map or, with
                     --family Hex, of the hexagonal map
  --plain            iterate the plain form (what a new quilt of either family iterates)
  --knot             Hex only: knot mode (the grid counts lattice coordinates)
  --corner-n N       SquareX only: the wild corner's N, 3 to 42 (random 3 to 13 otherwise)
  --period N         periods shown across and down, 1 to 64 (default 2)
  --colors FILE.qcl  colour the quilt with this colour file
  -o, --output IMAGE image to write: .png, .bmp, .jpg/.jpeg (quality 100), .tif/.tiff
  --save OUT.session save the quilt as a session file after iterating
  --json             print the final state as JSON on stdout
  --quiet            no progress bar

zarn80-render open FILE.session [--steps N] [-o IMAGE] [--save OUT.session] [--json]
  --steps N          iterate N more steps from the stored step count and grid (without it,
                     no step is taken and the picture uses the stored palette)
  --seed N           seed the random sources (used only if the quilt must be replaced)
  -o, --output, --save, --json, --quiet as for new

zarn80-render info FILE.session
  prints the session's fields, map records, grid, palette and colour history as JSON

zarn80-render colors random [--seed N] -o FILE.qcl
  writes a random colour set
zarn80-render colors show FILE.qcl
  prints a colour file as JSON

Exit status: 0 success, 1 bad input or failed I/O, 2 bad usage.
)";
}

} // namespace zarn::cli
