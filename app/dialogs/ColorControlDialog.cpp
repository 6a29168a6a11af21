#include "ColorControlDialog.h"

#include "document/Validation.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>
#include <utility>

namespace zarn::app {

namespace {

constexpr const char* kChannelNames[3] = {"Red", "Green", "Blue"};

QString channelKey(int channel, int k) {
    return QStringLiteral("%1 %2").arg(QString::fromUtf8(kChannelNames[channel])).arg(k + 1);
}

const QString kIncrementKey = QStringLiteral("Increment");
const QString kColorFilter = QStringLiteral("QCL FILES (*.qcl)");

/** Channel 0 (red), 1 (green) or 2 (blue) of colour @p k of a set, const or not. */
template <typename Set> auto& channelOf(Set& c, int channel, int k) {
    auto& values = channel == 0 ? c.red : channel == 1 ? c.green : c.blue;
    return values[static_cast<std::size_t>(k)];
}

} // namespace

// ---- PaletteStrip ---------------------------------------------------------------------------

PaletteStrip::PaletteStrip(const LevelHistogram& histogram, QWidget* parent)
    : QWidget(parent), sampleLevels_(kSamples), image_(kSamples, 1, QImage::Format_RGB32) {
    double total = 0.0;
    for (double share : histogram) {
        total += share;
    }
    int level = 0;
    double reached = histogram[0];
    for (int i = 0; i < kSamples; ++i) {
        if (total <= 0.0) {
            sampleLevels_[static_cast<std::size_t>(i)] = i * Palette::kEntries / kSamples;
            continue;
        }
        // The level under the middle of this sample's slice of the cells.
        const double target = total * (i + 0.5) / kSamples;
        while (reached < target && level < Palette::kEntries - 1) {
            ++level;
            reached += histogram[static_cast<std::size_t>(level)];
        }
        sampleLevels_[static_cast<std::size_t>(i)] = level;
    }
    image_.fill(Qt::black);
    setMinimumHeight(20);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setToolTip(QStringLiteral("The palette these colours build, spread over the quilt's cells"));
}

void PaletteStrip::setPalette(const Palette& palette) {
    for (int i = 0; i < kSamples; ++i) {
        const PaletteEntry& e =
            palette[static_cast<std::size_t>(sampleLevels_[static_cast<std::size_t>(i)])];
        image_.setPixel(i, 0, qRgb(e.red, e.green, e.blue));
    }
    update();
}

QSize PaletteStrip::sizeHint() const {
    return {kSamples, 24};
}

void PaletteStrip::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.drawImage(rect(), image_);
}

// ---- ColorControlDialog ---------------------------------------------------------------------

ColorControlDialog::ColorControlDialog(const ColorC& colors, const Palette& palette,
                                       const LevelHistogram& histogram, Randomizer randomize,
                                       QWidget* parent, std::vector<ColorPreset> presets)
    : FieldDialog(QStringLiteral("Color Control"), parent), colors_(colors), palette_(palette),
      histogram_(histogram), randomize_(std::move(randomize)), presets_(std::move(presets)) {
    auto* groups = new QHBoxLayout;
    groups->addWidget(buildColorsGroup());
    groups->addWidget(buildRangeGroup());
    body()->addLayout(groups);

    strip_ = new PaletteStrip(histogram, this);
    body()->addWidget(strip_);

    auto* actions = new QHBoxLayout;
    QPushButton* random = button(QStringLiteral("Random"), QStringLiteral("random"));
    QPushButton* write = button(QStringLiteral("Write to File"), QStringLiteral("write"));
    QPushButton* read = button(QStringLiteral("Read from File"), QStringLiteral("read"));
    actions->addWidget(random);
    actions->addWidget(write);
    actions->addWidget(read);
    actions->addStretch();
    presetBox_ = new QComboBox(this);
    presetBox_->setObjectName(QStringLiteral("presets"));
    presetBox_->addItem(QStringLiteral("Presets..."));
    for (const ColorPreset& preset : presets_) {
        presetBox_->addItem(QString::fromStdString(preset.name));
    }
    presetBox_->setEnabled(!presets_.empty());
    presetBox_->setToolTip(QStringLiteral("Load one of the colour sets that come with ZARN80"));
    actions->addWidget(presetBox_);
    body()->addLayout(actions);
    connect(presetBox_, &QComboBox::activated, this, [this](int item) {
        if (item > 0) {
            act([this, item] { loadPreset(item - 1); });
        }
    });
    connect(random, &QPushButton::clicked, this, [this] {
        act([this] {
            if (randomize_) {
                randomize_(colors_);
            }
        });
    });
    connect(write, &QPushButton::clicked, this, [this] { act([this] { exchangeFile(true); }); });
    connect(read, &QPushButton::clicked, this, [this] { act([this] { exchangeFile(false); }); });

    showAll();
}

QPushButton* ColorControlDialog::button(const QString& text, const QString& name) {
    auto* b = new QPushButton(text, this);
    b->setObjectName(name);
    b->setAutoDefault(false);
    if (text.size() == 1) {
        // "*", "+" and "-" need no more room than a square.
        b->setMaximumWidth(b->sizeHint().height() + 8);
    }
    return b;
}

QWidget* ColorControlDialog::buildColorsGroup() {
    auto* group = new QGroupBox(QStringLiteral("Colors"), this);
    auto* grid = new QGridLayout(group);
    const QStringList heads = {QStringLiteral("R"), QStringLiteral("G"), QStringLiteral("B"),
                               QStringLiteral("Select")};
    for (int c = 0; c < heads.size(); ++c) {
        grid->addWidget(new QLabel(heads[c], group), 0, c + 1, Qt::AlignHCenter);
    }
    for (int k = 0; k < ColorC::kColors; ++k) {
        grid->addWidget(new QLabel(QString::number(k + 1), group), k + 1, 0);
        for (int channel = 0; channel < 3; ++channel) {
            QLineEdit* edit = integerField(channelKey(channel, k), channelOf(colors_, channel, k));
            edit->setMaximumWidth(48);
            connect(edit, &QLineEdit::textEdited, this, [this] { updateStrip(); });
            rows_[static_cast<std::size_t>(k)].channels[channel] = edit;
            grid->addWidget(edit, k + 1, channel + 1);
        }
        QPushButton* select = button(QStringLiteral("*"), QStringLiteral("select%1").arg(k + 1));
        connect(select, &QPushButton::clicked, this, [this, k] { chooseColor(k); });
        grid->addWidget(select, k + 1, 4);
    }
    // The switches of colours 3 and 4 and of 5 and 6 stand beside the first row of each pair.
    addSwitch(grid, 3, QStringLiteral("Use colors 3 and 4"), colors_.useColors34,
              &ColorC::SetUseColors34);
    addSwitch(grid, 5, QStringLiteral("Use colors 5 and 6"), colors_.useColors56,
              &ColorC::SetUseColors56);
    return group;
}

QWidget* ColorControlDialog::buildRangeGroup() {
    auto* group = new QGroupBox(QStringLiteral("Color Range"), this);
    auto* grid = new QGridLayout(group);
    grid->addWidget(new QLabel(QStringLiteral("Modify"), group), 0, 0, 1, 2, Qt::AlignHCenter);
    grid->addWidget(new QLabel(QStringLiteral("Fix"), group), 0, 2, Qt::AlignHCenter);
    grid->addWidget(new QLabel(QStringLiteral("Percent"), group), 0, 3, Qt::AlignHCenter);
    for (int k = 0; k < ColorC::kColors; ++k) {
        QPushButton* plus = button(QStringLiteral("+"), QStringLiteral("plus%1").arg(k + 1));
        QPushButton* minus = button(QStringLiteral("-"), QStringLiteral("minus%1").arg(k + 1));
        connect(plus, &QPushButton::clicked, this,
                [this, k] { act([this, k] { colors_.increaseShareButton(k); }); });
        connect(minus, &QPushButton::clicked, this,
                [this, k] { act([this, k] { colors_.decreaseShareButton(k); }); });
        grid->addWidget(plus, k + 1, 0);
        grid->addWidget(minus, k + 1, 1);
        const std::size_t i = static_cast<std::size_t>(k);
        QCheckBox* fix = checkField(QStringLiteral("Fix %1").arg(k + 1), colors_.fixed[i]);
        fix->setObjectName(fix->text());
        fix->setText(QString());
        grid->addWidget(fix, k + 1, 2, Qt::AlignHCenter);
        auto* percent = new QLineEdit(group);
        percent->setObjectName(QStringLiteral("Percent %1").arg(k + 1));
        percent->setReadOnly(true);
        percent->setMaximumWidth(80);
        rows_[i].percent = percent;
        grid->addWidget(percent, k + 1, 3);
    }

    auto* incrementRow = new QHBoxLayout;
    incrementRow->addWidget(new QLabel(kIncrementKey, group));
    incrementRow->addWidget(numberField(kIncrementKey, colors_.increment));
    QPushButton* doubled = button(QStringLiteral("+"), QStringLiteral("incrementPlus"));
    QPushButton* halved = button(QStringLiteral("-"), QStringLiteral("incrementMinus"));
    connect(doubled, &QPushButton::clicked, this,
            [this] { act([this] { colors_.doubleIncrement(); }); });
    connect(halved, &QPushButton::clicked, this,
            [this] { act([this] { colors_.halveIncrement(); }); });
    incrementRow->addWidget(doubled);
    incrementRow->addWidget(halved);
    grid->addLayout(incrementRow, ColorC::kColors + 1, 0, 1, 4);
    return group;
}

std::optional<std::string> ColorControlDialog::validate() const {
    for (int k = 0; k < ColorC::kColors; ++k) {
        for (int channel = 0; channel < 3; ++channel) {
            if (auto e = checkInteger(channelOf(colors_, channel, k), 0, 255,
                                      channelKey(channel, k).toStdString())) {
                return e;
            }
        }
    }
    return checkNumber(colors_.increment, ColorC::kMinIncrement, ColorC::kMaxIncrement,
                       kIncrementKey.toStdString());
}

void ColorControlDialog::act(const std::function<void()>& op) {
    if (!takeControls()) {
        return;
    }
    op();
    showAll();
}

void ColorControlDialog::addSwitch(QGridLayout* grid, int row, const QString& key,
                                   std::int32_t& member, void (ColorC::*op)(bool)) {
    QCheckBox* box = checkField(key, member);
    box->setObjectName(key);
    box->setToolTip(key);
    box->setText(QString());
    grid->addWidget(box, row, 5);
    connect(box, &QCheckBox::clicked, this,
            [this, box, target = &member, op] { switchColors(box, *target, op); });
}

void ColorControlDialog::switchColors(QCheckBox* box, std::int32_t& member,
                                      void (ColorC::*op)(bool)) {
    const std::int32_t before = member;
    if (!takeControls()) {
        // The switch did not happen: the set and the box stay as they were.
        member = before;
        const QSignalBlocker block(box);
        box->setChecked(before != 0);
        return;
    }
    (colors_.*op)(member != 0);
    showAll();
}

void ColorControlDialog::chooseColor(int k) {
    act([this, k] {
        QColorDialog chooser(Qt::black, this);
        if (chooser.exec() != QDialog::Accepted) {
            return;
        }
        const QColor c = chooser.selectedColor();
        const std::size_t i = static_cast<std::size_t>(k);
        colors_.red[i] = c.red();
        colors_.green[i] = c.green();
        colors_.blue[i] = c.blue();
    });
}

void ColorControlDialog::exchangeFile(bool write) {
    QFileDialog files(this);
    files.setAcceptMode(write ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    files.setFileMode(write ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    files.setNameFilter(kColorFilter);
    files.setDefaultSuffix(QStringLiteral("qcl"));
    files.selectFile(QString::fromStdString(colors_.nameString()));
    if (files.exec() != QDialog::Accepted || files.selectedFiles().isEmpty()) {
        return;
    }
    const std::string path = files.selectedFiles().constFirst().toStdString();
    const ColorFileResult result =
        write ? colors_.WriteColorFile(path) : colors_.ReadColorFile(path);
    if (!result) {
        showFieldMessage(this, QString::fromStdString(result.error));
    }
}

void ColorControlDialog::loadPreset(int index) {
    if (index < 0 || index >= static_cast<int>(presets_.size())) {
        return;
    }
    const ColorFileResult result =
        colors_.ReadColorFile(presets_[static_cast<std::size_t>(index)].path.string());
    if (!result) {
        showFieldMessage(this, QString::fromStdString(result.error));
    }
}

void ColorControlDialog::showAll() {
    showControls();
    for (int k = 0; k < ColorC::kColors; ++k) {
        const std::size_t i = static_cast<std::size_t>(k);
        rows_[i].percent->setText(QString::number(colors_.percent[i], 'g', 6));
    }
    updateStrip();
}

void ColorControlDialog::updateStrip() {
    ColorC preview = colors_;
    for (int k = 0; k < ColorC::kColors; ++k) {
        for (int channel = 0; channel < 3; ++channel) {
            const auto v =
                parseInteger(rows_[static_cast<std::size_t>(k)].channels[channel]->text());
            if (v && *v >= 0 && *v <= 255) {
                channelOf(preview, channel, k) = *v;
            }
        }
    }
    Palette built = palette_;
    FillPaletteBands(built, preview, histogram_);
    strip_->setPalette(built);
}

} // namespace zarn::app
