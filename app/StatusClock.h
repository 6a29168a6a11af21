#pragma once

#include <QString>

#include <ctime>

namespace zarn::app {

/** The status bar's Date pane: "%a, %b %d, %y " ("Tue, Mar 05, 24 "). */
QString datePaneText(const std::tm& time);
/** The Time pane: the 24-hour "%H:%M %S " followed by "AM " before noon and "PM " from noon on
 *  ("14:30 05 PM "). */
QString timePaneText(const std::tm& time);
/** The local time now. */
std::tm localTimeNow();

} // namespace zarn::app
