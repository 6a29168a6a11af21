#pragma once

#include "document/DocumentFields.h"
#include "engine/FileIO.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace zarn {

class CZARN40Doc;
struct DocumentOptions;
struct QuiltState;

/**
 * The session file: one quilt's whole state as a flat little-endian record with no header: the
 * document's status, options, family flags, counters and names (744 bytes), then the records of
 * the square, hexagonal, grid, 4.6.12, 3.12.12 and wild-corner maps, the ExpA block, the first
 * 15998 bytes of the palette, the colour-set history and the colour set's image. The layout and
 * every rule a reader applies are in docs/session-format.md, "Session files".
 */
namespace session {
/** Bytes of the document's own fields (1 to 37) before the first map record. */
inline constexpr std::size_t kDocumentFieldsSize = 744;
inline constexpr std::size_t kNameBytes = kSessionNameBytes;
inline constexpr std::uint32_t kMaxGridSide = kMaxSessionGridSide;
/** The largest a valid file can be: a 4000 grid and a wild corner with N = 42 at depth 12. */
extern const std::size_t kMaxFileBytes;
} // namespace session

/**
 * The session bytes of @p s. The caller holds the document's pause; storing refreshes the grid's
 * maximum count, as the grid record always does. A name longer than 299 bytes is cut to 299
 * bytes.
 */
std::vector<std::uint8_t> StoreSession(QuiltState& s);

/**
 * Reads @p bytes into @p s. Every field is checked as it is read and the first that is short or
 * unusable throws FormatError naming it ("gridSize: 70000 is outside 1..4000"); the state is
 * then exactly as it was, because everything is read into copies and assigned only once the whole
 * file has passed. On success every stored field is replaced, the family becomes the one the
 * flags name (Square when none is set: the file cannot name Duo, TWsq or Squaret) and
 * everything else (the Oct_Four, Squaret, TWsq and Duo maps, the view settings) is left alone.
 * The square and hexagonal records decide the detail and knot settings, the grid record the
 * grid's size.
 *
 * The caller holds the document's pause. @p physicalMemory is the memory a grid may use half of
 * (the machine's when empty, no limit when 0).
 */
void LoadSession(QuiltState& s, std::span<const std::uint8_t> bytes,
                 std::optional<std::uint64_t> physicalMemory = std::nullopt);

/**
 * What a session file of a @p family quilt cannot keep, as a sentence for the user (saved after
 * the save went through); empty when a reopened quilt goes on exactly as the saved one would. The
 * file has no room for the Oct_Four, Squaret, TWsq and Duo maps, nor for the last three families'
 * flags.
 */
std::string SessionFileLimit(MapFamily family);

/**
 * File Open: reads @p path (at most session::kMaxFileBytes), builds a fresh document from
 * @p options and loads the file into it. Returns the document only when the whole file was read
 * and checked; otherwise returns null and sets @p error to "Failed to open document. " and a
 * reason that names the file and the first bad field. The document's title is the file's name and
 * its worker has not run: OnOpenedDocument (or the first command) starts it, and it goes on from
 * the stored stepCount with the stored grid.
 */
std::unique_ptr<CZARN40Doc> OpenSessionFile(const std::string& path, const DocumentOptions& options,
                                            std::string& error);

/**
 * Stores @p doc under a pause (which starts a worker that has not run yet) and writes the bytes to
 * @p path through a temporary file, so a failure leaves any previous file as it was. On failure
 * the result reads "Failed to save document. " and the reason.
 */
FileResult SaveSessionFile(CZARN40Doc& doc, const std::string& path);

/** Save Session: sets the title to sessionName and saves to sessionName (a bare name is relative
 *  to the current directory). */
FileResult SaveSession(CZARN40Doc& doc);

/**
 * Save Session As: makes @p path the document's sessionName and title and saves to it. A path
 * that does not fit the 300-byte name buffer is refused before anything changes; when the write
 * fails the previous sessionName and title come back.
 */
FileResult SaveSessionAs(CZARN40Doc& doc, const std::string& path);

} // namespace zarn
