#pragma once

#include <QString>

class QWidget;

namespace zarn::app {

/** The session files' filter in the file dialogs. */
inline constexpr const char* kSessionFilter = "SESSION FILES (*.session)";
inline constexpr const char* kSessionSuffix = "session";

/** A picture export's save dialog: @p filter ("BMP FILES (*.bmp)"), @p suffix added to a name
 *  typed without one, @p initial proposed; asks before replacing a file; empty when cancelled. */
QString askImageToSave(QWidget* parent, const QString& filter, const QString& suffix,
                       const QString& initial);
/** File Open's dialog, starting in @p folder; empty when cancelled. */
QString askSessionToOpen(QWidget* parent, const QString& folder);
/** Save Session As's dialog, proposing @p initial; asks before replacing a file; empty when
 *  cancelled. */
QString askSessionToSave(QWidget* parent, const QString& initial);

} // namespace zarn::app
