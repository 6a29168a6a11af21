#include "DocumentJson.h"

#include "document/CZARN40Doc.h"
#include "render/ColorSetRecord.h"

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
