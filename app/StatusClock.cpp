#include "StatusClock.h"

#include <array>

namespace zarn::app {

namespace {

QString format(const char* pattern, const std::tm& time) {
    std::array<char, 128> text{};
    const std::size_t length = std::strftime(text.data(), text.size(), pattern, &time);
    return QString::fromLocal8Bit(text.data(), static_cast<qsizetype>(length));
}

} // namespace

QString datePaneText(const std::tm& time) {
    return format("%a, %b %d, %y ", time);
}

QString timePaneText(const std::tm& time) {
    return format("%H:%M %S ", time) +
           (time.tm_hour < 12 ? QStringLiteral("AM ") : QStringLiteral("PM "));
}

std::tm localTimeNow() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return local;
}

} // namespace zarn::app
