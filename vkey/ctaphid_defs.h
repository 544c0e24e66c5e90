// CTAPHID constants from the key's point of view (CTAP 2.1 §11.2).
#pragma once

#include <cstddef>
#include <cstdint>

namespace kelvora::vkey {

inline constexpr std::uint32_t kBroadcastChannel = 0xFFFFFFFF;
inline constexpr std::uint32_t kReservedChannel = 0x00000000;

// Bit 7 marks the initialisation packet of a message.
inline constexpr std::uint8_t kInitPacketBit = 0x80;

enum class HidCommand : std::uint8_t {
    kPing = 0x81,
    kMsg = 0x83,
    kLock = 0x84,
    kInit = 0x86,
    kWink = 0x88,
    kCbor = 0x90,
    kCancel = 0x91,
    kKeepalive = 0xBB,
    kError = 0xBF,
};

// CTAPHID_ERROR codes (CTAP 2.1 §11.2.9.1.6).
enum class HidError : std::uint8_t {
    kInvalidCmd = 0x01,
    kInvalidPar = 0x02,
    kInvalidLen = 0x03,
    kInvalidSeq = 0x04,
    kMsgTimeout = 0x05,
    kChannelBusy = 0x06,
    kLockRequired = 0x0A,
    kInvalidChannel = 0x0B,
    kOther = 0x7F,
};

// CTAPHID_KEEPALIVE status bytes.
enum class KeepaliveStatus : std::uint8_t {
    kProcessing = 1,
    kUpNeeded = 2,
};

// CTAPHID_INIT capability flags.
inline constexpr std::uint8_t kCapabilityWink = 0x01;
inline constexpr std::uint8_t kCapabilityCbor = 0x04;
inline constexpr std::uint8_t kCapabilityNmsg = 0x08;
inline constexpr std::uint8_t kCtaphidProtocolVersion = 2;

// Packet layout.
inline constexpr std::size_t kInitHeaderSize = 7;  // cid(4) cmd(1) bcnt(2)
inline constexpr std::size_t kContHeaderSize = 5;  // cid(4) seq(1)
inline constexpr std::size_t kInitPayloadSize = 57;
inline constexpr std::size_t kContPayloadSize = 59;
inline constexpr std::uint8_t kMaxSequence = 0x7F;
inline constexpr std::size_t kMaxMessageSize = kInitPayloadSize + 128 * kContPayloadSize;  // 7609

inline constexpr std::size_t kInitNonceSize = 8;
inline constexpr std::size_t kInitResponseSize = 17;

// A message whose continuation packets stop arriving is abandoned after this long.
inline constexpr std::int64_t kAssemblyTimeoutMs = 1000;
// Keep-alives while the key waits for the user.
inline constexpr std::int64_t kKeepaliveIntervalMs = 100;

}  // namespace kelvora::vkey
