// Messages posted and sent to windows, from the UI thread and from workers, including to
// windows that have closed; timers; device and power notifications; modal loops.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <atomic>
#include <thread>

#include "toolkit/test_driver.h"
#include "toolkit/test_window.h"
#include "toolkit/window_registry.h"

namespace kelvora::test {
namespace {

constexpr UINT kWmProgress = kWmUser + 106;
constexpr UINT kWmDone = kWmUser + 101;

// Runs the UI thread's queue until `done` or a generous deadline (the work is never slow;
// the deadline only stops a broken build from hanging the suite).
template <typename Pred>
bool PumpUntil(Pred done) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > 10000) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

class MessageQueueTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(window.CreateDefault()); }
    TestWindow window{QStringLiteral("registFingerprint.xml")};
};

TEST_F(MessageQueueTest, WorkerPostsArriveOnTheUiThreadInOrder) {
    const WindowHandle handle = window.GetHWND();
    std::thread worker([handle] {
        for (int i = 0; i < 50; ++i) {
            PostWindowMessage(handle, kWmProgress, static_cast<WPARAM>(i), -i);
        }
        PostWindowMessage(handle, kWmDone, 0, 0x9000);
    });
    worker.join();
    ASSERT_TRUE(PumpUntil(
        [&] { return !window.messages.empty() && window.messages.back().msg == kWmDone; }));
    ASSERT_EQ(window.messages.size(), 51u);
    for (int i = 0; i < 50; ++i) {
        EXPECT_EQ(window.messages[static_cast<size_t>(i)].wParam, static_cast<WPARAM>(i));
        EXPECT_EQ(window.messages[static_cast<size_t>(i)].lParam, -i);
    }
    EXPECT_EQ(window.messages.back().lParam, 0x9000);
}

TEST_F(MessageQueueTest, PostingToAClosedWindowDoesNothing) {
    const WindowHandle handle = window.GetHWND();
    window.Close(2);
    UiDriver::ProcessEvents();
    ASSERT_TRUE(window.IsClosed());
    EXPECT_EQ(window.GetModalResult(), 2);
    window.messages.clear();

    std::atomic<int> accepted{0};
    std::thread worker([&] {
        for (int i = 0; i < 100; ++i) {
            accepted += PostWindowMessage(handle, kWmProgress, 1, 1) ? 1 : 0;
        }
        EXPECT_EQ(SendWindowMessage(handle, kWmProgress, 1, 1), 0);
    });
    worker.join();
    UiDriver::ProcessEvents();
    EXPECT_EQ(accepted.load(), 0);
    EXPECT_TRUE(window.messages.empty());
}

TEST(MessageQueue, PostsQueuedBeforeTheWindowIsDestroyedAreDropped) {
    WindowHandle handle;
    {
        TestWindow doomed(QStringLiteral("resetDevice.xml"));
        handle = doomed.CreateDefault();
        ASSERT_TRUE(handle);
        EXPECT_TRUE(PostWindowMessage(handle, kWmDone, 0, 0));
    }                           // destroyed with the message still queued
    UiDriver::ProcessEvents();  // must not touch the dead window (ASan would say so)
    EXPECT_FALSE(PostWindowMessage(handle, kWmDone, 0, 0));
}

TEST_F(MessageQueueTest, SendFromAWorkerReturnsTheHandlersResult) {
    struct Answering : TestWindow {
        using TestWindow::TestWindow;
        LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override {
            if (msg == kWmProgress) {
                return static_cast<LRESULT>(wParam) * 2 + lParam;
            }
            return TestWindow::HandleMessage(msg, wParam, lParam);
        }
    } answering(QStringLiteral("resetDevice.xml"));
    ASSERT_TRUE(answering.CreateDefault());
    std::atomic<LRESULT> result{-1};
    std::atomic<bool> finished{false};
    std::thread worker([&] {
        result = SendWindowMessage(answering.GetHWND(), kWmProgress, 20, 2);
        finished = true;
    });
    ASSERT_TRUE(PumpUntil([&] { return finished.load(); }));
    worker.join();
    EXPECT_EQ(result.load(), 42);
    // On the UI thread a send runs at once.
    EXPECT_EQ(SendWindowMessage(answering.GetHWND(), kWmProgress, 1, 0), 2);
}

TEST_F(MessageQueueTest, WorkerWaitingInSendIsReleasedWhenTheWindowCloses) {
    // The watchdog pattern: a worker sends kWmClose while the UI thread is busy closing the
    // window itself and then waits for the worker. Neither may hang.
    std::atomic<bool> sending{false};
    std::atomic<LRESULT> result{-1};
    std::thread worker([&] {
        sending = true;
        result = SendWindowMessage(window.GetHWND(), kWmProgress, 0, 0);
    });
    while (!sending.load()) {
        std::this_thread::yield();
    }
    // Close without running the queue: the send may or may not be queued yet.
    window.DispatchMessage(kWmClose, 1, 0);
    worker.join();  // returns because closing released the sender
    EXPECT_EQ(result.load(), 0);
    UiDriver::ProcessEvents();
}

TEST_F(MessageQueueTest, CloseCodeBecomesTheModalResultAndCanBeRefused) {
    window.refuseClose = true;
    window.Close(100);
    UiDriver::ProcessEvents();
    EXPECT_FALSE(window.IsClosed());
    window.refuseClose = false;
    ScopedModalHook hook([](WindowImplBase& w) { PostWindowMessage(w.GetHWND(), kWmClose, 7, 0); });
    EXPECT_EQ(window.ShowModal(), 7);
    EXPECT_EQ(window.ShowModal(), 7) << "a closed window does not show again";
}

TEST_F(MessageQueueTest, WindowInitArrivesOnceBeforeTheModalHook) {
    std::vector<QString> seenByHook;
    ScopedModalHook hook([&](WindowImplBase& w) {
        for (const auto& n : static_cast<TestWindow&>(w).notes) {
            seenByHook.push_back(n.type);
        }
        w.Close(1);
    });
    EXPECT_EQ(window.ShowModal(), 1);
    ASSERT_EQ(seenByHook.size(), 1u);
    EXPECT_EQ(seenByHook[0], QStringLiteral("windowinit"));
}

TEST_F(MessageQueueTest, NestedModalWindowsAreAnsweredByTheHook) {
    TestWindow inner(QStringLiteral("verifyPIN.xml"));
    int innerResult = -1;
    ScopedModalHook hook([&](WindowImplBase& w) {
        if (&w == &window) {
            ASSERT_TRUE(inner.Create(window.GetHWND(), QStringLiteral("inner"), kDialogStyle));
            innerResult = inner.ShowModal();
            w.Close(3);
        } else {
            UiDriver(w).Click(QStringLiteral("closebtn"));  // base handling: close with 1
        }
    });
    EXPECT_EQ(window.ShowModal(), 3);
    EXPECT_EQ(innerResult, 1);
}

TEST_F(MessageQueueTest, TimersTickUntilKilled) {
    ASSERT_TRUE(window.SetTimer(5, 1));
    ASSERT_TRUE(PumpUntil([&] {
        return std::count_if(window.messages.begin(), window.messages.end(),
                             [](const auto& m) { return m.msg == kWmTimer && m.wParam == 5; }) >= 3;
    }));
    EXPECT_TRUE(window.KillTimer(5));
    EXPECT_FALSE(window.KillTimer(6));
    window.messages.clear();
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    EXPECT_TRUE(window.messages.empty());
}

TEST(SystemNotifications, DeviceChangesReachOnlyRegisteredWindowsPowerReachesAll) {
    TestWindow registered(QStringLiteral("verifyPIN.xml"));
    TestWindow other(QStringLiteral("SetPIN.xml"));
    ASSERT_TRUE(registered.CreateDefault());
    ASSERT_TRUE(other.CreateDefault());
    registered.RegisterDeviceNotification();

    std::thread platform([] {
        BroadcastDeviceChange(
            kDbtDeviceRemoveComplete,
            DeviceBroadcast{kDbtDevtypDeviceInterface, L"\\\\?\\HID#VID_4B56&PID_0001"});
        BroadcastPowerEvent(kPbtApmSuspend);
    });
    platform.join();
    ASSERT_TRUE(
        PumpUntil([&] { return other.messages.size() == 1 && registered.messages.size() == 2; }));
    EXPECT_EQ(registered.messages[0].msg, kWmDeviceChange);
    EXPECT_EQ(registered.messages[0].wParam, kDbtDeviceRemoveComplete);
    ASSERT_EQ(registered.devicePaths.size(), 1u);
    EXPECT_EQ(registered.devicePaths[0], L"\\\\?\\HID#VID_4B56&PID_0001");
    EXPECT_EQ(registered.messages[1].msg, kWmPowerBroadcast);
    EXPECT_EQ(other.messages[0].msg, kWmPowerBroadcast);
    EXPECT_EQ(other.messages[0].wParam, kPbtApmSuspend);
}

TEST(SystemNotifications, ManyWorkersPostingWhileWindowsOpenAndClose) {
    // Stress for the sanitizers: posts race with windows coming and going.
    std::atomic<bool> stop{false};
    std::atomic<std::uint64_t> latest{0};
    std::vector<std::thread> workers;
    for (int t = 0; t < 3; ++t) {
        workers.emplace_back([&] {
            while (!stop.load()) {
                PostWindowMessage(WindowHandle{latest.load()}, kWmProgress, 1, 2);
                SendWindowMessage(WindowHandle{latest.load()}, kWmProgress, 1, 2);
            }
        });
    }
    for (int i = 0; i < 20; ++i) {
        TestWindow w(QStringLiteral("resetDevice.xml"));
        latest = w.CreateDefault().id;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        if (i % 2 == 0) {
            w.Close(1);
            UiDriver::ProcessEvents();
        }
    }
    stop = true;
    // Senders may wait for a live window; keep the queue running until they all left.
    std::atomic<int> joined{0};
    std::thread joiner([&] {
        for (auto& w : workers) {
            w.join();
            ++joined;
        }
    });
    ASSERT_TRUE(PumpUntil([&] { return joined.load() == 3; }));
    joiner.join();
}

}  // namespace
}  // namespace kelvora::test
