#include "toolkit/skin_image.h"

#include <QBuffer>
#include <QImageReader>

namespace kelvora {

namespace {
constexpr int kOpaque = 255;

// Pictures are kept premultiplied, the form the raster engine draws from. The conversion is
// done here, row by row, because Qt's own spreads large images over its worker pool, which
// would make every paint touch other threads.
QImage Premultiplied(const QImage& decoded) {
    if (decoded.format() == QImage::Format_ARGB32_Premultiplied) {
        return decoded;
    }
    const QImage argb = decoded.format() == QImage::Format_ARGB32
                            ? decoded
                            : decoded.convertToFormat(QImage::Format_ARGB32);
    QImage out(argb.size(), QImage::Format_ARGB32_Premultiplied);
    const int width = argb.width();
    for (int y = 0; y < argb.height(); ++y) {
        const auto* from = reinterpret_cast<const QRgb*>(argb.constScanLine(y));
        auto* to = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < width; ++x) {
            // Skins are mostly opaque or wholly clear, which need no arithmetic.
            const QRgb pixel = from[x];
            const int alpha = qAlpha(pixel);
            to[x] = alpha == kOpaque ? pixel : alpha == 0 ? 0 : qPremultiply(pixel);
        }
    }
    return out;
}
}  // namespace

std::optional<QImage> DecodeSkinImage(const QByteArray& bytes) {
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    // The header alone: formats that cannot tell their size before decoding are refused.
    const QSize size = reader.size();
    if (!size.isValid() || size.isEmpty() || size.width() > kMaxSkinImageSide ||
        size.height() > kMaxSkinImageSide ||
        static_cast<long long>(size.width()) * size.height() > kMaxSkinImagePixels) {
        return std::nullopt;
    }
    QImage decoded;
    // A header that differs from the data it heads is not trusted either.
    if (!reader.read(&decoded) || decoded.size() != size) {
        return std::nullopt;
    }
    return Premultiplied(decoded);
}

}  // namespace kelvora
