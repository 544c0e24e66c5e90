#pragma once

// Message numbers and codes shared by every window. The values are the Win32 ones, so code
// that handles a posted message reads the same on every platform.

#include <cstdint>
#include <string>

namespace kelvora {

using UINT = std::uint32_t;
using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using LRESULT = std::intptr_t;

inline constexpr UINT kWmClose = 0x0010;
inline constexpr UINT kWmKeyDown = 0x0100;
inline constexpr UINT kWmTimer = 0x0113;
inline constexpr UINT kWmPowerBroadcast = 0x0218;
inline constexpr UINT kWmDeviceChange = 0x0219;
// First message number free for a window's own use; worker threads post in this range.
inline constexpr UINT kWmUser = 0x0400;

// Virtual key codes that windows filter.
inline constexpr WPARAM kVkReturn = 0x0D;
inline constexpr WPARAM kVkEscape = 0x1B;

// wParam of kWmDeviceChange.
inline constexpr WPARAM kDbtDeviceArrival = 0x8000;
inline constexpr WPARAM kDbtDeviceRemoveComplete = 0x8004;
// Device type of a device-interface broadcast record.
inline constexpr int kDbtDevtypDeviceInterface = 5;

// wParam of kWmPowerBroadcast.
inline constexpr WPARAM kPbtApmSuspend = 4;
inline constexpr WPARAM kPbtApmResumeSuspend = 7;

// The record a kWmDeviceChange message points to (its lParam is a const DeviceBroadcast*,
// valid for the duration of the HandleMessage call).
struct DeviceBroadcast {
    int deviceType = kDbtDevtypDeviceInterface;
    std::wstring name;  // the interface path
};

// An opaque window identifier. Identifiers are never reused, so a handle kept by a worker
// thread after its window closed only ever addresses nothing.
struct WindowHandle {
    std::uint64_t id = 0;
    explicit operator bool() const { return id != 0; }
    friend bool operator==(WindowHandle, WindowHandle) = default;
};

}  // namespace kelvora
