#include "toolkit/host_widget.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QMouseEvent>

#include "toolkit/control.h"
#include "toolkit/window_impl_base.h"

namespace kelvora {

HostWidget::HostWidget(WindowImplBase* window)
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint), window_(window) {
    setAttribute(Qt::WA_DeleteOnClose, false);
    installEventFilter(this);
}

unsigned HostWidget::MapVirtualKey(int qtKey) {
    if (qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z) {
        return static_cast<unsigned>('A' + (qtKey - Qt::Key_A));
    }
    if (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9) {
        return static_cast<unsigned>('0' + (qtKey - Qt::Key_0));
    }
    switch (qtKey) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            return 0x0D;
        case Qt::Key_Escape:
            return 0x1B;
        case Qt::Key_Backspace:
            return 0x08;
        case Qt::Key_Tab:
            return 0x09;
        case Qt::Key_Space:
            return 0x20;
        case Qt::Key_PageUp:
            return 0x21;
        case Qt::Key_PageDown:
            return 0x22;
        case Qt::Key_End:
            return 0x23;
        case Qt::Key_Home:
            return 0x24;
        case Qt::Key_Left:
            return 0x25;
        case Qt::Key_Up:
            return 0x26;
        case Qt::Key_Right:
            return 0x27;
        case Qt::Key_Down:
            return 0x28;
        case Qt::Key_Delete:
            return 0x2E;
        default:
            return 0;
    }
}

bool HostWidget::IsFirstReceiver(QObject* watched) const {
    // A key the focused widget leaves alone travels up through its ancestors; the window
    // must see it once, where it was first delivered: the focused widget (anything that takes
    // focus), or this widget when nothing inside has focus.
    auto* widget = qobject_cast<QWidget*>(watched);
    if (widget == this) {
        return focusWidget() == nullptr || focusWidget() == this;
    }
    return widget != nullptr && widget->focusPolicy() != Qt::NoFocus;
}

namespace {
// Keys that move the focus or act on the focused control: a person using them needs to see
// where the focus is.
bool IsNavigationKey(int qtKey) {
    switch (qtKey) {
        case Qt::Key_Tab:
        case Qt::Key_Backtab:
        case Qt::Key_Up:
        case Qt::Key_Down:
        case Qt::Key_Left:
        case Qt::Key_Right:
        case Qt::Key_Home:
        case Qt::Key_End:
        case Qt::Key_PageUp:
        case Qt::Key_PageDown:
        case Qt::Key_Space:
            return true;
        default:
            return false;
    }
}
}  // namespace

void HostWidget::ShowFocusCues() {
    if (!focusCues_) {
        focusCues_ = true;
        update();
    }
}

bool HostWidget::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress && IsFirstReceiver(watched)) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (IsNavigationKey(key->key())) {
            ShowFocusCues();
        }
        if (window_->FilterKeyDown(MapVirtualKey(key->key()))) {
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void HostWidget::closeEvent(QCloseEvent* event) {
    // The system close command (Alt+F4) becomes a plain kWmClose that the window may refuse.
    event->ignore();
    if (!window_->IsClosed()) {
        window_->DispatchMessage(0x0010, 0, 0);
    }
}

void HostWidget::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (CControlUI* root = window_->GetPaintManager().GetRoot()) {
        root->setGeometry(rect());
    }
}

void HostWidget::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && window_->InCaption(event->position().toPoint())) {
        dragging_ = true;
        dragOffset_ = event->globalPosition().toPoint() - frameGeometry().topLeft();
        event->accept();
        return;
    }
    QWidget::mousePressEvent(event);
}

void HostWidget::mouseMoveEvent(QMouseEvent* event) {
    if (dragging_) {
        move(event->globalPosition().toPoint() - dragOffset_);
        event->accept();
        return;
    }
    QWidget::mouseMoveEvent(event);
}

void HostWidget::mouseReleaseEvent(QMouseEvent* event) {
    dragging_ = false;
    QWidget::mouseReleaseEvent(event);
}

}  // namespace kelvora
