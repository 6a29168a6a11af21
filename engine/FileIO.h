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
 * temporary file with a short name of its own in the same folder (".zarn-" and six characters, so
 * any name the folder takes will do), which is flushed and synced and only then renamed over the
 * target. On any error the temporary file is removed and the target is as it was. A symbolic link
 * is followed, so the file it names is replaced and the link stays. A target that exists and is
 * not a regular file (a device such as /dev/stdout, a pipe) is written straight into.
 *
 * @p path is a byte string and is used exactly as given, whatever its encoding. Errors name the
 * file and the reason: "cannot write 'a.png': No space left on device".
 */
FileResult writeFileAtomically(const std::string& path, const std::uint8_t* data, std::size_t size);
FileResult writeFileAtomically(const std::string& path, const std::vector<std::uint8_t>& bytes);

/**
 * Checks, without touching the target, that writeFileAtomically(@p path) can put a file there: no
 * name in the path and not the path as a whole is too long for the system, the target is not a
 * folder, and its folder exists and takes a new file (tried by creating and removing one). Meant
 * for the start of long work, so that its result is not lost to a mistyped name.
 */
FileResult checkWritableTarget(const std::string& path);

/**
 * Why @p path is too long, naming the part ("the file name 'abc…' has 300 bytes, at most 255
 * here", "the path has 5000 bytes, at most 4095"); empty when every part fits.
 */
std::string pathLengthProblem(const std::string& path);

/** Where writeFileAtomically writes its bytes; replaceable so tests can simulate a full disk.
 *  Returns false (and sets @p error) when a write fails. */
using ChunkWriter =
    std::function<bool(int fd, const std::uint8_t* data, std::size_t size, std::string& error)>;
void setChunkWriterForTesting(ChunkWriter writer);

} // namespace zarn
