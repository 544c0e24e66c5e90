#pragma once

// The base of every window: a frameless top-level widget whose controls come from a layout
// of the skin package. A window derives from WindowImplBase, names its layout, and reacts
// to notifications (Notify), key-downs (MessageHandler) and messages (HandleMessage), which
// may be posted from worker threads through its handle (window_registry.h).

#include <QString>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>

#include "toolkit/dialog_builder.h"
#include "toolkit/paint_manager.h"
#include "toolkit/window_messages.h"
#include "toolkit/window_registry.h"

class QEventLoop;
class QImage;
class QTimer;
class QWidget;

namespace kelvora {

class CControlUI;
class HostWidget;

// The title every window of the tool carries.
inline constexpr const char* kApplicationTitle = "Kelvora Fido2 管理ツール";
// The window class name every window of the tool reports.
inline constexpr const char* kWindowClassName = "DUIMainFrame";

// Window styles as the callers pass them; the toolkit draws its own frame and only looks at
// nothing but the layout for the size, so these are recorded, not interpreted.
inline constexpr std::uint32_t kDialogStyle = 0x10CA0000;      // visible|caption|sysmenu|minbox
inline constexpr std::uint32_t kMessageBoxStyle = 0x96C80000;  // popup|visible|clip|caption|sysmenu
inline constexpr int kUseDefault = static_cast<int>(0x80000000u);

enum class ResourceType {
    kFile,         // layouts by name from the installed package
    kZipResource,  // the package embedded in the executable, by resource id
};

// What a window is to assistive technology.
enum class WindowRole {
    kFrame,   // a window of its own
    kDialog,  // owned by another window
    kAlert,   // a message to the user
};

// The resource id of the skin package in the executable.
inline constexpr int kSkinResourceId = 109;

class WindowImplBase : public INotifyUI, public IDialogBuilderCallback {
  public:
    WindowImplBase();
    ~WindowImplBase() override;
    WindowImplBase(const WindowImplBase&) = delete;
    WindowImplBase& operator=(const WindowImplBase&) = delete;

    // What a window supplies.
    virtual QString GetWindowClassName() const { return QString::fromUtf8(kWindowClassName); }
    virtual QString GetSkinFolder() { return {}; }
    virtual QString GetSkinFile() = 0;
    virtual ResourceType GetResourceType() const { return ResourceType::kFile; }
    virtual int GetResourceID() const { return 0; }
    // Called once the controls exist, before the window is first shown.
    virtual void InitWindow() {}
    // A dialog when the window has an owner, else a frame.
    virtual WindowRole GetWindowRole() const;
    // Sees every message first. The base closes the window on kWmClose (its wParam becomes
    // the modal result); a window that does not pass a message on swallows it.
    virtual LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam);
    // Sees key-downs (kWmKeyDown, wParam the virtual key) before the focused control does;
    // setting `handled` swallows the key.
    virtual LRESULT MessageHandler(UINT msg, WPARAM wParam, LPARAM lParam, bool& handled);
    // Notifications by control name. The base closes on "click" of "closebtn" with 1 and
    // minimises, maximises or restores on "minbtn", "maxbtn", "restorebtn".
    void Notify(TNotifyUI& msg) override;
    CControlUI* CreateControl(const QString& /*className*/) override { return nullptr; }

    // Builds the window from its layout and calls InitWindow. The layout decides the size;
    // position and size arguments are accepted for the callers' sake and otherwise unused.
    // A layout that cannot be built is reported (layout_failure.h) and gives a null handle.
    WindowHandle Create(WindowHandle owner, const QString& title, std::uint32_t style,
                        std::uint32_t exStyle = 0, int x = kUseDefault, int y = kUseDefault,
                        int cx = kUseDefault, int cy = kUseDefault);
    void CenterWindow();
    // Shows the window modal to the application and runs a nested event loop until the
    // window closes; returns the close code (-1 when the window was never created).
    int ShowModal();
    void ShowWindow(bool show = true);
    // Posts kWmClose with `code`; the window closes when the message is handled.
    void Close(UINT code = 1);
    WindowHandle GetHWND() const { return handle_; }
    bool IsClosed() const { return closed_; }
    int GetModalResult() const { return modalResult_; }

    CControlUI* FindControl(const QString& name) const;
    CPaintManagerUI& GetPaintManager() { return *manager_; }
    QWidget* GetWidget() const;
    QString GetWindowText() const;
    void SetWindowText(const QString& text);
    // The title the window shows in its caption area (every window carries the application's
    // title as its window text), or the window text when the caption shows none.
    QString GetCaption() const;
    void ResizeClient(int cx, int cy);
    void SetTopmost(bool topmost);
    bool IsTopmost() const;
    // Window timers: kWmTimer with the id as wParam every `elapseMs` milliseconds.
    bool SetTimer(UINT id, UINT elapseMs);
    bool KillTimer(UINT id);
    // Subscribes the window to BroadcastDeviceChange.
    void RegisterDeviceNotification();

    // Runs a message through HandleMessage (UI thread; used by the message queue).
    LRESULT DispatchMessage(UINT msg, WPARAM wParam, LPARAM lParam);
    // Routes a key-down through MessageHandler; true when the window swallowed it.
    bool FilterKeyDown(WPARAM virtualKey);
    // The window behind a handle, on the UI thread; nullptr once it has closed.
    static WindowImplBase* FromHandle(WindowHandle handle);

    // Called with every window as it enters its modal loop (after "windowinit" was
    // delivered), so tests can answer dialogs. Empty to remove.
    static void SetModalHook(std::function<void(WindowImplBase&)> hook);

    // The resource loader for ResourceType::kZipResource: the bytes of resource `id`. The
    // default reads the package embedded in the executable.
    static void SetResourceLoader(std::function<std::span<const std::byte>(int id)> loader);

    // Where the caption drag area is, in window coordinates.
    bool InCaption(const QPoint& pos) const;

  protected:
    virtual void OnFinalMessage() {}

  private:
    void Destroy(int code);
    bool EnsurePackage();
    void SendWindowInit();
    // Starts decoding the pictures the window's visible controls draw now.
    void PrefetchShownImages();

    std::unique_ptr<HostWidget> host_;
    std::unique_ptr<CPaintManagerUI> manager_;
    WindowHandle handle_;
    WindowHandle owner_;
    QMargins caption_;
    std::map<UINT, QTimer*> timers_;
    QEventLoop* modalLoop_ = nullptr;
    bool closed_ = false;
    bool initSent_ = false;
    int modalResult_ = -1;
};

}  // namespace kelvora
