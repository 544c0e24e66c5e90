#pragma once

// A window over any layout of the package that records what reaches it.

#include <QString>
#include <set>
#include <vector>

#include "toolkit/window_impl_base.h"

namespace kelvora::test {

class TestWindow : public WindowImplBase {
  public:
    explicit TestWindow(QString layout, ResourceType type = ResourceType::kFile)
        : layout_(std::move(layout)), type_(type) {}

    QString GetSkinFile() override { return layout_; }
    ResourceType GetResourceType() const override { return type_; }
    int GetResourceID() const override { return kSkinResourceId; }

    void Notify(TNotifyUI& msg) override {
        notes.push_back({msg.sType, msg.pSender});
        WindowImplBase::Notify(msg);
    }
    LRESULT MessageHandler(UINT msg, WPARAM wParam, LPARAM, bool& handled) override {
        keys.push_back(wParam);
        handled = msg == kWmKeyDown && swallow.count(wParam) != 0;
        return 0;
    }
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override {
        messages.push_back({msg, wParam, lParam});
        if (msg == kWmDeviceChange && lParam != 0) {
            devicePaths.push_back(reinterpret_cast<const DeviceBroadcast*>(lParam)->name);
        }
        if (msg == kWmClose && refuseClose) {
            return 0;
        }
        return WindowImplBase::HandleMessage(msg, wParam, lParam);
    }

    WindowHandle CreateDefault() {
        return Create({}, QString::fromUtf8(kApplicationTitle), kDialogStyle);
    }

    struct Note {
        QString type;
        CControlUI* sender;
    };
    struct Message {
        UINT msg;
        WPARAM wParam;
        LPARAM lParam;
    };
    std::vector<Note> notes;
    std::vector<WPARAM> keys;
    std::vector<Message> messages;
    std::vector<std::wstring> devicePaths;
    std::set<WPARAM> swallow;
    bool refuseClose = false;

  private:
    QString layout_;
    ResourceType type_;
};

}  // namespace kelvora::test
