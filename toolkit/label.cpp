#include "toolkit/label.h"

#include <QAbstractTextDocumentLayout>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStringList>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>
#include <QTextOption>
#include <algorithm>
#include <cmath>

#include "toolkit/text_shaping.h"

namespace kelvora {

namespace {
Qt::Alignment ParseHorizontalAlign(const QString& value) {
    if (value == QLatin1String("center")) {
        return Qt::AlignHCenter;
    }
    if (value == QLatin1String("right")) {
        return Qt::AlignRight;
    }
    return Qt::AlignLeft;
}

Qt::Alignment ParseVerticalAlign(const QString& value) {
    if (value == QLatin1String("top")) {
        return Qt::AlignTop;
    }
    if (value == QLatin1String("bottom")) {
        return Qt::AlignBottom;
    }
    return Qt::AlignVCenter;
}

// Our HTML texts are Qt rich text in which a line feed breaks the line and white space is
// kept, so plain messages with tabs and line feeds look the same either way.
// Japanese has no spaces to break at; a line that must break is best broken after its
// sentences, and a sentence still too long then wherever the characters allow.
QString BreakLineAfterSentences(const QString& line, const QFontMetrics& fm, int width) {
    const QChar fullStop(0x3002);  // 。
    if (fm.horizontalAdvance(line) <= width) {
        return line;
    }
    QStringList sentences;
    qsizetype start = 0;
    for (qsizetype end = line.indexOf(fullStop); end >= 0 && end + 1 < line.size();
         end = line.indexOf(fullStop, end + 1)) {
        sentences << line.mid(start, end + 1 - start);
        start = end + 1;
    }
    sentences << line.mid(start);
    // A sentence that starts a line needs no space before it.
    for (qsizetype i = 1; i < sentences.size(); ++i) {
        while (sentences[i].startsWith(QLatin1Char(' '))) {
            sentences[i].remove(0, 1);
        }
    }
    return sentences.join(QLatin1Char('\n'));
}

QString BreakAfterSentences(const QString& text, const QFontMetrics& fm, int width) {
    QStringList lines = text.split(QLatin1Char('\n'));
    for (QString& line : lines) {
        line = BreakLineAfterSentences(line, fm, width);
    }
    return lines.join(QLatin1Char('\n'));
}

QString ToRichText(const QString& text) {
    QString body = text;
    body.replace(QLatin1Char('\n'), QLatin1String("<br/>"));
    return QStringLiteral("<div style=\"white-space:pre-wrap\">") + body + QStringLiteral("</div>");
}
}  // namespace

void CLabelUI::SetAttribute(const QString& name, const QString& value) {
    if (name == QLatin1String("textcolor")) {
        SetTextColor(ParseColor(value).value_or(QColor()));
    } else if (name == QLatin1String("disabledtextcolor")) {
        SetDisabledTextColor(ParseColor(value).value_or(QColor()));
    } else if (name == QLatin1String("textpadding")) {
        SetTextPadding(ParseFour(value).value_or(QMargins()));
    } else if (name == QLatin1String("align")) {
        align_ = (align_ & Qt::AlignVertical_Mask) | ParseHorizontalAlign(value);
        update();
    } else if (name == QLatin1String("valign")) {
        align_ = (align_ & Qt::AlignHorizontal_Mask) | ParseVerticalAlign(value);
        update();
    } else if (name == QLatin1String("showhtml")) {
        SetShowHtml(ParseBool(value));
    } else if (name == QLatin1String("multiline") || name == QLatin1String("wordbreak")) {
        SetMultiLine(ParseBool(value));
    } else if (name == QLatin1String("endellipsis")) {
        endEllipsis_ = ParseBool(value);
    } else {
        CControlUI::SetAttribute(name, value);
    }
}

void CLabelUI::SetTextColor(const QColor& color) {
    textColor_ = color;
    update();
}

void CLabelUI::SetDisabledTextColor(const QColor& color) {
    disabledTextColor_ = color;
    update();
}

void CLabelUI::SetTextPadding(const QMargins& padding) {
    textPadding_ = padding;
    update();
}

void CLabelUI::SetShowHtml(bool html) {
    showHtml_ = html;
    update();
}

void CLabelUI::SetMultiLine(bool multiLine) {
    multiLine_ = multiLine;
    update();
}

QColor CLabelUI::CurrentTextColor() const {
    if (!IsEnabled() && disabledTextColor_.isValid()) {
        return disabledTextColor_;
    }
    return textColor_.isValid() ? textColor_ : QColor(Qt::black);
}

QFont CLabelUI::TextFont() const {
    return showHtml_ ? FontForRichText(font(), text_) : FontForText(font(), text_);
}

void CLabelUI::LayoutDocument(QTextDocument& doc, const QRect& area) const {
    const QFont textFont = TextFont();
    doc.setDefaultFont(textFont);
    doc.setDocumentMargin(0);
    doc.setDefaultStyleSheet(QStringLiteral("body { color: %1; }").arg(CurrentTextColor().name()));
    // A tab advances to the next space-wide stop, as the box measured it: texts indent with
    // runs of tabs that must not push the words off the measured line.
    QTextOption option = doc.defaultTextOption();
    option.setTabStopDistance(
        std::max(1, QFontMetrics(textFont).horizontalAdvance(QLatin1Char(' '))));
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    doc.setDefaultTextOption(option);
    doc.setHtml(ToRichText(BreakAfterSentences(text_, QFontMetrics(textFont), area.width())));
    doc.setTextWidth(area.width());
}

void CLabelUI::PaintText(QPainter& painter) {
    if (text_.isEmpty()) {
        return;
    }
    const QRect area = rect().marginsRemoved(textPadding_);
    if (showHtml_) {
        QTextDocument doc;
        LayoutDocument(doc, area);
        painter.save();
        painter.translate(area.topLeft());
        QAbstractTextDocumentLayout::PaintContext context;
        context.palette.setColor(QPalette::Text, CurrentTextColor());
        context.clip = QRectF(0, 0, area.width(), area.height());
        doc.documentLayout()->draw(&painter, context);
        painter.restore();
        return;
    }
    painter.setPen(CurrentTextColor());
    painter.setFont(TextFont());
    if (multiLine_) {
        painter.drawText(area, static_cast<int>(align_) | Qt::TextWordWrap | Qt::TextExpandTabs,
                         LaidOutText());
        return;
    }
    const QString shown =
        endEllipsis_ ? painter.fontMetrics().elidedText(text_, Qt::ElideRight, area.width())
                     : text_;
    painter.drawText(area, static_cast<int>(align_) | Qt::TextSingleLine | Qt::TextExpandTabs,
                     shown);
}

QString CLabelUI::LaidOutText() const {
    if (!multiLine_ && !showHtml_) {
        return text_;
    }
    const QRect area = rect().marginsRemoved(textPadding_);
    return BreakAfterSentences(text_, QFontMetrics(TextFont()), area.width());
}

int CLabelUI::TextHeightAt(int width) const {
    if (showHtml_) {
        QTextDocument doc;
        LayoutDocument(doc, QRect(0, 0, width, 0));
        return static_cast<int>(std::ceil(doc.size().height()));
    }
    const QFontMetrics fm(TextFont());
    const int flags = Qt::TextExpandTabs | (multiLine_ ? Qt::TextWordWrap : Qt::TextSingleLine);
    const QString shown = multiLine_ ? BreakAfterSentences(text_, fm, width) : text_;
    return fm.boundingRect(QRect(0, 0, width, 0x7FFF), flags, shown).height();
}

int CLabelUI::TextLinesAt(int width) const {
    if (!showHtml_) {
        const int lineHeight = std::max(1, QFontMetrics(TextFont()).height());
        return (TextHeightAt(width) + lineHeight - 1) / lineHeight;
    }
    QTextDocument doc;
    LayoutDocument(doc, QRect(0, 0, width, 0));
    (void)doc.size();  // lays the blocks out
    int lines = 0;
    for (QTextBlock block = doc.begin(); block.isValid(); block = block.next()) {
        lines += block.layout() != nullptr ? block.layout()->lineCount() : 0;
    }
    return lines;
}

bool CLabelUI::ShowsWholeText() const {
    if (text_.isEmpty()) {
        return true;
    }
    const QRect area = rect().marginsRemoved(textPadding_);
    QSize needed;
    if (showHtml_) {
        QTextDocument doc;
        LayoutDocument(doc, area);
        needed = QSize(static_cast<int>(std::ceil(doc.idealWidth())),
                       static_cast<int>(std::ceil(doc.size().height())));
    } else {
        const QFontMetrics fm(TextFont());
        const int flags = Qt::TextExpandTabs | (multiLine_ ? Qt::TextWordWrap : Qt::TextSingleLine);
        needed = fm.boundingRect(QRect(QPoint(), QSize(area.width(), 0x7FFF)), flags, LaidOutText())
                     .size();
        if (!multiLine_) {
            needed.setWidth(fm.horizontalAdvance(text_));
        }
    }
    return needed.width() <= area.width() && needed.height() <= area.height();
}

QString CLabelUI::AnchorAt(const QPoint& pos) const {
    if (!showHtml_) {
        return {};
    }
    const QRect area = rect().marginsRemoved(textPadding_);
    QTextDocument doc;
    LayoutDocument(doc, area);
    return doc.documentLayout()->anchorAt(pos - area.topLeft());
}

CTextUI::CTextUI() {
    SetMultiLine(true);
}

void CTextUI::mousePressEvent(QMouseEvent* event) {
    if (AnchorAt(event->position().toPoint()).isEmpty()) {
        event->ignore();
        return;
    }
    event->accept();
}

void CTextUI::mouseReleaseEvent(QMouseEvent* event) {
    const QString anchor = AnchorAt(event->position().toPoint());
    if (!anchor.isEmpty() && IsEnabled()) {
        SendNotify(QStringLiteral("link"));
    }
}

CButtonUI::CButtonUI() {
    setFocusPolicy(Qt::StrongFocus);
    CLabelUI::SetAttribute(QStringLiteral("align"), QStringLiteral("center"));
}

void CButtonUI::SetAttribute(const QString& name, const QString& value) {
    if (name == QLatin1String("normalimage")) {
        SetNormalImage(value);
    } else if (name == QLatin1String("hotimage")) {
        SetHotImage(value);
    } else if (name == QLatin1String("pushedimage")) {
        SetPushedImage(value);
    } else if (name == QLatin1String("disabledimage")) {
        SetDisabledImage(value);
    } else if (name == QLatin1String("focusedimage")) {
        focusedImage_ = ParseImageRef(value);
    } else if (name == QLatin1String("hottextcolor")) {
        hotTextColor_ = ParseColor(value).value_or(QColor());
    } else if (name == QLatin1String("pushedtextcolor")) {
        pushedTextColor_ = ParseColor(value).value_or(QColor());
    } else if (name == QLatin1String("focusedtextcolor")) {
        focusedTextColor_ = ParseColor(value).value_or(QColor());
    } else if (name == QLatin1String("hotbkcolor")) {
        hotBkColor_ = ParseColor(value).value_or(QColor());
    } else if (name == QLatin1String("pushedbkcolor")) {
        pushedBkColor_ = ParseColor(value).value_or(QColor());
    } else if (name == QLatin1String("disabledbkcolor")) {
        disabledBkColor_ = ParseColor(value).value_or(QColor());
    } else {
        CLabelUI::SetAttribute(name, value);
    }
}

const ImageRef& CButtonUI::CurrentImageRef() const {
    if (!IsEnabled() && !disabledImage_.empty()) {
        return disabledImage_;
    }
    if (pushed_ && !pushedImage_.empty()) {
        return pushedImage_;
    }
    if (hot_ && !hotImage_.empty()) {
        return hotImage_;
    }
    if (hasFocus() && !focusedImage_.empty()) {
        return focusedImage_;
    }
    return normalImage_;
}

QString CButtonUI::GetCurrentImage() const {
    return CurrentImageRef().file;
}

QColor CButtonUI::CurrentTextColor() const {
    if (IsEnabled()) {
        if (pushed_ && pushedTextColor_.isValid()) {
            return pushedTextColor_;
        }
        if (hot_ && hotTextColor_.isValid()) {
            return hotTextColor_;
        }
        if (hasFocus() && focusedTextColor_.isValid()) {
            return focusedTextColor_;
        }
    }
    return CLabelUI::CurrentTextColor();
}

void CButtonUI::PaintStatusImage(QPainter& painter) {
    QColor fill;
    if (!IsEnabled()) {
        fill = disabledBkColor_;
    } else if (pushed_ && pushedBkColor_.isValid()) {
        fill = pushedBkColor_;
    } else if (hot_) {
        fill = hotBkColor_;
    }
    if (fill.isValid()) {
        painter.fillRect(rect(), fill);
    }
    DrawImage(painter, CurrentImageRef(), rect());
}

void CButtonUI::Activate() {
    if (IsEnabled() && IsVisible()) {
        SendNotify(QStringLiteral("click"));
    }
}

void CButtonUI::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    pushed_ = true;
    update();
}

void CButtonUI::mouseReleaseEvent(QMouseEvent* event) {
    const bool wasPushed = pushed_;
    pushed_ = false;
    update();
    if (wasPushed && event->button() == Qt::LeftButton &&
        rect().contains(event->position().toPoint())) {
        Activate();
    }
}

void CButtonUI::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Space && !event->isAutoRepeat()) {
        Activate();
        return;
    }
    CLabelUI::keyPressEvent(event);
}

void CButtonUI::enterEvent(QEnterEvent* event) {
    hot_ = true;
    update();
    CLabelUI::enterEvent(event);
}

void CButtonUI::leaveEvent(QEvent* event) {
    hot_ = false;
    update();
    CLabelUI::leaveEvent(event);
}

}  // namespace kelvora
