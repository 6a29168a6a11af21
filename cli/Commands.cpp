#include "Commands.h"

#include "Args.h"
#include "Progress.h"
#include "document/Commands.h"
#include "document/DocumentJson.h"
#include "document/Explore.h"
#include "document/MapFamily.h"
#include "document/SessionFile.h"
#include "document/Validation.h"
#include "document/ViewSettings.h"
#include "engine/CRandom.h"
#include "engine/FileIO.h"
#include "raster/Compose.h"
#include "raster/ContactSheet.h"
#include "raster/ImageEncoders.h"
#include "render/ColorPresets.h"

#include <QString>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <iostream>
#include <thread>
#include <tuple>
#include <unistd.h>

namespace zarn::cli {

namespace {

constexpr std::uint64_t kMaxSeed = 4294967295u;
constexpr std::uint64_t kMaxSteps = kLargestStepLimit;
constexpr std::uint64_t kMaxThreads = CZARN40Doc::kMaxOrbits;
constexpr int kMaxImageSide = 32000;

ImageEncoder encoderFor(const std::string& path) {
    const QString mime = mimeTypeForPath(path);
    if (mime.isEmpty()) {
        throw UsageError("cannot tell the image format of '" + path +
                         "': use .png, .bmp, .jpg, .jpeg, .tif, .tiff or .gif");
    }
    const std::optional<ImageEncoder> encoder = FindEncoder(mime);
    if (!encoder) {
        throw InputError("no encoder for " + mime.toStdString() + " is installed");
    }
    return *encoder;
}

/** What a run was asked to leave behind. */
struct Outputs {
    std::optional<std::string> image;
    std::optional<ImageEncoder> encoder;
    std::optional<std::string> session;
    bool json = false;
    /** The level scale the image is drawn on; the session keeps the classic palette. */
    LevelScaleKind scale = LevelScaleKind::Classic;
};

/** Checks, before any work, that the named files can be written; the image's format is known
 *  from its name. */
Outputs checkedOutputs(const std::optional<std::string>& image,
                       const std::optional<std::string>& session, bool json,
                       LevelScaleKind scale = LevelScaleKind::Classic) {
    Outputs o{image, std::nullopt, session, json, scale};
    if (image) {
        o.encoder = encoderFor(*image);
    }
    if (image && session) {
        namespace fs = std::filesystem;
        std::error_code a;
        std::error_code b;
        const fs::path imagePath = fs::weakly_canonical(fs::absolute(*image, a), a);
        const fs::path sessionPath = fs::weakly_canonical(fs::absolute(*session, b), b);
        if (!a && !b && imagePath == sessionPath) {
            throw UsageError("-o and --save name the same file '" + *image + "'");
        }
    }
    for (const std::optional<std::string>& path : {image, session}) {
        if (path) {
            if (const FileResult writable = checkWritableTarget(*path); !writable) {
                throw InputError(writable.error);
            }
        }
    }
    return o;
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

/** Width and height of the picture an export of @p doc writes; known before any step, since
 *  neither the period's size nor the view's change while the quilt iterates. */
std::pair<std::int64_t, std::int64_t> exportSize(CZARN40Doc& doc) {
    const PeriodSize period = doc.PeriodSizeOf();
    const ViewGeometry view = TakeViewGeometry(doc);
    if (view.mode == ViewMode::Poly) {
        // The poly view exports one period of its tiling.
        return {view.poly->ImageWidth(), view.poly->ImageHeight()};
    }
    const std::int64_t periods = std::max(view.periods, 1);
    return {period.width * periods, period.height * periods};
}

/** Refuses a picture larger than the program draws or than the image's format holds; returns
 *  its size. */
std::pair<std::int64_t, std::int64_t> requireImageFits(CZARN40Doc& doc, const std::string& path,
                                                       const ImageEncoder& encoder) {
    const auto [width, height] = exportSize(doc);
    const std::string size = std::to_string(width) + " x " + std::to_string(height);
    if (width > kMaxImageSide || height > kMaxImageSide) {
        throw InputError("cannot write '" + path + "': the image would be " + size +
                         " pixels, larger than " + std::to_string(kMaxImageSide) +
                         " pixels on a side");
    }
    if (const std::string limit = imageSizeLimitError(encoder, width, height); !limit.empty()) {
        throw InputError("cannot write '" + path + "': " + limit);
    }
    return {width, height};
}

void writeImage(CZARN40Doc& doc, const std::string& path, const ImageEncoder& encoder,
                LevelScaleKind scale) {
    const auto [width, height] = requireImageFits(doc, path, encoder);
    const PeriodBitmap period = doc.RenderPeriod(scale);
    const QImage image = composeExport(period, TakeViewGeometry(doc));
    if (image.isNull()) {
        throw InputError("cannot write '" + path + "': not enough memory for a " +
                         std::to_string(width) + " x " + std::to_string(height) + " image");
    }
    const std::string error = writeImageFile(image, path, encoder);
    if (!error.empty()) {
        throw InputError(error);
    }
}

/** The view options of new and open, as given. */
struct ViewOptions {
    std::optional<ViewMode> view;
    std::optional<int> tiling;
    std::optional<std::uint64_t> quaziLines;
    std::optional<std::pair<double, double>> quaziOffset;
    std::optional<double> quaziScale;
    std::optional<double> quaziOverlap;
    std::optional<std::pair<double, double>> polyOffset;
    std::optional<double> polyScale;
    std::optional<double> polyOverlap;

    /** The first quasi-crystal property given, by option name. */
    const char* quaziOption() const {
        return quaziLines     ? "--quazi-lines"
               : quaziOffset  ? "--quazi-offset"
               : quaziScale   ? "--quazi-scale"
               : quaziOverlap ? "--quazi-overlap"
                              : nullptr;
    }
    const char* polyOption() const {
        return tiling        ? "--tiling"
               : polyOffset  ? "--poly-offset"
               : polyScale   ? "--poly-scale"
               : polyOverlap ? "--poly-overlap"
                             : nullptr;
    }
};

const char* viewName(ViewMode mode) {
    switch (mode) {
    case ViewMode::Quazi:
        return "quazi";
    case ViewMode::Poly:
        return "poly";
    case ViewMode::Tile:
        break;
    }
    return "tile";
}

ViewOptions takeViewOptions(Args& args) {
    ViewOptions o;
    if (const std::optional<std::string> view = args.option("--view")) {
        if (*view == "tile") {
            o.view = ViewMode::Tile;
        } else if (*view == "quazi") {
            o.view = ViewMode::Quazi;
        } else if (*view == "poly") {
            o.view = ViewMode::Poly;
        } else {
            throw UsageError("unknown view '" + *view + "' (tile, quazi or poly)");
        }
    }
    if (const std::optional<std::string> tiling = args.option("--tiling")) {
        o.tiling = polyTilingByName(*tiling);
        if (!o.tiling) {
            throw UsageError("unknown tiling '" + *tiling + "' (one of " + polyTilingNameList() +
                             ")");
        }
    }
    o.quaziLines = args.number("--quazi-lines", 0, 1000);
    o.quaziOffset = args.realPair("--quazi-offset");
    o.quaziScale = args.real("--quazi-scale");
    o.quaziOverlap = args.real("--quazi-overlap");
    o.polyOffset = args.realPair("--poly-offset");
    o.polyScale = args.real("--poly-scale");
    o.polyOverlap = args.real("--poly-overlap");
    return o;
}

std::string pairText(const std::pair<double, double>& p) {
    return numberText(p.first) + "," + numberText(p.second);
}

/** The whole numbers an X,Y option holds, or the option's error. */
std::pair<int, int> wholePair(const std::pair<double, double>& p, const char* option) {
    const auto whole = [&](double v) {
        if (v != std::trunc(v) || std::abs(v) > 1e9) {
            throw UsageError(std::string(option) + " needs two whole numbers X,Y, not " +
                             pairText(p));
        }
        return static_cast<int>(v);
    };
    return {whole(p.first), whole(p.second)};
}

/** The dialog's verdict on the values an option just set, as the option's error. */
void requireValid(const std::optional<std::string>& error, const std::string& option) {
    if (error) {
        throw InputError(option + ": " + *error);
    }
}

/** Sets the quasi-crystal properties given in @p o on @p v, checking each with the dialog's
 *  ranges; an error names the option. */
void applyQuaziOptions(const ViewOptions& o, QuaziPropValues& v) {
    const auto check = [&](const std::string& option) {
        requireValid(ValidateQuaziProp(v), option);
    };
    if (o.quaziLines) {
        v.lineSetCount = static_cast<int>(*o.quaziLines);
        check("--quazi-lines " + std::to_string(*o.quaziLines));
    }
    if (o.quaziOffset) {
        std::tie(v.offsetX, v.offsetY) = wholePair(*o.quaziOffset, "--quazi-offset");
        check("--quazi-offset " + pairText(*o.quaziOffset));
    }
    if (o.quaziScale) {
        v.scale = *o.quaziScale;
        check("--quazi-scale " + numberText(*o.quaziScale));
    }
    if (o.quaziOverlap) {
        v.overlap = *o.quaziOverlap;
        check("--quazi-overlap " + numberText(*o.quaziOverlap));
    }
}

void applyPolyOptions(const ViewOptions& o, PolyViewValues& v) {
    const auto check = [&](const std::string& option) {
        requireValid(ValidatePolyView(v), option);
    };
    if (o.tiling) {
        v.tiling = *o.tiling;
    }
    if (o.polyOffset) {
        std::tie(v.offsetX, v.offsetY) = *o.polyOffset;
        check("--poly-offset " + pairText(*o.polyOffset));
    }
    if (o.polyScale) {
        v.scale = *o.polyScale;
        check("--poly-scale " + numberText(*o.polyScale));
    }
    if (o.polyOverlap) {
        v.overlap = *o.polyOverlap;
        check("--poly-overlap " + numberText(*o.polyOverlap));
    }
}

/** Refuses properties of a view that will not be drawn, and a view the family does not take. */
void checkViewOptions(const ViewOptions& o, ViewMode view, MapFamily family) {
    if (view != ViewMode::Quazi && o.quaziOption() != nullptr) {
        throw UsageError(std::string(o.quaziOption()) +
                         " applies to the quasi-crystal view (--view quazi)");
    }
    if (view != ViewMode::Poly && o.polyOption() != nullptr) {
        throw UsageError(std::string(o.polyOption()) + " applies to the poly view (--view poly)");
    }
    if (view != ViewMode::Tile && !ViewsApplyTo(family)) {
        throw UsageError(std::string("--view ") + viewName(view) + " does not apply to the " +
                         std::string(familyName(family)) + " family");
    }
}

/** Checks the options' values before a long run. */
void validateViewOptions(const ViewOptions& o) {
    QuaziPropValues quazi;
    applyQuaziOptions(o, quazi);
    PolyViewValues poly;
    applyPolyOptions(o, poly);
}

/** Applies the view options through the properties dialogs' OK: @p view is the view to draw. */
void applyViewOptions(CZARN40Doc& doc, const ViewOptions& o, ViewMode view) {
    if (view == ViewMode::Poly) {
        PolyViewValues v = FillPolyView(doc);
        applyPolyOptions(o, v);
        v.usePolyView = true;
        if (auto e = ApplyPolyView(doc, v)) {
            throw InputError(*e);
        }
        return;
    }
    QuaziPropValues v = FillQuaziProp(doc);
    applyQuaziOptions(o, v);
    v.useQuaziView = view == ViewMode::Quazi;
    if (auto e = ApplyQuaziProp(doc, v)) {
        throw InputError(*e);
    }
}

/** The view a document draws. */
ViewMode currentView(CZARN40Doc& doc) {
    return TakeViewGeometry(doc).mode;
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

/** Reports every error but the last on stderr and throws the last; nothing when there is none. */
void failWithLast(const std::vector<std::string>& errors) {
    if (errors.empty()) {
        return;
    }
    for (std::size_t i = 0; i + 1 < errors.size(); ++i) {
        printError(errors[i]);
    }
    throw InputError(errors.back());
}

/** A saved session that will not go on as its quilt would: one line on stderr (the run still
 *  succeeds; the file keeps what it can). */
void warnOfSessionLimit(MapFamily family, const std::string& path) {
    if (const std::string limit = SessionFileLimit(family); !limit.empty()) {
        std::cerr << "zarn80-render: warning: '" << path << "': " << limit << "\n" << std::flush;
    }
}

/**
 * Leaves behind what the run was asked for: the session first, so the run's work is kept even
 * when the picture cannot be made, then the picture, then the JSON. Every failure is one line on
 * stderr; the last is thrown.
 */
void writeOutputs(CZARN40Doc& doc, const Outputs& o) {
    std::vector<std::string> errors;
    if (o.session) {
        if (const FileResult saved = SaveSessionFile(doc, *o.session); !saved) {
            errors.push_back(saved.error);
        } else {
            warnOfSessionLimit(doc.CurrentFamily(), *o.session);
        }
    }
    if (o.image) {
        try {
            writeImage(doc, *o.image, *o.encoder, o.scale);
        } catch (const InputError& e) {
            errors.emplace_back(e.what());
        } catch (const std::bad_alloc&) {
            errors.push_back("cannot write '" + *o.image + "': not enough memory");
        }
    }
    if (o.json) {
        printState(doc);
    }
    failWithLast(errors);
}

/** --threads N: orbits of the quilt iterated at once (all cores when not given). */
int threadsOption(Args& args) {
    const std::optional<std::uint64_t> threads = args.number("--threads", 1, kMaxThreads);
    if (threads) {
        return static_cast<int>(*threads);
    }
    const unsigned cores = std::thread::hardware_concurrency();
    return static_cast<int>(std::clamp<unsigned>(cores, 1, kMaxThreads));
}

/** Opens a session without starting its worker. */
std::unique_ptr<CZARN40Doc> openSession(const std::string& path, std::optional<std::uint64_t> seed,
                                        int threads = 1) {
    DocumentOptions options;
    options.seed = seed;
    options.orbits = threads;
    std::string error;
    std::unique_ptr<CZARN40Doc> doc = OpenSessionFile(path, options, error);
    if (!doc) {
        throw InputError(error);
    }
    return doc;
}

/** --levels classic|robust|log: the level scale pictures are drawn on (classic when not given). */
LevelScaleKind levelsOption(Args& args) {
    const std::optional<std::string> text = args.option("--levels");
    if (!text) {
        return LevelScaleKind::Classic;
    }
    const std::optional<LevelScaleKind> kind = parseLevelScale(*text);
    if (!kind) {
        throw UsageError("unknown level scale '" + *text + "' (classic, robust or log)");
    }
    return *kind;
}

/** The colour file --colors names: a file, or else a preset's name ("colors list"). */
std::optional<std::string> colorsOption(Args& args) {
    std::optional<std::string> value = args.option("--colors");
    if (!value) {
        return value;
    }
    std::error_code ec;
    const bool looksLikeFile = hasColorFileSuffix(*value) ||
                               value->find('/') != std::string::npos ||
                               std::filesystem::exists(*value, ec);
    if (!looksLikeFile) {
        const std::optional<ColorPreset> preset = findColorPreset(*value);
        if (!preset) {
            throw InputError("no colour file or preset named '" + *value +
                             "' ('colors list' names the presets)");
        }
        return preset->path.string();
    }
    return value;
}

/** The family --family names, or nothing when it was not given. */
std::optional<MapFamily> familyOption(const std::optional<std::string>& text) {
    if (!text) {
        return std::nullopt;
    }
    const std::optional<MapFamily> family = parseFamily(*text);
    if (!family) {
        throw InputError("unknown family '" + *text + "' (one of " + familyNameList() + ")");
    }
    return family;
}

bool progressWanted(bool quiet) {
    return !quiet && ::isatty(STDERR_FILENO);
}

} // namespace

void printError(const std::string& message) {
    std::cerr << "zarn80-render: error: " << message << "\n" << std::flush;
}

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
    const std::optional<std::string> colors = colorsOption(args);
    const std::optional<std::string> output = args.option("--output", "-o");
    const bool json = args.flag("--json");
    const bool quiet = args.flag("--quiet");
    const int threads = threadsOption(args);
    const std::optional<std::string> saveTo = args.option("--save");
    const ViewOptions viewOptions = takeViewOptions(args);
    const LevelScaleKind levels = levelsOption(args);
    args.finish();

    if (detailed && plain) {
        throw UsageError("--detailed and --plain exclude each other");
    }
    if (!output && !json && !saveTo) {
        throw UsageError("new needs -o IMAGE (or --json or --save)");
    }
    NewQuiltOptions settings;
    settings.family = familyOption(familyText);
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
    const ViewMode view = viewOptions.view.value_or(ViewMode::Tile);
    checkViewOptions(viewOptions, view, settings.family.value_or(MapFamily::Square));
    validateViewOptions(viewOptions);
    const Outputs outputs = checkedOutputs(output, saveTo, json, levels);

    DocumentOptions options;
    options.seed = seed;
    options.orbits = threads;
    std::unique_ptr<CZARN40Doc> doc;
    try {
        doc = NewQuilt(options, settings);
    } catch (const DocumentError& e) {
        throw InputError(e.what());
    }
    if (view != ViewMode::Tile) {
        applyViewOptions(*doc, viewOptions, view);
    }
    if (outputs.image) {
        requireImageFits(*doc, *outputs.image, *outputs.encoder);
    }
    iterateToTheEnd(*doc, 0, progressWanted(quiet));
    writeOutputs(*doc, outputs);
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
    const int threads = threadsOption(args);
    const ViewOptions viewOptions = takeViewOptions(args);
    const LevelScaleKind levels = levelsOption(args);
    const std::optional<std::string> path = args.positional();
    args.finish();
    if (!path) {
        throw UsageError("open needs a FILE.session");
    }
    if (!output && !json && !saveTo) {
        throw UsageError("open needs -o IMAGE, --save OUT.session or --json");
    }
    validateViewOptions(viewOptions);
    const Outputs outputs = checkedOutputs(output, saveTo, json, levels);

    std::unique_ptr<CZARN40Doc> doc = openSession(*path, seed, threads);
    // A session saved with a view on opens with it on; --view chooses another.
    const ViewMode view = viewOptions.view.value_or(currentView(*doc));
    checkViewOptions(viewOptions, view, doc->CurrentFamily());
    if (viewOptions.view || viewOptions.quaziOption() != nullptr ||
        viewOptions.polyOption() != nullptr) {
        applyViewOptions(*doc, viewOptions, view);
    }
    if (outputs.image) {
        requireImageFits(*doc, *outputs.image, *outputs.encoder);
    }
    if (steps) {
        const std::uint64_t first = doc->stepCount();
        try {
            IterateMore(*doc, *steps);
        } catch (const DocumentError& e) {
            throw InputError(e.what());
        }
        iterateToTheEnd(*doc, first, progressWanted(quiet));
    }
    // Without new steps the classic picture comes from the stored palette, as it was saved; the
    // other scales build theirs from the stored colours and grid.
    writeOutputs(*doc, outputs);
    return 0;
}

namespace {

/** "sheet.png" -> "sheet-3.png": the name of the kept candidate ranked @p rank. */
std::string keptName(const std::string& sheet, int rank, const std::string& extension) {
    const std::filesystem::path path(sheet);
    std::filesystem::path name = path.parent_path() / path.stem();
    return name.string() + "-" + std::to_string(rank) + extension;
}

void printRanking(const std::vector<ExploreCandidate>& ranked, LevelScaleKind scale) {
    JsonWriter writer;
    writer.beginObject();
    writer.value("levels", std::string(levelScaleName(scale)));
    writer.value("flatBelow", QuiltScore::kFlatBelow);
    int flat = 0;
    writer.beginArray("candidates");
    for (std::size_t i = 0; i < ranked.size(); ++i) {
        const ExploreCandidate& c = ranked[i];
        flat += c.score.flat() ? 1 : 0;
        writer.beginObject();
        writer.value("rank", static_cast<std::uint64_t>(i + 1));
        writer.value("family", std::string(familyName(c.family)));
        writer.value("seed", c.seed);
        writer.value("score", c.score.value);
        writer.value("entropyBits", c.score.entropyBits);
        writer.value("offBackground", c.score.offBackground);
        writer.flag("flat", c.score.flat());
        writer.endObject();
    }
    writer.endArray();
    writer.value("flatCount", flat);
    writer.endObject();
    std::cout << writer.text();
}

} // namespace

int runExplore(std::vector<std::string> words) {
    Args args(std::move(words));
    const std::optional<std::string> familyText = args.option("--family");
    const std::optional<std::uint64_t> count = args.number("--count", 1, 1000);
    const std::optional<std::uint64_t> seed = args.number("--seed", 0, kMaxSeed);
    const std::optional<std::uint64_t> steps = args.number("--steps", 1, kMaxSteps);
    const std::optional<std::uint64_t> grid = args.number("--grid", 20, 1000);
    const std::optional<std::uint64_t> keep = args.number("--keep", 1, 1000);
    const std::optional<std::uint64_t> columns = args.number("--columns", 1, 100);
    const std::optional<std::uint64_t> thumb = args.number("--thumb", 32, 1000);
    const std::optional<std::string> colors = colorsOption(args);
    const std::optional<std::string> output = args.option("--output", "-o");
    const LevelScaleKind levels = levelsOption(args);
    const bool json = args.flag("--json");
    const bool quiet = args.flag("--quiet");
    const std::optional<std::uint64_t> threads = args.number("--threads", 1, kMaxThreads);
    args.finish();

    if (!count) {
        throw UsageError("explore needs --count N");
    }
    if (!output) {
        throw UsageError("explore needs -o SHEET (the contact sheet's image)");
    }
    if (keep && *keep > *count) {
        throw UsageError("--keep " + std::to_string(*keep) + " is more than --count " +
                         std::to_string(*count));
    }
    ExploreOptions options;
    options.family = familyOption(familyText);
    options.count = static_cast<int>(*count);
    options.firstSeed = seed ? *seed : static_cast<std::uint64_t>(std::time(nullptr)) % kMaxSeed;
    options.settings.maxSteps = static_cast<std::uint32_t>(steps.value_or(1000000));
    if (grid) {
        options.settings.gridSize = static_cast<std::uint32_t>(*grid);
    }
    options.settings.colorFile = colors;
    options.scale = levels;
    options.keep = static_cast<int>(keep.value_or(0));
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    options.threads = static_cast<int>(threads.value_or(cores));

    const ImageEncoder sheetEncoder = encoderFor(*output);
    std::vector<std::string> targets = {*output};
    for (int rank = 1; rank <= options.keep; ++rank) {
        targets.push_back(keptName(*output, rank, std::filesystem::path(*output).extension()));
        targets.push_back(keptName(*output, rank, ".session"));
    }
    for (const std::string& target : targets) {
        if (const FileResult writable = checkWritableTarget(target); !writable) {
            throw InputError(writable.error);
        }
    }
    // Fonts for the labels are set up before any thread starts.
    ensureFontSupport();

    ProgressBar bar(progressWanted(quiet), static_cast<std::uint64_t>(options.count));
    std::vector<ExploreCandidate> ranked;
    try {
        ranked = Explore(options,
                         [&](int finished) { bar.update(static_cast<std::uint64_t>(finished)); });
    } catch (const DocumentError& e) {
        throw InputError(e.what());
    }
    bar.finish(static_cast<std::uint64_t>(options.count));

    std::vector<std::string> errors;
    for (int rank = 1; rank <= options.keep; ++rank) {
        CZARN40Doc& doc = *ranked[static_cast<std::size_t>(rank - 1)].doc;
        if (const FileResult saved = SaveSessionFile(doc, targets[2 * rank]); !saved) {
            errors.push_back(saved.error);
        } else {
            warnOfSessionLimit(doc.CurrentFamily(), targets[2 * rank]);
        }
        try {
            writeImage(doc, targets[2 * rank - 1], sheetEncoder, levels);
        } catch (const InputError& e) {
            errors.emplace_back(e.what());
        }
    }
    std::vector<SheetEntry> entries;
    for (const ExploreCandidate& c : ranked) {
        const QString label =
            QStringLiteral("%1  seed %2  %3")
                .arg(QString::fromUtf8(familyName(c.family).data(),
                                       static_cast<int>(familyName(c.family).size())))
                .arg(c.seed)
                .arg(c.score.value, 0, 'f', 2);
        entries.push_back({composeTiled(c.period, 2), label});
    }
    const int across = static_cast<int>(columns.value_or(std::max<std::uint64_t>(
        1, static_cast<std::uint64_t>(std::ceil(std::sqrt(ranked.size()))))));
    const QImage sheet =
        composeContactSheet(entries, across, static_cast<int>(thumb.value_or(200)));
    if (sheet.isNull()) {
        errors.push_back("cannot write '" + *output + "': not enough memory for the sheet");
    } else if (const std::string error = writeImageFile(sheet, *output, sheetEncoder);
               !error.empty()) {
        errors.push_back(error);
    }
    if (json) {
        printRanking(ranked, levels);
    }
    failWithLast(errors);
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
        throw UsageError("colors needs 'random', 'show' or 'list'");
    }
    if (*action == "list") {
        args.finish();
        for (const ColorPreset& preset : listColorPresets()) {
            std::cout << preset.name << "\n";
        }
        return 0;
    }
    if (*action == "random") {
        const std::optional<std::uint64_t> seed = args.number("--seed", 0, kMaxSeed);
        const std::optional<std::string> output = args.option("--output", "-o");
        const std::optional<std::uint64_t> used = args.number("--colors-used", 2, ColorC::kColors);
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
        if (used) {
            RandomColorsUsing(colors, crandom, static_cast<int>(*used));
        } else {
            colors.RandomColors(crandom);
        }
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
    throw UsageError("unknown colors action '" + *action + "' (use 'random', 'show' or 'list')");
}

std::string usageText() {
    return R"(Usage: zarn80-render COMMAND [OPTIONS]

Renders symmetric chaotic-map quilts without a window.

Commands:
  new        iterate a new random quilt and write its picture
  open       reopen a session file, optionally iterate further, render or save it again
  info       print every field of a session file as JSON
  explore    iterate many seeded quilts, rank them and write a contact sheet
  colors     make, show or list colour files (.qcl)

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
  --colors FILE|NAME colour the quilt with this colour file, or the preset NAME
                     ('colors list')
  --levels SCALE     the picture's level scale: classic (count x 3999 / largest count,
                     the default), robust (the largest count taken at the 99.9th
                     percentile of the hit cells) or log (logarithmic); the session keeps
                     the classic palette
  -o, --output IMAGE image to write: .png, .bmp, .jpg/.jpeg (quality 100), .tif/.tiff,
                     .gif (a palette of 256 colours, dithered)
  --view MODE        tile (the periods side by side, the default), quazi (the period on
                     every rhombus of a quasi-crystal) or poly (the period on every
                     triangle of a polygon tiling; the image is one period of the tiling)
  --tiling NAME      poly view: 4.8.8 (default), 4.6.12, 3.3.3.4.4 (also 3.4.6.4),
                     3.12.12 or 3.6.3.6
  --poly-scale X     poly view: scale, 0.5 to 10 (default 1)
  --poly-offset X,Y  poly view: the tiling's shift as fractions of its period, each 0.1
                     to 0.499 (default 0.25,0.25)
  --poly-overlap X   poly view: overlap correction of the triangles, -0.2 to 0.2
                     (default 0.04)
  --quazi-lines N    quazi view: line sets of the multigrid, 5 to 42 (default 5)
  --quazi-scale X    quazi view: rhombus edge as a fraction of the period, 0.05 to 3
                     (default 0.5)
  --quazi-offset X,Y quazi view: where the pattern's centre lies, in pixels, each 50 to
                     1200 (default 300,300)
  --quazi-overlap X  quazi view: overlap correction of the rhombi, -0.1 to 0.1
                     (default 0.02)
  --save OUT.session save the quilt as a session file after iterating
  --json             print the final state as JSON on stdout
  --quiet            no progress bar
  --threads N        orbits iterated at once, one thread each (1 to 64; default all cores);
                     the same seed and N give the same bytes

zarn80-render open FILE.session [--steps N] [-o IMAGE] [--save OUT.session] [--json]
  --steps N          iterate N more steps from the stored step count and grid (without it,
                     no step is taken and the picture uses the stored palette)
  --seed N           seed the random sources (used only if the quilt must be replaced, and
                     for the quasi-crystal's line spacings)
  --view MODE        the view to draw; a session saved with a view on opens with it on,
                     through the view's default properties
  -o, --output, --save, --json, --quiet, --threads, --levels and the view properties as for new

zarn80-render explore --count N -o SHEET [OPTIONS]
  --count N          candidates, 1 to 1000: seeds S, S+1, ... each iterated as a new quilt
  --seed S           the first seed (default from the clock)
  --family NAME      every candidate of this family (default: every family in turn)
  --steps N          each candidate's step limit (default 1000000)
  --grid N, --colors FILE|NAME, --levels SCALE   as for new
  --keep K           also write the K best as SHEET-1.png ... and SHEET-1.session ...
  --threads N        candidates iterated at once (default: all cores)
  --columns N, --thumb PX   the sheet's layout (default: a square, 200 pixels)
  --json             print the ranking (family, seed, score, flat) on stdout
  The sheet shows the candidates best first, each labelled with its family, seed and
  score: the entropy of the picture's level shares times its share off the background;
  below 0.5 a quilt counts as flat.

zarn80-render info FILE.session
  prints the session's fields, map records, grid, palette and colour history as JSON

zarn80-render colors random [--seed N] [--colors-used N] -o FILE.qcl
  writes a random colour set; --colors-used N (2 to 6) gives it N active colours
zarn80-render colors list
  names the colour presets shipped with the program
zarn80-render colors show FILE.qcl
  prints a colour file as JSON

Exit status: 0 success, 1 bad input or failed I/O, 2 bad usage.
)";
}

} // namespace zarn::cli
