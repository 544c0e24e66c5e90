#include "toolkit/window_impl_base.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QGuiApplication>
#include <QImage>
#include <QMetaObject>
#include <QScreen>
#include <QTimer>
#include <QWindow>

#include "skin/embedded_package.h"
#include "toolkit/accessibility.h"
#include "toolkit/accessible_tree.h"
#include "toolkit/container.h"
#include "toolkit/control.h"
#include "toolkit/host_widget.h"
#include "toolkit/label.h"
#include "toolkit/layout_failure.h"

namespace kelvora {

namespace {
// The pictures a window shows as it opens, in painting order: each visible control's
// background and each button's picture for its present state.
void CollectShownImages(const CControlUI& control, std::vector<QString>& names) {
    if (!control.IsVisible() || control.isHidden()) {
        return;
    }
    if (const QString background = control.GetBkImage(); !background.isEmpty()) {
        names.push_back(background);
    }
    if (const auto* button = dynamic_cast<const CButtonUI*>(&control)) {
        if (const QString picture = button->GetCurrentImage(); !picture.isEmpty()) {
            names.push_back(picture);
        }
    }
    if (const auto* container = dynamic_cast<const CContainerUI*>(&control)) {
        for (int i = 0; i < container->GetCount(); ++i) {
            CollectShownImages(*container->GetItemAt(i), names);
        }
    }
}

std::function<void(WindowImplBase&)>& ModalHook() {
    static std::function<void(WindowImplBase&)> hook;
    return hook;
}

std::function<std::span<const std::byte>(int)>& ResourceLoader() {
    static std::function<std::span<const std::byte>(int)> loader;
    return loader;
}
}  // namespace

WindowImplBase::WindowImplBase() = default;

WindowImplBase::~WindowImplBase() {
    if (!closed_ && handle_) {
        closed_ = true;
        detail::UnregisterWindow(handle_);
    }
    for (auto& [id, timer] : timers_) {
        timer->stop();
    }
    // Controls go with the widget, before the paint manager they point to.
    host_.reset();
}

void WindowImplBase::SetModalHook(std::function<void(WindowImplBase&)> hook) {
    ModalHook() = std::move(hook);
}

void WindowImplBase::SetResourceLoader(std::function<std::span<const std::byte>(int)> loader) {
    ResourceLoader() = std::move(loader);
}

WindowImplBase* WindowImplBase::FromHandle(WindowHandle handle) {
    return detail::LookupWindow(handle);
}

bool WindowImplBase::EnsurePackage() {
    if (CPaintManagerUI::HasResourcePackage()) {
        return true;
    }
    if (GetResourceType() != ResourceType::kZipResource) {
        return false;
    }
    const std::span<const std::byte> bytes = ResourceLoader()
                                                 ? ResourceLoader()(GetResourceID())
                                                 : LoadEmbeddedZipResource(GetResourceID());
    return CPaintManagerUI::SetResourceZip(bytes);
}

WindowHandle WindowImplBase::Create(WindowHandle owner, const QString& title,
                                    std::uint32_t /*style*/, std::uint32_t /*exStyle*/, int /*x*/,
                                    int /*y*/, int /*cx*/, int /*cy*/) {
    if (host_) {
        return handle_;  // created once
    }
    InstallAccessibility();
    host_ = std::make_unique<HostWidget>(this);
    manager_ = std::make_unique<CPaintManagerUI>(this, host_.get());
    owner_ = owner;
    host_->setWindowTitle(title);

    CControlUI* root = nullptr;
    CDialogBuilder builder;
    if (EnsurePackage()) {
        // The package is flat; a layout folder names where the files would be on disk.
        root = builder.Create(GetSkinFile(), this, nullptr);
        if (root == nullptr && !GetSkinFolder().isEmpty()) {
            root = builder.Create(GetSkinFolder() + QLatin1Char('/') + GetSkinFile(), this);
        }
    }
    if (root == nullptr) {
        host_.reset();
        manager_.reset();
        ReportLayoutFailure();
        return {};
    }
    const WindowAttributes& attrs = builder.GetWindowAttributes();
    manager_->SetFonts(attrs.fonts);
    root->setParent(host_.get());
    manager_->SetRoot(root);
    caption_ = attrs.caption;
    if (attrs.minInfo && !attrs.minInfo->isEmpty()) {
        host_->setMinimumSize(*attrs.minInfo);
    }
    if (attrs.maxInfo && !attrs.maxInfo->isEmpty()) {
        host_->setMaximumSize(*attrs.maxInfo);
    }
    host_->resize(attrs.size.value_or(QSize(400, 300)));
    root->setGeometry(host_->rect());
    root->show();

    handle_ = detail::RegisterWindow(this);
    if (WindowImplBase* ownerWindow = FromHandle(owner_)) {
        host_->setFont(ownerWindow->host_->font());
        // A window opened from the keyboard goes on showing where the focus is.
        if (ownerWindow->host_->FocusCuesShown()) {
            host_->ShowFocusCues();
        }
    }
    InitWindow();
    NameTextFields(*root);
    return handle_;
}

QWidget* WindowImplBase::GetWidget() const {
    return host_.get();
}

CControlUI* WindowImplBase::FindControl(const QString& name) const {
    return manager_ ? manager_->FindControl(name) : nullptr;
}

QString WindowImplBase::GetWindowText() const {
    return host_ ? host_->windowTitle() : QString();
}

void WindowImplBase::SetWindowText(const QString& text) {
    if (host_) {
        host_->setWindowTitle(text);
    }
}

WindowRole WindowImplBase::GetWindowRole() const {
    return owner_ ? WindowRole::kDialog : WindowRole::kFrame;
}

QString WindowImplBase::GetCaption() const {
    if (!host_ || manager_->GetRoot() == nullptr) {
        return GetWindowText();
    }
    const QRect area(caption_.left(), caption_.top(),
                     host_->width() - caption_.left() - caption_.right(),
                     caption_.bottom() - caption_.top());
    const QString caption = area.isEmpty() ? QString() : CaptionText(*manager_->GetRoot(), area);
    return caption.isEmpty() ? GetWindowText() : caption;
}

void WindowImplBase::ResizeClient(int cx, int cy) {
    if (host_) {
        host_->resize(cx, cy);
    }
}

void WindowImplBase::SetTopmost(bool topmost) {
    if (host_) {
        const bool visible = host_->isVisible();
        host_->setWindowFlag(Qt::WindowStaysOnTopHint, topmost);
        if (visible) {
            host_->show();  // changing window flags hides a window
        }
    }
}

bool WindowImplBase::IsTopmost() const {
    return host_ && host_->windowFlags().testFlag(Qt::WindowStaysOnTopHint);
}

void WindowImplBase::CenterWindow() {
    if (!host_) {
        return;
    }
    QRect area;
    if (WindowImplBase* ownerWindow = FromHandle(owner_); ownerWindow && ownerWindow->host_) {
        area = ownerWindow->host_->frameGeometry();
    }
    if (area.isEmpty()) {
        if (const QScreen* screen = QGuiApplication::primaryScreen()) {
            area = screen->availableGeometry();
        }
    }
    if (!area.isEmpty()) {
        host_->move(area.center() - QPoint(host_->width() / 2, host_->height() / 2));
    }
}

void WindowImplBase::SendWindowInit() {
    if (initSent_ || closed_ || !manager_) {
        return;
    }
    initSent_ = true;
    manager_->SendNotify(manager_->GetRoot(), QStringLiteral("windowinit"));
    // Controls windowinit shows (a tab's other page) ask Qt to be drawn a moment later; asked
    // now, they are drawn with the window's first frame instead of once more right after it.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::UpdateLater);
    // What the window shows first is known only now: it sets its controls' states here.
    if (!closed_ && host_ && host_->isVisible()) {
        PrefetchShownImages();
    }
}

void WindowImplBase::PrefetchShownImages() {
    if (const CControlUI* root = manager_->GetRoot()) {
        std::vector<QString> pictures;
        CollectShownImages(*root, pictures);
        CPaintManagerUI::PrefetchImages(pictures);
    }
}

void WindowImplBase::ShowWindow(bool show) {
    if (!host_ || closed_) {
        return;
    }
    if (!show) {
        host_->hide();
        return;
    }
    // Shown the first time, the window's pictures are known once its windowinit has run.
    if (initSent_) {
        PrefetchShownImages();
    }
    host_->show();
    host_->raise();
    host_->activateWindow();
    if (!initSent_) {
        QMetaObject::invokeMethod(
            host_.get(), [this] { SendWindowInit(); }, Qt::QueuedConnection);
    }
}

int WindowImplBase::ShowModal() {
    if (!host_ || closed_) {
        return modalResult_;
    }
    // Modal to the windows it belongs to, as an owned window is on Windows: its owner and
    // theirs take no input meanwhile, while windows outside the chain (the virtual key's
    // panel) go on working. Blocking the whole application would stop those too, and a
    // window that had left the chain could not be handed back reliably on every window
    // system.
    host_->setWindowModality(Qt::WindowModal);
    if (WindowImplBase* ownerWindow = FromHandle(owner_); ownerWindow && ownerWindow->host_) {
        host_->winId();  // the native windows exist from here on
        ownerWindow->host_->winId();
        host_->windowHandle()->setTransientParent(ownerWindow->host_->windowHandle());
    }
    ShowWindow(true);
    if (auto hook = ModalHook()) {
        QMetaObject::invokeMethod(
            host_.get(),
            [this, hook] {
                if (!closed_) {
                    hook(*this);
                }
            },
            Qt::QueuedConnection);
    }
    QEventLoop loop;
    modalLoop_ = &loop;
    if (!closed_) {
        loop.exec(QEventLoop::DialogExec);
    }
    modalLoop_ = nullptr;
    return modalResult_;
}

void WindowImplBase::Close(UINT code) {
    if (handle_ && !closed_) {
        PostWindowMessage(handle_, kWmClose, code, 0);
    }
}

void WindowImplBase::Destroy(int code) {
    if (closed_) {
        return;
    }
    closed_ = true;
    modalResult_ = code;
    for (auto& [id, timer] : timers_) {
        timer->stop();
    }
    detail::UnregisterWindow(handle_);
    if (host_) {
        host_->hide();
    }
    if (modalLoop_ != nullptr) {
        modalLoop_->exit(code);
    }
    OnFinalMessage();
}

LRESULT WindowImplBase::DispatchMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (closed_) {
        return 0;
    }
    return HandleMessage(msg, wParam, lParam);
}

LRESULT WindowImplBase::HandleMessage(UINT msg, WPARAM wParam, LPARAM /*lParam*/) {
    if (msg == kWmClose) {
        Destroy(static_cast<int>(wParam));
    }
    return 0;
}

LRESULT WindowImplBase::MessageHandler(UINT /*msg*/, WPARAM /*wParam*/, LPARAM /*lParam*/,
                                       bool& /*handled*/) {
    return 0;
}

bool WindowImplBase::FilterKeyDown(WPARAM virtualKey) {
    if (closed_) {
        return true;
    }
    bool handled = false;
    MessageHandler(kWmKeyDown, virtualKey, 0, handled);
    return handled;
}

void WindowImplBase::Notify(TNotifyUI& msg) {
    if (msg.sType != QLatin1String("click") || msg.pSender == nullptr || !host_) {
        return;
    }
    const QString name = msg.pSender->GetName();
    if (name == QLatin1String("closebtn")) {
        Close(1);
    } else if (name == QLatin1String("minbtn")) {
        host_->showMinimized();
    } else if (name == QLatin1String("maxbtn")) {
        host_->showMaximized();
    } else if (name == QLatin1String("restorebtn")) {
        host_->showNormal();
    }
}

bool WindowImplBase::SetTimer(UINT id, UINT elapseMs) {
    if (!host_ || closed_) {
        return false;
    }
    QTimer*& timer = timers_[id];
    if (timer == nullptr) {
        timer = new QTimer(host_.get());
        QObject::connect(timer, &QTimer::timeout, host_.get(),
                         [this, id] { DispatchMessage(kWmTimer, id, 0); });
    }
    timer->start(static_cast<int>(elapseMs));
    return true;
}

bool WindowImplBase::KillTimer(UINT id) {
    const auto it = timers_.find(id);
    if (it == timers_.end()) {
        return false;
    }
    it->second->stop();
    return true;
}

void WindowImplBase::RegisterDeviceNotification() {
    if (handle_) {
        detail::SetDeviceNotifications(handle_, true);
    }
}

bool WindowImplBase::InCaption(const QPoint& pos) const {
    if (!host_ || caption_.bottom() <= 0) {
        return false;
    }
    const int width = host_->width();
    return pos.y() >= caption_.top() && pos.y() < caption_.bottom() && pos.x() >= caption_.left() &&
           pos.x() < width - caption_.right();
}

}  // namespace kelvora
