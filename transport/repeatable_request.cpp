#include "transport/repeatable_request.h"

#include <algorithm>
#include <array>

#include "cbor/cbor_view.h"

namespace kelvora {
namespace {

// Command bytes in the standard and the vendor command set.
enum CommandByte : std::uint8_t {
    kGetInfo = 0x04,
    kVendorGetInfo = 0x44,
    kClientPin = 0x06,
    kVendorClientPin = 0x46,
    kBioEnrollment = 0x40,
    kVendorBioEnrollment = 0x50,
};

// Member 2 of both the ClientPIN and the bio enrollment request map.
constexpr std::int32_t kSubCommandKey = 2;
constexpr std::array<std::uint32_t, 2> kReadingPinSubCommands = {
    1,  // getRetries
    2,  // getKeyAgreement
};
constexpr std::array<std::uint32_t, 3> kReadingBioSubCommands = {
    4,  // enumerateEnrollments
    7,  // getFingerprintSensorInfo
    9,  // getFingerprintRetries (the maker's)
};

template <std::size_t N>
bool SubCommandIn(std::span<const std::uint8_t> request, const std::array<std::uint32_t, N>& set) {
    const std::span<const std::uint8_t> map = request.subspan(1);
    std::uint32_t subCommand = 0;
    if (!CborView(map.data(), static_cast<std::uint32_t>(map.size()))
             .findKey(kSubCommandKey)
             .getUnsigned(subCommand)) {
        return false;
    }
    return std::find(set.begin(), set.end(), subCommand) != set.end();
}

enum ApduByte : std::uint8_t {
    kPlainClass = 0x80,
    kSecureClass = 0x84,
    kBioInstruction = 0xE2,
    kQueryInstruction = 0xE3,
    kResetP1 = 0x03,
    kSlotBitmapP1 = 0x04,
    kChallengeP1 = 0xFF,
};
constexpr std::size_t kApduHeaderBytes = 4;

}  // namespace

bool CborRequestOnlyReads(std::span<const std::uint8_t> request) {
    if (request.empty()) {
        return false;
    }
    switch (request[0]) {
        case kGetInfo:
        case kVendorGetInfo:
            return true;
        case kClientPin:
        case kVendorClientPin:
            return SubCommandIn(request, kReadingPinSubCommands);
        case kBioEnrollment:
        case kVendorBioEnrollment:
            return SubCommandIn(request, kReadingBioSubCommands);
        default:
            return false;
    }
}

bool ApduOnlyReads(std::span<const std::uint8_t> apdu) {
    if (apdu.size() < kApduHeaderBytes) {
        return false;
    }
    const std::uint8_t cla = apdu[0];
    const std::uint8_t ins = apdu[1];
    const std::uint8_t p1 = apdu[2];
    // A second challenge only replaces the first, which the lost answer never delivered.
    return (cla == kPlainClass && ins == kQueryInstruction && p1 != kResetP1) ||
           (cla == kPlainClass && ins == kBioInstruction && p1 == kChallengeP1) ||
           (cla == kSecureClass && ins == kBioInstruction && p1 == kSlotBitmapP1);
}

}  // namespace kelvora
