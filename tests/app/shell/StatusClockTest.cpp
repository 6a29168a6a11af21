#include "app/StatusClock.h"
#include "ShellTestSupport.h"

#include <clocale>
#include <string>

namespace zarn::app::test {
namespace {

struct ClockCase {
    int hour;
    int minute;
    int second;
    const char* shown;
};

class TimePaneTest : public ShellTest, public ::testing::WithParamInterface<ClockCase> {};

// Before noon "AM ", from noon on "PM ", on a 24-hour clock with the seconds after a blank.
INSTANTIATE_TEST_SUITE_P(
    Times, TimePaneTest,
    ::testing::Values(ClockCase{14, 30, 5, "14:30 05 PM "}, ClockCase{9, 0, 0, "09:00 00 AM "},
                      ClockCase{0, 0, 0, "00:00 00 AM "}, ClockCase{11, 59, 59, "11:59 59 AM "},
                      ClockCase{12, 0, 0, "12:00 00 PM "}, ClockCase{23, 59, 59, "23:59 59 PM "}));

TEST_P(TimePaneTest, ShowsTheTimeOfTheClock) {
    const ClockCase& c = GetParam();
    frame().setClock([c] {
        std::tm time{};
        time.tm_year = 124;
        time.tm_mon = 2;
        time.tm_mday = 5;
        time.tm_wday = 2;
        time.tm_hour = c.hour;
        time.tm_min = c.minute;
        time.tm_sec = c.second;
        return time;
    });
    EXPECT_EQ(frame().timePaneText().toStdString(), c.shown);
}

TEST_F(ShellTest, DatePaneShowsWeekdayMonthDayAndYear) {
    const std::string previous = std::setlocale(LC_TIME, nullptr);
    std::setlocale(LC_TIME, "C");
    frame().setClock([] {
        std::tm time{};
        time.tm_year = 124;
        time.tm_mon = 2;
        time.tm_mday = 5;
        time.tm_wday = 2;
        time.tm_hour = 14;
        return time;
    });
    EXPECT_EQ(frame().datePaneText().toStdString(), "Tue, Mar 05, 24 ");
    std::setlocale(LC_TIME, previous.c_str());
}

} // namespace
} // namespace zarn::app::test
