#pragma once

#include "app/CMainFrame.h"
#include "app/CZARN40App.h"
#include "app/DocumentHost.h"
#include "document/Commands.h"

#include <QImage>
#include <QObject>
#include <QStringList>
#include <QTimer>

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <memory>

#include <ostream>

/** Failed expectations on texts show the texts. */
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

namespace zarn::app::test {

/** Closes every modal dialog that opens while it lives (once @p ready says so) and keeps the
 *  texts of the message boxes among them. */
class ModalCloser : public QObject {
public:
    explicit ModalCloser(std::function<bool()> ready = {});
    QStringList texts;
    int closed = 0;

private:
    QTimer timer_;
};

/** A seeded quilt without a worker (the test takes its steps), built with @p options. */
std::unique_ptr<CZARN40Doc> quietQuilt(DocumentOptions options, const NewQuiltOptions& settings,
                                       std::uint32_t steps = 0, std::uint64_t seed = 7);

/** A square quilt of @p grid cells (a @p grid x @p grid period) shown with @p periods periods. */
NewQuiltOptions squareQuilt(std::uint32_t grid, std::uint16_t periods);

/** What @p view's window shows, in device pixels. */
QImage shown(CZARN40View* view);

/** Marks the quilt's picture dirty, as its worker does every 200,000 steps. */
void markDirty(CZARN40Doc& doc);

/** One tick of the application's idle refresh, waiting until its result reached the views.
 *  Returns the document visited. */
CZARN40Doc* refreshAndWait(CZARN40App& app);

/** The application started with its main window shown and no document. */
class ShellTest : public ::testing::Test {
public:
    DocumentHost* host_ = nullptr;

protected:
    void SetUp() override;
    void TearDown() override;

    CMainFrame& frame() { return *app_->mainFrame(); }
    /** Opens a quiet quilt in a window of the application. */
    DocumentHost* openQuiet(const NewQuiltOptions& settings = {}, std::uint32_t steps = 0,
                            std::uint64_t seed = 7);
    /** Opens a grown square quilt (squareQuilt) in a maximised window of a 1100 x 1000 main
     *  window; its only view, or null. */
    CZARN40View* openSquare(std::uint32_t grid, std::uint16_t periods);
    /** Waits until the picture composer has delivered everything asked of it. */
    static bool composerIdle(CZARN40App& app);

    std::unique_ptr<CZARN40App> app_;
};

} // namespace zarn::app::test
