#include "FileIO.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace zarn {

namespace {

std::string quoted(const std::string& path) {
    return "'" + path + "'";
}

/** The first bytes of an over-long name, cut on a character boundary. */
std::string shortened(const std::string& name) {
    constexpr std::size_t kShown = 40;
    if (name.size() <= kShown) {
        return name;
    }
    std::size_t cut = kShown;
    while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80) {
        --cut;
    }
    return name.substr(0, cut) + "\u2026";
}

/** errno's text; for ENAMETOOLONG with the part of @p path that is too long. */
std::string reasonFor(int error, const std::string& path) {
    std::string text = std::strerror(error);
    if (error == ENAMETOOLONG) {
        if (const std::string part = pathLengthProblem(path); !part.empty()) {
            text += " (" + part + ")";
        }
    }
    return text;
}

struct PathParts {
    std::string folder;
    std::string name;
};

PathParts splitPath(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
        return {".", path};
    }
    return {slash == 0 ? "/" : path.substr(0, slash), path.substr(slash + 1)};
}

/** The first folder on the way to @p folder that exists but is not a folder, if any. */
std::string firstNonFolder(const std::string& folder) {
    for (std::size_t at = folder.find('/', 1);; at = folder.find('/', at + 1)) {
        const std::string prefix = folder.substr(0, at);
        struct stat st {};
        if (::stat(prefix.c_str(), &st) == 0 && !S_ISDIR(st.st_mode)) {
            return prefix;
        }
        if (at == std::string::npos) {
            return {};
        }
    }
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

/** Where a write to a path goes, once links are followed. */
struct Target {
    /** The file to replace or create (the path, or what its link names). */
    std::string file;
    std::string folder;
    bool exists = false;
    /** A device, pipe or socket: written straight into. */
    bool direct = false;
    mode_t mode = 0;
};

/** Fills @p t for @p path; returns why nothing can be written there, or nothing. */
std::string examineTarget(const std::string& path, Target& t) {
    if (path.empty()) {
        return "no file name given";
    }
    if (const std::string part = pathLengthProblem(path); !part.empty()) {
        return std::string(std::strerror(ENAMETOOLONG)) + " (" + part + ")";
    }
    t.file = path;
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
        // Replace the file the link names and keep the link; a dangling link is replaced.
        const std::unique_ptr<char, decltype(&std::free)> real(::realpath(path.c_str(), nullptr),
                                                               &std::free);
        if (real) {
            t.file = real.get();
        }
    }
    const PathParts parts = splitPath(t.file);
    t.folder = parts.folder;
    if (::stat(t.file.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode)) {
            return "it is a folder";
        }
        t.exists = true;
        t.direct = !S_ISREG(st.st_mode);
        t.mode = st.st_mode & 07777;
        return {};
    }
    if (errno != ENOENT && errno != ENOTDIR) {
        return reasonFor(errno, t.file);
    }
    if (parts.name.empty()) {
        return "the name ends in '/': it names a folder, not a file";
    }
    if (::stat(t.folder.c_str(), &st) != 0) {
        if (errno == ENOTDIR) {
            const std::string file = firstNonFolder(t.folder);
            return quoted(file.empty() ? t.folder : file) + " is not a folder";
        }
        if (errno == ENOENT) {
            return "the folder " + quoted(t.folder) + " does not exist";
        }
        return reasonFor(errno, t.folder);
    }
    if (!S_ISDIR(st.st_mode)) {
        return quoted(t.folder) + " is not a folder";
    }
    return {};
}

/** A short name for a temporary file, different for every call in every process. */
std::string temporaryName() {
    static std::atomic<std::uint64_t> counter{0};
    std::uint64_t x =
        (static_cast<std::uint64_t>(::getpid()) << 32) ^ counter.fetch_add(1) ^
        static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
    x += 0x9E3779B97F4A7C15u;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9u;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBu;
    x ^= x >> 31;
    static constexpr char kChars[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    std::string name = ".zarn-";
    for (int i = 0; i < 6; ++i) {
        name += kChars[x % 62];
        x /= 62;
    }
    return name;
}

/** Creates a new temporary file in @p folder, open for writing; -1 with errno set on failure. */
int createTemporary(const std::string& folder, std::string& tempPath) {
    const std::string prefix = folder == "/" ? folder : folder + "/";
    for (int attempt = 0; attempt < 100; ++attempt) {
        tempPath = prefix + temporaryName();
        const int fd = ::open(tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) {
            return fd;
        }
    }
    return -1;
}

std::string cannotCreateIn(const std::string& folder, int error) {
    return "cannot create a file in " + quoted(folder) + ": " + reasonFor(error, folder);
}

FileResult writeDirectly(const std::string& path, const Target& t, const std::uint8_t* data,
                         std::size_t size) {
    const int fd = ::open(t.file.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0) {
        return {"cannot write " + quoted(path) + ": " + reasonFor(errno, t.file)};
    }
    std::string error;
    bool ok = chunkWriter()(fd, data, size, error);
    if (::close(fd) != 0 && ok) {
        error = std::strerror(errno);
        ok = false;
    }
    if (!ok) {
        return {"cannot write " + quoted(path) + ": " + error};
    }
    return {};
}

} // namespace

std::string pathLengthProblem(const std::string& path) {
    std::size_t start = 0;
    while (start < path.size()) {
        std::size_t end = path.find('/', start);
        if (end == std::string::npos) {
            end = path.size();
        }
        const std::size_t length = end - start;
        if (length > _POSIX_NAME_MAX) {
            const std::string folder = start == 0 ? "." : path.substr(0, start);
            const long most = ::pathconf(folder.c_str(), _PC_NAME_MAX);
            const std::size_t limit = most > 0 ? static_cast<std::size_t>(most) : NAME_MAX;
            if (length > limit) {
                return std::string(end == path.size() ? "the file name " : "the folder name ") +
                       quoted(shortened(path.substr(start, length))) + " has " +
                       std::to_string(length) + " bytes, at most " + std::to_string(limit) +
                       " here";
            }
        }
        start = end + 1;
    }
    if (path.size() >= PATH_MAX) {
        return "the path has " + std::to_string(path.size()) + " bytes, at most " +
               std::to_string(PATH_MAX - 1);
    }
    return {};
}

void setChunkWriterForTesting(ChunkWriter writer) {
    chunkWriter() = writer ? std::move(writer) : writeAll;
}

FileResult readWholeFile(const std::string& path, std::vector<std::uint8_t>& out,
                         std::size_t maxBytes) {
    out.clear();
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return {"cannot open " + quoted(path) + ": " + reasonFor(errno, path)};
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return {quoted(path) + " is not a regular file"};
    }
    if (static_cast<std::uint64_t>(st.st_size) > maxBytes) {
        ::close(fd);
        return {quoted(path) + " is too large (" + std::to_string(st.st_size) + " bytes)"};
    }
    out.resize(static_cast<std::size_t>(st.st_size));
    std::size_t done = 0;
    while (done < out.size()) {
        const ssize_t n = ::read(fd, out.data() + done, out.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            const std::string error =
                n < 0 ? "cannot read " + quoted(path) + ": " + std::strerror(errno)
                      : quoted(path) + " changed while it was read";
            ::close(fd);
            out.clear();
            return {error};
        }
        done += static_cast<std::size_t>(n);
    }
    ::close(fd);
    return {};
}

FileResult checkWritableTarget(const std::string& path) {
    Target t;
    if (const std::string problem = examineTarget(path, t); !problem.empty()) {
        return {"cannot write " + quoted(path) + ": " + problem};
    }
    if (t.direct) {
        if (::access(t.file.c_str(), W_OK) != 0) {
            return {"cannot write " + quoted(path) + ": " + reasonFor(errno, t.file)};
        }
        return {};
    }
    const std::string& folder = t.folder;
    std::string tempPath;
    const int fd = createTemporary(folder, tempPath);
    if (fd < 0) {
        return {"cannot write " + quoted(path) + ": " + cannotCreateIn(folder, errno)};
    }
    ::close(fd);
    ::unlink(tempPath.c_str());
    return {};
}

FileResult writeFileAtomically(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    return writeFileAtomically(path, bytes.data(), bytes.size());
}

FileResult writeFileAtomically(const std::string& path, const std::uint8_t* data,
                               std::size_t size) {
    Target t;
    if (const std::string problem = examineTarget(path, t); !problem.empty()) {
        return {"cannot write " + quoted(path) + ": " + problem};
    }
    if (t.direct) {
        return writeDirectly(path, t, data, size);
    }
    const std::string& folder = t.folder;
    std::string tempName;
    const int fd = createTemporary(folder, tempName);
    if (fd < 0) {
        return {"cannot write " + quoted(path) + ": " + cannotCreateIn(folder, errno)};
    }
    if (t.exists) {
        // The new file keeps the old one's permissions (a private file stays private).
        [[maybe_unused]] const int kept = ::fchmod(fd, t.mode);
    }
    std::string error;
    bool ok = chunkWriter()(fd, data, size, error);
    if (ok && ::fsync(fd) != 0) {
        error = std::strerror(errno);
        ok = false;
    }
    if (::close(fd) != 0 && ok) {
        error = std::strerror(errno);
        ok = false;
    }
    if (ok && std::rename(tempName.c_str(), t.file.c_str()) != 0) {
        error = reasonFor(errno, t.file);
        ok = false;
    }
    if (!ok) {
        ::unlink(tempName.c_str());
        return {"cannot write " + quoted(path) + ": " + error};
    }
    // The rename itself reaches the disk with the folder.
    const int folderFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folderFd >= 0) {
        ::fsync(folderFd);
        ::close(folderFd);
    }
    return {};
}

} // namespace zarn
