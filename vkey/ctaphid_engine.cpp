#include "vkey/ctaphid_engine.h"

#include <algorithm>

namespace kelvora::vkey {
namespace {

constexpr std::size_t kCommandOffset = 4;
constexpr std::size_t kLengthHighOffset = 5;
constexpr std::size_t kLengthLowOffset = 6;
constexpr std::uint8_t kDeviceMajor = 1;
constexpr std::uint8_t kDeviceMinor = 0;

std::uint32_t ReadChannel(const std::uint8_t* packet) {
    return (static_cast<std::uint32_t>(packet[0]) << 24) |
           (static_cast<std::uint32_t>(packet[1]) << 16) |
           (static_cast<std::uint32_t>(packet[2]) << 8) | static_cast<std::uint32_t>(packet[3]);
}

void WriteChannel(std::uint8_t* out, std::uint32_t channel) {
    out[0] = static_cast<std::uint8_t>(channel >> 24);
    out[1] = static_cast<std::uint8_t>(channel >> 16);
    out[2] = static_cast<std::uint8_t>(channel >> 8);
    out[3] = static_cast<std::uint8_t>(channel);
}

bool IsKnownCommand(std::uint8_t command) {
    switch (static_cast<HidCommand>(command)) {
        case HidCommand::kPing:
        case HidCommand::kInit:
        case HidCommand::kWink:
        case HidCommand::kCbor:
        case HidCommand::kCancel:
            return true;
        default:
            return false;
    }
}

}  // namespace

CtaphidEngine::CtaphidEngine(std::uint8_t firmwareVersion) : firmwareVersion_(firmwareVersion) {}

std::optional<HidMessage> CtaphidEngine::HandlePacket(const std::uint8_t (&packet)[kPacketSize],
                                                      std::int64_t nowMs) {
    if (halted_) {
        return std::nullopt;
    }
    const std::uint32_t channel = ReadChannel(packet);
    if (channel == kReservedChannel) {
        SendError(channel, HidError::kInvalidChannel);
        return std::nullopt;
    }
    if ((packet[kCommandOffset] & kInitPacketBit) != 0) {
        return HandleInitPacket(channel, packet, nowMs);
    }
    return HandleContinuation(channel, packet, nowMs);
}

std::optional<HidMessage> CtaphidEngine::HandleInitPacket(std::uint32_t channel,
                                                          const std::uint8_t* packet,
                                                          std::int64_t nowMs) {
    const std::uint8_t command = packet[kCommandOffset];
    const std::size_t length =
        (static_cast<std::size_t>(packet[kLengthHighOffset]) << 8) | packet[kLengthLowOffset];
    const bool isInit = command == static_cast<std::uint8_t>(HidCommand::kInit);

    if (channel == kBroadcastChannel && !isInit) {
        SendError(channel, HidError::kInvalidChannel);
        return std::nullopt;
    }
    if (channel != kBroadcastChannel && !IsAllocated(channel)) {
        SendError(channel, HidError::kInvalidChannel);
        return std::nullopt;
    }

    if (assembly_ && assembly_->channel != channel) {
        // One message at a time: another channel is still sending its request.
        if (!isInit || channel != kBroadcastChannel) {
            SendError(channel, HidError::kChannelBusy);
            return std::nullopt;
        }
    } else if (assembly_ && !isInit) {
        // A new request in the middle of a message on the same channel.
        assembly_.reset();
        SendError(channel, HidError::kInvalidSeq);
        return std::nullopt;
    }

    if (isInit) {
        if (length != kInitNonceSize) {
            SendError(channel, HidError::kInvalidLen);
            return std::nullopt;
        }
        if (assembly_ && assembly_->channel == channel) {
            assembly_.reset();  // resynchronisation abandons the partial message
        }
        if (!Take()) {
            return std::nullopt;
        }
        const Bytes nonce(packet + kInitHeaderSize, packet + kInitHeaderSize + kInitNonceSize);
        if (channel != kBroadcastChannel && busyChannel_ == channel) {
            // INIT on a busy channel abandons its transaction; the key drops it unanswered.
            AnswerInit(channel, nonce);
            return HidMessage{channel, HidCommand::kInit, {}};
        }
        AnswerInit(channel, nonce);
        return std::nullopt;
    }

    if (busyChannel_ &&
        !(busyChannel_ == channel && command == static_cast<std::uint8_t>(HidCommand::kCancel))) {
        SendError(channel, HidError::kChannelBusy);
        return std::nullopt;
    }
    if (!IsKnownCommand(command)) {
        SendError(channel, HidError::kInvalidCmd);
        return std::nullopt;
    }
    if (length > kMaxMessageSize) {
        SendError(channel, HidError::kInvalidLen);
        return std::nullopt;
    }

    Assembly assembly;
    assembly.channel = channel;
    assembly.command = static_cast<HidCommand>(command);
    assembly.expected = length;
    assembly.lastPacketMs = nowMs;
    const std::size_t first = std::min(length, kInitPayloadSize);
    assembly.payload.assign(packet + kInitHeaderSize, packet + kInitHeaderSize + first);
    if (assembly.payload.size() == assembly.expected) {
        return Complete(HidMessage{channel, assembly.command, std::move(assembly.payload)});
    }
    assembly_ = std::move(assembly);
    return std::nullopt;
}

std::optional<HidMessage> CtaphidEngine::HandleContinuation(std::uint32_t channel,
                                                            const std::uint8_t* packet,
                                                            std::int64_t nowMs) {
    if (!assembly_) {
        return std::nullopt;  // stray continuation: nothing to continue, ignored
    }
    if (assembly_->channel != channel) {
        if (IsAllocated(channel)) {
            SendError(channel, HidError::kChannelBusy);
        }
        return std::nullopt;
    }
    const std::uint8_t sequence = packet[kCommandOffset];
    if (sequence != assembly_->nextSequence) {
        assembly_.reset();
        SendError(channel, HidError::kInvalidSeq);
        return std::nullopt;
    }
    const std::size_t take =
        std::min(assembly_->expected - assembly_->payload.size(), kContPayloadSize);
    assembly_->payload.insert(assembly_->payload.end(), packet + kContHeaderSize,
                              packet + kContHeaderSize + take);
    assembly_->nextSequence++;
    assembly_->lastPacketMs = nowMs;
    if (assembly_->payload.size() < assembly_->expected) {
        return std::nullopt;
    }
    HidMessage message{channel, assembly_->command, std::move(assembly_->payload)};
    assembly_.reset();
    return Complete(std::move(message));
}

bool CtaphidEngine::Take() {
    const std::uint64_t count = messagesTaken_++;
    if (haltAt_ != count) {
        return true;
    }
    haltAt_.reset();
    halted_ = true;
    assembly_.reset();
    return false;
}

std::optional<HidMessage> CtaphidEngine::Complete(HidMessage message) {
    if (!Take()) {
        return std::nullopt;
    }
    switch (message.command) {
        case HidCommand::kPing:
            SendResponse(message.channel, HidCommand::kPing, message.payload);
            return std::nullopt;
        case HidCommand::kWink:
            if (!message.payload.empty()) {
                SendError(message.channel, HidError::kInvalidLen);
                return std::nullopt;
            }
            ++winkCount_;
            SendResponse(message.channel, HidCommand::kWink, {});
            return std::nullopt;
        case HidCommand::kCancel:
        case HidCommand::kCbor:
            return message;
        default:
            SendError(message.channel, HidError::kInvalidCmd);
            return std::nullopt;
    }
}

void CtaphidEngine::Tick(std::int64_t nowMs) {
    if (assembly_ && nowMs - assembly_->lastPacketMs >= kAssemblyTimeoutMs) {
        const std::uint32_t channel = assembly_->channel;
        assembly_.reset();
        SendError(channel, HidError::kMsgTimeout);
    }
}

void CtaphidEngine::AnswerInit(std::uint32_t channel, const Bytes& nonce) {
    const std::uint32_t assigned = channel == kBroadcastChannel ? AllocateChannel() : channel;
    Bytes response(nonce);
    response.resize(kInitResponseSize);
    WriteChannel(response.data() + kInitNonceSize, assigned);
    std::size_t at = kInitNonceSize + 4;
    response[at++] = kCtaphidProtocolVersion;
    response[at++] = kDeviceMajor;
    response[at++] = kDeviceMinor;
    response[at++] = firmwareVersion_;
    response[at] = kCapabilityWink | kCapabilityCbor | kCapabilityNmsg;
    SendResponse(channel, HidCommand::kInit, response);
}

bool CtaphidEngine::IsAllocated(std::uint32_t channel) const {
    return channel != kBroadcastChannel && channel >= firstValidChannel_ && channel < nextChannel_;
}

std::uint32_t CtaphidEngine::AllocateChannel() {
    if (nextChannel_ == kBroadcastChannel) {
        nextChannel_ = firstValidChannel_ = 1;  // wrapped after four billion INITs
    }
    return nextChannel_++;
}

void CtaphidEngine::SendResponse(std::uint32_t channel, HidCommand command, ByteView payload) {
    Packet packet{};
    WriteChannel(packet.data(), channel);
    packet[kCommandOffset] = static_cast<std::uint8_t>(command);
    packet[kLengthHighOffset] = static_cast<std::uint8_t>(payload.size() >> 8);
    packet[kLengthLowOffset] = static_cast<std::uint8_t>(payload.size());
    std::size_t sent = std::min(payload.size(), kInitPayloadSize);
    std::copy_n(payload.begin(), sent, packet.begin() + kInitHeaderSize);
    output_.push_back(packet);
    for (std::uint8_t sequence = 0; sent < payload.size(); ++sequence) {
        Packet cont{};
        WriteChannel(cont.data(), channel);
        cont[kCommandOffset] = sequence;
        const std::size_t take = std::min(payload.size() - sent, kContPayloadSize);
        std::copy_n(payload.begin() + static_cast<std::ptrdiff_t>(sent), take,
                    cont.begin() + kContHeaderSize);
        sent += take;
        output_.push_back(cont);
    }
}

void CtaphidEngine::SendError(std::uint32_t channel, HidError error) {
    const std::uint8_t code = static_cast<std::uint8_t>(error);
    SendResponse(channel, HidCommand::kError, ByteView(&code, 1));
}

void CtaphidEngine::SendKeepalive(std::uint32_t channel, KeepaliveStatus status) {
    const std::uint8_t code = static_cast<std::uint8_t>(status);
    SendResponse(channel, HidCommand::kKeepalive, ByteView(&code, 1));
}

std::optional<Packet> CtaphidEngine::PopOutput() {
    if (output_.empty()) {
        return std::nullopt;
    }
    Packet packet = output_.front();
    output_.pop_front();
    return packet;
}

void CtaphidEngine::Reset() {
    assembly_.reset();
    busyChannel_.reset();
    output_.clear();
    firstValidChannel_ = nextChannel_;
    halted_ = false;
}

}  // namespace kelvora::vkey
