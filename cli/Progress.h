#pragma once

#include <chrono>
#include <cstdint>
#include <string>

namespace zarn::cli {

/**
 * A one-line progress bar on stderr: steps done of the total, steps per second and time left as
 * h:mm:ss. Drawn only when enabled (stderr is a terminal and --quiet was not given); each update
 * redraws the same line, fitted to the terminal's width so it never wraps.
 */
class ProgressBar {
public:
    ProgressBar(bool enabled, std::uint64_t total);
    void update(std::uint64_t done);
    /** Ends the line. */
    void finish(std::uint64_t done);

    /** The line for @p done steps after @p seconds, at most @p columns characters wide. */
    static std::string line(std::uint64_t done, std::uint64_t total, double seconds, int columns);
    /** @p seconds as h:mm:ss (or m:ss under an hour); "--:--" when unknown. */
    static std::string clock(double seconds);

private:
    void draw(std::uint64_t done, bool final);

    bool enabled_;
    std::uint64_t total_;
    std::chrono::steady_clock::time_point start_;
};

} // namespace zarn::cli
