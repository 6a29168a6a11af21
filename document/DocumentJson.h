#pragma once

#include "document/Json.h"

namespace zarn {

struct QuiltState;
struct ColorSetRecord;
class SqrMap;
class New84;
class SqrMapt;
class HexMap;
class MapSixFourTwelve;
class MapThreeTwelve;
class WildCornerMap;
class MapExpA;
class TwsqMap;
class DuoMap;

/** The quilt after a run: family, coefficients of the square map and of the current family,
 *  counters, names, view period. */
void writeDocumentState(JsonWriter& json, const QuiltState& s);
/** Everything a session file holds: the document's fields by name (the same list the file
 *  uses), each stored map record's meaningful values, the grid, and summaries of the palette and
 *  colour history. */
void writeSessionInfo(JsonWriter& json, const QuiltState& s);
/** A colour set record's fields. */
void writeColorRecord(JsonWriter& json, const ColorSetRecord& record);

// One object per map, keyed by the map's short name ("square", "hex", ...).
void writeSquare(JsonWriter& json, const SqrMap& m);
void writeOctFourMap(JsonWriter& json, const New84& m);
void writeSquaretMap(JsonWriter& json, const SqrMapt& m);
void writeHexMap(JsonWriter& json, const HexMap& m);
void writeSftMap(JsonWriter& json, const MapSixFourTwelve& m);
void writeTMap(JsonWriter& json, const MapThreeTwelve& m);
void writeCornerMap(JsonWriter& json, const WildCornerMap& m);
void writeExpAMap(JsonWriter& json, const MapExpA& m);
void writeTwsqMap(JsonWriter& json, const TwsqMap& m);
void writeDuoMap(JsonWriter& json, const DuoMap& m);

} // namespace zarn
