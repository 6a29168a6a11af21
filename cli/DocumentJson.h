#pragma once

#include "Json.h"

namespace zarn {
class CZARN40Doc;
class ColorC;
struct ColorSetRecord;
} // namespace zarn

namespace zarn::cli {

/** The document's state after a run: family, coefficients, counters, names, view period. */
void writeDocumentState(JsonWriter& json, CZARN40Doc& doc);
/** A colour set record's fields. */
void writeColorRecord(JsonWriter& json, const ColorSetRecord& record);

} // namespace zarn::cli
