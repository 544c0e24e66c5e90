#include "toolkit/edit.h"

#include <QEvent>
#include <QLineEdit>
#include <algorithm>

namespace kelvora {

namespace {
// The longest text an edit accepts unless its layout says otherwise.
constexpr int kDefaultMaxChar = 255;
}  // namespace

CEditUI::CEditUI() : edit_(new QLineEdit(this)) {
    edit_->setFrame(false);
    edit_->setMaxLength(kDefaultMaxChar);
    edit_->setAttribute(Qt::WA_MacShowFocusRect, false);
    edit_->installEventFilter(this);
    setFocusProxy(edit_);
    QObject::connect(edit_, &QLineEdit::textEdited, edit_,
                     [this](const QString&) { SendNotify(QStringLiteral("textchanged")); });
}

void CEditUI::SetAttribute(const QString& name, const QString& value) {
    if (name == QLatin1String("password")) {
        SetPasswordMode(ParseBool(value));
    } else if (name == QLatin1String("maxchar")) {
        SetMaxChar(ParseInt(value, kDefaultMaxChar));
    } else if (name == QLatin1String("readonly")) {
        SetReadOnly(ParseBool(value));
    } else {
        CLabelUI::SetAttribute(name, value);
    }
    if (name == QLatin1String("textcolor") || name == QLatin1String("textpadding")) {
        QPalette palette = edit_->palette();
        palette.setColor(QPalette::Text, CurrentTextColor());
        edit_->setPalette(palette);
        edit_->setGeometry(rect().marginsRemoved(textPadding_));
    }
}

QString CEditUI::GetText() const {
    return edit_->text();
}

void CEditUI::SetText(const QString& text) {
    edit_->setText(text);
}

void CEditUI::SetToolTip(const QString& tip) {
    CLabelUI::SetToolTip(tip);
    edit_->setToolTip(tip);
    edit_->setPlaceholderText(QString());
}

void CEditUI::SetEnabled(bool enabled) {
    CLabelUI::SetEnabled(enabled);
    edit_->setEnabled(enabled);
}

void CEditUI::SetFocus() {
    edit_->setFocus(Qt::OtherFocusReason);
}

void CEditUI::SetManager(CPaintManagerUI* manager) {
    CLabelUI::SetManager(manager);
    edit_->setFont(font());
    if (manager != nullptr && manager->KeyFilter() != nullptr) {
        // Enter and Escape reach the window's key filter before the edit sees them.
        edit_->removeEventFilter(manager->KeyFilter());
        edit_->installEventFilter(manager->KeyFilter());
    }
}

void CEditUI::SetPasswordMode(bool password) {
    edit_->setEchoMode(password ? QLineEdit::Password : QLineEdit::Normal);
}

bool CEditUI::IsPasswordMode() const {
    return edit_->echoMode() == QLineEdit::Password;
}
void CEditUI::SetMaxChar(int maxChar) {
    edit_->setMaxLength(maxChar);
}
int CEditUI::GetMaxChar() const {
    return edit_->maxLength();
}
void CEditUI::SetReadOnly(bool readOnly) {
    edit_->setReadOnly(readOnly);
}

void CEditUI::SetSel(int start, int end) {
    const int length = static_cast<int>(edit_->text().size());
    const int from = std::clamp(start, 0, length);
    const int to = end < 0 ? length : std::clamp(end, from, length);
    edit_->setSelection(from, to - from);
}

void CEditUI::SetSelAll() {
    edit_->selectAll();
}
QString CEditUI::GetSelectedText() const {
    return edit_->selectedText();
}

void CEditUI::resizeEvent(QResizeEvent* event) {
    CLabelUI::resizeEvent(event);
    const int inset = borderSize_ > 0 ? borderSize_ : 0;
    edit_->setGeometry(
        rect().marginsRemoved(textPadding_).marginsRemoved(QMargins(inset, inset, inset, inset)));
}

bool CEditUI::eventFilter(QObject* watched, QEvent* event) {
    if (watched == edit_) {
        if (event->type() == QEvent::FocusIn) {
            update();
            SendNotify(QStringLiteral("setfocus"));
        } else if (event->type() == QEvent::FocusOut) {
            update();
            SendNotify(QStringLiteral("killfocus"));
        }
    }
    return CLabelUI::eventFilter(watched, event);
}

}  // namespace kelvora
