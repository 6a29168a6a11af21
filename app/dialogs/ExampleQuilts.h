#pragma once

#include "document/MapFamily.h"

#include <QImage>
#include <QObject>
#include <QPushButton>
#include <QThreadPool>

#include <atomic>
#include <compare>
#include <map>
#include <set>

namespace zarn::app {

/** Which example a picture shows: a family, in its detailed form where it has one. */
struct ExampleKey {
    MapFamily family = MapFamily::Square;
    bool detailed = false;

    auto operator<=>(const ExampleKey&) const = default;
};

/** Renders the example of @p key with the program's own engine: a seeded quilt on a small grid,
 *  iterated a few hundred thousand steps, in two fixed colours, tiled 2 x 2. Blocks for the run;
 *  a null image when the quilt could not be built or @p cancel was raised meanwhile. */
QImage renderExampleQuilt(ExampleKey key, const std::atomic<bool>* cancel = nullptr);

/**
 * The example quilts of the dialogs' picture buttons, rendered once per process on a background
 * thread, one at a time, so that opening a dialog never waits for them.
 */
class ExampleQuilts : public QObject {
    Q_OBJECT

public:
    /** The process's cache, living on the GUI thread and ending with the application. */
    static ExampleQuilts& instance();

    /** The picture once it is ready; until then a null image, and its rendering is started
     *  (once). */
    QImage picture(ExampleKey key);

signals:
    /** A picture has become ready. */
    void pictureReady(zarn::app::ExampleKey key);

private:
    explicit ExampleQuilts(QObject* parent);
    ~ExampleQuilts() override;

    void store(ExampleKey key, const QImage& image);

    std::atomic<bool> closing_{false};
    QThreadPool pool_;
    std::map<ExampleKey, QImage> ready_;
    std::set<ExampleKey> pending_;
};

/**
 * A picture button: shows the example quilt of its key (an empty frame until it is ready) and
 * does nothing when pressed.
 */
class ExamplePicture : public QPushButton {
    Q_OBJECT

public:
    static constexpr int kSide = 128;

    explicit ExamplePicture(ExampleKey key, QWidget* parent = nullptr);

    void setKey(ExampleKey key);
    ExampleKey key() const { return key_; }
    /** Whether the example is shown (false while the placeholder is). */
    bool hasPicture() const { return shown_; }

private:
    void refresh();

    ExampleKey key_;
    bool shown_ = false;
};

} // namespace zarn::app
