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
/** Everything a session file holds, as read into @p doc: the document's fields by name, each map
 *  record's meaningful values, the grid, and summaries of the palette and colour history. */
void writeSessionInfo(JsonWriter& json, CZARN40Doc& doc);
/** A colour set record's fields. */
void writeColorRecord(JsonWriter& json, const ColorSetRecord& record);

} // namespace zarn::cli
