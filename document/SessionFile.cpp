#include "SessionFile.h"

#include "CZARN40Doc.h"
#include "DocumentFields.h"
#include "MemorySizing.h"
#include "QuiltOps.h"
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

/** Reads or writes the fields through an archive, applying the list's checks when loading. */
class FieldArchive {
public:
    explicit FieldArchive(Archive& ar) : ar_(ar), loading_(ar.isLoading()) {}

    void flag(std::uint8_t& v, const char* field) {
        ar_.io(v, field);
        if (loading_ && v > 1) {
            Archive::fail(field, std::to_string(v) + " is neither 0 nor 1");
        }
    }
    // The step, the auto names and the random set-up used to test the flags in different
    // orders; they agree only while at most one is set.
    void familyFlag(std::uint8_t& v, const char* field) {
        flag(v, field);
        if (loading_ && v != 0) {
            if (familySet_ != nullptr) {
                Archive::fail(field, std::string("a second family flag is set (") + familySet_ +
                                         " is set too)");
            }
            familySet_ = field;
        }
    }
    template <typename T> void value(T& v, const char* field) { ar_.io(v, field); }
    void finite(double& v, const char* field) {
        ar_.io(v, field);
        if (loading_) {
            requireFinite(v, field);
        }
    }
    void name(NameBuffer& buffer, const char* field) {
        ar_.ioBytes(buffer.data(), buffer.size(), field);
        if (loading_ && std::memchr(buffer.data(), 0, buffer.size()) == nullptr) {
            Archive::fail(field, "no NUL terminator within its " + std::to_string(buffer.size()) +
                                     " bytes");
        }
    }
    void pad(std::size_t count, const char* field) { ar_.pad(count, field); }
    template <typename Why> void require(bool ok, const char* field, Why&& why) {
        if (loading_ && !ok) {
            Archive::fail(field, why());
        }
    }

private:
    Archive& ar_;
    bool loading_;
    const char* familySet_ = nullptr;
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

/** The largest grid side whose cells (margin included) fit in half of @p physicalMemory. */
std::uint32_t largestGridSide(std::uint64_t physicalMemory) {
    if (physicalMemory == 0) {
        return kMaxSessionGridSide;
    }
    const std::uint64_t half = physicalMemory / 2;
    std::uint32_t n = kMaxSessionGridSide;
    while (n > 0) {
        const std::uint64_t side = std::uint64_t{n} + QuiltMap::kMargin;
        if (side * side * sizeof(std::uint32_t) <= half) {
            break;
        }
        --n;
    }
    return n;
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

} // namespace

std::vector<std::uint8_t> StoreSession(QuiltState& s) {
    std::vector<std::uint8_t> bytes;
    bytes.reserve(session::kDocumentFieldsSize + SqrMap::kRecordSize + HexMap::kRecordSize + 12 +
                  std::size_t{4} * s.QMap.size * s.QMap.size + MapSixFourTwelve::kRecordSize +
                  MapThreeTwelve::kRecordSize + s.cornerMap.RecordSize() + MapExpA::kRecordSize +
                  Palette::kStoredBytes + ColorSetHistory::kSize + ColorC::kStateSize);
    Archive ar(bytes);
    DocumentFields fields = fieldsOf(s);
    FieldArchive fieldArchive(ar);
    visitDocumentFields(fieldArchive, fields, kMaxSessionGridSide);
    const Records records{s.sqrMap,    s.hexMap,  s.QMap,    s.sftMap,          s.tMap,
                          s.cornerMap, s.expAMap, s.palette, s.colorSetHistory, s.colorSet};
    transferRecords(ar, records, {}, fields.gridSize);
    return bytes;
}

void LoadSession(QuiltState& s, std::span<const std::uint8_t> bytes,
                 std::optional<std::uint64_t> physicalMemory) {
    const std::uint32_t largestSide =
        largestGridSide(physicalMemory ? *physicalMemory : physicalMemoryBytes());
    Archive ar(bytes);
    DocumentFields fields;
    FieldArchive fieldArchive(ar);
    visitDocumentFields(fieldArchive, fields, largestSide);

    // Each record loads into a copy of the document's object, so what a record leaves alone keeps
    // the document's value; the grid is built afresh from its record.
    SqrMap square = s.sqrMap;
    HexMap hex = s.hexMap;
    QuiltMap grid;
    MapSixFourTwelve sft = s.sftMap;
    MapThreeTwelve t = s.tMap;
    WildCornerMap corner = s.cornerMap;
    MapExpA expA = s.expAMap;
    Palette palette = s.palette;
    ColorSetHistory history = s.colorSetHistory;
    ColorC colors = s.colorSet;
    const Records records{square, hex, grid, sft, t, corner, expA, palette, history, colors};
    transferRecords(ar, records, bytes, fields.gridSize);
    if (ar.remaining() != 0) {
        Archive::fail("end of file", std::to_string(ar.remaining()) +
                                         " bytes follow the colour set, which ends the file");
    }

    // Everything has been read and checked; from here on nothing can fail half-way. The square
    // and hexagonal records own the detail and knot settings and the hexagonal period, the grid
    // record the grid's size: the document's copies of them in fields 5 to 9 and 24 to 28 are
    // checked above but not kept.
    QuiltStatus& st = s.status;
    st.finished.store(fields.finished);
    st.running.store(fields.running);
    st.converged.store(fields.converged);
    st.distinctCells.store(fields.distinctCells);
    st.stepCount.store(fields.stepCount);
    st.maxSteps.store(fields.maxSteps);
    s.useRandomSettings = static_cast<int>((static_cast<unsigned>(s.useRandomSettings) & ~0xFFu) |
                                           fields.useRandomSettings);
    s.family = fields.family();
    s.hexVariant = fields.hexVariant;
    s.imageOption = fields.imageOption;
    s.minDistinctCells = fields.minDistinctCells;
    s.viewPeriod = fields.viewPeriod;
    s.maxDibThird = fields.maxDibThird;
    unpackViewWord(s, fields.views);
    s.torusX = fields.torusX;
    s.torusY = fields.torusY;
    s.pointX = fields.pointX;
    s.pointY = fields.pointY;
    s.rawX = fields.rawX;
    s.rawY = fields.rawY;
    s.names.quiltName = nameString(fields.quiltName);
    s.names.sessionName = nameString(fields.sessionName);
    s.sqrMap = std::move(square);
    s.hexMap = std::move(hex);
    s.QMap = std::move(grid);
    st.maxCount.store(s.QMap.maxCount);
    s.sftMap = std::move(sft);
    s.tMap = std::move(t);
    s.cornerMap = std::move(corner);
    s.expAMap = std::move(expA);
    s.palette = std::move(palette);
    s.colorSetHistory = std::move(history);
    s.colorSet = std::move(colors);
    // The file holds one orbit: any others start afresh from its quilt.
    s.orbits.clear();
    CoefficientsChanged(s);
}

std::string SessionFileLimit(MapFamily family) {
    switch (family) {
    case MapFamily::Oct_Four:
        return "A session file does not keep the Oct_Four map's coefficients: reopened, the "
               "quilt shows this grid, but further steps follow other coefficients.";
    case MapFamily::TWsq:
    case MapFamily::Squaret:
    case MapFamily::Duo:
        return "A session file has no room for the " + std::string(familyName(family)) +
               " family: reopened, the quilt is a Square quilt with this grid, and further "
               "steps follow the square map.";
    default:
        return {};
    }
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
        {
            ScopedPause pause(*doc);
            QuiltState& s = doc->State(pause);
            LoadSession(s, bytes, options.physicalMemory);
            s.title = std::filesystem::path(path).filename().string();
        }
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
        bytes = StoreSession(doc.State(pause));
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
        QuiltState& s = doc.State(pause);
        path = s.names.sessionName;
        s.title = path;
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
        QuiltState& s = doc.State(pause);
        previousName = std::exchange(s.names.sessionName, path);
        previousTitle = std::exchange(s.title, path);
    }
    FileResult result = writeSession(doc, path);
    if (!result) {
        ScopedPause pause(doc);
        QuiltState& s = doc.State(pause);
        if (s.names.sessionName == path) {
            s.names.sessionName = std::move(previousName);
            s.title = std::move(previousTitle);
        }
    }
    return result;
}

} // namespace zarn
