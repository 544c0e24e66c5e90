// Feeds arbitrary bytes to the decoder of the skin's pictures, as a member of the package
// would reach it. Any picture format Qt reads is tried, as the package names no format;
// what decodes must stay within the stated bounds.
#include <QByteArray>
#include <QImage>
#include <cstddef>
#include <cstdint>

#include "toolkit/skin_image.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kelvora;
    const auto image = DecodeSkinImage(
        QByteArray::fromRawData(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)));
    if (image && (image->width() > kMaxSkinImageSide || image->height() > kMaxSkinImageSide ||
                  static_cast<long long>(image->width()) * image->height() > kMaxSkinImagePixels ||
                  image->format() != QImage::Format_ARGB32_Premultiplied)) {
        __builtin_trap();
    }
    return 0;
}
