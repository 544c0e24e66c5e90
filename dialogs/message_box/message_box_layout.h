#pragma once

// How the message box sizes itself to its text: lines are measured in the box's font, the
// text column is 250 to 350 pixels wide, and a line wider than the column takes as many
// rows as it needs.

#include <QSize>
#include <QString>
#include <QStringList>
#include <vector>

namespace kelvora {

inline constexpr int kMessageTextMinWidth = 250;
inline constexpr int kMessageTextMaxWidth = 350;
// Room around the text: icon column and margins across, buttons and margins down.
inline constexpr int kMessageBoxExtraWidth = 100;
inline constexpr int kMessageBoxExtraHeight = 114;

struct MessageBoxMetrics {
    int textWidth = 0;   // W: the widest line, clamped to 250..350
    int rows = 0;        // L: rows the lines take at the column width
    int lineHeight = 0;  // h
    QSize window;        // W + 100 by title + L x h + 114
};

// Splits at each line feed; a line feed at the very end adds no empty line.
QStringList SplitMessageLines(const QString& text);

// `lineWidths` are the measured widths of the lines.
MessageBoxMetrics ComputeMessageBoxMetrics(const std::vector<int>& lineWidths, int lineHeight,
                                           int titleHeight);

// `metrics` with at least `rows` rows, the window as much taller.
MessageBoxMetrics GrowToRows(MessageBoxMetrics metrics, int rows);

}  // namespace kelvora
