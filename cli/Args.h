#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace zarn::cli {

/** Bad usage: unknown option, missing value, malformed number. Exit status 2. */
class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

/** Bad input or failed I/O: a missing file, a value out of range, an unwritable path. Exit 1. */
class InputError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

/** The words after the subcommand. Options are taken out as they are asked for; whatever is left
 *  at the end is an error. Accepts "--name value" and "--name=value". */
class Args {
public:
    explicit Args(std::vector<std::string> words) : words_(std::move(words)) {}

    bool flag(const std::string& name);
    std::optional<std::string> option(const std::string& name, const std::string& alias = {});
    /** A whole number within [lo, hi]; a malformed number is a usage error, one out of range an
     *  input error. */
    std::optional<std::uint64_t> number(const std::string& name, std::uint64_t lo,
                                        std::uint64_t hi);
    /** A real number (any finite value; ranges are the caller's); a malformed one is a usage
     *  error. */
    std::optional<double> real(const std::string& name);
    /** Two real numbers written "X,Y". */
    std::optional<std::pair<double, double>> realPair(const std::string& name);
    /** The next word that is not an option. */
    std::optional<std::string> positional();
    /** Fails on anything not taken. */
    void finish() const;

private:
    /** Fails when @p name (or @p alias) is still among the words: it was given twice. */
    void refuseRepeat(const std::string& name, const std::string& alias) const;

    std::vector<std::string> words_;
};

} // namespace zarn::cli
