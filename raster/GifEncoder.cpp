#include "GifEncoder.h"

#include <gif_lib.h>
#include <libimagequant.h>
#ifdef _OPENMP
#include <omp.h>
#endif

#include <memory>
#include <vector>

namespace zarn {

namespace {

constexpr int kMaxGifSide = 65535;
constexpr int kMaxColors = 256;

struct LiqAttrFree {
    void operator()(liq_attr* p) const { liq_attr_destroy(p); }
};
struct LiqImageFree {
    void operator()(liq_image* p) const { liq_image_destroy(p); }
};
struct LiqResultFree {
    void operator()(liq_result* p) const { liq_result_destroy(p); }
};
struct MapFree {
    void operator()(ColorMapObject* p) const { GifFreeMapObject(p); }
};

int appendToBuffer(GifFileType* gif, const GifByteType* data, int length) {
    static_cast<QByteArray*>(gif->UserData)->append(reinterpret_cast<const char*>(data), length);
    return length;
}

/** The smallest power of two, at least 2, that holds @p count colours: a GIF colour table's
 *  size. */
int tableSize(int count) {
    int size = 2;
    while (size < count) {
        size *= 2;
    }
    return size;
}

std::string gifError(const char* what, int code) {
    const char* text = GifErrorString(code);
    return std::string(what) + ": " + (text != nullptr ? text : "unknown error");
}

/** Quantizes on the calling thread alone: a parallel quantizer may sum in a different order
 *  from run to run, and seeded runs promise the same bytes. */
class SingleThreaded {
public:
    SingleThreaded() {
#ifdef _OPENMP
        previous_ = omp_get_max_threads();
        omp_set_num_threads(1);
#endif
    }
    ~SingleThreaded() {
#ifdef _OPENMP
        omp_set_num_threads(previous_);
#endif
    }
    SingleThreaded(const SingleThreaded&) = delete;
    SingleThreaded& operator=(const SingleThreaded&) = delete;

private:
    int previous_ = 1;
};

} // namespace

GifEncoding encodeGif(const QImage& image) {
    GifEncoding out;
    const int width = image.width();
    const int height = image.height();
    if (image.isNull() || width <= 0 || height <= 0) {
        out.error = "the picture is empty";
        return out;
    }
    if (width > kMaxGifSide || height > kMaxGifSide) {
        out.error = "a GIF holds at most " + std::to_string(kMaxGifSide) + " pixels a side, not " +
                    std::to_string(width) + " x " + std::to_string(height);
        return out;
    }
    const QImage rgba = image.convertToFormat(QImage::Format_RGBA8888);
    if (rgba.isNull()) {
        out.error = "not enough memory to convert the picture";
        return out;
    }
    std::vector<const void*> rows(static_cast<std::size_t>(height));
    for (int y = 0; y < height; ++y) {
        rows[static_cast<std::size_t>(y)] = rgba.constScanLine(y);
    }

    SingleThreaded oneThread;
    const std::unique_ptr<liq_attr, LiqAttrFree> attr(liq_attr_create());
    if (!attr || liq_set_max_colors(attr.get(), kMaxColors) != LIQ_OK) {
        out.error = "the colour quantizer could not be set up";
        return out;
    }
    // The rows are only read; the quantizer's interface is not const-correct.
    const std::unique_ptr<liq_image, LiqImageFree> input(liq_image_create_rgba_rows(
        attr.get(), const_cast<void**>(rows.data()), width, height, 0.0));
    liq_result* rawResult = nullptr;
    if (!input || liq_image_quantize(input.get(), attr.get(), &rawResult) != LIQ_OK) {
        out.error = "the colours could not be reduced to a palette";
        return out;
    }
    const std::unique_ptr<liq_result, LiqResultFree> result(rawResult);
    liq_set_dithering_level(result.get(), 1.0f);
    std::vector<unsigned char> indices(static_cast<std::size_t>(width) *
                                       static_cast<std::size_t>(height));
    if (liq_write_remapped_image(result.get(), input.get(), indices.data(), indices.size()) !=
        LIQ_OK) {
        out.error = "the picture could not be mapped to its palette";
        return out;
    }
    out.quantizationError = liq_get_quantization_error(result.get());

    const liq_palette* palette = liq_get_palette(result.get());
    const int colours = static_cast<int>(palette->count);
    const std::unique_ptr<ColorMapObject, MapFree> map(
        GifMakeMapObject(tableSize(colours), nullptr));
    if (!map) {
        out.error = "not enough memory for the colour table";
        return out;
    }
    for (int i = 0; i < map->ColorCount; ++i) {
        const liq_color c = i < colours ? palette->entries[i] : liq_color{0, 0, 0, 255};
        map->Colors[i] = GifColorType{c.r, c.g, c.b};
    }

    int code = 0;
    GifFileType* gif = EGifOpen(&out.bytes, appendToBuffer, &code);
    if (gif == nullptr) {
        out.error = gifError("the GIF writer could not start", code);
        return out;
    }
    bool ok = EGifPutScreenDesc(gif, width, height, 8, 0, map.get()) == GIF_OK &&
              EGifPutImageDesc(gif, 0, 0, width, height, false, nullptr) == GIF_OK;
    for (int y = 0; ok && y < height; ++y) {
        ok =
            EGifPutLine(gif, indices.data() + static_cast<std::size_t>(y) * width, width) == GIF_OK;
    }
    const int writeError = gif->Error;
    if (EGifCloseFile(gif, &code) != GIF_OK || !ok) {
        out.error = gifError("the GIF could not be written", ok ? code : writeError);
        out.bytes.clear();
    }
    return out;
}

} // namespace zarn
