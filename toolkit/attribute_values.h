#pragma once

// Parsing of attribute values of the layout dialect. Every parser is total: a malformed value
// gives the fallback, never a crash.

#include <QColor>
#include <QMargins>
#include <QRect>
#include <QSize>
#include <QString>
#include <optional>

namespace kelvora {

// The largest magnitude of a number in a layout (pixels, ids, lengths); beyond it a value is
// malformed. No real layout comes near it, and refusing more keeps the sums of a few such
// numbers far from overflow.
inline constexpr int kLargestLayoutNumber = 1'000'000;

// "#AARRGGBB" (also "#RRGGBB", opaque, and "0x" instead of "#").
std::optional<QColor> ParseColor(const QString& value);
// "a,b,c,d" as four integers; used for rectangles and padding (left, top, right, bottom).
std::optional<QMargins> ParseFour(const QString& value);
// "x1,y1,x2,y2" as a rectangle from its corners.
std::optional<QRect> ParseRect(const QString& value);
// "w,h".
std::optional<QSize> ParseSize(const QString& value);
bool ParseBool(const QString& value);
// A non-negative integer, or the fallback.
int ParseInt(const QString& value, int fallback);

// An image reference: a plain file name, or "file='x.png' dest='l,t,r,b'".
struct ImageRef {
    QString file;
    std::optional<QRect> dest;
    bool empty() const { return file.isEmpty(); }
};
ImageRef ParseImageRef(const QString& value);

}  // namespace kelvora
