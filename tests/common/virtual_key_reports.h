// The host's side of an in-process virtual key, for the test backends built over it: HID
// reports carry the report id in front of the key's 64-byte packets.
#pragma once

#include <algorithm>
#include <cstring>
#include <optional>
#include <string>

#include "transport/ctaphid.h"
#include "transport/device_ids.h"
#include "transport/hid_backend.h"
#include "transport/hid_device_info.h"
#include "vkey/virtual_key.h"

namespace kelvora::test {

// The error a read or write reports once the key has been pulled out.
inline constexpr std::uint32_t kVirtualKeyGone = 0x48F;

// The key's one interface as discovery lists it, under a path made from `pathStem`.
inline HidInterfaceInfo VirtualKeyInterface(const vkey::VirtualKey& key,
                                            const std::string& pathStem, std::string name) {
    HidInterfaceInfo info;
    const std::uint16_t productId = key.config().productId();
    info.path = pathStem + "#" + InterfaceIdentity(kMakerVendorId, productId);
    info.vendorId = kMakerVendorId;
    info.productId = productId;
    info.productName = std::move(name);
    info.reportLengths = {ctaphid::kReportLength, ctaphid::kReportLength};
    return info;
}

inline HidIoResult WriteReportToKey(vkey::VirtualKey& key, std::span<const std::uint8_t> report) {
    std::uint8_t packet[vkey::kPacketSize] = {};
    if (report.size() > 1) {
        std::memcpy(packet, report.data() + 1, std::min(report.size() - 1, sizeof packet));
    }
    if (!key.WritePacket(packet)) {
        return {false, 0, kVirtualKeyGone};
    }
    return {true, report.size(), 0};
}

// One packet read waiting up to `waitMs` of real time; nothing when none came.
inline std::optional<HidIoResult> ReadReportFromKey(vkey::VirtualKey& key,
                                                    std::span<std::uint8_t> report,
                                                    std::int64_t waitMs) {
    vkey::Packet packet{};
    switch (key.ReadPacket(packet, waitMs)) {
        case vkey::VirtualKey::ReadResult::kPacket:
            report[0] = ctaphid::kReportId;
            std::memcpy(report.data() + 1, packet.data(), packet.size());
            return HidIoResult{true, packet.size() + 1, 0};
        case vkey::VirtualKey::ReadResult::kRemoved:
            return HidIoResult{false, 0, kVirtualKeyGone};
        case vkey::VirtualKey::ReadResult::kTimedOut:
            break;
    }
    return std::nullopt;
}

inline void FlushKeyOutput(vkey::VirtualKey& key) {
    while (key.TryReadPacket()) {
    }
}

inline bool VirtualKeyReportLengths(const vkey::VirtualKey& key, HidReportLengths& lengths) {
    lengths = {ctaphid::kReportLength, ctaphid::kReportLength};
    return key.plugged();
}

}  // namespace kelvora::test
