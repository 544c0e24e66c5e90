#include "dialogs/message_box/message_box_layout.h"

#include <algorithm>

namespace kelvora {

QStringList SplitMessageLines(const QString& text) {
    QStringList lines = text.split(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.back().isEmpty() && text.endsWith(QLatin1Char('\n'))) {
        lines.removeLast();
    }
    return lines;
}

MessageBoxMetrics ComputeMessageBoxMetrics(const std::vector<int>& lineWidths, int lineHeight,
                                           int titleHeight) {
    MessageBoxMetrics m;
    m.lineHeight = lineHeight;
    int widest = 0;
    for (const int width : lineWidths) {
        widest = std::max(widest, width);
        if (width > 0) {
            m.rows += (width + kMessageTextMaxWidth - 1) / kMessageTextMaxWidth;
        }
    }
    m.textWidth = std::clamp(widest, kMessageTextMinWidth, kMessageTextMaxWidth);
    m.window = QSize(m.textWidth + kMessageBoxExtraWidth,
                     titleHeight + m.rows * lineHeight + kMessageBoxExtraHeight);
    return m;
}

MessageBoxMetrics GrowToRows(MessageBoxMetrics metrics, int rows) {
    if (rows > metrics.rows) {
        metrics.window.rheight() += (rows - metrics.rows) * metrics.lineHeight;
        metrics.rows = rows;
    }
    return metrics;
}

}  // namespace kelvora
