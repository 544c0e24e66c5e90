// CTAPHID packet framing constants (CTAP 2.1 §11.2.4). Offsets are into a HID report,
// whose byte 0 is the report id; the CTAPHID packet starts at byte 1.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace kelvora::ctaphid {

enum Command : std::uint8_t {
    kInit = 0x86,
    kCbor = 0x90,
    kCancel = 0x91,
    kKeepAlive = 0xBB,
    kError = 0xBF,
};

inline constexpr std::size_t kPacketSize = 64;
inline constexpr std::size_t kReportLength = kPacketSize + 1;  // with the report id byte
inline constexpr std::uint8_t kReportId = 0x00;

inline constexpr std::size_t kChannelOffset = 1;
inline constexpr std::size_t kChannelSize = 4;
inline constexpr std::size_t kCommandOffset = 5;   // init packet: command | 0x80
inline constexpr std::size_t kSequenceOffset = 5;  // continuation packet
inline constexpr std::size_t kLengthHighOffset = 6;
inline constexpr std::size_t kLengthLowOffset = 7;
inline constexpr std::size_t kInitPayloadOffset = 8;
inline constexpr std::size_t kContinuationPayloadOffset = 6;
inline constexpr std::size_t kInitPayloadSize = kReportLength - kInitPayloadOffset;  // 57
inline constexpr std::size_t kContinuationPayloadSize =
    kReportLength - kContinuationPayloadOffset;  // 59

// Sequence numbers run from 0 to 0x7F, which bounds one message.
inline constexpr std::size_t kMaxContinuationPackets = 128;
inline constexpr std::size_t kMaxMessageSize =
    kInitPayloadSize + kMaxContinuationPackets * kContinuationPayloadSize;  // 7609

inline constexpr std::array<std::uint8_t, kChannelSize> kBroadcastChannel = {0xFF, 0xFF, 0xFF,
                                                                             0xFF};
// The channel before the first initialisation.
inline constexpr std::array<std::uint8_t, kChannelSize> kInitialChannel = {0x00, 0x00, 0x00, 0x01};

// CTAPHID_INIT: an 8-byte nonce, fresh for every INIT (transport/init_nonce.h); an INIT
// answer that does not echo it answers another program on the same key.
inline constexpr std::size_t kInitNonceSize = 8;
// The allocated channel in the INIT response: payload bytes 8-11, after the echoed nonce.
inline constexpr std::size_t kInitResponseChannelOffset = kInitPayloadOffset + kInitNonceSize;
// Nonce, channel, protocol version, three device version bytes and the capabilities.
inline constexpr std::size_t kInitResponseMinSize = 17;

// The packet buffer: a whole report fits with room to spare.
inline constexpr std::size_t kReportBufferSize = 100;

}  // namespace kelvora::ctaphid
