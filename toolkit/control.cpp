#include "toolkit/control.h"

#include <QFocusEvent>
#include <QMouseEvent>
#include <QPainter>

#include "toolkit/accessibility.h"
#include "toolkit/container.h"
#include "toolkit/host_widget.h"

namespace kelvora {

CControlUI::CControlUI() {
    setAttribute(Qt::WA_NoSystemBackground, false);
}

CControlUI::~CControlUI() {
    if (parent_ != nullptr) {
        parent_->ForgetItem(this);
    }
}

void CControlUI::SetText(const QString& text) {
    if (text == text_) {
        return;
    }
    const bool wasEmpty = text_.isEmpty();
    text_ = text;
    update();
    AnnounceTextChange(*this, wasEmpty);
}

void CControlUI::SetToolTip(const QString& tip) {
    setToolTip(tip);
}

void CControlUI::SetBkImage(const QString& image) {
    bkImage_ = ParseImageRef(image);
    update();
}

void CControlUI::SetBkColor(const QColor& color) {
    bkColor_ = color;
    update();
}

void CControlUI::SetBorderColor(const QColor& color) {
    borderColor_ = color;
    update();
}

void CControlUI::SetBorderSize(int size) {
    borderSize_ = size;
    update();
}

void CControlUI::SetFocusBorderColor(const QColor& color) {
    focusBorderColor_ = color;
    update();
}

void CControlUI::SetEnabled(bool enabled) {
    enabled_ = enabled;
    setEnabled(enabled);
    update();
}

void CControlUI::SetVisible(bool visible) {  // NOLINT(bugprone-virtual-near-miss)
    if (visible_ == visible) {
        return;
    }
    visible_ = visible;
    ApplyVisibility();
    AskParentForLayout();
}

void CControlUI::SetShownByParent(bool shown) {
    shownByParent_ = shown;
    ApplyVisibility();
}

void CControlUI::ApplyVisibility() {
    setVisible(visible_ && shownByParent_);
}

void CControlUI::SetFocus() {
    setFocus(Qt::OtherFocusReason);
}

void CControlUI::SetFixedWidth(int width) {
    fixedWidth_ = width < 0 ? -1 : width;
    AskParentForLayout();
}

void CControlUI::SetFixedHeight(int height) {
    fixedHeight_ = height < 0 ? -1 : height;
    AskParentForLayout();
}

void CControlUI::SetPadding(const QMargins& padding) {
    padding_ = padding;
    AskParentForLayout();
}

void CControlUI::SetFloat(bool isFloat) {
    float_ = isFloat;
    AskParentForLayout();
}

void CControlUI::SetFloatPos(const QRect& pos) {
    floatPos_ = pos;
    AskParentForLayout();
}

void CControlUI::SetFont(int index) {
    font_ = index;
    setFont(ResolveFont(font_));
    update();
}

void CControlUI::SetManager(CPaintManagerUI* manager) {
    manager_ = manager;
    setFont(ResolveFont(font_));
    if (manager_ != nullptr && manager_->KeyFilter() != nullptr) {
        removeEventFilter(manager_->KeyFilter());
        installEventFilter(manager_->KeyFilter());
    }
}

QFont CControlUI::ResolveFont(int index) const {
    if (localFonts_) {
        if (const QFont* f = localFonts_->Find(index < 0 ? localFonts_->defaultId : index)) {
            return *f;
        }
    }
    if (manager_ != nullptr) {
        return manager_->GetFont(index);
    }
    return MakeLayoutFont(QStringLiteral("Noto Sans CJK JP"), 14, false, false, false);
}

void CControlUI::AskParentForLayout() {
    if (parent_ != nullptr) {
        parent_->NeedUpdate();
    }
}

void CControlUI::SendNotify(const QString& type, WPARAM wParam, LPARAM lParam) {
    if (manager_ != nullptr) {
        manager_->SendNotify(this, type, wParam, lParam);
    }
}

CControlUI* CControlUI::FindByName(const QString& name) {
    return name_ == name ? this : nullptr;
}

void CControlUI::CollectByName(const QString& name, std::vector<CControlUI*>& out) {
    if (name_ == name) {
        out.push_back(this);
    }
}

void CControlUI::SetAttribute(const QString& name, const QString& value) {
    if (name == QLatin1String("name")) {
        SetName(value);
    } else if (name == QLatin1String("text")) {
        SetText(value);
    } else if (name == QLatin1String("tooltip")) {
        SetToolTip(value);
    } else if (name == QLatin1String("accessiblename")) {
        // What a screen reader calls a control that shows only a picture.
        setAccessibleName(value);
    } else if (name == QLatin1String("userdata")) {
        SetUserData(value);
    } else if (name == QLatin1String("width")) {
        SetFixedWidth(ParseInt(value, -1));
    } else if (name == QLatin1String("height")) {
        SetFixedHeight(ParseInt(value, -1));
    } else if (name == QLatin1String("padding")) {
        SetPadding(ParseFour(value).value_or(QMargins()));
    } else if (name == QLatin1String("float")) {
        SetFloat(ParseBool(value));
    } else if (name == QLatin1String("pos")) {
        if (const auto pos = ParseRect(value)) {
            SetFloatPos(*pos);
            if (GetFixedWidth() < 0) {
                SetFixedWidth(pos->width());
            }
            if (GetFixedHeight() < 0) {
                SetFixedHeight(pos->height());
            }
        }
    } else if (name == QLatin1String("bkcolor")) {
        SetBkColor(ParseColor(value).value_or(QColor()));
    } else if (name == QLatin1String("bkimage")) {
        SetBkImage(value);
    } else if (name == QLatin1String("bordercolor")) {
        SetBorderColor(ParseColor(value).value_or(QColor()));
    } else if (name == QLatin1String("focusbordercolor")) {
        SetFocusBorderColor(ParseColor(value).value_or(QColor()));
    } else if (name == QLatin1String("bordersize")) {
        SetBorderSize(ParseInt(value, 0));
    } else if (name == QLatin1String("font")) {
        SetFont(ParseInt(value, -1));
    } else if (name == QLatin1String("enabled")) {
        SetEnabled(ParseBool(value));
    } else if (name == QLatin1String("visible")) {
        SetVisible(ParseBool(value));
    }
    // Unknown attributes are ignored, like unknown members of any other record we read.
}

void CControlUI::DrawImage(QPainter& painter, const ImageRef& ref, const QRect& rect) {
    if (ref.empty()) {
        return;
    }
    if (const QImage* image = CPaintManagerUI::GetImage(ref.file)) {
        const QRect target = ref.dest ? ref.dest->translated(rect.topLeft()) : rect;
        // The pictures are drawn at the size of their controls; only a mismatch scales.
        if (target.size() == image->size()) {
            painter.drawImage(target.topLeft(), *image);
        } else {
            painter.drawImage(target, *image);
        }
    }
}

void CControlUI::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    PaintBackground(painter);
    PaintStatusImage(painter);
    PaintText(painter);
    PaintBorder(painter);
    if (ShowsFocusCue()) {
        PaintFocusCue(painter);
    }
}

void CControlUI::PaintBackground(QPainter& painter) {
    if (bkColor_.isValid() && bkColor_.alpha() != 0) {
        painter.fillRect(rect(), bkColor_);
    }
    DrawImage(painter, bkImage_, rect());
}

void CControlUI::PaintStatusImage(QPainter& /*painter*/) {}
void CControlUI::PaintText(QPainter& /*painter*/) {}

void CControlUI::PaintBorder(QPainter& painter) {
    QColor color = hasFocus() && focusBorderColor_.isValid() ? focusBorderColor_ : borderColor_;
    if (borderSize_ <= 0 || !color.isValid()) {
        return;
    }
    QPen pen(color);
    pen.setWidth(borderSize_);
    pen.setJoinStyle(Qt::MiterJoin);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    const int inset = borderSize_ / 2;
    painter.drawRect(
        rect().adjusted(inset, inset, -inset - (borderSize_ % 2), -inset - (borderSize_ % 2)));
}

bool CControlUI::WindowShowsFocusCues() const {
    const auto* host = dynamic_cast<const HostWidget*>(window());
    return host != nullptr && host->FocusCuesShown();
}

bool CControlUI::ShowsFocusCue() const {
    return focusPolicy() != Qt::NoFocus && !focusBorderColor_.isValid() && hasFocus() &&
           WindowShowsFocusCues();
}

void CControlUI::PaintFocusCue(QPainter& painter) {
    // Two pixels of the skin's accent colour on the edge and a white line inside them, so
    // that the frame shows on white controls and on the accent-coloured buttons alike.
    static const QColor kAccent = QColor::fromRgba(0xFF1883D7);
    painter.save();
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(kAccent, 1));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
    painter.drawRect(rect().adjusted(1, 1, -2, -2));
    painter.setPen(QPen(Qt::white, 1));
    painter.drawRect(rect().adjusted(2, 2, -3, -3));
    painter.restore();
}

void CControlUI::mousePressEvent(QMouseEvent* event) {
    // Decoration lets the press through, so the window can drag by its caption area.
    event->ignore();
}

void CControlUI::focusInEvent(QFocusEvent* event) {
    QWidget::focusInEvent(event);
    update();
    SendNotify(QStringLiteral("setfocus"));
}

void CControlUI::focusOutEvent(QFocusEvent* event) {
    QWidget::focusOutEvent(event);
    update();
    SendNotify(QStringLiteral("killfocus"));
}

}  // namespace kelvora
