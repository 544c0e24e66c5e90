#include "toolkit/skin_image.h"

#include <QBuffer>
#include <QImageReader>
#include <utility>

namespace kelvora {

namespace {
constexpr int kOpaque = 255;

// Pictures are kept premultiplied, the form the raster engine draws from. The conversion is
// done here, row by row and in place, because Qt's own makes a second picture and spreads
// large images over its worker pool, which would make every paint touch other threads.
QImage Premultiplied(QImage decoded) {
    switch (decoded.format()) {
        case QImage::Format_ARGB32_Premultiplied:
            return decoded;
        case QImage::Format_RGB32:
            // Opaque pixels read the same in either form (RGB32 keeps 0xff in the alpha byte).
            decoded.reinterpretAsFormat(QImage::Format_ARGB32_Premultiplied);
            return decoded;
        case QImage::Format_ARGB32:
            break;
        default:
            decoded.convertTo(QImage::Format_ARGB32);
            break;
    }
    const int width = decoded.width();
    for (int y = 0; y < decoded.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(decoded.scanLine(y));
        for (int x = 0; x < width; ++x) {
            // Skins are mostly opaque or wholly clear, which need no arithmetic.
            const int alpha = qAlpha(row[x]);
            if (alpha != kOpaque) {
                row[x] = alpha == 0 ? 0 : qPremultiply(row[x]);
            }
        }
    }
    decoded.reinterpretAsFormat(QImage::Format_ARGB32_Premultiplied);
    return decoded;
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
    return Premultiplied(std::move(decoded));
}

}  // namespace kelvora
