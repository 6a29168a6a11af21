#pragma once

#include <QGuiApplication>

namespace zarn::app {

/** Shows the wait cursor for its lifetime (a save or an open that reads a large grid). */
class WaitCursor {
public:
    WaitCursor() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QGuiApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

} // namespace zarn::app
