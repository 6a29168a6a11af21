#include "Archive.h"

#include <bit>
#include <cmath>
#include <cstring>

static_assert(std::endian::native == std::endian::little,
              "the file formats are little-endian and are read without byte swapping");

namespace zarn {

Archive::Archive(std::vector<std::uint8_t>& sink) : mode_(Mode::Store), sink_(&sink) {}

Archive::Archive(std::span<const std::uint8_t> source) : mode_(Mode::Load), source_(source) {}

void Archive::fail(const std::string& field, const std::string& reason) {
    throw FormatError(field + ": " + reason);
}

void Archive::put(const void* data, std::size_t count) {
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    sink_->insert(sink_->end(), bytes, bytes + count);
}

void Archive::get(void* data, std::size_t count, const char* field) {
    requireRemaining(count, field);
    std::memcpy(data, source_.data() + pos_, count);
    pos_ += count;
}

void Archive::requireRemaining(std::size_t count, const char* field) const {
    if (mode_ == Mode::Load && source_.size() - pos_ < count) {
        fail(field, "the file ends early (" + std::to_string(count) + " bytes needed, " +
                        std::to_string(source_.size() - pos_) + " left)");
    }
}

std::size_t Archive::position() const {
    return mode_ == Mode::Store ? sink_->size() : pos_;
}

std::size_t Archive::remaining() const {
    return mode_ == Mode::Load ? source_.size() - pos_ : 0;
}

namespace {
template <typename T> void transfer(Archive& ar, T& v, const char* field) {
    ar.ioBytes(&v, sizeof v, field);
}
} // namespace

void Archive::io(std::uint8_t& v, const char* field) {
    transfer(*this, v, field);
}
void Archive::io(std::int8_t& v, const char* field) {
    transfer(*this, v, field);
}
void Archive::io(std::uint16_t& v, const char* field) {
    transfer(*this, v, field);
}
void Archive::io(std::int16_t& v, const char* field) {
    transfer(*this, v, field);
}
void Archive::io(std::uint32_t& v, const char* field) {
    transfer(*this, v, field);
}
void Archive::io(std::int32_t& v, const char* field) {
    transfer(*this, v, field);
}
void Archive::io(std::uint64_t& v, const char* field) {
    transfer(*this, v, field);
}
void Archive::io(std::int64_t& v, const char* field) {
    transfer(*this, v, field);
}
void Archive::io(double& v, const char* field) {
    transfer(*this, v, field);
}

void Archive::ioBytes(void* data, std::size_t count, const char* field) {
    if (mode_ == Mode::Store) {
        put(data, count);
    } else {
        get(data, count, field);
    }
}

void Archive::pad(std::size_t count, const char* field) {
    if (mode_ == Mode::Store) {
        sink_->insert(sink_->end(), count, std::uint8_t{0});
    } else {
        requireRemaining(count, field);
        pos_ += count;
    }
}

void requireFinite(double v, const char* field) {
    if (!std::isfinite(v)) {
        Archive::fail(field, "not a finite number");
    }
}

void requireInRange(double v, double lo, double hi, const char* field) {
    if (!(v >= lo && v <= hi)) {
        Archive::fail(field, std::to_string(v) + " is outside " + std::to_string(lo) + ".." +
                                 std::to_string(hi));
    }
}

} // namespace zarn
