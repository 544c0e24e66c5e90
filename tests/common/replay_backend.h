// A scripted stand-in for the HID stack: each device replays the input reports a test
// queued, in order, and records every output report the host wrote. Reads past the end of
// the script fail (as a removed device does) instead of blocking, so a test never hangs.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "tests/common/bytes.h"
#include "transport/ctaphid.h"
#include "transport/hid_backend.h"

namespace kelvora::test {

// A queued INIT answer with this nonce answers the host's INIT: the nonce the host wrote is
// put in its place when the INIT is written (the host's nonces are random).
inline constexpr std::uint8_t kHostNonce = 0x01;

// The error code a replayed failure reports (ERROR_DEVICE_NOT_CONNECTED on Windows).
inline constexpr std::uint32_t kReplayDeviceGone = 0x48F;

// What one replayed device sees and says. Shared between the test and the connection.
struct ReplayDevice {
    struct ReadStep {
        bool ok = true;
        Bytes report;  // a whole report, report id byte first
        std::uint32_t errorCode = 0;
    };
    std::deque<ReadStep> reads;
    std::vector<Bytes> written;
    // Write number (0-based) that fails, and the one that is short; -1 for none.
    int failWriteAt = -1;
    int shortWriteAt = -1;
    std::uint32_t writeError = 0x1F;  // ERROR_GEN_FAILURE
    bool capsAvailable = true;
    HidReportLengths lengths{ctaphid::kReportLength, ctaphid::kReportLength};
    int flushes = 0;
    int closes = 0;
    int opens = 0;

    // Queues one packet as the key sends it: 64 bytes (shorter is zero-filled).
    void QueuePacket(const Bytes& packet);
    void QueueReadFailure(std::uint32_t errorCode = kReplayDeviceGone);
    // Queues a whole response message on `channel`, split into packets.
    void QueueMessage(const Bytes& channel, std::uint8_t command, const Bytes& message);
    // Queues the answer to CTAPHID_INIT that allocates `channel`; another nonce than the
    // host's answers another program.
    void QueueInitResponse(const Bytes& channel, std::uint8_t nonceByte = kHostNonce,
                           std::uint16_t length = 17);
};

class ReplayBackend final : public HidBackend {
  public:
    struct Interface {
        HidInterfaceInfo info;
        HidOpenError openError = HidOpenError::kNone;
        std::shared_ptr<ReplayDevice> device = std::make_shared<ReplayDevice>();
    };

    // Adds a FIDO interface with the path and report lengths a hidraw key would have.
    std::shared_ptr<ReplayDevice> AddKey(std::uint16_t vendorId, std::uint16_t productId,
                                         const std::string& name = "Security Key");
    Interface& Add(HidInterfaceInfo info);

    std::vector<HidInterfaceInfo> Enumerate() override;
    HidOpenResult Open(const HidInterfaceInfo& info) override;

    // A deque, so that references from Add() stay valid as more interfaces are added.
    std::deque<Interface> interfaces;
    int enumerations = 0;
};

// Builders for packets, all 64 bytes without the report id.
Bytes InitPacket(const Bytes& channel, std::uint8_t command, std::uint16_t length,
                 const Bytes& payload);
Bytes ContinuationPacket(const Bytes& channel, std::uint8_t sequence, const Bytes& payload);

// An annotated wire trace: lines "> hex  # note" are reports the host must write, "< hex"
// packets the key sends; hex may stop early, the rest is zero. '#' starts a comment.
struct Trace {
    std::vector<Bytes> hostWrites;  // whole reports, report id first
    std::vector<Bytes> keyPackets;  // 64-byte packets
};
Trace LoadTrace(const std::string& path);

}  // namespace kelvora::test
