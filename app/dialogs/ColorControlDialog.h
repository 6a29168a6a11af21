#pragma once

#include "FieldDialog.h"
#include "engine/QuiltMap.h"
#include "render/ColorC.h"
#include "render/ColorPresets.h"
#include "render/LevelScale.h"
#include "render/Palette.h"

#include <QImage>
#include <QWidget>

#include <array>
#include <functional>
#include <vector>

class QCheckBox;
class QComboBox;
class QGridLayout;
class QLineEdit;
class QPushButton;

namespace zarn::app {

/**
 * A strip showing a palette as a quilt uses it: from left to right the grid's cells in order of
 * their level, each level as wide as its share of the cells, so every colour takes the room it
 * takes in the picture. A grid without counts shows the palette's entries evenly.
 */
class PaletteStrip : public QWidget {
    Q_OBJECT

public:
    static constexpr int kSamples = 512;

    PaletteStrip(const LevelHistogram& histogram, QWidget* parent = nullptr);

    void setPalette(const Palette& palette);
    /** kSamples x 1 pixels, the colours drawn. */
    const QImage& image() const { return image_; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::vector<int> sampleLevels_;
    QImage image_;
};

/**
 * "Color Control": edits a copy of a document's colour set. Every button first takes the
 * controls' values into the set (a refused value stops it with the range message), then runs
 * the set's own operation and writes the set back to the controls; the strip below shows the
 * palette the settings would build. OK leaves the edited set in colors(); Cancel leaves the
 * document's set as it was, since only the copy was edited.
 */
class ColorControlDialog : public FieldDialog {
    Q_OBJECT

public:
    /** Draws new random colours into a set (from the document's own generators). */
    using Randomizer = std::function<void(ColorC&)>;

    /**
     * @p palette is the document's palette (the entries the bands do not reach keep their
     * colours) and @p histogram its grid's level shares, both taken when the dialog opens on
     * the level scale the window shows. The "Presets" box lists @p presets; choosing one loads
     * it into the edited set.
     */
    ColorControlDialog(const ColorC& colors, const Palette& palette,
                       const LevelHistogram& histogram, Randomizer randomize,
                       QWidget* parent = nullptr,
                       std::vector<ColorPreset> presets = listColorPresets());

    const ColorC& colors() const { return colors_; }
    const PaletteStrip* strip() const { return strip_; }
    QComboBox* presetBox() const { return presetBox_; }

protected:
    std::optional<std::string> validate() const override;

private:
    struct Row {
        QLineEdit* channels[3] = {};
        QLineEdit* percent = nullptr;
    };

    QWidget* buildColorsGroup();
    QWidget* buildRangeGroup();
    QPushButton* button(const QString& text, const QString& name);
    /** Takes the controls, runs @p op on the set, shows the set. */
    void act(const std::function<void()>& op);
    /** The check beside row @p row that switches a pair of colours with @p op. */
    void addSwitch(QGridLayout* grid, int row, const QString& key, std::int32_t& member,
                   void (ColorC::*op)(bool));
    /** The handler of a check beside row 3 or 5: @p member follows the box, then @p op. */
    void switchColors(QCheckBox* box, std::int32_t& member, void (ColorC::*op)(bool));
    void chooseColor(int k);
    /** "Write to File" (@p write) or "Read from File": a ".qcl" file dialog, then the set's
     *  own file operation; a failure is shown with the file and the reason. */
    void exchangeFile(bool write);
    /** Loads preset @p index of the list into the set through the colour-file reader. */
    void loadPreset(int index);
    void showAll();
    /** The strip for the set with whatever channel edits read as valid values. */
    void updateStrip();

    ColorC colors_;
    Palette palette_;
    LevelHistogram histogram_;
    Randomizer randomize_;
    std::array<Row, ColorC::kColors> rows_{};
    PaletteStrip* strip_ = nullptr;
    std::vector<ColorPreset> presets_;
    QComboBox* presetBox_ = nullptr;
};

} // namespace zarn::app
