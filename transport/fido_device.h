// The session with the attached key: the HID layer and the two exchanges every operation
// is built from, a CTAP2 command (SendCborCommand) and a vendor APDU (TransmitApdu,
// TransmitSecureApdu). One FidoDevice lives for the whole run and is passed to whoever
// talks to the key.
//
// Not thread-safe: one operation at a time may use the session, from any one thread.
#pragma once

#include <array>
#include <cstdint>
#include <optional>

#include "platform/clock.h"
#include "platform/debug_output.h"
#include "transport/apdu.h"
#include "transport/hid_backend.h"
#include "transport/hid_transport.h"
#include "transport/key_state.h"

namespace kelvora {

enum class TransportKind : std::uint32_t {
    kNone = 0,
    kHid = 1,
    kOther = 2,  // accepted, but no exchange works over it
};

// Status bytes SendCborCommand returns besides the key's own CTAP status codes.
enum CtapSessionStatus : std::uint8_t {
    kCtapSuccess = 0x00,
    // The response did not fit the caller's buffer, or the caller gave none.
    kCtapResponseTooLarge = 0x03,
    // No response at all: the exchange failed at the transport (the key may still have
    // acted on a request that reached it), or the transport kind is not HID. The low byte
    // of the exchange's -1; every caller treats it as a failure.
    kCtapTransportFailure = 0xFF,
};

class FidoDevice {
  public:
    // The backend, key state, clock and debug output must outlive the session.
    FidoDevice(HidBackend& backend, KeyState& keyState, Clock& clock = SystemClock(),
               DebugOutput& debug = SystemDebugOutput());

    // Returns 1 and stores kind 1 or 2; returns 0 and changes nothing for any other value.
    int SetTransportKind(std::uint32_t kind);
    TransportKind GetTransportKind() const { return transportKind_; }

    // Discovery (see HidTransport); the first three do nothing and return 0 unless the
    // transport kind is HID.
    std::uint32_t EnumerateDevices();
    int SelectDevice(std::uint32_t vendorId, std::uint32_t productId);
    int GetDeviceDescription(char* buffer, std::size_t capacity);
    void CloseAllDevices();

    // Sends `request` (command byte, then CBOR parameters) and returns the CTAP status.
    // `*responseLength` is the capacity of `response` on entry and the length of the data
    // after the status byte on return. A response of the status byte alone leaves
    // `response` and `*responseLength` untouched. A failed exchange is repeated once when
    // the request never reached the key whole, or when it only reads (see
    // repeatable_request.h); any other failure is returned as it is.
    std::uint8_t SendCborCommand(const std::uint8_t* request, std::int32_t requestLength,
                                 std::uint8_t* response, std::uint32_t* responseLength);

    // Sends a command APDU and returns its status word (SW1 SW2) or kSwTransportFailure.
    // A failed exchange is repeated as in SendCborCommand.
    // With a null `responseLength` no data is copied; with a null `response` only the
    // data length is reported. Data larger than `*responseLength` is not copied; the
    // length needed is reported and the result is kSwTransportFailure.
    std::uint16_t TransmitApdu(const std::uint8_t* apdu, std::int32_t apduLength,
                               std::uint8_t* response, std::uint32_t* responseLength);

    // Stores the header of the next secure APDU; `data` must stay valid until it is sent.
    void SetApduHeader(std::uint8_t cla, std::uint8_t ins, std::uint8_t p1, std::uint8_t p2,
                       const std::uint8_t* data, std::uint32_t lc, std::uint32_t le);

    // Builds the APDU from the stored header, in plain form (mode 0) or under secure
    // messaging (mode 4) with `key` and the 8-byte `challenge` (zeros when null), and
    // transmits it. Returns kSwBuildFailure when it cannot be built.
    std::uint16_t TransmitSecureApdu(std::uint8_t* response, std::uint32_t* responseLength,
                                     const std::uint8_t* key, std::uint32_t keyLength,
                                     std::uint8_t mode, const std::uint8_t* challenge);

    // Asks the key for its firmware version byte (80 E3 00 00 03): a version above 16
    // selects AES secure messaging, 18 or above sets keyState.vendorCommandSet. Any other
    // answer leaves both as they were. Returns the status word; `version`, when given,
    // receives the version byte, or nullopt when the key gave none.
    std::uint16_t QueryFirmwareVersion(std::optional<std::uint8_t>* version = nullptr);

    bool SecureMessagingAes() const { return secureMessagingAes_; }
    void SetSecureMessagingAes(bool aes) { secureMessagingAes_ = aes; }

    const ApduHeader& PendingApduHeader() const { return apduHeader_; }
    HidTransport& Hid() { return hid_; }
    KeyState& State() { return keyState_; }

  private:
    // The exchange with its one repeat, which a request that reached the key gets only
    // when it `onlyReads`; false when the exchange failed.
    bool Exchange(const std::uint8_t* request, std::int32_t requestLength, bool onlyReads,
                  std::array<std::uint8_t, kApduBufferSize>& buffer, std::uint32_t& length);

    KeyState& keyState_;
    bool secureMessagingAes_ = false;
    ApduHeader apduHeader_;
    TransportKind transportKind_ = TransportKind::kNone;
    HidTransport hid_;
};

}  // namespace kelvora
