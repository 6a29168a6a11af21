#include "ExampleQuilts.h"

#include "document/Commands.h"
#include "raster/Compose.h"

#include <QCoreApplication>
#include <QIcon>
#include <QPixmap>
#include <QPointer>

#include <chrono>
#include <exception>
#include <thread>

namespace zarn::app {

namespace {

// Small enough to be ready in a blink, large enough to stay sharp on a high-density screen.
constexpr std::uint64_t kExampleSeed = 80;
constexpr std::uint32_t kExampleGrid = 128;
constexpr std::uint32_t kExampleSteps = 600000;

bool hasDetailedForm(MapFamily family) {
    return family == MapFamily::Square || family == MapFamily::Hex;
}

/** Every example in the same two colours, light lines on a dark ground, so the pictures show
 *  the families' shapes rather than a document's random pale palette. */
void colorExample(CZARN40Doc& doc) {
    ColorC colors = doc.BeginEditColors();
    colors.red[0] = 14;
    colors.green[0] = 22;
    colors.blue[0] = 58;
    colors.red[1] = 255;
    colors.green[1] = 226;
    colors.blue[1] = 160;
    colors.SetUseColors34(false);
    // Most of the cells, the empty ones included, in the ground's half of the band.
    colors.fraction[0] = 0.85;
    colors.fraction[1] = 0.15;
    colors.RefreshPercents();
    doc.ApplyEditedColors(colors);
}

} // namespace

QImage renderExampleQuilt(ExampleKey key, const std::atomic<bool>* cancel) {
    DocumentOptions options;
    options.seed = kExampleSeed;
    NewQuiltOptions settings;
    settings.family = key.family;
    if (hasDetailedForm(key.family)) {
        settings.detailed = key.detailed;
    }
    settings.gridSize = kExampleGrid;
    settings.maxSteps = kExampleSteps;
    try {
        const auto doc = NewQuilt(options, settings);
        while (!doc->isFinished()) {
            if (cancel != nullptr && cancel->load()) {
                return {};
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        SettleAfterRun(*doc);
        colorExample(*doc);
        return composeTiled(doc->RenderPeriod(), 2);
    } catch (const std::exception&) {
        return {};
    }
}

ExampleQuilts& ExampleQuilts::instance() {
    static QPointer<ExampleQuilts> cache;
    if (cache.isNull()) {
        cache = new ExampleQuilts(QCoreApplication::instance());
    }
    return *cache;
}

ExampleQuilts::ExampleQuilts(QObject* parent) : QObject(parent) {
    // One picture at a time: the quilts the user is watching keep the other core.
    pool_.setMaxThreadCount(1);
}

ExampleQuilts::~ExampleQuilts() {
    // The application is closing: a picture being rendered is abandoned, not awaited.
    closing_.store(true);
    pool_.clear();
    pool_.waitForDone();
}

QImage ExampleQuilts::picture(ExampleKey key) {
    if (const auto it = ready_.find(key); it != ready_.end()) {
        return it->second;
    }
    if (pending_.insert(key).second) {
        pool_.start([this, key] {
            const QImage image = renderExampleQuilt(key, &closing_);
            // The destructor waits for this job, so the cache is alive while it posts.
            QMetaObject::invokeMethod(
                this, [this, key, image] { store(key, image); }, Qt::QueuedConnection);
        });
    }
    return {};
}

void ExampleQuilts::store(ExampleKey key, const QImage& image) {
    pending_.erase(key);
    // A failed rendering is kept too: the button keeps its empty frame instead of retrying.
    ready_[key] = image;
    emit pictureReady(key);
}

ExamplePicture::ExamplePicture(ExampleKey key, QWidget* parent) : QPushButton(parent), key_(key) {
    setAutoDefault(false);
    setFocusPolicy(Qt::NoFocus);
    setIconSize(QSize(kSide, kSide));
    setFixedSize(kSide + 12, kSide + 12);
    connect(&ExampleQuilts::instance(), &ExampleQuilts::pictureReady, this,
            [this](ExampleKey ready) {
                if (ready == key_) {
                    refresh();
                }
            });
    refresh();
}

void ExamplePicture::setKey(ExampleKey key) {
    if (key != key_) {
        key_ = key;
        refresh();
    }
}

void ExamplePicture::refresh() {
    const QImage image = ExampleQuilts::instance().picture(key_);
    shown_ = !image.isNull();
    // QIcon scales the picture down to the icon size in device pixels, so it stays sharp.
    setIcon(shown_ ? QIcon(QPixmap::fromImage(image)) : QIcon());
}

} // namespace zarn::app
