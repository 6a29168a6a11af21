#include "DocumentJson.h"

#include "document/CZARN40Doc.h"
#include "render/ColorSetRecord.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace zarn::cli {

namespace {

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

void writeFamilyCoefficients(JsonWriter& json, CZARN40Doc& doc) {
    switch (doc.CurrentFamily()) {
    case MapFamily::Square:
        break; // the square block is always written
    case MapFamily::Oct_Four: {
        const New84& m = doc.octFourMap;
        json.beginObject("octFour");
        writePlainSet(json, "second", m.lambda2, m.alpha2, m.beta2, m.gamma2, m.omega2);
        writeFlat(json, "coef2", m.coef2);
        json.value("regionScale", m.regionScale);
        json.endObject();
        break;
    }
    case MapFamily::Squaret: {
        const SqrMapt& m = doc.sqrMapt;
        json.beginObject("squaret");
        json.numbers("setA", m.setA.data(), m.setA.size());
        json.numbers("setB", m.setB.data(), m.setB.size());
        json.value("emmA", m.emmA).value("emmB", m.emmB);
        json.value("offX", m.offX).value("offY", m.offY);
        writeFlat(json, "matrixA", m.matrixA);
        writeFlat(json, "matrixB", m.matrixB);
        json.endObject();
        break;
    }
    case MapFamily::ExpA:
        writeExpAMap(json, doc.expAMap);
        break;
    case MapFamily::SFT:
        writeSftMap(json, doc.sftMap);
        break;
    case MapFamily::T:
        writeTMap(json, doc.tMap);
        break;
    case MapFamily::Hex:
        writeHexMap(json, doc.hexMap);
        break;
    case MapFamily::SquareX:
        writeCornerMap(json, doc.cornerMap);
        break;
    case MapFamily::TWsq: {
        const TwsqMap& m = doc.twsqMap;
        json.beginObject("twsq");
        json.numbers("coefficients", m.twsqCoefs.data(), 9);
        json.endObject();
        break;
    }
    case MapFamily::Duo: {
        const DuoMap& m = doc.duoMap;
        json.beginObject("duo");
        const double start[3] = {m.sphere.e1, m.sphere.e2, m.sphere.e3};
        json.numbers("point", start, 3);
        json.value("radialWeights", static_cast<std::uint64_t>(m.radialWeights.size()));
        json.endObject();
        break;
    }
    }
}

} // namespace

void writeDocumentState(JsonWriter& json, CZARN40Doc& doc) {
    json.value("family", std::string(familyName(doc.CurrentFamily())));
    json.value("quiltName", doc.quiltName);
    json.value("sessionName", doc.sessionName);
    json.value("ptesName", doc.ptesName);
    json.value("windowName", doc.windowName);
    json.value("stepCount", static_cast<std::uint64_t>(doc.stepCount.load()));
    json.value("maxSteps", static_cast<std::uint64_t>(doc.maxSteps));
    json.value("gridSize", static_cast<std::uint64_t>(doc.QMap.size));
    json.value("distinctCells", doc.distinctCells.load());
    json.value("maxCount", static_cast<std::uint64_t>(doc.QMap.maxCount));
    json.value("totalHits", doc.QMap.TotalHits());
    json.value("viewPeriod", static_cast<int>(doc.viewPeriod));
    json.value("useDetailedSquare", static_cast<int>(doc.useDetailedSquare));
    json.value("useDetailedHex", doc.useDetailedHex);
    json.value("hexKnot", doc.hexKnot);
    json.beginObject("replacedQuilts");
    json.value("collapsed", static_cast<std::uint64_t>(doc.collapsedReplacements.load()));
    json.value("nonFinite", static_cast<std::uint64_t>(doc.invalidReplacements.load()));
    json.endObject();
    writeSquare(json, doc.sqrMap);
    writeFamilyCoefficients(json, doc);
}

void writeSessionInfo(JsonWriter& json, CZARN40Doc& doc) {
    json.beginObject("document");
    json.value("finished", static_cast<int>(doc.finished.load()));
    json.value("running", static_cast<int>(doc.running.load()));
    json.value("converged", static_cast<int>(doc.converged.load()));
    json.value("useRandomSettings", doc.useRandomSettings);
    json.value("useDetailedSquare", static_cast<int>(doc.useDetailedSquare));
    json.value("squareDetailDepth", static_cast<int>(doc.squareDetailDepth));
    json.value("flagHex", static_cast<int>(doc.flagHex));
    json.value("useDetailedHex", doc.useDetailedHex);
    json.value("hexKnot", doc.hexKnot);
    json.value("hexVariant", static_cast<int>(doc.hexVariant));
    json.value("flagSFT", static_cast<int>(doc.flagSFT));
    json.value("flagOctFour", static_cast<int>(doc.flagOctFour));
    json.value("flagT", static_cast<int>(doc.flagT));
    json.value("flagSquareX", static_cast<int>(doc.flagSquareX));
    json.value("flagExpA", static_cast<int>(doc.flagExpA));
    json.value("imageOption1", static_cast<int>(doc.imageOption1));
    json.value("imageOption2", static_cast<int>(doc.imageOption2));
    json.value("imageOption3", static_cast<int>(doc.imageOption3));
    json.value("imageOption4", static_cast<int>(doc.imageOption4));
    json.value("distinctCells", doc.distinctCells.load());
    json.value("minDistinctCells", doc.minDistinctCells);
    json.value("stepCount", static_cast<std::uint64_t>(doc.stepCount.load()));
    json.value("maxSteps", static_cast<std::uint64_t>(doc.maxSteps));
    json.value("gridSizeReal", doc.gridSizeReal);
    json.value("gridSizeInverse", doc.gridSizeInverse);
    json.value("gridSize", doc.gridSize);
    json.value("hexSizeA", doc.hexSizeA);
    json.value("hexSizeB", doc.hexSizeB);
    json.value("quiltName", doc.quiltName);
    json.value("sessionName", doc.sessionName);
    json.value("viewPeriod", static_cast<int>(doc.viewPeriod));
    json.value("maxDibThird", doc.maxDibThird);
    json.value("torusX", doc.torusX).value("torusY", doc.torusY);
    json.value("pointX", doc.pointX).value("pointY", doc.pointY);
    json.value("rawX", doc.rawX).value("rawY", doc.rawY);
    json.endObject();

    json.value("family", std::string(familyName(doc.CurrentFamily())));
    writeSquare(json, doc.sqrMap);
    writeHexMap(json, doc.hexMap);
    writeSftMap(json, doc.sftMap);
    writeTMap(json, doc.tMap);
    writeCornerMap(json, doc.cornerMap);
    writeExpAMap(json, doc.expAMap);

    json.beginObject("grid");
    json.value("size", static_cast<std::uint64_t>(doc.QMap.size));
    json.value("maxCount", static_cast<std::uint64_t>(doc.QMap.maxCount));
    json.value("totalHits", doc.QMap.TotalHits());
    json.value("nonZeroCells", static_cast<std::uint64_t>(doc.QMap.CountNonZero()));
    json.endObject();

    json.beginObject("palette");
    auto entry = [&](std::string_view key, int i) {
        const PaletteEntry& e = doc.palette[static_cast<std::size_t>(i)];
        const double rgb[3] = {static_cast<double>(e.red), static_cast<double>(e.green),
                               static_cast<double>(e.blue)};
        json.numbers(key, rgb, 3);
    };
    entry("first", 0);
    entry("middle", 1999);
    entry("last", 3998);
    json.endObject();

    json.beginObject("colorHistory");
    json.value("current", doc.colorSetHistory.current);
    json.beginArray("committed");
    for (const ColorSetRecord& r : doc.colorSetHistory.records) {
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
    writeColorRecord(json, doc.colorSet.makeRecord(0, -1));
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

} // namespace zarn::cli
