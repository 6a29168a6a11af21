#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace zarn {

/** A small streaming JSON writer: objects, arrays, strings, numbers and booleans, pretty printed
 *  with two-space indentation. Doubles are written with 17 significant digits so they read back
 *  to the same value; non-finite doubles become null. */
class JsonWriter {
public:
    JsonWriter& beginObject(std::string_view key = {});
    JsonWriter& endObject();
    JsonWriter& beginArray(std::string_view key = {});
    JsonWriter& endArray();

    JsonWriter& value(std::string_view key, std::string_view text);
    JsonWriter& value(std::string_view key, const char* text) {
        return value(key, std::string_view(text));
    }
    JsonWriter& value(std::string_view key, const std::string& text) {
        return value(key, std::string_view(text));
    }
    JsonWriter& value(std::string_view key, double number);
    JsonWriter& value(std::string_view key, std::int64_t number);
    JsonWriter& value(std::string_view key, std::uint64_t number);
    JsonWriter& value(std::string_view key, int number) {
        return value(key, static_cast<std::int64_t>(number));
    }
    JsonWriter& value(std::string_view key, unsigned number) {
        return value(key, static_cast<std::uint64_t>(number));
    }
    JsonWriter& flag(std::string_view key, bool b);
    /** An array of doubles on one line. */
    JsonWriter& numbers(std::string_view key, const double* values, std::size_t count);

    const std::string& text() const { return out_; }

private:
    void prefix(std::string_view key);
    void raw(std::string_view key, std::string_view literal);

    std::string out_;
    std::vector<bool> first_;
};

std::string jsonQuote(std::string_view text);
std::string jsonNumber(double v);

} // namespace zarn
