#pragma once

// Window handles and message delivery across threads. Any thread may post or send to a
// handle; the message is handled on the UI thread by the window's HandleMessage. A handle
// whose window has closed is simply not found: posting to it does nothing, and a sender
// waiting for it is released with 0.

#include <memory>

#include "toolkit/window_messages.h"

namespace kelvora {

class WindowImplBase;

// Queues a message for the window. False when the window no longer exists (nothing is queued).
bool PostWindowMessage(WindowHandle window, UINT msg, WPARAM wParam = 0, LPARAM lParam = 0);

// Handles the message on the UI thread and returns the result. Called on the UI thread it
// runs at once; from another thread it waits for the UI thread, and returns 0 without
// waiting further as soon as the window closes (so a worker never hangs on a dead window).
LRESULT SendWindowMessage(WindowHandle window, UINT msg, WPARAM wParam = 0, LPARAM lParam = 0);

// Entry point of the platform layer for device-interface notifications: delivers
// kWmDeviceChange with `event` (kDbtDeviceArrival, kDbtDeviceRemoveComplete) and the record
// to every window that registered for them (WindowImplBase::RegisterDeviceNotification).
// Safe from any thread.
void BroadcastDeviceChange(WPARAM event, const DeviceBroadcast& record);

// Delivers kWmPowerBroadcast with `event` (kPbtApmSuspend, ...) to every open window.
// Safe from any thread.
void BroadcastPowerEvent(WPARAM event);

namespace detail {
// Used by WindowImplBase (UI thread).
WindowHandle RegisterWindow(WindowImplBase* window);
void UnregisterWindow(WindowHandle handle);
void SetDeviceNotifications(WindowHandle handle, bool wanted);
// UI thread only: the UI thread is the one that destroys windows.
WindowImplBase* LookupWindow(WindowHandle handle);
}  // namespace detail

}  // namespace kelvora
