// Key-side CTAPHID framing: takes 64-byte packets from the host, reassembles messages,
// allocates channels, answers INIT, PING and WINK itself, reports framing faults with
// CTAPHID_ERROR packets, and splits responses into output packets (CTAP 2.1 §11.2).
//
// The engine is a plain state machine with no lock and no thread; VirtualKey drives it under
// its own mutex and passes CBOR and CANCEL messages up.
#pragma once

#include <cstdint>
#include <deque>
#include <optional>

#include "vkey/bytes.h"
#include "vkey/ctaphid_defs.h"

namespace kelvora::vkey {

struct HidMessage {
    std::uint32_t channel = 0;
    HidCommand command = HidCommand::kPing;
    Bytes payload;
};

class CtaphidEngine {
  public:
    // The firmware version byte is reported as the build number of the INIT response.
    explicit CtaphidEngine(std::uint8_t firmwareVersion);

    // Feeds one packet. Returns a complete CBOR or CANCEL message for the caller to act on,
    // or an (empty) INIT message when an INIT abandoned the busy channel's transaction;
    // everything else is answered (or refused) here.
    std::optional<HidMessage> HandlePacket(const std::uint8_t (&packet)[kPacketSize],
                                           std::int64_t nowMs);

    // Drops a message whose continuation packets stopped arriving, with ERR_MSG_TIMEOUT.
    void Tick(std::int64_t nowMs);

    // While a channel is busy, requests from every other channel are refused with
    // ERR_CHANNEL_BUSY, and so are new requests on the busy channel except CANCEL and INIT.
    void SetBusyChannel(std::optional<std::uint32_t> channel) { busyChannel_ = channel; }

    void SendResponse(std::uint32_t channel, HidCommand command, ByteView payload);
    void SendError(std::uint32_t channel, HidError error);
    void SendKeepalive(std::uint32_t channel, KeepaliveStatus status);
    // Queues a packet built elsewhere (the hostile key's broken framing).
    void QueuePacket(const Packet& packet) { output_.push_back(packet); }

    bool HasOutput() const { return !output_.empty(); }
    std::optional<Packet> PopOutput();

    // Forgets channels, partial messages, queued output and a halt: the key was unplugged.
    // The message count and an armed halt point stay.
    void Reset();

    // Request messages the framing took in full (INIT, PING, WINK, CBOR, CANCEL), counted
    // from construction. Requests refused at their first packet are not counted.
    std::uint64_t messagesTaken() const { return messagesTaken_; }
    // The message that makes messagesTaken() reach `count` + 1 is dropped unanswered and the
    // engine halts: it ignores every packet until Reset(). Fires once; nullopt disarms.
    void HaltAtMessage(std::optional<std::uint64_t> count) { haltAt_ = count; }
    bool halted() const { return halted_; }

    // Number of WINK requests seen, for tests and the demo.
    int winkCount() const { return winkCount_; }

  private:
    struct Assembly {
        std::uint32_t channel = 0;
        HidCommand command = HidCommand::kPing;
        std::size_t expected = 0;
        std::uint8_t nextSequence = 0;
        std::int64_t lastPacketMs = 0;
        Bytes payload;
    };

    std::optional<HidMessage> HandleInitPacket(std::uint32_t channel, const std::uint8_t* packet,
                                               std::int64_t nowMs);
    std::optional<HidMessage> HandleContinuation(std::uint32_t channel, const std::uint8_t* packet,
                                                 std::int64_t nowMs);
    std::optional<HidMessage> Complete(HidMessage message);
    // Counts a message taken in full; false when it is the one to halt at.
    bool Take();
    void AnswerInit(std::uint32_t channel, const Bytes& nonce);
    bool IsAllocated(std::uint32_t channel) const;
    std::uint32_t AllocateChannel();

    std::uint8_t firmwareVersion_;
    std::uint32_t firstValidChannel_ = 1;
    std::uint32_t nextChannel_ = 1;
    std::optional<Assembly> assembly_;
    std::optional<std::uint32_t> busyChannel_;
    std::deque<Packet> output_;
    int winkCount_ = 0;
    std::uint64_t messagesTaken_ = 0;
    std::optional<std::uint64_t> haltAt_;
    bool halted_ = false;
};

}  // namespace kelvora::vkey
