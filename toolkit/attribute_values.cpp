#include "toolkit/attribute_values.h"

#include <QRegularExpression>
#include <QStringList>

namespace kelvora {

namespace {
std::optional<int> ParseNumber(const QString& text) {
    bool ok = false;
    const int v = text.trimmed().toInt(&ok);
    if (!ok || v < -kLargestLayoutNumber || v > kLargestLayoutNumber) {
        return std::nullopt;
    }
    return v;
}

std::optional<std::vector<int>> ParseInts(const QString& value, int count) {
    const QStringList parts = value.split(QLatin1Char(','));
    if (parts.size() != count) {
        return std::nullopt;
    }
    std::vector<int> out;
    for (const QString& p : parts) {
        const auto v = ParseNumber(p);
        if (!v) {
            return std::nullopt;
        }
        out.push_back(*v);
    }
    return out;
}
}  // namespace

std::optional<QColor> ParseColor(const QString& value) {
    QString hex = value.trimmed();
    if (hex.startsWith(QLatin1Char('#'))) {
        hex = hex.mid(1);
    } else if (hex.startsWith(QLatin1String("0x"), Qt::CaseInsensitive)) {
        hex = hex.mid(2);
    } else {
        return std::nullopt;
    }
    if (hex.size() != 8 && hex.size() != 6) {
        return std::nullopt;
    }
    bool ok = false;
    const uint argb = hex.toUInt(&ok, 16);
    if (!ok) {
        return std::nullopt;
    }
    return hex.size() == 6 ? QColor::fromRgb(0xFF000000u | argb) : QColor::fromRgba(argb);
}

std::optional<QMargins> ParseFour(const QString& value) {
    const auto v = ParseInts(value, 4);
    if (!v) {
        return std::nullopt;
    }
    return QMargins((*v)[0], (*v)[1], (*v)[2], (*v)[3]);
}

std::optional<QRect> ParseRect(const QString& value) {
    const auto v = ParseInts(value, 4);
    if (!v) {
        return std::nullopt;
    }
    return QRect(QPoint((*v)[0], (*v)[1]), QSize((*v)[2] - (*v)[0], (*v)[3] - (*v)[1]));
}

std::optional<QSize> ParseSize(const QString& value) {
    const auto v = ParseInts(value, 2);
    if (!v || (*v)[0] < 0 || (*v)[1] < 0) {
        return std::nullopt;
    }
    return QSize((*v)[0], (*v)[1]);
}

bool ParseBool(const QString& value) {
    return value.trimmed().compare(QLatin1String("true")) == 0;
}

int ParseInt(const QString& value, int fallback) {
    const auto v = ParseNumber(value);
    return v && *v >= 0 ? *v : fallback;
}

ImageRef ParseImageRef(const QString& value) {
    ImageRef ref;
    if (!value.contains(QLatin1Char('\''))) {
        ref.file = value.trimmed();
        return ref;
    }
    static const QRegularExpression pair(QStringLiteral("(\\w+)\\s*=\\s*'([^']*)'"));
    for (auto it = pair.globalMatch(value); it.hasNext();) {
        const auto m = it.next();
        if (m.captured(1) == QLatin1String("file")) {
            ref.file = m.captured(2);
        } else if (m.captured(1) == QLatin1String("dest")) {
            ref.dest = ParseRect(m.captured(2));
        }
    }
    return ref;
}

}  // namespace kelvora
