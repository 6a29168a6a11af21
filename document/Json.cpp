#include "Json.h"

#include <cmath>
#include <cstdio>

namespace zarn {

namespace {

/** Length of the well-formed UTF-8 sequence at the start of @p text, or 0 when it is not one
 *  (a stray continuation byte, an overlong form, a surrogate, a code point past U+10FFFF or a
 *  cut-off sequence). */
std::size_t utf8Length(std::string_view text) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(0);
    std::size_t length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (text.size() < length || byte(1) < low || byte(1) > high) {
        return 0;
    }
    for (std::size_t i = 2; i < length; ++i) {
        if (byte(i) < 0x80 || byte(i) > 0xBF) {
            return 0;
        }
    }
    return length;
}

void escapeByte(std::string& out, unsigned char c) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "\\u%04x", c);
    out += buf;
}

} // namespace

std::string jsonQuote(std::string_view text) {
    std::string q = "\"";
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c >= 0x80) {
            // Names come from files and may hold any bytes: well-formed UTF-8 passes, every other
            // byte is escaped as the character of the same number, so the output stays UTF-8.
            const std::size_t length = utf8Length(text.substr(i));
            if (length == 0) {
                escapeByte(q, c);
                ++i;
            } else {
                q.append(text.substr(i, length));
                i += length;
            }
            continue;
        }
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
            if (c < 0x20 || c == 0x7F) {
                escapeByte(q, c);
            } else {
                q += static_cast<char>(c);
            }
        }
        ++i;
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
