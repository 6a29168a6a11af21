#include "Palette.h"

#include "engine/Archive.h"
#include "engine/CRandom.h"
#include "render/ColorC.h"

#include <cmath>

namespace zarn {

namespace {

/** The band walk stops short of the two top levels; see FillPaletteBands(). */
constexpr int kBandEnd = Palette::kEntries - 2;
/** The first band starts just above 0 so its parabola is not solved through the origin. */
constexpr double kFirstBandStart = 0.00001;

/** c(t) = H + D t + E t^2 through (x0, a), (x1, (a + b) / 2), (x2, b), with the fallbacks that
 *  keep every division defined. */
struct Parabola {
    double h = 0.0;
    double d = 0.0;
    double e = 0.0;

    Parabola(double x0, double x1, double x2, double a, double b) {
        const double mean = (a + b) / 2.0;
        const double q0 = x0 * x0;
        double q2 = x2 * x2;
        if (q0 == q2) {
            q2 = q2 + 0.01;
        }
        double o = (x1 * x1 - q2) / (q0 - q2);
        if (o == 0.0) {
            o = 0.001;
        }
        double u = x0 - x2;
        if (u == 0.0) {
            u = 0.001;
        }
        double v = x1 - x2;
        if (v == 0.0) {
            v = 0.001;
        }
        double area = q0 - q2;
        if (area == 0.0) {
            area = 0.001;
        }
        double w = o * u - v;
        if (w == 0.0) {
            w = 0.001;
        }
        d = (o * (a - b) - (mean - b)) / w;
        e = ((a - b) - u * d) / area;
        h = a - d * x0 - q0 * e;
    }

    double operator()(double t) const { return h + d * t + e * (t * t); }
};

/** Low byte of trunc(|v|). fmod keeps it exact for any finite value, where a cast to an integer
 *  would be undefined for huge ones; a non-finite value gives 0. */
std::uint8_t lowByte(double v) {
    if (!std::isfinite(v)) {
        return 0;
    }
    return static_cast<std::uint8_t>(std::fmod(std::trunc(std::fabs(v)), 256.0));
}

struct BandWalk {
    Palette& palette;
    const std::array<double, QuiltMap::kLevels>& histogram;
    int index = 0;
    double value = 0.0;

    void fill(const ColorC& colors, int a, int b, double x0, double x1, double x2) {
        if (value > x2) {
            return;
        }
        const Parabola red(x0, x1, x2, colors.red[a], colors.red[b]);
        const Parabola green(x0, x1, x2, colors.green[a], colors.green[b]);
        const Parabola blue(x0, x1, x2, colors.blue[a], colors.blue[b]);
        while (index < kBandEnd) {
            value += histogram[static_cast<std::size_t>(index)];
            PaletteEntry& entry = palette[static_cast<std::size_t>(index)];
            entry.red = lowByte(red(value));
            entry.green = lowByte(green(value));
            entry.blue = lowByte(blue(value));
            ++index;
            if (value > x2) {
                break;
            }
        }
    }

    /** Band from colour a to colour b continuing where the previous band stopped. */
    void next(const ColorC& colors, int a, double shareA, double shareB) {
        const double s = value;
        const double x1 = s + shareA;
        fill(colors, a, a + 1, s, x1, x1 + shareB);
    }
};

} // namespace

void Palette::serialize(Archive& ar) {
    for (std::size_t b = 0; b < kStoredBytes; ++b) {
        PaletteEntry& entry = entries[b / 4];
        switch (b % 4) {
        case 0:
            ar.io(entry.red, "palette red");
            break;
        case 1:
            ar.io(entry.green, "palette green");
            break;
        case 2:
            ar.io(entry.blue, "palette blue");
            break;
        default:
            ar.io(entry.tag, "palette tag");
            break;
        }
    }
    if (ar.isLoading()) {
        // The file stops two bytes short: the last entry's blue and tag are not in it and would
        // otherwise be left from before the load. The palette build gives the two densest
        // levels one colour, so they are taken from the entry before it.
        entries[kEntries - 1].blue = entries[kEntries - 2].blue;
        entries[kEntries - 1].tag = entries[kEntries - 2].tag;
    }
}

void InitialPalette(Palette& palette, CRandom& cRandom) {
    for (int i = 0; i < Palette::kEntries - 1; ++i) {
        PaletteEntry& entry = palette[static_cast<std::size_t>(i)];
        entry.red = static_cast<std::uint8_t>(cRandom() % 200 + 55);
        entry.green = static_cast<std::uint8_t>(cRandom() % 200 + 55);
        entry.blue = static_cast<std::uint8_t>(cRandom() % 200 + 55);
        if (i > 0) {
            entry.tag = 1;
        }
    }
}

void FillPaletteBands(Palette& palette, const ColorC& colors,
                      const std::array<double, QuiltMap::kLevels>& histogram) {
    std::array<double, ColorC::kColors> share{};
    for (int k = 0; k < ColorC::kColors; ++k) {
        share[k] = colors.percent[k] * 0.01;
    }

    BandWalk walk{palette, histogram};
    const double x1 = kFirstBandStart + share[0];
    walk.fill(colors, 0, 1, kFirstBandStart, x1, x1 + share[1]);
    int last = 1;
    if (colors.useColors34 != 0) {
        walk.next(colors, 1, share[1], share[2]);
        walk.next(colors, 2, share[2], share[3]);
        last = 3;
        if (colors.useColors56 != 0) {
            walk.next(colors, 3, share[3], share[4]);
            walk.next(colors, 4, share[4], share[5]);
            last = 5;
        }
    }

    // The densest cells reach levels 3998 and 3999, which no band writes; they end the last
    // band's colour ramp instead of showing a stale or never-set entry.
    for (int i = kBandEnd; i < Palette::kEntries; ++i) {
        PaletteEntry& entry = palette[static_cast<std::size_t>(i)];
        entry.red = lowByte(colors.red[last]);
        entry.green = lowByte(colors.green[last]);
        entry.blue = lowByte(colors.blue[last]);
    }
}

void buildPalette(Palette& palette, const ColorC& colors, QuiltMap& grid) {
    grid.BuildLevelHistogram();
    FillPaletteBands(palette, colors, grid.levelHistogram);
}

void buildPalette(Palette& palette, const ColorC& colors, const QuiltMap& grid,
                  const LevelScale& scale) {
    FillPaletteBands(palette, colors, scale.histogram(grid));
}

} // namespace zarn
