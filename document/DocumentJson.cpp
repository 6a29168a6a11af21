#include "DocumentJson.h"

#include "document/DocumentFields.h"
#include "document/Families.h"
#include "document/QuiltState.h"
#include "render/ColorSetRecord.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace zarn {

namespace {

void writeComplex(JsonWriter& json, std::string_view key, Complex c) {
    const double pair[2] = {c.re, c.im};
    json.numbers(key, pair, 2);
}

void writeComplexList(JsonWriter& json, std::string_view key, const Complex* values,
                      std::size_t count) {
    json.beginArray(key);
    for (std::size_t i = 0; i < count; ++i) {
        writeComplex(json, {}, values[i]);
    }
    json.endArray();
}

void writeFlat(JsonWriter& json, std::string_view key, const FlatMatrix& m) {
    json.beginArray(key);
    for (std::uint32_t i = 0; i < m.rows && i < FlatMatrix::kSide; ++i) {
        double row[FlatMatrix::kSide] = {};
        for (std::uint32_t j = 0; j < m.cols && j < FlatMatrix::kSide; ++j) {
            row[j] = m.at(static_cast<int>(i), static_cast<int>(j));
        }
        json.numbers({}, row, std::min(m.cols, FlatMatrix::kSide));
    }
    json.endArray();
}

void writePlainSet(JsonWriter& json, std::string_view key, double l, double a, double b, double g,
                   double o) {
    json.beginObject(key);
    json.value("lambda", l).value("alpha", a).value("beta", b).value("gamma", g).value("omega", o);
    json.endObject();
}

/** Writes each document field under its name, as the session file lists them. */
class FieldWriter {
public:
    explicit FieldWriter(JsonWriter& json) : json_(json) {}
    void flag(std::uint8_t& v, const char* name) { json_.value(name, static_cast<int>(v)); }
    void familyFlag(std::uint8_t& v, const char* name) { flag(v, name); }
    void value(std::uint8_t& v, const char* name) { json_.value(name, static_cast<int>(v)); }
    void value(std::uint16_t& v, const char* name) { json_.value(name, static_cast<int>(v)); }
    void value(std::int32_t& v, const char* name) { json_.value(name, static_cast<int>(v)); }
    void value(std::uint32_t& v, const char* name) {
        json_.value(name, static_cast<std::uint64_t>(v));
    }
    void value(double& v, const char* name) { json_.value(name, v); }
    void finite(double& v, const char* name) { json_.value(name, v); }
    void name(NameBuffer& v, const char* name) { json_.value(name, nameString(v)); }
    void pad(std::size_t, const char*) {}
    template <typename Why> void require(bool, const char*, Why&&) {}

private:
    JsonWriter& json_;
};

} // namespace

void writeSquare(JsonWriter& json, const SqrMap& m) {
    json.beginObject("square");
    json.value("lambda", m.lambda).value("alpha", m.alpha).value("beta", m.beta);
    json.value("gamma", m.gamma).value("omega", m.omega);
    json.value("emm", m.emm).value("offX", m.offX).value("offY", m.offY);
    json.value("depth", static_cast<int>(m.depth)).value("detail", static_cast<int>(m.detail));
    json.beginArray("coef");
    for (const auto& row : m.coef) {
        json.numbers({}, row.data(), row.size());
    }
    json.endArray();
    json.endObject();
}

void writeHexMap(JsonWriter& json, const HexMap& m) {
    json.beginObject("hex");
    writeComplex(json, "lambda", m.lambda);
    writeComplex(json, "alpha", m.alpha);
    json.value("hAlpha", m.hAlpha).value("hEmm", m.hEmm);
    json.value("detailOn", m.detailOn)
        .value("knotOn", m.knotOn)
        .value("detailDepth", m.detailDepth);
    json.value("periodWidth", m.periodWidth).value("periodHeight", m.periodHeight);
    if (m.detailOn) {
        std::array<Complex, HexMap::kDetailOrbits> base{};
        for (int i = 0; i < HexMap::kDetailOrbits; ++i) {
            base[static_cast<std::size_t>(i)] = m.detailCoefs[0][static_cast<std::size_t>(i)];
        }
        writeComplexList(json, "detailCoefficients", base.data(), base.size());
    }
    json.endObject();
}

void writeSftMap(JsonWriter& json, const MapSixFourTwelve& m) {
    json.beginObject("sft");
    writeComplexList(json, "squareA", m.squareA.data(), m.squareA.size());
    writeComplexList(json, "squareB", m.squareB.data(), m.squareB.size());
    writeComplexList(json, "hexA", m.hexA.data(), m.hexA.size());
    writeComplexList(json, "hexB", m.hexB.data(), m.hexB.size());
    writeComplexList(json, "dodecaA", m.dodecaA.data(), m.dodecaA.size());
    writeComplexList(json, "dodecaB", m.dodecaB.data(), m.dodecaB.size());
    json.endObject();
}

void writeTMap(JsonWriter& json, const MapThreeTwelve& m) {
    json.beginObject("t");
    writeComplexList(json, "triA", m.triA.data(), m.triA.size());
    writeComplexList(json, "triB", m.triB.data(), m.triB.size());
    writeComplexList(json, "dodecaA", m.dodecaA.data(), m.dodecaA.size());
    writeComplexList(json, "dodecaB", m.dodecaB.data(), m.dodecaB.size());
    json.endObject();
}

void writeCornerMap(JsonWriter& json, const WildCornerMap& m) {
    json.beginObject("wildCorner");
    json.value("cornerN", m.cornerN).value("rows", m.rotationCount).value("depth", m.orbitCount);
    writeComplexList(json, "coefficients", m.cornerCoefs.data(),
                     std::min<std::size_t>(WildCornerMap::kHarmonics, m.cornerCoefs.size()));
    json.endObject();
}

void writeExpAMap(JsonWriter& json, const MapExpA& m) {
    json.beginObject("expA");
    json.beginArray("drawnPairs");
    for (std::size_t r = 0; r < static_cast<std::size_t>(MapExpA::kDrawnRows); ++r) {
        const double pair[2] = {m.ampX1[r][0], m.ampY1[r][0]};
        json.numbers({}, pair, 2);
    }
    json.endArray();
    json.endObject();
}

void writeOctFourMap(JsonWriter& json, const New84& m) {
    json.beginObject("octFour");
    writePlainSet(json, "second", m.lambda2, m.alpha2, m.beta2, m.gamma2, m.omega2);
    writeFlat(json, "coef2", m.coef2);
    json.value("regionScale", m.regionScale);
    json.endObject();
}

void writeSquaretMap(JsonWriter& json, const SqrMapt& m) {
    json.beginObject("squaret");
    json.numbers("setA", m.setA.data(), m.setA.size());
    json.numbers("setB", m.setB.data(), m.setB.size());
    json.value("emmA", m.emmA).value("emmB", m.emmB);
    json.value("offX", m.offX).value("offY", m.offY);
    writeFlat(json, "matrixA", m.matrixA);
    writeFlat(json, "matrixB", m.matrixB);
    json.endObject();
}

void writeTwsqMap(JsonWriter& json, const TwsqMap& m) {
    json.beginObject("twsq");
    json.numbers("coefficients", m.twsqCoefs.data(), 9);
    json.endObject();
}

void writeDuoMap(JsonWriter& json, const DuoMap& m) {
    json.beginObject("duo");
    const double start[3] = {m.sphere.e1, m.sphere.e2, m.sphere.e3};
    json.numbers("point", start, 3);
    json.value("radialWeights", static_cast<std::uint64_t>(m.radialWeights.size()));
    json.endObject();
}

void writeDocumentState(JsonWriter& json, const QuiltState& s) {
    const QuiltStatus& st = s.status;
    json.value("family", std::string(familyName(s.family)));
    json.value("quiltName", s.names.quiltName);
    json.value("sessionName", s.names.sessionName);
    json.value("ptesName", s.names.ptesName);
    json.value("windowName", s.names.windowName);
    json.value("stepCount", static_cast<std::uint64_t>(st.stepCount.load()));
    json.value("maxSteps", static_cast<std::uint64_t>(st.maxSteps.load()));
    json.value("gridSize", static_cast<std::uint64_t>(s.QMap.size));
    json.value("distinctCells", st.distinctCells.load());
    json.value("maxCount", static_cast<std::uint64_t>(s.QMap.maxCount));
    json.value("totalHits", s.QMap.TotalHits());
    json.value("viewPeriod", static_cast<int>(s.viewPeriod));
    json.value("view", std::string(s.polyView != 0 ? "poly" : s.quaziView != 0 ? "quazi" : "tile"));
    json.value("useDetailedSquare", s.useDetailedSquare() ? 1 : 0);
    json.value("useDetailedHex", s.useDetailedHex() ? 1 : 0);
    json.value("hexKnot", s.hexKnot() ? 1 : 0);
    json.beginObject("replacedQuilts");
    json.value("collapsed", static_cast<std::uint64_t>(st.collapsedReplacements.load()));
    json.value("nonFinite", static_cast<std::uint64_t>(st.invalidReplacements.load()));
    json.endObject();
    writeSquare(json, s.sqrMap);
    withFamily(s.family, [&](auto traits) { decltype(traits)::writeCoefficients(json, s); });
}

void writeSessionInfo(JsonWriter& json, const QuiltState& s) {
    json.beginObject("document");
    DocumentFields fields = fieldsOf(s);
    FieldWriter writer(json);
    visitDocumentFields(writer, fields, kMaxSessionGridSide);
    json.endObject();

    json.value("family", std::string(familyName(s.family)));
    writeSquare(json, s.sqrMap);
    writeHexMap(json, s.hexMap);
    writeSftMap(json, s.sftMap);
    writeTMap(json, s.tMap);
    writeCornerMap(json, s.cornerMap);
    writeExpAMap(json, s.expAMap);

    json.beginObject("grid");
    json.value("size", static_cast<std::uint64_t>(s.QMap.size));
    json.value("maxCount", static_cast<std::uint64_t>(s.QMap.maxCount));
    json.value("totalHits", s.QMap.TotalHits());
    json.value("nonZeroCells", static_cast<std::uint64_t>(s.QMap.CountNonZero()));
    json.endObject();

    json.beginObject("palette");
    auto entry = [&](std::string_view key, int i) {
        const PaletteEntry& e = s.palette[static_cast<std::size_t>(i)];
        const double rgb[3] = {static_cast<double>(e.red), static_cast<double>(e.green),
                               static_cast<double>(e.blue)};
        json.numbers(key, rgb, 3);
    };
    entry("first", 0);
    entry("middle", 1999);
    entry("last", 3998);
    json.endObject();

    json.beginObject("colorHistory");
    json.value("current", s.colorSetHistory.current);
    json.beginArray("committed");
    for (const ColorSetRecord& r : s.colorSetHistory.records) {
        if (r.valid) {
            json.beginObject();
            json.value("sequence", r.sequence);
            json.value("name", std::string(r.name.data(), strnlen(r.name.data(), r.name.size())));
            json.endObject();
        }
    }
    json.endArray();
    json.endObject();

    json.beginObject("colorSet");
    writeColorRecord(json, s.colorSet.makeRecord(0, -1));
    json.endObject();
}

void writeColorRecord(JsonWriter& json, const ColorSetRecord& r) {
    json.beginArray("colors");
    for (int k = 0; k < ColorSetRecord::kColors; ++k) {
        json.beginObject();
        json.value("red", r.red[k]).value("green", r.green[k]).value("blue", r.blue[k]);
        json.value("percent", r.percent[k]).value("fraction", r.fraction[k]);
        json.flag("fixed", r.fixed[k] != 0);
        json.endObject();
    }
    json.endArray();
    json.flag("useColors34", r.useColors34 != 0);
    json.flag("useColors56", r.useColors56 != 0);
    json.value("increment", r.increment);
    json.value("total", r.total);
    json.value("name", std::string(r.name.data(), strnlen(r.name.data(), r.name.size())));
}

} // namespace zarn
