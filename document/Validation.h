#pragma once

#include <optional>
#include <string>

namespace zarn {

/**
 * The range checks of the dialogs, with the framework's messages. Each returns nothing when the
 * value fits, otherwise "label: message" ("Emm: Please enter an integer between -2 and 2.").
 */

/** A finite double within [lo, hi]; a NaN or an infinity reads "Please enter a number.". */
std::optional<std::string> checkNumber(double v, double lo, double hi, const std::string& label);
/** A finite double of any size (a field without a range check). */
std::optional<std::string> checkFinite(double v, const std::string& label);
/** A whole number within [lo, hi]. */
std::optional<std::string> checkInteger(long long v, long long lo, long long hi,
                                        const std::string& label);

/** A number as the messages show it (%g). */
std::string numberText(double v);

} // namespace zarn
