#pragma once

// Turns a picture of the skin package into the form the controls draw.

#include <QByteArray>
#include <QImage>
#include <optional>

namespace kelvora {

// The largest picture the skin may hold. Its pictures are icons and buttons of at most
// 160 x 160 pixels; these bounds leave room for forty times that and keep one hostile header
// from making us allocate far more than the package's own size.
inline constexpr int kMaxSkinImageSide = 2048;
inline constexpr long long kMaxSkinImagePixels = 1024LL * 1024;  // 4 MiB decoded

// Decodes `bytes`, premultiplied; nothing for data that is not a picture, that does not say
// its size in its header, or that says a size above the bounds (refused before any pixel is
// decoded).
std::optional<QImage> DecodeSkinImage(const QByteArray& bytes);

}  // namespace kelvora
