#pragma once

// Text-bearing controls: labels, multi-line (optionally HTML) texts and buttons.

#include <QColor>
#include <QMargins>

#include "toolkit/control.h"

class QTextDocument;

namespace kelvora {

class CLabelUI : public CControlUI {
  public:
    QString GetClass() const override { return QStringLiteral("Label"); }
    void SetAttribute(const QString& name, const QString& value) override;

    void SetTextColor(const QColor& color);
    QColor GetTextColor() const { return textColor_; }
    void SetDisabledTextColor(const QColor& color);
    void SetTextPadding(const QMargins& padding);
    QMargins GetTextPadding() const { return textPadding_; }
    void SetShowHtml(bool html);
    bool IsShowHtml() const { return showHtml_; }
    void SetMultiLine(bool multiLine);
    bool IsMultiLine() const { return multiLine_ || showHtml_; }

    // Whether the whole text shows inside the control at its present size: no character cut
    // off at an edge, elided, or wrapped below the bottom.
    bool ShowsWholeText() const;
    // The text as it is drawn: a multi-line text too wide for one line breaks after its
    // sentences ("。") first, where each sentence then fits a line, rather than inside a word.
    QString LaidOutText() const;
    // The height the text takes when laid out at `width` (padding excluded), and the lines.
    int TextHeightAt(int width) const;
    int TextLinesAt(int width) const;

  protected:
    // The colour the text is drawn in now; buttons vary it with their state.
    virtual QColor CurrentTextColor() const;
    void PaintText(QPainter& painter) override;
    // The anchor under `pos` of HTML text, or an empty string.
    QString AnchorAt(const QPoint& pos) const;

    QMargins textPadding_;

  private:
    void LayoutDocument(QTextDocument& doc, const QRect& area) const;
    // The control's font as it sets this text: everything measured or drawn here uses it.
    QFont TextFont() const;

    QColor textColor_;  // invalid: black
    QColor disabledTextColor_;
    Qt::Alignment align_ = Qt::AlignLeft | Qt::AlignVCenter;
    bool showHtml_ = false;
    bool multiLine_ = false;
    bool endEllipsis_ = false;
};

// Multi-line text; with showhtml its links deliver "link" notifications.
class CTextUI : public CLabelUI {
  public:
    CTextUI();
    QString GetClass() const override { return QStringLiteral("Text"); }

  protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
};

class CButtonUI : public CLabelUI {
  public:
    CButtonUI();
    QString GetClass() const override { return QStringLiteral("Button"); }
    void SetAttribute(const QString& name, const QString& value) override;

    void SetNormalImage(const QString& image) {
        normalImage_ = ParseImageRef(image);
        update();
    }
    void SetHotImage(const QString& image) {
        hotImage_ = ParseImageRef(image);
        update();
    }
    void SetPushedImage(const QString& image) {
        pushedImage_ = ParseImageRef(image);
        update();
    }
    void SetDisabledImage(const QString& image) {
        disabledImage_ = ParseImageRef(image);
        update();
    }
    QString GetNormalImage() const { return normalImage_.file; }
    // The image drawn in the button's present state.
    QString GetCurrentImage() const;
    // Acts as if the user clicked: delivers "click" when the button is enabled.
    void Activate();

  protected:
    QColor CurrentTextColor() const override;
    void PaintStatusImage(QPainter& painter) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

  private:
    const ImageRef& CurrentImageRef() const;

    ImageRef normalImage_, hotImage_, pushedImage_, disabledImage_, focusedImage_;
    QColor hotTextColor_, pushedTextColor_, focusedTextColor_;
    QColor hotBkColor_, pushedBkColor_, disabledBkColor_;
    bool hot_ = false;
    bool pushed_ = false;
};

}  // namespace kelvora
