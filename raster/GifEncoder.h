#pragma once

#include <QByteArray>
#include <QImage>

#include <string>

namespace zarn {

/** A GIF file in memory, or why there is none. */
struct GifEncoding {
    QByteArray bytes;
    /** Empty on success. */
    std::string error;
    /** The quantizer's mean square error per pixel on the 0..255 scale (below 5 is excellent,
     *  above 20 shows); negative when unknown. */
    double quantizationError = -1.0;
};

/**
 * Encodes @p image as a GIF: the colours reduced to one palette of at most 256 by a real
 * quantizer with Floyd-Steinberg dithering, then written with LZW. The result depends only on
 * the pixels, so the same picture gives the same bytes. Images wider or taller than 65535 pixels
 * (the format's limit) are refused.
 */
GifEncoding encodeGif(const QImage& image);

} // namespace zarn
