#include "transport/fido_device.h"

#include <cstring>
#include <span>

#include "transport/device_ids.h"
#include "transport/repeatable_request.h"

namespace kelvora {
namespace {

// The firmware version query: class 0x80, INS 0xE3, P1 0, P2 0, Le 3.
enum FirmwareQuery : std::uint8_t {
    kVendorClass = 0x80,
    kGetInfoInstruction = 0xE3,
    kFirmwareVersionP1 = 0x00,
    kFirmwareVersionLe = 0x03,
};
constexpr std::size_t kFirmwareResponseSize = 100;
// Firmware newer than this takes AES secure messaging ...
constexpr std::uint8_t kLastDesFirmware = 16;
// ... and from this one on the vendor command bytes.
constexpr std::uint8_t kFirstVendorCommandFirmware = 18;

std::span<const std::uint8_t> Span(const std::uint8_t* bytes, std::int32_t length) {
    if (bytes == nullptr || length <= 0) {
        return {};
    }
    return {bytes, static_cast<std::size_t>(length)};
}

}  // namespace

FidoDevice::FidoDevice(HidBackend& backend, KeyState& keyState, Clock& clock, DebugOutput& debug)
    : keyState_(keyState), hid_(backend, keyState, clock, debug) {}

int FidoDevice::SetTransportKind(std::uint32_t kind) {
    if (kind != static_cast<std::uint32_t>(TransportKind::kHid) &&
        kind != static_cast<std::uint32_t>(TransportKind::kOther)) {
        return 0;
    }
    transportKind_ = static_cast<TransportKind>(kind);
    return 1;
}

std::uint32_t FidoDevice::EnumerateDevices() {
    return transportKind_ == TransportKind::kHid ? hid_.EnumerateDevices() : 0;
}

int FidoDevice::SelectDevice(std::uint32_t vendorId, std::uint32_t productId) {
    return transportKind_ == TransportKind::kHid ? hid_.SelectDevice(vendorId, productId) : 0;
}

int FidoDevice::GetDeviceDescription(char* buffer, std::size_t capacity) {
    return transportKind_ == TransportKind::kHid ? hid_.GetDeviceDescription(buffer, capacity) : 0;
}

void FidoDevice::CloseAllDevices() {
    hid_.CloseAllDevices();
}

bool FidoDevice::Exchange(const std::uint8_t* request, std::int32_t requestLength, bool onlyReads,
                          std::array<std::uint8_t, kApduBufferSize>& buffer,
                          std::uint32_t& length) {
    if (transportKind_ != TransportKind::kHid) {
        return false;
    }
    buffer.fill(0);
    length = static_cast<std::uint32_t>(buffer.size());
    if (hid_.ExchangeReports(request, requestLength, buffer.data(), &length) == 0) {
        return true;
    }
    // The key may have acted on a request it received whole: only a request that changes
    // nothing is sent again then. The repeat reuses an allocated channel; when the
    // allocation itself failed, it allocates again.
    if ((hid_.RequestSent() && !onlyReads) || hid_.DeadlinePassed()) {
        return false;  // a key that let the deadline pass would only keep us waiting again
    }
    buffer.fill(0);
    length = static_cast<std::uint32_t>(buffer.size());
    return hid_.ExchangeReports(request, requestLength, buffer.data(), &length) == 0;
}

std::uint8_t FidoDevice::SendCborCommand(const std::uint8_t* request, std::int32_t requestLength,
                                         std::uint8_t* response, std::uint32_t* responseLength) {
    std::array<std::uint8_t, kApduBufferSize> buffer{};
    std::uint32_t length = 0;
    const bool onlyReads = CborRequestOnlyReads(Span(request, requestLength));
    if (!Exchange(request, requestLength, onlyReads, buffer, length) || length == 0) {
        return kCtapTransportFailure;
    }
    const std::uint8_t status = buffer[0];
    if (length == 1) {
        return status;
    }
    const std::uint32_t dataLength = length - 1;
    if (response == nullptr || responseLength == nullptr || *responseLength < dataLength) {
        return kCtapResponseTooLarge;
    }
    // Copied whatever the status, so a caller also gets the key's error data.
    std::memcpy(response, buffer.data() + 1, dataLength);
    *responseLength = dataLength;
    return status;
}

std::uint16_t FidoDevice::TransmitApdu(const std::uint8_t* apdu, std::int32_t apduLength,
                                       std::uint8_t* response, std::uint32_t* responseLength) {
    std::array<std::uint8_t, kApduBufferSize> buffer{};
    std::uint32_t length = 0;
    // Some callers send a CTAP2 GetInfo this way as well.
    const bool onlyReads =
        ApduOnlyReads(Span(apdu, apduLength)) || CborRequestOnlyReads(Span(apdu, apduLength));
    if (!Exchange(apdu, apduLength, onlyReads, buffer, length)) {
        return kSwTransportFailure;
    }
    // Fewer than two bytes carry no status word (a CTAPHID error packet, for one).
    if (length < kStatusWordSize) {
        return kSwTransportFailure;
    }
    const std::uint32_t dataLength = length - kStatusWordSize;
    const auto statusWord =
        static_cast<std::uint16_t>((buffer[dataLength] << 8) | buffer[dataLength + 1]);
    if (responseLength == nullptr) {
        return statusWord;
    }
    if (response == nullptr) {
        *responseLength = dataLength;
        return statusWord;
    }
    if (*responseLength < dataLength) {
        *responseLength = dataLength;
        return kSwTransportFailure;
    }
    std::memcpy(response, buffer.data(), dataLength);
    *responseLength = dataLength;
    return statusWord;
}

void FidoDevice::SetApduHeader(std::uint8_t cla, std::uint8_t ins, std::uint8_t p1, std::uint8_t p2,
                               const std::uint8_t* data, std::uint32_t lc, std::uint32_t le) {
    apduHeader_ = ApduHeader{cla, ins, p1, p2, data, lc, le};
}

std::uint16_t FidoDevice::TransmitSecureApdu(std::uint8_t* response, std::uint32_t* responseLength,
                                             const std::uint8_t* key, std::uint32_t keyLength,
                                             std::uint8_t mode, const std::uint8_t* challenge) {
    std::array<std::uint8_t, kSmChallengeSize> iv{};
    if (key != nullptr && keyLength != 0 && mode != kApduPlain && challenge != nullptr) {
        std::memcpy(iv.data(), challenge, iv.size());
    }
    std::array<std::uint8_t, kApduBufferSize> apdu{};
    const std::size_t length =
        BuildApdu(apduHeader_, mode, key, keyLength, iv,
                  secureMessagingAes_ ? SmCipher::kAes : SmCipher::kDes, apdu);
    if (length == 0) {
        return kSwBuildFailure;
    }
    return TransmitApdu(apdu.data(), static_cast<std::int32_t>(length), response, responseLength);
}

std::uint16_t FidoDevice::QueryFirmwareVersion(std::optional<std::uint8_t>* version) {
    if (version) {
        version->reset();
    }
    const std::uint8_t query[] = {kVendorClass, kGetInfoInstruction, kFirmwareVersionP1, 0x00,
                                  kFirmwareVersionLe};
    std::array<std::uint8_t, kFirmwareResponseSize> answer{};
    std::uint32_t length = answer.size();
    const std::uint16_t status =
        TransmitApdu(query, static_cast<std::int32_t>(sizeof query), answer.data(), &length);
    // A success without data carries no version; it changes nothing.
    if (status != kSwSuccess || length == 0) {
        return status;
    }
    if (version) {
        *version = answer[0];
    }
    if (answer[0] > kLastDesFirmware) {
        secureMessagingAes_ = true;
    }
    if (answer[0] >= kFirstVendorCommandFirmware) {
        keyState_.vendorCommandSet = true;
    }
    return status;
}

}  // namespace kelvora
