#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace zarn {

/** Result of a file operation: empty error means success. */
struct FileResult {
    std::string error;
    explicit operator bool() const { return error.empty(); }
};

/**
 * Reads a whole file into @p out. Fails, leaving @p out empty, when the file cannot be opened or
 * read, or is larger than @p maxBytes (a guard against absurd inputs).
 */
FileResult readWholeFile(const std::string& path, std::vector<std::uint8_t>& out,
                         std::size_t maxBytes = std::size_t{1} << 32);

/**
 * Writes @p bytes to @p path so that a failure never destroys the previous file: the bytes go to a
 * temporary file in the same folder, which is flushed and synced and only then renamed over the
 * target. On any error the temporary file is removed and the target is as it was.
 */
FileResult writeFileAtomically(const std::string& path, const std::vector<std::uint8_t>& bytes);

/** Where writeFileAtomically writes its bytes; replaceable so tests can simulate a full disk.
 *  Returns false (and sets @p error) when a write fails. */
using ChunkWriter =
    std::function<bool(int fd, const std::uint8_t* data, std::size_t size, std::string& error)>;
void setChunkWriterForTesting(ChunkWriter writer);

} // namespace zarn
