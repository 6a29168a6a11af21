#include "Args.h"

#include <charconv>
#include <cmath>
#include <string_view>

namespace zarn::cli {

namespace {

bool names(const std::string& word, const std::string& name, const std::string& alias) {
    return word == name || (!alias.empty() && word == alias) || word.rfind(name + "=", 0) == 0;
}

} // namespace

void Args::refuseRepeat(const std::string& name, const std::string& alias) const {
    for (const std::string& w : words_) {
        if (names(w, name, alias)) {
            throw UsageError(name + " given twice");
        }
    }
}

bool Args::flag(const std::string& name) {
    for (auto it = words_.begin(); it != words_.end(); ++it) {
        if (*it == name) {
            words_.erase(it);
            refuseRepeat(name, {});
            return true;
        }
        if (it->rfind(name + "=", 0) == 0) {
            throw UsageError(name + " takes no value");
        }
    }
    return false;
}

std::optional<std::string> Args::option(const std::string& name, const std::string& alias) {
    for (std::size_t i = 0; i < words_.size(); ++i) {
        const std::string& w = words_[i];
        if (w == name || (!alias.empty() && w == alias)) {
            if (i + 1 >= words_.size()) {
                throw UsageError(w + " needs a value");
            }
            std::string value = words_[i + 1];
            words_.erase(words_.begin() + static_cast<std::ptrdiff_t>(i),
                         words_.begin() + static_cast<std::ptrdiff_t>(i) + 2);
            refuseRepeat(name, alias);
            return value;
        }
        if (w.rfind(name + "=", 0) == 0) {
            std::string value = w.substr(name.size() + 1);
            words_.erase(words_.begin() + static_cast<std::ptrdiff_t>(i));
            refuseRepeat(name, alias);
            return value;
        }
    }
    return std::nullopt;
}

std::optional<std::uint64_t> Args::number(const std::string& name, std::uint64_t lo,
                                          std::uint64_t hi) {
    const std::optional<std::string> text = option(name);
    if (!text) {
        return std::nullopt;
    }
    std::uint64_t value = 0;
    const char* first = text->data();
    const char* last = first + text->size();
    // A minus sign before digits is a whole number below the range, not a malformed one.
    const bool negative = text->size() > 1 && (*text)[0] == '-';
    const auto [ptr, ec] = std::from_chars(negative ? first + 1 : first, last, value);
    if (text->empty() || ec == std::errc::invalid_argument || ptr != last) {
        throw UsageError(name + " needs a whole number, not '" + *text + "'");
    }
    if ((negative && value != 0) || ec == std::errc::result_out_of_range || value < lo ||
        value > hi) {
        throw InputError(name + " " + *text + " is out of range (" + std::to_string(lo) + " to " +
                         std::to_string(hi) + ")");
    }
    return value;
}

namespace {

std::optional<double> parseReal(std::string_view text) {
    double value = 0.0;
    const char* first = text.data();
    const char* last = first + text.size();
    if (first != last && *first == '+') {
        ++first;
    }
    const auto [ptr, ec] = std::from_chars(first, last, value);
    if (text.empty() || ec != std::errc() || ptr != last || !std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

} // namespace

std::optional<double> Args::real(const std::string& name) {
    const std::optional<std::string> text = option(name);
    if (!text) {
        return std::nullopt;
    }
    const std::optional<double> value = parseReal(*text);
    if (!value) {
        throw UsageError(name + " needs a number, not '" + *text + "'");
    }
    return value;
}

std::optional<std::pair<double, double>> Args::realPair(const std::string& name) {
    const std::optional<std::string> text = option(name);
    if (!text) {
        return std::nullopt;
    }
    const std::size_t comma = text->find(',');
    if (comma != std::string::npos) {
        const std::string_view all(*text);
        const std::optional<double> x = parseReal(all.substr(0, comma));
        const std::optional<double> y = parseReal(all.substr(comma + 1));
        if (x && y) {
            return std::make_pair(*x, *y);
        }
    }
    throw UsageError(name + " needs two numbers X,Y, not '" + *text + "'");
}

std::optional<std::string> Args::positional() {
    for (auto it = words_.begin(); it != words_.end(); ++it) {
        if (it->empty() || (*it)[0] != '-' || *it == "-") {
            std::string word = *it;
            words_.erase(it);
            return word;
        }
    }
    return std::nullopt;
}

void Args::finish() const {
    if (words_.empty()) {
        return;
    }
    const std::string& w = words_.front();
    if (!w.empty() && w[0] == '-') {
        throw UsageError("unknown option '" + w + "'");
    }
    throw UsageError("unexpected argument '" + w + "'");
}

} // namespace zarn::cli
