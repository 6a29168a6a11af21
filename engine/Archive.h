#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

namespace zarn {

/** Thrown by readers when a file is short, malformed or holds a value out of range. The message
 *  names the field ("grid size: 70000 is outside 1..4000"); callers prefix the file name. */
class FormatError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

/**
 * One sequence of fields, written or read in the same order. Every record of the program is
 * described once as calls of io(); the archive's direction decides whether the calls store into
 * a byte buffer or load from one. All values are little-endian; nothing is padded unless a record
 * asks for it with pad().
 *
 * Loading checks every read against the bytes left and throws FormatError naming the field, so a
 * record reader never reads past its input.
 */
class Archive {
public:
    enum class Mode : std::uint8_t { Store = 0, Load = 1 };

    /** An archive that appends to @p sink. */
    explicit Archive(std::vector<std::uint8_t>& sink);
    /** An archive that reads @p source from its start. */
    explicit Archive(std::span<const std::uint8_t> source);

    Mode mode() const { return mode_; }
    bool isLoading() const { return mode_ == Mode::Load; }
    bool isStoring() const { return mode_ == Mode::Store; }

    void io(std::uint8_t& v, const char* field);
    void io(std::int8_t& v, const char* field);
    void io(std::uint16_t& v, const char* field);
    void io(std::int16_t& v, const char* field);
    void io(std::uint32_t& v, const char* field);
    void io(std::int32_t& v, const char* field);
    void io(std::uint64_t& v, const char* field);
    void io(std::int64_t& v, const char* field);
    void io(double& v, const char* field);

    /** Raw bytes, copied as they are. */
    void ioBytes(void* data, std::size_t count, const char* field);
    /** @p count bytes written as zeros and skipped when read. */
    void pad(std::size_t count, const char* field);

    /** Bytes written so far, or bytes consumed so far when loading. */
    std::size_t position() const;
    /** Bytes still to read (0 when storing). */
    std::size_t remaining() const;
    /** When loading, fails unless at least @p count bytes are left; lets readers check a count
     *  before they allocate for it. */
    void requireRemaining(std::size_t count, const char* field) const;

    [[noreturn]] static void fail(const std::string& field, const std::string& reason);

private:
    void put(const void* data, std::size_t count);
    void get(void* data, std::size_t count, const char* field);

    Mode mode_;
    std::vector<std::uint8_t>* sink_ = nullptr;
    std::span<const std::uint8_t> source_;
    std::size_t pos_ = 0;
};

/** Loads fail on a NaN or an infinity in a field that feeds the iteration. */
void requireFinite(double v, const char* field);
/** Loads fail on a value outside [lo, hi] (a NaN included). */
void requireInRange(double v, double lo, double hi, const char* field);

} // namespace zarn
