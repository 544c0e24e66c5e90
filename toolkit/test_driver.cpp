#include "toolkit/test_driver.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QWidget>

#include "toolkit/control.h"
#include "toolkit/edit.h"
#include "toolkit/label.h"
#include "toolkit/list.h"

namespace kelvora {

namespace {
int QtKeyFor(unsigned vk) {
    if (vk >= 'A' && vk <= 'Z') {
        return Qt::Key_A + static_cast<int>(vk - 'A');
    }
    if (vk >= '0' && vk <= '9') {
        return Qt::Key_0 + static_cast<int>(vk - '0');
    }
    switch (vk) {
        case 0x0D:
            return Qt::Key_Return;
        case 0x1B:
            return Qt::Key_Escape;
        case 0x08:
            return Qt::Key_Backspace;
        case 0x09:
            return Qt::Key_Tab;
        case 0x20:
            return Qt::Key_Space;
        case 0x21:
            return Qt::Key_PageUp;
        case 0x22:
            return Qt::Key_PageDown;
        case 0x23:
            return Qt::Key_End;
        case 0x24:
            return Qt::Key_Home;
        case 0x26:
            return Qt::Key_Up;
        case 0x28:
            return Qt::Key_Down;
        default:
            return Qt::Key_unknown;
    }
}

void SendKey(QWidget* target, int key, const QString& text) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
    QCoreApplication::sendEvent(target, &press);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text);
    QCoreApplication::sendEvent(target, &release);
}

QWidget* KeyTarget(WindowImplBase& window) {
    QWidget* host = window.GetWidget();
    if (host == nullptr) {
        return nullptr;
    }
    QWidget* focus = host->focusWidget();
    return focus != nullptr ? focus : host;
}
}  // namespace

CControlUI* UiDriver::Find(const QString& name) const {
    return window_.FindControl(name);
}

std::vector<CControlUI*> UiDriver::FindAll(const QString& name) const {
    return window_.GetWidget() == nullptr ? std::vector<CControlUI*>{}
                                          : window_.GetPaintManager().FindControls(name);
}

bool UiDriver::Notify(const QString& name, const QString& type, int index) const {
    const auto all = FindAll(name);
    if (index < 0 || index >= static_cast<int>(all.size())) {
        return false;
    }
    window_.GetPaintManager().SendNotify(all[static_cast<size_t>(index)], type);
    return true;
}

bool UiDriver::Click(const QString& name, int index) const {
    const auto all = FindAll(name);
    if (index < 0 || index >= static_cast<int>(all.size())) {
        return false;
    }
    auto* button = dynamic_cast<CButtonUI*>(all[static_cast<size_t>(index)]);
    if (button == nullptr || !button->IsEnabled() || !button->IsVisible()) {
        return false;
    }
    button->Activate();
    return true;
}

void UiDriver::KeyDown(unsigned virtualKey) const {
    if (QWidget* target = KeyTarget(window_)) {
        SendKey(target, QtKeyFor(virtualKey), QString());
    }
}

bool UiDriver::Type(const QString& name, const QString& text) const {
    auto* edit = dynamic_cast<CEditUI*>(Find(name));
    if (edit == nullptr || !edit->IsEnabled()) {
        return false;
    }
    edit->SetFocus();
    for (const QChar ch : text) {
        SendKey(edit->LineEdit(), Qt::Key_unknown, QString(ch));
    }
    return true;
}

bool UiDriver::SelectRow(const QString& name, int index) const {
    auto* list = dynamic_cast<CListUI*>(Find(name));
    return list != nullptr && list->IsEnabled() && list->SelectItem(index, true);
}

QString UiDriver::Text(const QString& name) const {
    const CControlUI* c = Find(name);
    return c == nullptr ? QString() : c->GetText();
}

QString UiDriver::ToolTip(const QString& name) const {
    const CControlUI* c = Find(name);
    return c == nullptr ? QString() : c->GetToolTip();
}

QString UiDriver::Image(const QString& name) const {
    const CControlUI* c = Find(name);
    if (c == nullptr) {
        return {};
    }
    if (const auto* button = dynamic_cast<const CButtonUI*>(c);
        button != nullptr && c->GetBkImage().isEmpty()) {
        return button->GetCurrentImage();
    }
    return c->GetBkImage();
}

bool UiDriver::Enabled(const QString& name) const {
    const CControlUI* c = Find(name);
    return c != nullptr && c->IsEnabled();
}

bool UiDriver::Visible(const QString& name) const {
    const CControlUI* c = Find(name);
    return c != nullptr && c->IsVisible();
}

QImage UiDriver::Grab() const {
    QWidget* host = window_.GetWidget();
    return host == nullptr ? QImage() : host->grab().toImage();
}

bool UiDriver::SaveScreenshot(const QString& path) const {
    const QImage image = Grab();
    return !image.isNull() && image.save(path, "PNG");
}

void UiDriver::ProcessEvents() {
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void UiDriver::OnModal(std::function<void(WindowImplBase&)> hook) {
    if (!hook) {
        WindowImplBase::SetModalHook(nullptr);
        return;
    }
    // A hook runs inside the modal loop's own event processing and usually pumps events
    // itself (ProcessEvents above). If the window closes during that pumping, the nested
    // processEvents takes the loop's interruption, and the Windows event dispatcher would then
    // go back to waiting for messages that never come. Interrupting once more after the hook
    // lets the modal loop see that it has been told to end.
    WindowImplBase::SetModalHook([hook = std::move(hook)](WindowImplBase& window) {
        hook(window);
        if (QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance()) {
            dispatcher->interrupt();
        }
    });
}

}  // namespace kelvora
