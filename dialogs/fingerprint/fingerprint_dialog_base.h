// What the fingerprint, reset and choice windows share: the layout given at construction,
// the key filter (Enter and Escape are swallowed unless a window says otherwise), small
// control helpers, and the worker thread of the windows that run a long operation.
//
// A worker only posts messages to its window and never touches a control. It is joined when
// the window ends, after its stop flag was raised, so it never outlives the session or the
// key state it uses; a post to a window that has closed is dropped by the toolkit.
#pragma once

#include <QString>
#include <atomic>
#include <functional>
#include <thread>

#include "toolkit/window_impl_base.h"

namespace kelvora {

class CFingerprintDialogBase : public WindowImplBase {
  public:
    explicit CFingerprintDialogBase(QString layout);
    ~CFingerprintDialogBase() override;

    QString GetSkinFile() override { return layout_; }
    LRESULT MessageHandler(UINT msg, WPARAM wParam, LPARAM lParam, bool& handled) override;

    bool WorkerRunning() const { return worker_.joinable(); }

  protected:
    // Key-downs of Enter and Escape; both do nothing unless overridden.
    virtual void OnEnter() {}
    virtual void OnEscape() {}

    // Starts `work` on a thread of its own with the window's handle.
    void StartWorker(std::function<void(WindowHandle)> work);
    // For a window that runs one operation after another: starts `work` once the worker
    // before it has ended (it has posted its last message, so the wait is short).
    void StartNextWorker(std::function<void(WindowHandle)> work);
    // Raised before the worker is joined: a worker that polls it ends after the exchange in
    // flight.
    std::atomic<bool>& StopFlag() { return stop_; }
    void JoinWorker();

    void OnFinalMessage() override;

    static void SetTextOf(CControlUI* control, const QString& text);
    static void SetImageOf(CControlUI* control, const QString& image);

  private:
    QString layout_;
    std::atomic<bool> stop_{false};
    std::thread worker_;
};

}  // namespace kelvora
