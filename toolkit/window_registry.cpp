#include "toolkit/window_registry.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QObject>
#include <QThread>
#include <algorithm>
#include <condition_variable>
#include <map>
#include <mutex>
#include <vector>

#include "toolkit/window_impl_base.h"

namespace kelvora {

namespace {

// A message sent from a worker: the worker waits until `done`.
struct PendingSend {
    std::mutex mutex;
    std::condition_variable cv;
    bool done = false;
    LRESULT result = 0;

    void Complete(LRESULT value) {
        {
            std::lock_guard lock(mutex);
            if (done) {
                return;
            }
            done = true;
            result = value;
        }
        cv.notify_all();
    }
};

// Releases the sender when the queued delivery is dropped without running (the event loop
// went away first).
struct SendTicket {
    explicit SendTicket(std::shared_ptr<PendingSend> p) : pending(std::move(p)) {}
    ~SendTicket() { pending->Complete(0); }
    SendTicket(const SendTicket&) = delete;
    SendTicket& operator=(const SendTicket&) = delete;
    std::shared_ptr<PendingSend> pending;
};

struct Entry {
    WindowImplBase* window = nullptr;
    bool deviceNotifications = false;
    std::vector<std::shared_ptr<PendingSend>> sends;
};

class Registry {
  public:
    static Registry& Instance() {
        static Registry registry;
        return registry;
    }

    WindowHandle Register(WindowImplBase* window) {
        std::lock_guard lock(mutex_);
        const WindowHandle handle{++lastId_};
        entries_[handle.id].window = window;
        return handle;
    }

    void Unregister(WindowHandle handle) {
        std::vector<std::shared_ptr<PendingSend>> sends;
        {
            std::lock_guard lock(mutex_);
            const auto it = entries_.find(handle.id);
            if (it == entries_.end()) {
                return;
            }
            sends.swap(it->second.sends);
            entries_.erase(it);
        }
        for (const auto& send : sends) {
            send->Complete(0);
        }
    }

    void SetDeviceNotifications(WindowHandle handle, bool wanted) {
        std::lock_guard lock(mutex_);
        const auto it = entries_.find(handle.id);
        if (it != entries_.end()) {
            it->second.deviceNotifications = wanted;
        }
    }

    // The window behind `handle`; only meaningful on the UI thread, which is the only thread
    // that destroys windows.
    WindowImplBase* Lookup(WindowHandle handle) {
        std::lock_guard lock(mutex_);
        const auto it = entries_.find(handle.id);
        return it == entries_.end() ? nullptr : it->second.window;
    }

    std::vector<WindowHandle> Handles(bool deviceOnly) {
        std::lock_guard lock(mutex_);
        std::vector<WindowHandle> handles;
        for (const auto& [id, entry] : entries_) {
            if (!deviceOnly || entry.deviceNotifications) {
                handles.push_back(WindowHandle{id});
            }
        }
        return handles;
    }

    // Queues `deliver` on the UI thread if the window is alive; `send`, when given, is
    // recorded so that closing the window releases its sender.
    template <typename F>
    bool Queue(WindowHandle handle, F deliver, const std::shared_ptr<PendingSend>& send) {
        std::lock_guard lock(mutex_);
        const auto it = entries_.find(handle.id);
        QCoreApplication* app = QCoreApplication::instance();
        if (it == entries_.end() || app == nullptr) {
            return false;
        }
        if (send) {
            it->second.sends.push_back(send);
        }
        // Posting an event is thread-safe. The application outlives every window, and a
        // window is unregistered before it goes, so a live entry implies a live application.
        QMetaObject::invokeMethod(app, std::move(deliver), Qt::QueuedConnection);
        return true;
    }

    // Called first by every delivery on the UI thread. The delivery was queued under this
    // mutex, so taking it orders everything the posting thread wrote before the read of the
    // delivery's captures; Qt's own queue uses locks ThreadSanitizer cannot see.
    void Synchronize() { std::lock_guard lock(mutex_); }

    void ForgetSend(WindowHandle handle, const std::shared_ptr<PendingSend>& send) {
        std::lock_guard lock(mutex_);
        const auto it = entries_.find(handle.id);
        if (it != entries_.end()) {
            auto& sends = it->second.sends;
            sends.erase(std::remove(sends.begin(), sends.end(), send), sends.end());
        }
    }

  private:
    std::mutex mutex_;
    std::uint64_t lastId_ = 0;
    std::map<std::uint64_t, Entry> entries_;
};

bool OnUiThread() {
    const QCoreApplication* app = QCoreApplication::instance();
    return app != nullptr && QThread::currentThread() == app->thread();
}

LRESULT DeliverNow(WindowHandle handle, UINT msg, WPARAM wParam, LPARAM lParam) {
    WindowImplBase* window = Registry::Instance().Lookup(handle);
    return window == nullptr ? 0 : window->DispatchMessage(msg, wParam, lParam);
}

void QueueDeviceChange(WindowHandle handle, WPARAM event,
                       const std::shared_ptr<const DeviceBroadcast>& record) {
    Registry::Instance().Queue(
        handle,
        [handle, event, record] {
            Registry::Instance().Synchronize();
            DeliverNow(handle, kWmDeviceChange, event, reinterpret_cast<LPARAM>(record.get()));
        },
        nullptr);
}

}  // namespace

bool PostWindowMessage(WindowHandle window, UINT msg, WPARAM wParam, LPARAM lParam) {
    return Registry::Instance().Queue(
        window,
        [window, msg, wParam, lParam] {
            Registry::Instance().Synchronize();
            DeliverNow(window, msg, wParam, lParam);
        },
        nullptr);
}

LRESULT SendWindowMessage(WindowHandle window, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (OnUiThread()) {
        return DeliverNow(window, msg, wParam, lParam);
    }
    auto pending = std::make_shared<PendingSend>();
    auto ticket = std::make_shared<SendTicket>(pending);
    const bool queued = Registry::Instance().Queue(
        window,
        [window, msg, wParam, lParam, ticket] {
            Registry::Instance().Synchronize();
            const LRESULT result = DeliverNow(window, msg, wParam, lParam);
            Registry::Instance().ForgetSend(window, ticket->pending);
            ticket->pending->Complete(result);
        },
        pending);
    if (!queued) {
        return 0;
    }
    ticket.reset();  // the queued call owns it now
    std::unique_lock lock(pending->mutex);
    pending->cv.wait(lock, [&] { return pending->done; });
    return pending->result;
}

void BroadcastDeviceChange(WPARAM event, const DeviceBroadcast& record) {
    auto shared = std::make_shared<const DeviceBroadcast>(record);
    for (const WindowHandle handle : Registry::Instance().Handles(true)) {
        QueueDeviceChange(handle, event, shared);
    }
}

void BroadcastPowerEvent(WPARAM event) {
    for (const WindowHandle handle : Registry::Instance().Handles(false)) {
        PostWindowMessage(handle, kWmPowerBroadcast, event, 0);
    }
}

namespace detail {
WindowHandle RegisterWindow(WindowImplBase* window) {
    return Registry::Instance().Register(window);
}
void UnregisterWindow(WindowHandle handle) {
    Registry::Instance().Unregister(handle);
}
void SetDeviceNotifications(WindowHandle handle, bool wanted) {
    Registry::Instance().SetDeviceNotifications(handle, wanted);
}
WindowImplBase* LookupWindow(WindowHandle handle) {
    return Registry::Instance().Lookup(handle);
}
}  // namespace detail

}  // namespace kelvora
