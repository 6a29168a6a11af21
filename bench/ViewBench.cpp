#include "engine/QuiltMap.h"
#include "engine/SqrMap.h"
#include "raster/Compose.h"
#include "raster/GifEncoder.h"
#include "raster/PngEncoder.h"
#include "render/BitmapFill.h"
#include "render/PolyMapping.h"
#include "render/QuaziMapping.h"

#include <QPainter>

#include <benchmark/benchmark.h>

#include <cmath>

namespace {

/** A 300 x 300 period with smooth colour bands and some ten thousand colours. */
zarn::PeriodBitmap bandedPeriod() {
    zarn::PeriodBitmap b(300, 300);
    for (int y = 0; y < 300; ++y) {
        for (int x = 0; x < 300; ++x) {
            const double v = 0.5 + 0.5 * std::sin(x * 0.05) * std::cos(y * 0.07);
            const auto c = static_cast<std::uint32_t>(v * 255.0);
            const auto d = static_cast<std::uint32_t>(y * 255 / 299);
            b.at(x, y) = 0xFF000000u | (c << 16) | ((255 - c) << 8) | d;
        }
    }
    return b;
}

zarn::QuaziMapping defaultQuazi() {
    zarn::RandomSource rng;
    rng.SeedFrom(3.0);
    zarn::QuaziMapping m(zarn::QuaziMapping::kDefaultSetCount, zarn::QuaziMapping::kBaseSpacing,
                         rng);
    m.GenerateTiles();
    return m;
}

// The window's redraw of the quasi-crystal view: a 600 x 600 picture of two periods, every
// rhombus that reaches it drawn.
void BM_QuaziViewRedraw(benchmark::State& state) {
    const zarn::PeriodBitmap period = bandedPeriod();
    const zarn::QuaziMapping mapping = defaultQuazi();
    for (auto _ : state) {
        benchmark::DoNotOptimize(zarn::composeQuazi(period, 2, mapping));
    }
}
BENCHMARK(BM_QuaziViewRedraw)->Unit(benchmark::kMillisecond);

// All 4410 rhombi of a 300-pixel period drawn, each moved into a 600 x 600 picture so that none
// is skipped: the cost of a redraw of a picture large enough to show the whole pattern.
void BM_QuaziAll4410AffineDraws(benchmark::State& state) {
    const QImage source = zarn::periodSource(bandedPeriod());
    zarn::QuaziMapping mapping = defaultQuazi();
    mapping.SetPatternScale(298);
    mapping.PlaceTiles();
    QImage canvas(600, 600, QImage::Format_RGB32);
    for (auto _ : state) {
        canvas.fill(Qt::white);
        QPainter painter(&canvas);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        for (int i = 0; i < mapping.TileCount(); ++i) {
            const zarn::Rhombus& t = mapping.tiles[static_cast<std::size_t>(i)];
            const QPointF into(std::fmod(std::abs(t.centreX), 600.0) - t.centreX,
                               std::fmod(std::abs(t.centreY), 600.0) - t.centreY);
            const auto corner = [&](int k) {
                const zarn::CornerPoint c = mapping.DrawCorner(i, k);
                return QPointF(c.x, c.y) + into;
            };
            zarn::drawAffineParallelogram(painter, source, corner(0), corner(1), corner(2));
        }
    }
    state.SetItemsProcessed(state.iterations() * mapping.TileCount());
}
BENCHMARK(BM_QuaziAll4410AffineDraws)->Unit(benchmark::kMillisecond);

// One rebuild of the poly image at scale 1, per tiling kind.
void BM_PolyImageRebuild(benchmark::State& state) {
    const zarn::PeriodBitmap period = bandedPeriod();
    zarn::PolyMapping mapping(static_cast<int>(state.range(0)), 0.04);
    mapping.SetScale(1.0);
    for (auto _ : state) {
        benchmark::DoNotOptimize(zarn::renderPolyImage(period, mapping));
    }
    state.SetItemsProcessed(state.iterations() *
                            static_cast<std::int64_t>(mapping.DrawTriangles().size()));
}
BENCHMARK(BM_PolyImageRebuild)
    ->Arg(0)
    ->Arg(1)
    ->Arg(2)
    ->Arg(3)
    ->Arg(5)
    ->Unit(benchmark::kMillisecond);

// The GIF export of a 600 x 600 picture: quantizing, dithering and LZW.
void BM_GifEncode600(benchmark::State& state) {
    const QImage picture = zarn::composeTiled(bandedPeriod(), 2);
    double error = 0.0;
    for (auto _ : state) {
        const zarn::GifEncoding gif = zarn::encodeGif(picture);
        error = gif.quantizationError;
        benchmark::DoNotOptimize(gif.bytes.data());
    }
    state.counters["mse"] = error;
}
BENCHMARK(BM_GifEncode600)->Unit(benchmark::kMillisecond);

// The PNG export of a real quilt, two periods across and down (500 x 500, what
// zarn80-render writes by default): the plain square map, 3,000,000 steps on a 250 grid.
// Reports the file's size beside the time.
void BM_PngEncodeQuilt(benchmark::State& state) {
    zarn::SqrMap map;
    map.lambda = -0.11421700345998614;
    map.alpha = -0.37461220289386299;
    map.beta = -0.5379218490451606;
    map.gamma = 0.081118385528197293;
    map.omega = -0.004898019428656814;
    map.emm = -1.0;
    map.offX = map.offY = 0.5;
    map.x = 0.3;
    map.y = 0.7;
    zarn::QuiltMap grid;
    grid.BuildSize(250);
    for (int k = 0; k < 3000000; ++k) {
        map.Step();
        grid.AddHit(static_cast<int>(map.y * 250.0), static_cast<int>(map.x * 250.0));
    }
    grid.RefreshMax();
    zarn::Palette palette;
    for (int i = 0; i < zarn::Palette::kEntries; ++i) {
        // A ramp through the levels, as a two-colour set gives.
        const auto v = static_cast<std::uint8_t>(i * 255 / (zarn::Palette::kEntries - 1));
        palette[i] = {v, static_cast<std::uint8_t>(255 - v), static_cast<std::uint8_t>(v / 2), 0};
    }
    zarn::PeriodBitmap period(250, 250);
    zarn::fillGridBitmap(period, palette, zarn::LevelScale(grid.maxCount), grid);
    const QImage picture = zarn::composeTiled(period, 2);
    double bytes = 0.0;
    for (auto _ : state) {
        const zarn::PngEncoding png = zarn::encodePng(picture);
        bytes = static_cast<double>(png.bytes.size());
        benchmark::DoNotOptimize(png.bytes.data());
    }
    state.counters["bytes"] = bytes;
}
BENCHMARK(BM_PngEncodeQuilt)->Unit(benchmark::kMillisecond);

} // namespace
