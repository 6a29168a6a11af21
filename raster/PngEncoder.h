#pragma once

#include <QByteArray>
#include <QImage>

#include <string>

namespace zarn {

/** A PNG file in memory, or why there is none. */
struct PngEncoding {
    QByteArray bytes;
    /** Empty on success; otherwise the PNG library's own reason ("Invalid IHDR data"). */
    std::string error;
};

/** The largest side the PNG library writes into a header (its default user limit). */
inline constexpr int kMaxPngSide = 1000000;

/**
 * Encodes @p image as an 8-bit RGB PNG (alpha is dropped; the pictures are opaque) with the
 * image's resolution. The PNG library reports through this encoder only, so nothing it says is
 * printed.
 */
PngEncoding encodePng(const QImage& image);

} // namespace zarn
