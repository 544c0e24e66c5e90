#pragma once

// Drives windows the way a person would, for tests of every window: find controls by name,
// click, type, press keys, read what is shown, answer modal dialogs as they open, and take
// screenshots. Everything runs on the UI thread.

#include <QImage>
#include <QString>
#include <functional>
#include <vector>

#include "toolkit/window_impl_base.h"

namespace kelvora {

class CControlUI;

class UiDriver {
  public:
    explicit UiDriver(WindowImplBase& window) : window_(window) {}

    WindowImplBase& window() const { return window_; }
    CControlUI* Find(const QString& name) const;
    // Every control of that name, in layout order.
    std::vector<CControlUI*> FindAll(const QString& name) const;
    template <typename T>
    T* FindAs(const QString& name) const {
        return dynamic_cast<T*>(Find(name));
    }

    // Delivers notification `type` from the `index`-th control named `name`. False when there
    // is no such control.
    bool Notify(const QString& name, const QString& type, int index = 0) const;
    // Clicks the `index`-th button named `name`: nothing happens (and false is returned) when
    // it is missing, disabled or hidden, as for a person.
    bool Click(const QString& name, int index = 0) const;
    // Presses a key (a virtual key code) in the window: the focused control gets it, after
    // the window's key filter.
    void KeyDown(unsigned virtualKey) const;
    // Focuses the edit `name` and types `text` into it, key by key.
    bool Type(const QString& name, const QString& text) const;
    // Selects row `index` of the list `name` as a click would.
    bool SelectRow(const QString& name, int index) const;

    QString Text(const QString& name) const;
    QString ToolTip(const QString& name) const;
    // The background image, or for a button the image of its present state.
    QString Image(const QString& name) const;
    bool Enabled(const QString& name) const;
    // The control's own visibility flag.
    bool Visible(const QString& name) const;

    // A picture of the window as it is drawn now.
    QImage Grab() const;
    bool SaveScreenshot(const QString& path) const;

    // Handles everything queued for the UI thread (posted messages, "windowinit").
    static void ProcessEvents();
    // Installs a hook called with every window as it enters its modal loop.
    static void OnModal(std::function<void(WindowImplBase&)> hook);

  private:
    WindowImplBase& window_;
};

// Removes the modal hook when the test scope ends.
class ScopedModalHook {
  public:
    explicit ScopedModalHook(std::function<void(WindowImplBase&)> hook) {
        UiDriver::OnModal(std::move(hook));
    }
    ~ScopedModalHook() { UiDriver::OnModal(nullptr); }
    ScopedModalHook(const ScopedModalHook&) = delete;
    ScopedModalHook& operator=(const ScopedModalHook&) = delete;
};

}  // namespace kelvora
