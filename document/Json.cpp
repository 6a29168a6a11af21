#include "Json.h"

#include <cmath>
#include <cstdio>

namespace zarn {

std::string jsonQuote(std::string_view text) {
    std::string q = "\"";
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        switch (c) {
        case '"':
            q += "\\\"";
            break;
        case '\\':
            q += "\\\\";
            break;
        case '\n':
            q += "\\n";
            break;
        case '\r':
            q += "\\r";
            break;
        case '\t':
            q += "\\t";
            break;
        default:
            if (c < 0x20) {
                char buf[8];
                std::snprintf(buf, sizeof buf, "\\u%04x", c);
                q += buf;
            } else {
                q += ch;
            }
        }
    }
    return q + "\"";
}

std::string jsonNumber(double v) {
    if (!std::isfinite(v)) {
        return "null";
    }
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.17g", v);
    return buf;
}

void JsonWriter::prefix(std::string_view key) {
    if (!first_.empty()) {
        out_ += first_.back() ? "\n" : ",\n";
        first_.back() = false;
        out_.append(first_.size() * 2, ' ');
    }
    if (!key.empty()) {
        out_ += jsonQuote(key) + ": ";
    }
}

void JsonWriter::raw(std::string_view key, std::string_view literal) {
    prefix(key);
    out_ += literal;
}

JsonWriter& JsonWriter::beginObject(std::string_view key) {
    raw(key, "{");
    first_.push_back(true);
    return *this;
}

JsonWriter& JsonWriter::endObject() {
    const bool empty = first_.back();
    first_.pop_back();
    if (!empty) {
        out_ += "\n" + std::string(first_.size() * 2, ' ');
    }
    out_ += "}";
    if (first_.empty()) {
        out_ += "\n";
    }
    return *this;
}

JsonWriter& JsonWriter::beginArray(std::string_view key) {
    raw(key, "[");
    first_.push_back(true);
    return *this;
}

JsonWriter& JsonWriter::endArray() {
    const bool empty = first_.back();
    first_.pop_back();
    if (!empty) {
        out_ += "\n" + std::string(first_.size() * 2, ' ');
    }
    out_ += "]";
    return *this;
}

JsonWriter& JsonWriter::value(std::string_view key, std::string_view text) {
    raw(key, jsonQuote(text));
    return *this;
}

JsonWriter& JsonWriter::value(std::string_view key, double number) {
    raw(key, jsonNumber(number));
    return *this;
}

JsonWriter& JsonWriter::value(std::string_view key, std::int64_t number) {
    raw(key, std::to_string(number));
    return *this;
}

JsonWriter& JsonWriter::value(std::string_view key, std::uint64_t number) {
    raw(key, std::to_string(number));
    return *this;
}

JsonWriter& JsonWriter::flag(std::string_view key, bool b) {
    raw(key, b ? "true" : "false");
    return *this;
}

JsonWriter& JsonWriter::numbers(std::string_view key, const double* values, std::size_t count) {
    std::string line = "[";
    for (std::size_t i = 0; i < count; ++i) {
        line += (i ? ", " : "") + jsonNumber(values[i]);
    }
    raw(key, line + "]");
    return *this;
}

} // namespace zarn
