#include "SessionFile.h"

#include "CZARN40Doc.h"
#include "MemorySizing.h"
#include "engine/Archive.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <new>
#include <utility>

namespace zarn {

namespace session {
const std::size_t kMaxFileBytes =
    kDocumentFieldsSize + SqrMap::kRecordSize + HexMap::kRecordSize + 12 +
    std::size_t{4} * kMaxGridSide * kMaxGridSide + MapSixFourTwelve::kRecordSize +
    MapThreeTwelve::kRecordSize +
    (WildCornerMap::kRecordHeaderSize +
     16 * std::size_t{WildCornerMap::kMaxCornerN / 2 + 1} * WildCornerMap::kMaxRecordDepth) +
    MapExpA::kRecordSize + Palette::kStoredBytes + ColorSetHistory::kSize + ColorC::kStateSize;
} // namespace session

namespace {

using NameBuffer = std::array<char, session::kNameBytes>;

/** Fields 1 to 37, as they stand in the file. */
struct DocumentFields {
    std::uint8_t finished = 0;
    std::uint8_t running = 0;
    std::uint8_t converged = 0;
    std::uint8_t useRandomSettings = 0; // low byte
    std::uint8_t useDetailedSquare = 0;
    std::uint16_t squareDetailDepth = 0;
    std::uint8_t flagHex = 0;
    std::uint8_t useDetailedHex = 0; // low byte
    std::uint8_t hexKnot = 0;        // low byte
    std::uint8_t hexVariant = 0;
    std::uint8_t flagSFT = 0;
    std::uint8_t flagOctFour = 0;
    std::uint8_t flagT = 0;
    std::uint8_t flagSquareX = 0;
    std::uint8_t flagExpA = 0;
    std::array<std::uint8_t, 4> imageOption{};
    std::int32_t distinctCells = 0;
    std::int32_t minDistinctCells = 0;
    std::uint32_t stepCount = 0;
    std::uint32_t maxSteps = 0;
    double gridSizeReal = 0.0;
    double gridSizeInverse = 0.0;
    std::uint16_t gridSize = 0; // low 16 bits
    double hexSizeA = 0.0;
    double hexSizeB = 0.0;
    NameBuffer quiltName{};
    NameBuffer sessionName{};
    std::uint16_t viewPeriod = 0;
    std::int32_t maxDibThird = 0;
    double torusX = 0.0;
    double torusY = 0.0;
    double pointX = 0.0;
    double pointY = 0.0;
    double rawX = 0.0;
    double rawY = 0.0;
};

/** The records that follow the document's fields, wherever they live. */
struct Records {
    SqrMap& square;
    HexMap& hex;
    QuiltMap& grid;
    MapSixFourTwelve& sft;
    MapThreeTwelve& t;
    WildCornerMap& corner;
    MapExpA& expA;
    Palette& palette;
    ColorSetHistory& history;
    ColorC& colors;
};

std::uint8_t lowByte(int v) {
    return static_cast<std::uint8_t>(static_cast<unsigned>(v) & 0xFFu);
}

int withLowByte(int v, std::uint8_t low) {
    return static_cast<int>((static_cast<unsigned>(v) & ~0xFFu) | low);
}

NameBuffer nameBuffer(const std::string& name) {
    NameBuffer buffer{};
    std::memcpy(buffer.data(), name.data(), std::min(name.size(), buffer.size() - 1));
    return buffer;
}

std::string nameString(const NameBuffer& buffer) {
    const void* end = std::memchr(buffer.data(), 0, buffer.size());
    return std::string(buffer.data(), end != nullptr ? static_cast<const char*>(end)
                                                     : buffer.data() + buffer.size());
}

std::string number(double v) {
    char text[32];
    std::snprintf(text, sizeof text, "%.17g", v);
    return text;
}

/** The largest grid side whose cells (margin included) fit in half of @p physicalMemory. */
std::uint32_t largestGridSide(std::uint64_t physicalMemory) {
    if (physicalMemory == 0) {
        return session::kMaxGridSide;
    }
    const std::uint64_t half = physicalMemory / 2;
    std::uint32_t n = session::kMaxGridSide;
    while (n > 0) {
        const std::uint64_t side = std::uint64_t{n} + QuiltMap::kMargin;
        if (side * side * sizeof(std::uint32_t) <= half) {
            break;
        }
        --n;
    }
    return n;
}

DocumentFields fieldsOf(const CZARN40Doc& doc) {
    DocumentFields f;
    f.finished = doc.finished.load();
    f.running = doc.running.load();
    f.converged = doc.converged.load();
    f.useRandomSettings = lowByte(doc.useRandomSettings);
    f.useDetailedSquare = doc.useDetailedSquare;
    f.squareDetailDepth = doc.squareDetailDepth;
    f.flagHex = doc.flagHex;
    f.useDetailedHex = lowByte(doc.useDetailedHex);
    f.hexKnot = lowByte(doc.hexKnot);
    f.hexVariant = doc.hexVariant;
    f.flagSFT = doc.flagSFT;
    f.flagOctFour = doc.flagOctFour;
    f.flagT = doc.flagT;
    f.flagSquareX = doc.flagSquareX;
    f.flagExpA = doc.flagExpA;
    f.imageOption = {doc.imageOption1, doc.imageOption2, doc.imageOption3, doc.imageOption4};
    f.distinctCells = doc.distinctCells.load();
    f.minDistinctCells = doc.minDistinctCells;
    f.stepCount = doc.stepCount.load();
    f.maxSteps = doc.maxSteps;
    f.gridSizeReal = doc.gridSizeReal;
    f.gridSizeInverse = doc.gridSizeInverse;
    f.gridSize = static_cast<std::uint16_t>(static_cast<unsigned>(doc.gridSize) & 0xFFFFu);
    f.hexSizeA = doc.hexSizeA;
    f.hexSizeB = doc.hexSizeB;
    f.quiltName = nameBuffer(doc.quiltName);
    f.sessionName = nameBuffer(doc.sessionName);
    f.viewPeriod = doc.viewPeriod;
    f.maxDibThird = doc.maxDibThird;
    f.torusX = doc.torusX;
    f.torusY = doc.torusY;
    f.pointX = doc.pointX;
    f.pointY = doc.pointY;
    f.rawX = doc.rawX;
    f.rawY = doc.rawY;
    return f;
}

/**
 * Fields 1 to 37 in file order. Loading checks each value once it is read: only what the step,
 * the image build or a later record relies on is refused, and nothing this program writes.
 */
void transferFields(Archive& ar, DocumentFields& f, std::uint32_t largestSide) {
    const bool loading = ar.isLoading();
    const auto flag = [&](std::uint8_t& v, const char* field) {
        ar.io(v, field);
        if (loading && v > 1) {
            Archive::fail(field, std::to_string(v) + " is neither 0 nor 1");
        }
    };
    // The step, the auto names and the random set-up test the flags in different orders; they
    // agree only while at most one is set, which is all SelectFamily ever produces.
    const char* familySet = nullptr;
    const auto family = [&](std::uint8_t& v, const char* field) {
        flag(v, field);
        if (loading && v != 0) {
            if (familySet != nullptr) {
                Archive::fail(field, std::string("a second family flag is set (") + familySet +
                                         " is set too)");
            }
            familySet = field;
        }
    };
    const auto finite = [&](double& v, const char* field) {
        ar.io(v, field);
        if (loading) {
            requireFinite(v, field);
        }
    };
    const auto within = [&](double& v, double hi, const char* field) {
        finite(v, field);
        if (loading && !(v >= 0.0 && v <= hi)) {
            Archive::fail(field, number(v) + " is outside 0.." + number(hi));
        }
    };
    const auto name = [&](NameBuffer& buffer, const char* field) {
        ar.ioBytes(buffer.data(), buffer.size(), field);
        if (loading && std::memchr(buffer.data(), 0, buffer.size()) == nullptr) {
            Archive::fail(field, "no NUL terminator within its " + std::to_string(buffer.size()) +
                                     " bytes");
        }
    };

    flag(f.finished, "finished");
    flag(f.running, "running");
    flag(f.converged, "converged");
    ar.io(f.useRandomSettings, "useRandomSettings");
    flag(f.useDetailedSquare, "useDetailedSquare");
    ar.io(f.squareDetailDepth, "squareDetailDepth");
    // Values below 3 are mended by the detail dialog; above 6 there is no table to sum.
    if (loading && f.squareDetailDepth > 6) {
        Archive::fail("squareDetailDepth", std::to_string(f.squareDetailDepth) + " is above 6");
    }
    family(f.flagHex, "flagHex");
    ar.io(f.useDetailedHex, "useDetailedHex");
    ar.io(f.hexKnot, "hexKnot");
    flag(f.hexVariant, "hexVariant");
    family(f.flagSFT, "flagSFT");
    family(f.flagOctFour, "flagOctFour");
    family(f.flagT, "flagT");
    family(f.flagSquareX, "flagSquareX");
    family(f.flagExpA, "flagExpA");
    ar.io(f.imageOption[0], "imageOption1");
    ar.io(f.imageOption[1], "imageOption2");
    ar.io(f.imageOption[2], "imageOption3");
    ar.io(f.imageOption[3], "imageOption4");
    ar.io(f.distinctCells, "distinctCells");
    ar.io(f.minDistinctCells, "minDistinctCells");
    ar.io(f.stepCount, "stepCount");
    ar.io(f.maxSteps, "maxSteps");

    // The step turns the torus point into a cell with gridSizeReal: it must be the grid's side
    // exactly, or hits land outside the grid.
    finite(f.gridSizeReal, "gridSizeReal");
    if (loading && !(f.gridSizeReal >= 1.0 && f.gridSizeReal <= session::kMaxGridSide &&
                     f.gridSizeReal == std::trunc(f.gridSizeReal))) {
        Archive::fail("gridSizeReal", number(f.gridSizeReal) + " is not a whole number in 1.." +
                                          std::to_string(session::kMaxGridSide));
    }
    finite(f.gridSizeInverse, "gridSizeInverse");
    ar.io(f.gridSize, "gridSize");
    if (loading) {
        if (f.gridSize != f.gridSizeReal) {
            Archive::fail("gridSize", std::to_string(f.gridSize) + " does not match gridSizeReal " +
                                          number(f.gridSizeReal));
        }
        if (f.gridSize > largestSide) {
            const std::uint64_t side = std::uint64_t{f.gridSize} + QuiltMap::kMargin;
            Archive::fail("gridSize",
                          std::to_string(f.gridSize) + " needs " + std::to_string(side * side * 4) +
                              " bytes for its grid, more than half the physical memory");
        }
    }
    within(f.hexSizeA, 3.0 * HexMap::kMaxCellSize, "hexSizeA");
    within(f.hexSizeB, 2.0 * HexMap::kMaxCellSize, "hexSizeB");
    ar.pad(8, "reserved words after hexSizeB");
    name(f.quiltName, "quiltName");
    name(f.sessionName, "sessionName");
    ar.io(f.viewPeriod, "viewPeriod");
    ar.io(f.maxDibThird, "maxDibThird");
    if (loading && (f.maxDibThird < 1 || f.maxDibThird > session::kMaxDibThird)) {
        Archive::fail("maxDibThird", std::to_string(f.maxDibThird) + " is outside 1.." +
                                         std::to_string(session::kMaxDibThird));
    }
    ar.pad(12, "reserved words after maxDibThird");
    finite(f.torusX, "torusX");
    finite(f.torusY, "torusY");
    finite(f.pointX, "pointX");
    finite(f.pointY, "pointY");
    // The last step's unfolded result is never read before the next step replaces it; a quilt
    // replaced after a runaway step keeps it as it was, so it may be anything.
    ar.io(f.rawX, "rawX");
    ar.io(f.rawY, "rawY");
}

/** Records 38 to 47. @p bytes is the file being loaded (empty when storing). */
void transferRecords(Archive& ar, const Records& r, std::span<const std::uint8_t> bytes,
                     std::uint16_t gridSize) {
    r.square.SerializeSquare(ar);
    r.hex.PersistRecord(ar);
    if (ar.isLoading()) {
        // The record's side follows its two counters; compare it before the grid is built.
        const std::size_t at = ar.position() + 8;
        if (ar.remaining() >= 12) {
            std::uint32_t side = 0;
            std::memcpy(&side, bytes.data() + at, sizeof side);
            if (side != gridSize) {
                Archive::fail("grid size", "the grid record holds " + std::to_string(side) +
                                               " cells a side, gridSize says " +
                                               std::to_string(gridSize));
            }
        }
        r.grid.SerializeGrid(ar, gridSize);
    } else {
        r.grid.SerializeGrid(ar);
    }
    r.sft.Serialize(ar);
    r.t.Serialize(ar);
    r.corner.PersistRecord(ar);
    r.expA.SerializeExpA(ar);
    r.palette.serialize(ar);
    r.history.Serialize(ar);
    r.colors.serializeState(ar);
}

void applyFields(const DocumentFields& f, CZARN40Doc& doc) {
    doc.finished.store(f.finished);
    doc.running.store(f.running);
    doc.converged.store(f.converged);
    doc.useRandomSettings = withLowByte(doc.useRandomSettings, f.useRandomSettings);
    doc.useDetailedSquare = f.useDetailedSquare;
    doc.squareDetailDepth = f.squareDetailDepth;
    doc.flagHex = f.flagHex;
    doc.useDetailedHex = withLowByte(doc.useDetailedHex, f.useDetailedHex);
    doc.hexKnot = withLowByte(doc.hexKnot, f.hexKnot);
    doc.hexVariant = f.hexVariant;
    doc.flagSFT = f.flagSFT;
    doc.flagOctFour = f.flagOctFour;
    doc.flagT = f.flagT;
    doc.flagSquareX = f.flagSquareX;
    doc.flagExpA = f.flagExpA;
    // The file has no room for these three: a stale one would outrank the stored flags in the
    // step's order when the file's family is Square.
    doc.flagDuo = doc.flagTWsq = doc.flagSquaret = 0;
    doc.imageOption1 = f.imageOption[0];
    doc.imageOption2 = f.imageOption[1];
    doc.imageOption3 = f.imageOption[2];
    doc.imageOption4 = f.imageOption[3];
    doc.distinctCells.store(f.distinctCells);
    doc.minDistinctCells = f.minDistinctCells;
    doc.stepCount.store(f.stepCount);
    doc.maxSteps = f.maxSteps;
    doc.gridSizeReal = f.gridSizeReal;
    doc.gridSizeInverse = f.gridSizeInverse;
    doc.gridSize = f.gridSize;
    doc.hexSizeA = f.hexSizeA;
    doc.hexSizeB = f.hexSizeB;
    doc.viewPeriod = f.viewPeriod;
    doc.maxDibThird = f.maxDibThird;
    doc.torusX = f.torusX;
    doc.torusY = f.torusY;
    doc.pointX = f.pointX;
    doc.pointY = f.pointY;
    doc.rawX = f.rawX;
    doc.rawY = f.rawY;
}

} // namespace

std::vector<std::uint8_t> StoreSession(CZARN40Doc& doc) {
    std::vector<std::uint8_t> bytes;
    bytes.reserve(session::kDocumentFieldsSize + SqrMap::kRecordSize + HexMap::kRecordSize + 12 +
                  std::size_t{4} * doc.QMap.size * doc.QMap.size + MapSixFourTwelve::kRecordSize +
                  MapThreeTwelve::kRecordSize + doc.cornerMap.RecordSize() + MapExpA::kRecordSize +
                  Palette::kStoredBytes + ColorSetHistory::kSize + ColorC::kStateSize);
    Archive ar(bytes);
    DocumentFields fields = fieldsOf(doc);
    transferFields(ar, fields, session::kMaxGridSide);
    const Records records{
        doc.sqrMap,    doc.hexMap,  doc.QMap,    doc.sftMap,          doc.tMap,
        doc.cornerMap, doc.expAMap, doc.palette, doc.colorSetHistory, doc.colorSet};
    transferRecords(ar, records, {}, fields.gridSize);
    return bytes;
}

void LoadSession(CZARN40Doc& doc, std::span<const std::uint8_t> bytes,
                 std::optional<std::uint64_t> physicalMemory) {
    const std::uint32_t largestSide =
        largestGridSide(physicalMemory ? *physicalMemory : physicalMemoryBytes());
    Archive ar(bytes);
    DocumentFields fields;
    transferFields(ar, fields, largestSide);

    // Each record loads into a copy of the document's object, so what a record leaves alone keeps
    // the document's value; the grid is built afresh from its record.
    SqrMap square = doc.sqrMap;
    HexMap hex = doc.hexMap;
    QuiltMap grid;
    MapSixFourTwelve sft = doc.sftMap;
    MapThreeTwelve t = doc.tMap;
    WildCornerMap corner = doc.cornerMap;
    MapExpA expA = doc.expAMap;
    Palette palette = doc.palette;
    ColorSetHistory history = doc.colorSetHistory;
    ColorC colors = doc.colorSet;
    const Records records{square, hex, grid, sft, t, corner, expA, palette, history, colors};
    transferRecords(ar, records, bytes, fields.gridSize);
    if (ar.remaining() != 0) {
        Archive::fail("end of file", std::to_string(ar.remaining()) +
                                         " bytes follow the colour set, which ends the file");
    }

    // Everything has been read and checked; from here on nothing can fail half-way.
    std::string quiltName = nameString(fields.quiltName);
    std::string sessionName = nameString(fields.sessionName);
    applyFields(fields, doc);
    doc.quiltName.swap(quiltName);
    doc.sessionName.swap(sessionName);
    doc.sqrMap = std::move(square);
    doc.hexMap = std::move(hex);
    doc.QMap = std::move(grid);
    doc.sftMap = std::move(sft);
    doc.tMap = std::move(t);
    doc.cornerMap = std::move(corner);
    doc.expAMap = std::move(expA);
    doc.palette = std::move(palette);
    doc.colorSetHistory = std::move(history);
    doc.colorSet = std::move(colors);
}

std::unique_ptr<CZARN40Doc> OpenSessionFile(const std::string& path, const DocumentOptions& options,
                                            std::string& error) {
    static const std::string kFailed = "Failed to open document. ";
    error.clear();
    std::vector<std::uint8_t> bytes;
    if (const FileResult read = readWholeFile(path, bytes, session::kMaxFileBytes); !read) {
        error = kFailed + read.error;
        return nullptr;
    }
    try {
        auto doc = std::make_unique<CZARN40Doc>(options);
        LoadSession(*doc, bytes, options.physicalMemory);
        doc->title = std::filesystem::path(path).filename().string();
        return doc;
    } catch (const FormatError& e) {
        error = kFailed + "'" + path + "' is not a usable session file: " + e.what();
    } catch (const DocumentError& e) {
        error = kFailed + e.what();
    } catch (const std::bad_alloc&) {
        error = kFailed + "not enough memory for '" + path + "'";
    }
    return nullptr;
}

namespace {

FileResult writeSession(CZARN40Doc& doc, const std::string& path) {
    static const std::string kFailed = "Failed to save document. ";
    std::vector<std::uint8_t> bytes;
    try {
        ScopedPause pause(doc);
        bytes = StoreSession(doc);
    } catch (const std::bad_alloc&) {
        return {kFailed + "not enough memory to store '" + path + "'"};
    }
    if (FileResult written = writeFileAtomically(path, bytes); !written) {
        return {kFailed + written.error};
    }
    return {};
}

} // namespace

FileResult SaveSessionFile(CZARN40Doc& doc, const std::string& path) {
    return writeSession(doc, path);
}

FileResult SaveSession(CZARN40Doc& doc) {
    std::string path;
    {
        // The worker renames the quilt when it replaces a collapsed one.
        ScopedPause pause(doc);
        path = doc.sessionName;
        doc.title = path;
    }
    return writeSession(doc, path);
}

FileResult SaveSessionAs(CZARN40Doc& doc, const std::string& path) {
    if (path.size() >= session::kNameBytes) {
        return {"Failed to save document. the path '" + path + "' is longer than " +
                std::to_string(session::kNameBytes - 1) + " bytes, the most a session can hold"};
    }
    std::string previousName;
    std::string previousTitle;
    {
        ScopedPause pause(doc);
        previousName = std::exchange(doc.sessionName, path);
        previousTitle = std::exchange(doc.title, path);
    }
    FileResult result = writeSession(doc, path);
    if (!result) {
        ScopedPause pause(doc);
        if (doc.sessionName == path) {
            doc.sessionName = std::move(previousName);
            doc.title = std::move(previousTitle);
        }
    }
    return result;
}

} // namespace zarn
