#include "Progress.h"

#include <algorithm>
#include <string>

namespace zarn::cli {

namespace {
std::string humanSteps(double v) {
    char buf[32];
    if (v >= 1e6) {
        std::snprintf(buf, sizeof buf, "%.1fM", v / 1e6);
    } else if (v >= 1e3) {
        std::snprintf(buf, sizeof buf, "%.1fk", v / 1e3);
    } else {
        std::snprintf(buf, sizeof buf, "%.0f", v);
    }
    return buf;
}
} // namespace

ProgressBar::ProgressBar(bool enabled, std::uint64_t total)
    : enabled_(enabled), total_(std::max<std::uint64_t>(total, 1)),
      start_(std::chrono::steady_clock::now()) {}

void ProgressBar::update(std::uint64_t done) {
    draw(done, false);
}

void ProgressBar::finish(std::uint64_t done) {
    draw(done, true);
}

void ProgressBar::draw(std::uint64_t done, bool final) {
    if (!enabled_) {
        return;
    }
    done = std::min(done, total_);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    const double rate = seconds > 0 ? static_cast<double>(done) / seconds : 0.0;
    const double left = rate > 0 ? static_cast<double>(total_ - done) / rate : 0.0;
    constexpr int width = 30;
    const int filled =
        static_cast<int>(width * static_cast<double>(done) / static_cast<double>(total_));
    std::string bar(static_cast<std::size_t>(filled), '#');
    bar.resize(width, '.');
    std::fprintf(stderr, "\r[%s] %s/%s steps  %s steps/s  %3.0fs left ", bar.c_str(),
                 humanSteps(static_cast<double>(done)).c_str(),
                 humanSteps(static_cast<double>(total_)).c_str(), humanSteps(rate).c_str(), left);
    if (final) {
        std::fputc('\n', stderr);
    }
    std::fflush(stderr);
}

} // namespace zarn::cli
