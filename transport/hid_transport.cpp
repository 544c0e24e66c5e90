// Discovery: the device list, the current device and its description.
#include "transport/hid_transport.h"

#include <algorithm>
#include <cstring>

#include "transport/device_ids.h"

namespace kelvora {
namespace {

// The sixth supported model needs time after it has been opened before it answers.
constexpr std::uint32_t kSettleDelayMs = 2000;

}  // namespace

HidTransport::HidTransport(HidBackend& backend, KeyState& keyState, Clock& clock,
                           DebugOutput& debug)
    : backend_(backend), keyState_(keyState), clock_(clock), debug_(debug) {}

HidTransport::~HidTransport() {
    CloseAllDevices();
}

std::uint32_t HidTransport::EnumerateDevices() {
    // Dropping the list releases its connections; the current device keeps its own
    // reference and stays open until another device is selected.
    devices_.clear();
    std::uint32_t count = 0;
    for (const HidInterfaceInfo& info : backend_.Enumerate()) {
        if (!PathNamesVendor(info.path, kMakerVendorId)) {
            continue;
        }
        if (info.accessDenied) {
            keyState_.deviceAccessDenied = true;
            continue;
        }
        HidOpenResult opened = backend_.Open(info);
        if (!opened.connection) {
            // A node that vanished between listing and opening is not a rights problem.
            if (opened.error == HidOpenError::kAccessDenied) {
                keyState_.deviceAccessDenied = true;
            }
            continue;
        }
        if (info.vendorId != kMakerVendorId) {
            continue;
        }
        if (info.reportLengths.input == 0 || info.reportLengths.output == 0) {
            continue;
        }
        if (info.productId == kSettleDelayProductId) {
            clock_.SleepMs(kSettleDelayMs);
        }
        HidDeviceInfo device;
        device.vendorId = info.vendorId;
        device.productId = info.productId;
        device.description = MakeDeviceDescription(
            info.productNameAvailable ? std::string_view(info.productName) : kUnknownDeviceName,
            info.vendorId, info.productId);
        device.path = info.path;
        device.reportLengths = info.reportLengths;
        device.connection = std::move(opened.connection);
        devices_.push_back(std::move(device));
        ++count;
    }
    return count;
}

int HidTransport::SelectDevice(std::uint32_t vendorId, std::uint32_t productId) {
    const auto found = std::find_if(devices_.begin(), devices_.end(), [&](const HidDeviceInfo& d) {
        return d.vendorId == vendorId && d.productId == productId;
    });
    if (found == devices_.end()) {
        return 0;
    }
    current_ = *found;
    needChannelInit_ = true;
    return 1;
}

int HidTransport::GetDeviceDescription(char* buffer, std::size_t capacity) const {
    if (buffer == nullptr || capacity == 0) {
        return 0;
    }
    const std::size_t length =
        std::min(strnlen(current_.description.data(), current_.description.size()), capacity - 1);
    std::memcpy(buffer, current_.description.data(), length);
    buffer[length] = '\0';
    return 1;
}

void HidTransport::CloseAllDevices() {
    for (HidDeviceInfo& device : devices_) {
        if (device.connection) {
            device.connection->Close();
        }
    }
    devices_.clear();
    // The current device shares its connection with the list; once that is closed the
    // slot must not be used, so it is emptied and the next exchange refuses to run.
    if (current_.connection) {
        current_.connection->Close();
    }
    current_ = HidDeviceInfo{};
}

}  // namespace kelvora
