#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>

namespace zarn::cli {

/** A one-line progress bar on stderr: steps done, steps per second and time left. Drawn only when
 *  enabled (stderr is a terminal and --quiet was not given). */
class ProgressBar {
public:
    ProgressBar(bool enabled, std::uint64_t total);
    void update(std::uint64_t done);
    /** Ends the line. */
    void finish(std::uint64_t done);

private:
    void draw(std::uint64_t done, bool final);

    bool enabled_;
    std::uint64_t total_;
    std::chrono::steady_clock::time_point start_;
};

} // namespace zarn::cli
