#include "Progress.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <sys/ioctl.h>
#include <unistd.h>

namespace zarn::cli {

namespace {

std::string humanSteps(double v) {
    char buf[32];
    if (v >= 1e9) {
        std::snprintf(buf, sizeof buf, "%.2fG", v / 1e9);
    } else if (v >= 1e6) {
        std::snprintf(buf, sizeof buf, "%.1fM", v / 1e6);
    } else if (v >= 1e3) {
        std::snprintf(buf, sizeof buf, "%.1fk", v / 1e3);
    } else {
        std::snprintf(buf, sizeof buf, "%.0f", v);
    }
    return buf;
}

int terminalColumns() {
    winsize size{};
    if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) {
        return size.ws_col;
    }
    return 80;
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

std::string ProgressBar::clock(double seconds) {
    if (!std::isfinite(seconds) || seconds < 0 || seconds > 99 * 3600.0) {
        return "--:--";
    }
    const long total = std::lround(seconds);
    char buf[32];
    if (total >= 3600) {
        std::snprintf(buf, sizeof buf, "%ld:%02ld:%02ld", total / 3600, total / 60 % 60,
                      total % 60);
    } else {
        std::snprintf(buf, sizeof buf, "%ld:%02ld", total / 60, total % 60);
    }
    return buf;
}

std::string ProgressBar::line(std::uint64_t done, std::uint64_t total, double seconds,
                              int columns) {
    total = std::max<std::uint64_t>(total, 1);
    done = std::min(done, total);
    const double rate = seconds > 0 ? static_cast<double>(done) / seconds : 0.0;
    const double left = rate > 0 ? static_cast<double>(total - done) / rate : -1.0;
    const std::string figures = " " + humanSteps(static_cast<double>(done)) + "/" +
                                humanSteps(static_cast<double>(total)) + " steps  " +
                                humanSteps(rate) + "/s  " + clock(left) + " left";
    // The bar takes what the figures leave, between 10 and 40 characters; without room even for
    // that, the figures alone (cut to the width).
    const int room = columns - 1 - static_cast<int>(figures.size()) - 2;
    if (room < 10) {
        return figures.substr(1, static_cast<std::size_t>(std::max(columns - 1, 0)));
    }
    const int width = std::min(room, 40);
    const int filled =
        static_cast<int>(width * static_cast<double>(done) / static_cast<double>(total));
    std::string bar(static_cast<std::size_t>(filled), '#');
    bar.resize(static_cast<std::size_t>(width), '.');
    return "[" + bar + "]" + figures;
}

void ProgressBar::draw(std::uint64_t done, bool final) {
    if (!enabled_) {
        return;
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    const std::string text = line(done, total_, seconds, terminalColumns());
    // Back to the line's start, the text, then clear what a longer earlier line left.
    std::fprintf(stderr, "\r%s\x1b[K", text.c_str());
    if (final) {
        std::fputc('\n', stderr);
    }
    std::fflush(stderr);
}

} // namespace zarn::cli
