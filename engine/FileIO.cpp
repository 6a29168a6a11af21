#include "FileIO.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace zarn {

namespace {

std::string systemError(const std::string& what, const std::string& path) {
    return what + " '" + path + "': " + std::strerror(errno);
}

bool writeAll(int fd, const std::uint8_t* data, std::size_t size, std::string& error) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            error = std::strerror(errno);
            return false;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

ChunkWriter& chunkWriter() {
    static ChunkWriter writer = writeAll;
    return writer;
}

} // namespace

void setChunkWriterForTesting(ChunkWriter writer) {
    chunkWriter() = writer ? std::move(writer) : writeAll;
}

FileResult readWholeFile(const std::string& path, std::vector<std::uint8_t>& out,
                         std::size_t maxBytes) {
    out.clear();
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return {systemError("cannot open", path)};
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return {"'" + path + "' is not a regular file"};
    }
    if (static_cast<std::uint64_t>(st.st_size) > maxBytes) {
        ::close(fd);
        return {"'" + path + "' is too large (" + std::to_string(st.st_size) + " bytes)"};
    }
    out.resize(static_cast<std::size_t>(st.st_size));
    std::size_t done = 0;
    while (done < out.size()) {
        const ssize_t n = ::read(fd, out.data() + done, out.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            const std::string error = n < 0 ? systemError("cannot read", path)
                                            : "'" + path + "' changed while it was read";
            ::close(fd);
            out.clear();
            return {error};
        }
        done += static_cast<std::size_t>(n);
    }
    ::close(fd);
    return {};
}

FileResult writeFileAtomically(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    namespace fs = std::filesystem;
    const fs::path target(path);
    if (fs::is_directory(target)) {
        return {"'" + path + "' is a folder"};
    }
    const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
    static std::atomic<unsigned> counter{0};
    std::string tempName;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        tempName = (folder / ("." + target.filename().string() + ".tmp" +
                              std::to_string(::getpid()) + "-" + std::to_string(counter++)))
                       .string();
        fd = ::open(tempName.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd < 0 && errno != EEXIST) {
            break;
        }
    }
    if (fd < 0) {
        return {systemError("cannot write in the folder of", path)};
    }
    std::string error;
    bool ok = chunkWriter()(fd, bytes.data(), bytes.size(), error);
    if (ok && ::fsync(fd) != 0) {
        error = std::strerror(errno);
        ok = false;
    }
    if (::close(fd) != 0 && ok) {
        error = std::strerror(errno);
        ok = false;
    }
    if (ok && std::rename(tempName.c_str(), path.c_str()) != 0) {
        error = std::strerror(errno);
        ok = false;
    }
    if (!ok) {
        ::unlink(tempName.c_str());
        return {"cannot write '" + path + "': " + error};
    }
    return {};
}

} // namespace zarn
