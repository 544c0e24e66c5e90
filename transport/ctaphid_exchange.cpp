// HidTransport::ExchangeReports: one CTAPHID_CBOR message out, one message back
// (CTAP 2.1 §11.2.4 framing, §11.2.9.1.3 channel allocation).
#include <algorithm>
#include <cstring>

#include "transport/exchange_deadline.h"
#include "transport/hid_transport.h"
#include "transport/init_nonce.h"

namespace kelvora {

using namespace ctaphid;

namespace {

bool ReportLengthsUsable(const HidReportLengths& lengths) {
    // The packet layout is fixed to 64-byte packets; larger reports would not fit the
    // packet buffer and smaller ones could not hold a packet.
    return lengths.input >= kReportLength && lengths.input <= kReportBufferSize &&
           lengths.output >= kReportLength && lengths.output <= kReportBufferSize;
}

std::uint16_t PayloadLength(const std::uint8_t* report) {
    return static_cast<std::uint16_t>((report[kLengthHighOffset] << 8) | report[kLengthLowOffset]);
}

bool OnChannel(const std::uint8_t* report, const std::array<std::uint8_t, kChannelSize>& channel) {
    return std::equal(channel.begin(), channel.end(), report + kChannelOffset);
}

}  // namespace

bool HidTransport::OnOurChannel(const std::uint8_t* report, const HidTransport& transport) {
    return OnChannel(report, transport.channelId_);
}

// An INIT answer echoing our nonce: the one answer to our INIT, whatever else it holds.
bool HidTransport::AnswersOurInit(const std::uint8_t* report, const HidTransport& transport) {
    return OnChannel(report, kBroadcastChannel) && report[kCommandOffset] == kInit &&
           std::equal(transport.initNonce_.begin(), transport.initNonce_.end(),
                      report + kInitPayloadOffset);
}

namespace {

// 00000000 is reserved and FFFFFFFF is the broadcast channel: neither is ever allocated.
bool Allocatable(const std::uint8_t* channel) {
    const bool allZero =
        std::all_of(channel, channel + kChannelSize, [](auto b) { return b == 0; });
    return !allZero && !std::equal(kBroadcastChannel.begin(), kBroadcastChannel.end(), channel);
}

}  // namespace

void HidTransport::ReportIoFailure(const char* operation, ExchangeLocation location,
                                   std::uint32_t errorCode) {
    DebugPrintf(debug_, "%s L:%d ERR: 0x%08X", operation, static_cast<int>(location),
                static_cast<unsigned>(errorCode));
}

int HidTransport::ExchangeReports(const std::uint8_t* request, std::int32_t requestLength,
                                  std::uint8_t* response, std::uint32_t* responseLength) {
    if (current_.productId == 0 || !current_.connection) {
        return -1;
    }
    // An empty request would send nothing and then wait for an answer forever; longer
    // than 7609 bytes would need sequence numbers beyond 0x7F.
    if (request == nullptr || requestLength <= 0 ||
        static_cast<std::size_t>(requestLength) > kMaxMessageSize || response == nullptr ||
        responseLength == nullptr) {
        return -1;
    }
    requestSent_ = false;
    deadlinePassed_ = false;
    deadlineMs_ = kNoDeadline;
    HidConnection& connection = *current_.connection;
    report_.fill(0);
    connection.FlushInput();
    HidReportLengths lengths;
    if (!connection.ReportLengths(lengths) || !ReportLengthsUsable(lengths)) {
        return -1;
    }
    if (needChannelInit_ && !InitialiseChannel(connection, lengths)) {
        return -1;
    }
    if (!SendRequest(connection, lengths, request, static_cast<std::size_t>(requestLength))) {
        return -1;
    }
    requestSent_ = true;
    deadlineMs_ =
        clock_.NowMs() + ExchangeDeadlineMs({request, static_cast<std::size_t>(requestLength)});
    std::uint32_t total = 0;
    const bool received = ReceiveResponse(connection, lengths, response, *responseLength, total);
    deadlineMs_ = kNoDeadline;
    if (deadlinePassed_) {
        SendCancel(connection, lengths);
    }
    if (!received) {
        return -1;
    }
    *responseLength = total;
    return 0;
}

bool HidTransport::InitialiseChannel(HidConnection& connection, const HidReportLengths& lengths) {
    report_.fill(0);
    report_[0] = kReportId;
    std::copy(kBroadcastChannel.begin(), kBroadcastChannel.end(), &report_[kChannelOffset]);
    report_[kCommandOffset] = kInit;
    report_[kLengthHighOffset] = 0;
    report_[kLengthLowOffset] = kInitNonceSize;
    if (!FreshInitNonce(initNonce_)) {
        return false;
    }
    std::copy(initNonce_.begin(), initNonce_.end(), &report_[kInitPayloadOffset]);

    const HidIoResult written = connection.Write({report_.data(), lengths.output});
    if (!written.ok) {
        ReportIoFailure("WriteFile", ExchangeLocation::kInitWrite, written.errorCode);
        return false;
    }
    if (written.bytes < lengths.output) {
        return false;
    }
    // Every program that holds the key open sees every answer: INIT answers to other
    // programs' nonces and packets on their channels are passed over, and do not count
    // as a sign of life. A failed allocation leaves the channel as it was and the
    // allocation pending, so the next exchange allocates again.
    if (!ReadAccepted(connection, lengths, clock_.NowMs(), AnswersOurInit).ok) {
        return false;
    }
    const std::uint8_t* channel = &report_[kInitResponseChannelOffset];
    if (PayloadLength(report_.data()) < kInitResponseMinSize || !Allocatable(channel)) {
        return false;
    }
    std::copy_n(channel, kChannelSize, channelId_.begin());
    needChannelInit_ = false;
    return true;
}

bool HidTransport::SendRequest(HidConnection& connection, const HidReportLengths& lengths,
                               const std::uint8_t* request, std::size_t requestLength) {
    std::size_t sent = 0;
    std::uint8_t sequence = 0;
    while (sent < requestLength) {
        // Unused packet bytes are zero (CTAP 2.1 §11.2.4), never left over from the last
        // packet.
        report_.fill(0);
        report_[0] = kReportId;
        std::copy(channelId_.begin(), channelId_.end(), &report_[kChannelOffset]);
        std::size_t chunk = 0;
        if (sent == 0) {
            report_[kCommandOffset] = kCbor;
            report_[kLengthHighOffset] = static_cast<std::uint8_t>(requestLength >> 8);
            report_[kLengthLowOffset] = static_cast<std::uint8_t>(requestLength & 0xFF);
            chunk = std::min(requestLength, kInitPayloadSize);
            std::memcpy(&report_[kInitPayloadOffset], request, chunk);
        } else {
            report_[kSequenceOffset] = sequence++;
            chunk = std::min(requestLength - sent, kContinuationPayloadSize);
            std::memcpy(&report_[kContinuationPayloadOffset], request + sent, chunk);
        }
        const HidIoResult written = connection.Write({report_.data(), lengths.output});
        if (!written.ok) {
            ReportIoFailure("WriteFile", ExchangeLocation::kRequestWrite, written.errorCode);
            return false;
        }
        if (written.bytes < lengths.output) {
            return false;
        }
        sent += chunk;
    }
    return true;
}

bool HidTransport::ReceiveResponse(HidConnection& connection, const HidReportLengths& lengths,
                                   std::uint8_t* response, std::uint32_t capacity,
                                   std::uint32_t& total) {
    // Keep-alives and empty packets come while the key waits for a finger or a touch;
    // each packet on our channel must come within the silence limit, and all of them
    // before the deadline. Packets on other channels answer other programs: passed over.
    std::uint64_t lastPacketMs = clock_.NowMs();
    for (;;) {
        const HidIoResult read = ReadAccepted(connection, lengths, lastPacketMs, OnOurChannel);
        if (!read.ok) {
            ReportIoFailure("ReadFile", ExchangeLocation::kFirstResponseRead, read.errorCode);
            return false;
        }
        lastPacketMs = clock_.NowMs();
        const std::uint8_t command = report_[kCommandOffset];
        const bool answer = command == kCbor || command == kError;
        if (answer && PayloadLength(report_.data()) != 0) {
            break;
        }
        // Our request was CTAPHID_CBOR: anything but its answer, an error or a sign that
        // the key is still at it is not an answer to it.
        if (!answer && command != kKeepAlive) {
            return false;
        }
        if (SilentSince(lastPacketMs)) {
            ReportIoFailure("ReadFile", ExchangeLocation::kFirstResponseRead, kHidReadTimedOut);
            return false;
        }
    }
    total = PayloadLength(report_.data());
    if (total > capacity) {
        return false;
    }
    std::size_t received = std::min<std::size_t>(total, kInitPayloadSize);
    std::memcpy(response, &report_[kInitPayloadOffset], received);
    std::uint8_t sequence = 0;
    while (received < total) {
        const HidIoResult read = ReadAccepted(connection, lengths, lastPacketMs, OnOurChannel);
        if (!read.ok) {
            ReportIoFailure("ReadFile", ExchangeLocation::kContinuationRead, read.errorCode);
            return false;
        }
        lastPacketMs = clock_.NowMs();
        // Anything but the next continuation packet (an error or keep-alive packet, a
        // lost or repeated one) would splice foreign bytes into the message.
        if (report_[kSequenceOffset] != sequence++) {
            return false;
        }
        const std::size_t chunk = std::min<std::size_t>(total - received, kContinuationPayloadSize);
        std::memcpy(response + received, &report_[kContinuationPayloadOffset], chunk);
        received += chunk;
    }
    return true;
}

HidIoResult HidTransport::ReadAccepted(HidConnection& connection, const HidReportLengths& lengths,
                                       std::uint64_t lastPacketMs, ReportFilter accepts) {
    for (;;) {
        report_.fill(0);
        const HidIoResult read = ReadBounded(connection, lengths, lastPacketMs);
        if (!read.ok || accepts(report_.data(), *this)) {
            return read;
        }
        // Other programs' packets are no sign of life from the key for us.
        if (SilentSince(lastPacketMs)) {
            return {false, 0, kHidReadTimedOut};
        }
    }
}

bool HidTransport::SilentSince(std::uint64_t lastPacketMs) {
    const std::uint64_t now = clock_.NowMs();
    if (now >= deadlineMs_) {
        deadlinePassed_ = true;
        return true;
    }
    return now >= lastPacketMs && now - lastPacketMs >= kKeySilenceLimitMs;
}

void HidTransport::SendCancel(HidConnection& connection, const HidReportLengths& lengths) {
    report_.fill(0);
    report_[0] = kReportId;
    std::copy(channelId_.begin(), channelId_.end(), &report_[kChannelOffset]);
    report_[kCommandOffset] = kCancel;
    const HidIoResult written = connection.Write({report_.data(), lengths.output});
    if (!written.ok) {
        ReportIoFailure("WriteFile", ExchangeLocation::kRequestWrite, written.errorCode);
    }
}

HidIoResult HidTransport::ReadBounded(HidConnection& connection, const HidReportLengths& lengths,
                                      std::uint64_t lastPacketMs) {
    for (;;) {
        const HidIoResult read =
            connection.ReadWithin({report_.data(), lengths.input}, kSilencePollMs);
        if (read.ok || read.errorCode != kHidReadTimedOut || SilentSince(lastPacketMs)) {
            return read;
        }
    }
}

}  // namespace kelvora
