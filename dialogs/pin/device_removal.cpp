#include "dialogs/pin/device_removal.h"

#include <cstdint>
#include <string>

#include "transport/device_ids.h"

namespace kelvora {

namespace {
// The models whose removal the PIN dialogs watch for themselves; the others are left to the
// watchdog.
constexpr std::size_t kWatchedModelCount = 5;

// The four upper-case hex digits of a product id, as device paths carry them.
std::wstring UpperHexDigits(std::uint16_t productId) {
    constexpr wchar_t kDigits[] = L"0123456789ABCDEF";
    std::wstring text(4, L'0');
    for (int i = 3; i >= 0; --i) {
        text[static_cast<std::size_t>(i)] = kDigits[productId & 0xF];
        productId = static_cast<std::uint16_t>(productId >> 4);
    }
    return text;
}
}  // namespace

bool IsWatchedKeyRemoval(WPARAM event, const DeviceBroadcast* record) {
    if (event != kDbtDeviceRemoveComplete || record == nullptr ||
        record->deviceType != kDbtDevtypDeviceInterface) {
        return false;
    }
    for (std::size_t i = 0; i < kWatchedModelCount; ++i) {
        if (record->name.find(UpperHexDigits(kSupportedProducts[i])) != std::wstring::npos) {
            return true;
        }
    }
    return false;
}

}  // namespace kelvora
