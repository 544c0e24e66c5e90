#include "cli/firmware_query.h"

#include <array>

#include "transport/apdu.h"
#include "transport/device_ids.h"

namespace kelvora::cli {

namespace {

constexpr std::uint8_t kVendorClass = 0x80;
constexpr std::uint8_t kGetInfoInstruction = 0xE3;
constexpr std::uint8_t kFirmwareVersionP1 = 0x00;
constexpr std::uint8_t kFirmwareVersionP2 = 0x00;
constexpr std::uint8_t kFirmwareVersionLe = 0x03;

}  // namespace

std::optional<int> ReadFirmwareByte(FidoDevice& device, std::uint16_t productId) {
    if (productId == kSettleDelayProductId) {
        return std::nullopt;
    }
    const std::array<std::uint8_t, 5> query = {kVendorClass, kGetInfoInstruction,
                                               kFirmwareVersionP1, kFirmwareVersionP2,
                                               kFirmwareVersionLe};
    std::array<std::uint8_t, kFirmwareVersionLe> version{};
    std::uint32_t length = version.size();
    const std::uint16_t status = device.TransmitApdu(
        query.data(), static_cast<std::int32_t>(query.size()), version.data(), &length);
    if (status != kSwSuccess || length == 0) {
        return std::nullopt;
    }
    return version[0];
}

}  // namespace kelvora::cli
