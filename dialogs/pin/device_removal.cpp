#include "dialogs/pin/device_removal.h"

#include <cstdio>

#include "transport/device_ids.h"

namespace kelvora {

namespace {
// The models whose removal the PIN dialogs watch for themselves; the others are left to the
// watchdog.
constexpr std::size_t kWatchedModelCount = 5;
}  // namespace

bool IsWatchedKeyRemoval(WPARAM event, const DeviceBroadcast* record) {
    if (event != kDbtDeviceRemoveComplete || record == nullptr ||
        record->deviceType != kDbtDevtypDeviceInterface) {
        return false;
    }
    for (std::size_t i = 0; i < kWatchedModelCount; ++i) {
        char digits[5] = {};
        std::snprintf(digits, sizeof digits, "%04X", static_cast<unsigned>(kSupportedProducts[i]));
        const std::wstring wide(digits, digits + 4);
        if (record->name.find(wide) != std::wstring::npos) {
            return true;
        }
    }
    return false;
}

}  // namespace kelvora
