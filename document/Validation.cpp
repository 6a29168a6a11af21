#include "Validation.h"

#include <cmath>
#include <cstdio>

namespace zarn {

std::string numberText(double v) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", v);
    return text;
}

std::optional<std::string> checkFinite(double v, const std::string& label) {
    if (!std::isfinite(v)) {
        return label + ": Please enter a number.";
    }
    return std::nullopt;
}

std::optional<std::string> checkNumber(double v, double lo, double hi, const std::string& label) {
    if (auto e = checkFinite(v, label)) {
        return e;
    }
    if (v < lo || v > hi) {
        return label + ": Please enter a number between " + numberText(lo) + " and " +
               numberText(hi) + ".";
    }
    return std::nullopt;
}

std::optional<std::string> checkInteger(long long v, long long lo, long long hi,
                                        const std::string& label) {
    if (v < lo || v > hi) {
        return label + ": Please enter an integer between " + std::to_string(lo) + " and " +
               std::to_string(hi) + ".";
    }
    return std::nullopt;
}

} // namespace zarn
